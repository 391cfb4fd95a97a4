#pragma once
// TIFF files our own reader leaves alone (LZW, Deflate, JPEG and fax
// compression, 2-16 bits per sample, tiles, separate planes, YCbCr, CIELab,
// later pages), read through libtiff on the same stream.

#include <cstdint>

#include "core/types.h"

class TStream;
class TPixelGraphic;

// Reads page `imageIndex` of the TIFF file whose header starts at `base`.
// Alpha is composited onto the picture's background colour. libtiff's
// errors raise EPGTIFFileFormatReader with libtiff's own text; nothing
// reaches stderr. The picture cap is checked before anything the size of
// the picture is allocated, and libtiff's own allocations are held to it.
void ReadTIFFThroughLibrary(TStream& stream, int64_t base, TPixelGraphic& picture, int imageIndex,
                            TObject* sender);
