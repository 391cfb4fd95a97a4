#pragma once
// The plumbing between libpng and the image library: error and warning
// routines, stream input and output, and one small function per library call
// that sets the error jump point. Those functions keep no C++ object alive
// between setjmp and the call; they return false on a libpng error, and the
// C++ callers throw afterwards.

#include <cstddef>
#include <cstdint>
#include <exception>

#include <png.h>

#include "core/types.h"

class TStream;

struct TPGPngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool writing = false;
    TStream* stream = nullptr;
    TPGWarningAction warningAction = pgwaRaise;
    // Set once a jump point exists: warnings before that are not acted on.
    bool armed = false;
    // Text after "PNG: " of the error that stopped libpng; `final` when it is
    // already the whole text (an abort on a warning) and libpng's own error
    // message must not replace it.
    char message[512] = {};
    bool final = false;
    std::exception_ptr pending;
    // Chunks seen in the stream (read side): libpng 1.6 reports gAMA and cHRM
    // as present when only sRGB or iCCP was in the file.
    bool sawGamma = false;
    bool sawChrm = false;

    TPGPngContext() = default;
    TPGPngContext(const TPGPngContext&) = delete;
    TPGPngContext& operator=(const TPGPngContext&) = delete;
    ~TPGPngContext();
};

// Whether the libpng and zlib linked in are the releases we were built with.
bool PngLibraryMatches();

// Creates the structures; false names the failing call in `message`.
bool PngCreateRead(TPGPngContext* c);
bool PngCreateWrite(TPGPngContext* c);

bool PngReadInfo(TPGPngContext* c, uint32_t maxWidth);
struct TPGPngReadSettings {
    bool background;
    png_color_16 backgroundColor;
    int backgroundGammaCode;
    bool strip16;
    bool bgr;
    int passes; // out
};
bool PngSetTransforms(TPGPngContext* c, TPGPngReadSettings* s);
bool PngReadRow(TPGPngContext* c, png_bytep row);
bool PngReadEnd(TPGPngContext* c);

struct TPGPngWriteSettings {
    uint32_t width, height;
    int bitDepth, colorType;
    const png_color* palette;
    int paletteCount;
    bool gamma;
    double gammaValue;
    // Metadata chunks (none when empty): iCCP, eXIf, tEXt "Comment".
    const uint8_t* icc;
    size_t iccSize;
    const uint8_t* exif;
    size_t exifSize;
    const png_text* texts;
    int textCount;
};
bool PngWriteHeader(TPGPngContext* c, const TPGPngWriteSettings* s);
// Whether libpng takes `icc` as the iCCP of a file of `colorType` without an
// error or a warning (tried on a write structure of its own): libpng stops
// a whole write for a profile it refuses.
bool PngAcceptsICC(const uint8_t* icc, size_t size, int colorType);
bool PngWriteRow(TPGPngContext* c, png_bytep row);
bool PngWriteEnd(TPGPngContext* c);
// Writes one whole chunk of `size` bytes (image data made outside libpng:
// IDAT pieces, then IEND in place of PngWriteEnd).
bool PngWriteChunk(TPGPngContext* c, const char* name, const uint8_t* data, size_t size);

// Raises EPGPNGFileFormatReaderWriter for the error held in the context.
[[noreturn]] void PngThrow(const TPGPngContext& c);
