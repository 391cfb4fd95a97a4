#include "formats/pcx.h"

#include <cstring>
#include <vector>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "formats/inbuffer.h"
#include "formats/register.h"

namespace {

struct PCXHeader {
    uint8_t manufacturer, version, encoding, bitsPerPixel;
    int xmin, ymin, xmax, ymax;
    uint8_t colorMap[48];
    uint8_t reserved, planes;
    int bytesPerLine, paletteInfo;
};

[[noreturn]] void Fail(int no, const std::string& s1 = {}) {
    throw EPGPCXFileFormatReader("PCX: " + PGMessage(no, s1));
}

int U16(const uint8_t* p) { return p[0] | (p[1] << 8); }

PCXHeader ReadHeader(TStream& stream) {
    uint8_t h[128];
    if (stream.Read(h, 128) != 128) Fail(32);
    PCXHeader r;
    r.manufacturer = h[0];
    r.version = h[1];
    r.encoding = h[2];
    r.bitsPerPixel = h[3];
    r.xmin = U16(h + 4);
    r.ymin = U16(h + 6);
    r.xmax = U16(h + 8);
    r.ymax = U16(h + 10);
    std::memcpy(r.colorMap, h + 16, 48);
    r.reserved = h[64];
    r.planes = h[65];
    r.bytesPerLine = U16(h + 66);
    r.paletteInfo = U16(h + 68);
    return r;
}

void CheckCommon(const PCXHeader& h) {
    if (h.paletteInfo != 1 || h.reserved != 0) Fail(33);
}

// 2 to the power n in decimal, for the colour count texts.
std::string PowerOfTwo(int n) { return std::to_string(uint64_t(1) << n); }

} // namespace

bool TPCXFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    return size >= 1 && header[0] == 10;
}

void TPCXFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) Fail(7, "Index");
    picture.SetGamma(DisplayGamma);
    const PCXHeader h = ReadHeader(stream);
    picture.SetHeight(0);
    CheckCommon(h);
    TPGPixelFormat format;
    if (h.bitsPerPixel == 1 && h.planes == 1)
        format = pg1Bit;
    else if (h.bitsPerPixel == 1 && h.planes == 4)
        format = pg4Bit;
    else if (h.bitsPerPixel == 8 && h.planes == 1)
        format = pg8Bit;
    else if (h.bitsPerPixel == 8 && h.planes == 3)
        format = pg24Bit;
    else
        Fail(33);

    const int width = h.xmax - h.xmin + 1;
    const int height = h.ymax - h.ymin + 1;
    // A window whose end lies before its start has no sensible picture.
    if (width < 1 || height < 1) Fail(33);
    // Each plane line must hold the row's pixels: a shorter line would make
    // the row conversion read past the decoded bytes.
    const int64_t needed = h.bitsPerPixel == 1 ? (int64_t(width) + 7) / 8 : width;
    if (h.bytesPerLine == 0 || h.bytesPerLine < needed) Fail(33);
    const int64_t L = int64_t(h.planes) * h.bytesPerLine;

    const int64_t dataStart = stream.Position();
    int64_t dataEnd = stream.Size();
    std::vector<TRGB> palette;
    if (format == pg8Bit) {
        // The palette tail must lie after the header; a file too short for
        // it has no palette.
        if (dataEnd - 769 < dataStart) Fail(33);
        stream.SetPosition(dataEnd - 769);
        uint8_t tail[769];
        stream.ReadBuffer(tail, 769);
        stream.SetPosition(dataStart);
        if (tail[0] != 12) Fail(33);
        for (int i = 0; i < 256; ++i)
            palette.push_back(RGB(tail[1 + 3 * i], tail[2 + 3 * i], tail[3 + 3 * i]));
        dataEnd -= 769;
    }
    // Two bytes encode at most 63: a file with less data than that cannot
    // hold the picture, so nothing is allocated for it.
    if ((dataEnd - dataStart) * 63 / 2 + 63 < L * height) Fail(32);

    picture.SetFormat(width, height, format);
    switch (format) {
    case pg1Bit:
        picture.SetPaletteIdent(pBlackWhite);
        break;
    case pg4Bit:
        if (h.version == 3) {
            picture.SetPaletteIdent(pSys16);
        } else {
            picture.SetPaletteCount(16);
            for (int i = 0; i < 16; ++i)
                picture.SetPaletteEntry(
                    i, RGB(h.colorMap[3 * i], h.colorMap[3 * i + 1], h.colorMap[3 * i + 2]));
        }
        break;
    case pg8Bit:
        picture.SetPaletteCount(256);
        for (int i = 0; i < 256; ++i) picture.SetPaletteEntry(i, palette[size_t(i)]);
        break;
    default:
        break;
    }

    TInputBuffer<EPGPCXFileFormatReader> in(stream, "PCX: " + PGMessage(32));
    std::vector<uint8_t> line(static_cast<size_t>(L));
    const int bpl = h.bytesPerLine;
    TPGProgressScope progress(picture, this);
    for (int y = 0; y < height; ++y) {
        // Runs end at the line's end: bytes beyond it are dropped.
        int64_t filled = 0;
        while (filled < L) {
            uint8_t b = in.Get();
            int64_t count = 1;
            if (b >= 192) {
                count = b & 63;
                b = in.Get();
            }
            count = std::min(count, L - filled);
            std::memset(line.data() + filled, b, size_t(count));
            filled += count;
        }
        uint8_t* row = picture.ScanLine(y);
        switch (format) {
        case pg1Bit: {
            std::memcpy(row, line.data(), size_t(needed));
            // Only a partial last byte is masked; with whole bytes the index
            // width div 8 lies past the row.
            if (width % 8 != 0) row[width / 8] &= uint8_t(0xFF00 >> (width % 8));
            break;
        }
        case pg4Bit: {
            const uint8_t* p0 = line.data();
            const uint8_t* p1 = p0 + bpl;
            const uint8_t* p2 = p1 + bpl;
            const uint8_t* p3 = p2 + bpl;
            for (int x = 0; x < width; ++x) {
                const int i = x / 8, bit = 7 - x % 8;
                const int v = ((p0[i] >> bit) & 1) | (((p1[i] >> bit) & 1) << 1) |
                              (((p2[i] >> bit) & 1) << 2) | (((p3[i] >> bit) & 1) << 3);
                if (x % 2 == 0)
                    row[x / 2] = uint8_t(v << 4);
                else
                    row[x / 2] |= uint8_t(v);
            }
            break;
        }
        case pg8Bit:
            std::memcpy(row, line.data(), size_t(width));
            break;
        default: {
            const uint8_t* r = line.data();
            const uint8_t* g = r + L / 3;
            const uint8_t* b = r + 2 * (L / 3);
            for (int x = 0; x < width; ++x) {
                row[3 * x] = b[x];
                row[3 * x + 1] = g[x];
                row[3 * x + 2] = r[x];
            }
            break;
        }
        }
        if (progress.Step(y, height)) break;
    }
}

void TPCXFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) Fail(20, "Index");
    const PCXHeader h = ReadHeader(stream);
    CheckCommon(h);
    info = TPGImageInfo{};
    const int bits = int(h.planes) * h.bitsPerPixel;
    // No PCX layout has more bits than a 64-bit count can show.
    if (bits > 63) Fail(33);
    info.BitsPerPixel = bits;
    info.Width = h.xmax - h.xmin + 1;
    info.Height = h.ymax - h.ymin + 1;
    switch (h.version) {
    case 0:
        info.SubType = "Version 2.5 (0)";
        break;
    case 2:
        info.SubType = "Version 2.8 (2) with Palette";
        break;
    case 3:
        info.SubType = "Version 2.8 (3) without Palette";
        break;
    case 5:
        info.SubType = "Version 3.0 (5)";
        break;
    default:
        break;
    }
    info.Colors = bits == 24 ? "16.7M" : PowerOfTwo(bits);
}

void RegisterPCXFormats() {
    RegisterFileFormatReader(std::make_unique<TPCXFileFormatReader>());
}
