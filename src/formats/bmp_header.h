#pragma once
// Reading and checking the header of a DIB: shared by the decoder and by the
// header-only information query.

#include <cstdint>

#include "core/bitmapinfo.h"

class TStream;

struct TDIBHeader {
    bool core = false; // 12-byte OS/2 header
    uint32_t size = 0; // header size as stored
    int32_t width = 0;
    int32_t height = 0; // as stored: negative for top-down files
    bool topDown = false;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    uint32_t masks[3] = {0, 0, 0}; // red, green, blue for 16 and 32 bits
};

// Reads the header at the stream's position (and the channel masks that
// follow a 40-byte header with BI_BITFIELDS), leaving the stream at the
// colour table. Raises EPGBMPFileFormatReader for every value the decoder
// cannot take; `core` is only a hint, the stored header size decides.
TDIBHeader ReadDIBHeader(TStream& s, bool core);
