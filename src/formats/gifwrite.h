#pragma once
// The GIF writer: one picture as a single-image GIF89a file with a global
// colour table in order of first appearance, optional interlacing and an
// optional transparent colour. The file is built in memory and written only
// when the encoding is complete.

#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"

class TPixelGraphic;

// Outcome of the last WriteGIFFile / EncodeGIF call of the calling thread
// (each thread has its own, so workers do not see each other's).
enum : int {
    gifOK = 0,
    gifEncodingInterrupted = 2,
    gifTooManyColors = 4,
    gifMappingInterrupted = 6,
    // The picture is empty or a side exceeds 65535, which GIF cannot store.
    gifInvalidSize = 8,
};
extern thread_local int GIFErrorCode;

// Encodes the picture (any pixel format; at most 256 distinct colours) into
// `out`. Returns false with GIFErrorCode set when it cannot; `out` is then
// unspecified. `transparentColor` is a COLORREF.
bool EncodeGIF(const TPixelGraphic& picture, bool interlaced, TRGB transparentColor,
               bool transparent, std::vector<uint8_t>& out);

// Encodes and writes the file (replacing an existing one only once the new
// one is complete). False: nothing was written, GIFErrorCode says why. Errors
// of the file system raise the stream exceptions.
bool WriteGIFFile(const std::string& fileName, const TPixelGraphic& picture, bool interlaced,
                  TRGB transparentColor, bool transparent);
