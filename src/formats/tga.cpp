#include "formats/tga.h"

#include <cstring>
#include <vector>

#include "core/pixelgraphic.h"
#include "formats/inbuffer.h"
#include "formats/register.h"

namespace {

struct TGAHeader {
    uint8_t idLength, colorMapType, imageType;
    int firstIndex, mapLength;
    uint8_t entrySize;
    int width, height;
    uint8_t depth, descriptor;
};

[[noreturn]] void Fail(int no, const std::string& s1 = {}) {
    throw EPGTGAFileFormatReader("TGA: " + PGMessage(no, s1));
}

int U16(const uint8_t* p) { return p[0] | (p[1] << 8); }

TGAHeader ReadHeader(TStream& stream) {
    uint8_t h[18];
    if (stream.Read(h, 18) != 18) Fail(32);
    TGAHeader r;
    r.idLength = h[0];
    r.colorMapType = h[1];
    r.imageType = h[2];
    r.firstIndex = U16(h + 3);
    r.mapLength = U16(h + 5);
    r.entrySize = h[7];
    r.width = U16(h + 12);
    r.height = U16(h + 14);
    r.depth = h[16];
    r.descriptor = h[17];
    return r;
}

bool KnownImageType(int t) { return t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11; }

// A 15/16-bit value: red in bits 10-14, green 5-9, blue 0-4.
inline void Expand16(const uint8_t* p, uint8_t* bgr) {
    const int v = p[0] | (p[1] << 8);
    bgr[0] = uint8_t((v & 31) << 3);
    bgr[1] = uint8_t(((v >> 5) & 31) << 3);
    bgr[2] = uint8_t(((v >> 10) & 31) << 3);
}

} // namespace

void TTGAFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) Fail(7, "Index");
    const TGAHeader h = ReadHeader(stream);
    const int depth = h.depth == 15 ? 16 : h.depth;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) Fail(30);
    // Unknown types (no image data, or codes we cannot decode) are refused
    // rather than read as something they are not; likewise indexes or grey
    // levels wider than a byte.
    if (!KnownImageType(h.imageType)) Fail(30);
    const bool mapped = (h.imageType & 7) == 1, grey = (h.imageType & 7) == 3;
    if ((mapped || grey) && depth != 8) Fail(30);
    const bool rle = (h.imageType & 8) != 0;

    stream.Seek(h.idLength, TSeekOrigin::Current);
    const int entryBits = h.entrySize == 15 ? 16 : h.entrySize;
    const int64_t mapBytes =
        h.colorMapType == 1 ? int64_t(h.mapLength) * ((h.entrySize + 7) / 8) : 0;
    std::vector<TRGB> palette;
    if (h.colorMapType == 1 && depth == 8 && h.mapLength > 0) {
        if (entryBits != 16 && entryBits != 24 && entryBits != 32) Fail(30);
        // The map holds the entries for indexes first .. first + length - 1;
        // indexes below the first entry are black.
        const int bytes = entryBits / 8;
        std::vector<uint8_t> map(static_cast<size_t>(h.mapLength) * size_t(bytes));
        if (stream.Read(map.data(), int64_t(map.size())) != int64_t(map.size())) Fail(32);
        palette.assign(size_t(std::min(256, h.firstIndex)), RGB(0, 0, 0));
        for (int i = 0; i < h.mapLength && int(palette.size()) < 256; ++i) {
            const uint8_t* e = map.data() + size_t(i) * size_t(bytes);
            uint8_t bgr[3];
            if (bytes == 2)
                Expand16(e, bgr);
            else
                std::memcpy(bgr, e, 3);
            palette.push_back(RGB(bgr[2], bgr[1], bgr[0]));
        }
    } else {
        stream.Seek(mapBytes, TSeekOrigin::Current);
    }

    const int width = h.width, height = h.height;
    const int pixelBytes = depth / 8;
    const int64_t rowBytes = int64_t(width) * pixelBytes;
    // A packet of at most 1 + pixelBytes bytes gives up to 128 pixels; with
    // less data than that the picture cannot be there, so nothing is allocated.
    const int64_t available = stream.Size() - stream.Position();
    const int64_t total = rowBytes * height;
    if (rle ? available * 128 < total : available < total) Fail(32);

    picture.SetFormat(width, height, depth == 8 ? pg8Bit : pg24Bit);
    if (depth == 8) {
        if (!palette.empty()) {
            picture.SetPaletteCount(int(palette.size()));
            for (int i = 0; i < int(palette.size()); ++i) picture.SetPaletteEntry(i, palette[size_t(i)]);
        } else {
            picture.SetPaletteIdent(pGray256);
        }
    }
    // A picture without rows or columns has no pixel data to read.
    if (height == 0 || width == 0) return;

    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const bool topDown = (h.descriptor & 0x20) != 0;
    TPGProgressScope progress(picture, this);
    TInputBuffer<EPGTGAFileFormatReader> in(stream, "TGA: " + PGMessage(32));
    std::vector<uint8_t> raw(static_cast<size_t>(rowBytes));
    // Run-length state: a packet may cross the end of a row and goes on in
    // the next one.
    int runLeft = 0;
    bool runRepeat = false;
    uint8_t runValue[4] = {0, 0, 0, 0};
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        uint8_t* row = picture.ScanLine(y);
        if (rle) {
            uint8_t* p = raw.data();
            for (int x = 0; x < width; ++x, p += pixelBytes) {
                if (runLeft == 0) {
                    const uint8_t hb = in.Get();
                    runLeft = (hb & 127) + 1;
                    runRepeat = (hb & 128) != 0;
                    if (runRepeat) in.Take(runValue, pixelBytes);
                }
                if (runRepeat)
                    std::memcpy(p, runValue, size_t(pixelBytes));
                else
                    in.Take(p, pixelBytes);
                --runLeft;
            }
        } else {
            in.Take(raw.data(), rowBytes);
        }
        if (rightToLeft) {
            for (int a = 0, b = width - 1; a < b; ++a, --b)
                for (int k = 0; k < pixelBytes; ++k)
                    std::swap(raw[size_t(a) * pixelBytes + k], raw[size_t(b) * pixelBytes + k]);
        }
        const uint8_t* s = raw.data();
        switch (depth) {
        case 8:
        case 24:
            std::memcpy(row, s, size_t(rowBytes));
            break;
        case 16:
            for (int x = 0; x < width; ++x) Expand16(s + 2 * x, row + 3 * x);
            break;
        default:
            for (int x = 0; x < width; ++x) std::memcpy(row + 3 * x, s + 4 * x, 3);
            break;
        }
        if (progress.Step(r, height)) break;
    }
}

void TTGAFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) Fail(20, "Index");
    const TGAHeader h = ReadHeader(stream);
    info = TPGImageInfo{};
    switch (h.imageType) {
    case 1:
    case 9:
        info.Options = "Color-mapped";
        break;
    case 2:
    case 10:
        info.Options = "True-color";
        break;
    case 3:
    case 11:
        info.Options = "\"Black-and-white\"";
        break;
    default:
        Fail(20, "ImageType");
    }
    info.SubType = h.imageType < 8 ? "Uncompressed" : "Run-length encoded";
    info.Width = h.width;
    info.Height = h.height;
    info.BitsPerPixel = h.depth;
    info.Colors = h.depth <= 23 ? std::to_string(1L << h.depth) : h.depth == 24 ? "16.7M" : "16.7M ?";
    info.GraphicCount = 1;
}

void TTGAFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    const int width = picture.GetWidth(), height = picture.GetHeight();
    // The header holds sizes in 16 bits; larger ones would be cut silently.
    if (width > 65535) throw EPGTGAFileFormatWriter("TGA: " + PGMessage(20, "Width"));
    if (height > 65535) throw EPGTGAFileFormatWriter("TGA: " + PGMessage(20, "Height"));
    const bool palette = picture.PixelFormat() != pg24Bit;
    const int depth = palette ? 8 : 24;
    uint8_t h[18] = {};
    if (palette) {
        h[1] = 1;
        h[2] = 1;
        const int n = picture.PaletteCount();
        h[5] = uint8_t(n);
        h[6] = uint8_t(n >> 8);
        h[7] = 24;
    } else {
        h[2] = 2;
    }
    h[12] = uint8_t(width);
    h[13] = uint8_t(width >> 8);
    h[14] = uint8_t(height);
    h[15] = uint8_t(height >> 8);
    h[16] = uint8_t(depth);
    stream.WriteBuffer(h, 18);
    if (palette) {
        std::vector<uint8_t> map;
        for (TRGB c : picture.Palette()) {
            map.push_back(uint8_t(GetBValue(c)));
            map.push_back(uint8_t(GetGValue(c)));
            map.push_back(uint8_t(GetRValue(c)));
        }
        stream.WriteBuffer(map.data(), int64_t(map.size()));
    }
    if (height == 0) return;
    TPGProgressScope progress(picture, &picture);
    const int64_t rowBytes = int64_t(width) * depth / 8;
    // 1- and 4-bit pictures handed over directly are stored with one index
    // byte per pixel, the only colour-mapped depth written.
    std::vector<uint8_t> expanded(picture.PixelFormat() < pg8Bit ? size_t(width) : 0);
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = picture.ScanLine(y);
        if (!expanded.empty()) {
            for (int x = 0; x < width; ++x) expanded[size_t(x)] = uint8_t(picture.GetPixel(x, y));
            row = expanded.data();
        }
        stream.WriteBuffer(row, rowBytes);
        progress.Step(height - 1 - y, height);
    }
}

void RegisterTGAFormats() {
    RegisterFileFormatReader(std::make_unique<TTGAFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TTGAFileFormatWriter>());
}
