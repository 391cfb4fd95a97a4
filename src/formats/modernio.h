#pragma once
// What the readers and writers of today's formats (WebP, AVIF, HEIF, JPEG
// XL) share: the file's bytes in memory for libraries that decode from
// memory, the picture cap checked before a library allocates, and rows of
// any picture as RGB for the encoders.

#include <cstdint>
#include <string>
#include <vector>

#include "core/exceptions.h"

class TStream;
class TPixelGraphic;

// The bytes from the stream's position to its end (at most the picture
// cap's worth). A file longer than the cap cannot be a picture we may load:
// readers ask StreamFitsCap first and refuse it before reading anything.
std::vector<uint8_t> ReadRestOfStream(TStream& stream);
bool StreamFitsCap(TStream& stream);

// Whether a picture of width x height at `bytesPerPixel` (what a library
// holds while decoding plus our own 24-bit store) stays under the cap; the
// readers call it before the library allocates anything of that size.
bool FitsPictureCap(int64_t width, int64_t height, int64_t bytesPerPixel);
// The picture's allocation error, as SetFormat raises it.
[[noreturn]] void RaisePictureCap();

// Turns the store of a picture whose rows were written top row first at the
// store's start (libraries that cannot write bottom-up) around in place.
void FlipStoreRows(TPixelGraphic& picture);

// Row y of any picture as R, G, B bytes (palette pictures through their palette).
void RowAsRGB(const TPixelGraphic& picture, int y, uint8_t* rgb);

// The number of worker threads a decoder may use.
int DecoderThreads();

// The EXIF block (TIFF header first, no "Exif\0\0") and ICC profile a file
// carries, as its decoder found them.
struct TPictureMetadataBytes {
    std::vector<uint8_t> exif, icc;
};
// The one place where the new readers hand the file's EXIF block and ICC
// profile on to the picture, each within the picture's metadata caps.
// `upright`: the decoder already turned the pixels by the file's own
// orientation (HEIF's transformations, JPEG XL's orientation), so the
// EXIF Orientation must not turn them again when the block is saved.
void HandOnMetadata(TPixelGraphic& picture, TPictureMetadataBytes&& bytes, bool upright = false);
