#include "formats/bmp_header.h"

#include <climits>

#include "core/exceptions.h"
#include "core/stream.h"

namespace {
[[noreturn]] void Invalid(const std::string& field) {
    throw EPGBMPFileFormatReader("BMP: " + PGMessage(7, field));
}

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
} // namespace

TDIBHeader ReadDIBHeader(TStream& s, bool core) {
    (void)core;
    TDIBHeader h;
    h.size = s.ReadU32LE();
    if (h.size == 12) {
        h.core = true;
        uint8_t b[8];
        s.ReadBuffer(b, 8);
        h.width = U16(b);
        h.height = U16(b + 2);
        h.planes = U16(b + 4);
        h.bitCount = U16(b + 6);
        if (h.planes != 1) Invalid("BitmapCoreHeader.bcPlanes");
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24)
            Invalid("BitmapCoreHeader.bcBitCount");
        return h;
    }
    // The 40-byte header and its later, longer versions, which only add
    // fields after it (masks, colour space, profile); files written with
    // them are common, so they are read as the 40-byte header plus masks.
    if (h.size != 40 && h.size != 52 && h.size != 56 && h.size != 108 && h.size != 124)
        throw EPGBMPFileFormatReader("BMP: " + PGMessage(27, "BitmapInfoHeader/BitmapCoreHeader"));
    uint8_t b[120] = {};
    s.ReadBuffer(b, int64_t(h.size) - 4);
    h.width = int32_t(U32(b));
    h.height = int32_t(U32(b + 4));
    h.planes = U16(b + 8);
    h.bitCount = U16(b + 10);
    h.compression = U32(b + 12);
    h.sizeImage = U32(b + 16);
    h.clrUsed = U32(b + 28);
    if (h.planes != 1) Invalid("BitmapInfoHeader.biPlanes");
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Invalid("BitmapInfoHeader.biBitCount");
    // |INT_MIN| has no int: such a file cannot be a picture.
    if (h.height == INT_MIN) Invalid("BitmapInfoHeader.biHeight");
    h.topDown = h.height < 0;
    const uint32_t c = h.compression;
    const bool ok = c == BI_RGB || (c == BI_BITFIELDS && (bits == 16 || bits == 32)) ||
                    (c == BI_RLE4 && bits == 4 && !h.topDown) ||
                    (c == BI_RLE8 && bits == 8 && !h.topDown);
    if (!ok) Invalid("BitmapInfoHeader.biCompression");
    if (bits == 16 || bits == 32) {
        if (c == BI_BITFIELDS) {
            if (h.size >= 52) {
                for (int i = 0; i < 3; ++i)
                    h.masks[i] = U32(b + 36 + 4 * i);
            } else {
                for (uint32_t& m : h.masks)
                    m = s.ReadU32LE();
            }
        } else if (bits == 16) {
            h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
        } else {
            h.masks[0] = 0xFF0000, h.masks[1] = 0x00FF00, h.masks[2] = 0x0000FF;
        }
    }
    return h;
}
