#pragma once
// The image data of a 24-bit PNG made on several cores: the rows are
// filtered as libpng filters them (its adaptive choice among the five
// filters, row by row) and deflated in bands, one per thread. Each band is a
// raw deflate run primed with the 32 KB of filtered data before it and ended
// with a full flush, so the bands put one after another make a single valid
// zlib stream; the Adler-32 of the whole is combined from the bands' own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class TPixelGraphic;

// The number of bands a picture of `width` x `height` 24-bit pixels is
// deflated in with `threads` threads; below 2 the plain libpng path is the
// better choice (small pictures, a single core).
int PngBandCount(int width, int height, int threads);

// Deflates the filtered rows of the 24-bit `picture` in `bands` bands and
// hands the zlib stream to `sink` in order, piece by piece (each piece is
// written before the next band's is kept). `rowsDone` gets the rows done so
// far after each band. False when zlib fails (out of memory).
bool PngDeflateBands(const TPixelGraphic& picture, int bands,
                     const std::function<bool(const uint8_t*, size_t)>& sink,
                     const std::function<void(int rowsDone)>& rowsDone);

// libpng's filter choice for one row of `rowBytes` bytes of `bpp`-byte
// pixels: `out` gets the filter type byte and the filtered row
// (rowBytes + 1 bytes). `prev` is the row above (all zeros for the first).
void PngFilterRow(const uint8_t* row, const uint8_t* prev, size_t rowBytes, int bpp, uint8_t* out);
