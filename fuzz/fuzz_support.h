#pragma once
// Shared by the fuzz targets: start the library once with a small picture
// cap, and run one reader over arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <exception>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/avif.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "formats/png.h"
#include "formats/pxm.h"
#include "formats/tiff.h"
#include "formats/webp.h"

constexpr long long kFuzzMaxImageBytes = 1LL << 20;

// Reads a sample of the pixels the reader claims to have made: every 7th
// pixel of the first rows, so a large picture costs no more than a small one.
inline void FuzzTouch(const TPixelGraphic& g) {
    for (int y = 0; y < g.GetHeight() && y < 64; y += 3)
        for (int x = 0; x < g.GetWidth() && x < 4096; x += 7)
            (void)g.GetPixelColor(x, y);
}

inline void FuzzStart() {
    static const bool ready = [] {
        InitImageLibrary();
        // A small cap keeps each run about the input, not about clearing
        // and walking a huge picture it claims; the cap's own behaviour is
        // checked by the unit tests.
        PGMaxImageBytes = kFuzzMaxImageBytes;
        return true;
    }();
    (void)ready;
}

// The writers' process-wide options, picked from the input so that each
// input always writes the same way.
inline void FuzzWriterOptions(const uint8_t* data, size_t size) {
    uint32_t h = uint32_t(size) * 2654435761u;
    for (size_t i = 0; i < size && i < 16; ++i)
        h = (h ^ data[i]) * 16777619u;
    PxMWriteBinary = h & 1;
    JPEGProgressive = (h >> 1) & 1;
    JPEGQuality = 5 + int((h >> 2) % 96);
    WriteGamma = (h >> 9) & 1;
    TIFFMotorolaOrder = (h >> 10) & 1;
    static const int kTIFFCompressions[] = {1, 32773, 5, 8};
    TIFFCompression = kTIFFCompressions[(h >> 30) & 3];
    TIFFWriteCMYK = (h >> 12) & 1;
    TIFFWhiteIsZero = (h >> 13) & 1;
    TIFFResolutionUnit = int((h >> 14) % 3);
    WebPQuality = 1 + int((h >> 16) % 100);
    WebPLossless = (h >> 23) & 1;
    AVIFQuality = 1 + int((h >> 24) % 100);
    // The slowest AVIF speeds take seconds for any picture: not a run's worth.
    AVIFSpeed = 10;
}

// After a good read the picture goes back out through the format's writer,
// into memory: the writers meet every shape of picture the readers can make
// (sizes, depths, palettes, odd widths). Small pictures only, so a run stays
// about its input.
inline void FuzzWriteBack(TPixelGraphic& g, const char* extension, const uint8_t* data,
                          size_t size) {
    if (!extension || g.GetEmpty() || g.ImageSize() > (64 << 10)) return;
    FuzzWriterOptions(data, size);
    try {
        TMemoryStream out;
        g.SaveToStreamExt(out, extension);
    } catch (const std::exception&) {
    }
}

// Reads the bytes into a fresh picture set up by `prepare`, touches the
// pixels the reader claims to have made, writes it back when `writeAs` names
// a format with a writer, then asks GetInfo of the same bytes.
// A library error is the expected answer to most inputs; a crash or a
// sanitizer report is a finding.
template <class Prepare>
void FuzzReader(TFileFormatReader& reader, const uint8_t* data, size_t size, int imageIndex,
                Prepare&& prepare, const char* writeAs = nullptr) {
    FuzzStart();
    try {
        TPixelGraphic g;
        prepare(g);
        TReadOnlyMemoryStream s(data, int64_t(size));
        reader.Read(s, g, imageIndex);
        FuzzTouch(g);
        FuzzWriteBack(g, writeAs, data, size);
    } catch (const std::exception&) {
    }
    try {
        TReadOnlyMemoryStream s(data, int64_t(size));
        TPGImageInfo info;
        reader.GetInfo(s, imageIndex, info);
    } catch (const std::exception&) {
    }
}

inline void FuzzReader(TFileFormatReader& reader, const uint8_t* data, size_t size,
                       int imageIndex = 0, const char* writeAs = nullptr) {
    FuzzReader(
        reader, data, size, imageIndex,
        [](TPixelGraphic& g) { g.SetReadWarningAction(pgwaIgnore); }, writeAs);
}

// Readers whose behaviour depends on the picture's options: the first byte
// picks the warning action, fast decoding and the background colour.
inline void FuzzReaderWithOptions(TFileFormatReader& reader, const uint8_t* data, size_t size,
                                  const char* writeAs = nullptr) {
    if (size < 1) return;
    const uint8_t o = data[0];
    FuzzReader(
        reader, data + 1, size - 1, 0,
        [o](TPixelGraphic& g) {
            g.SetReadWarningAction(TPGWarningAction(o & 3));
            g.SetFastRead(o & 4);
            g.SetBackgroundColor(RGB(o, 128, 255 - o));
        },
        writeAs);
}
