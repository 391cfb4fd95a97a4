#include "formats/ico.h"

#include <algorithm>
#include <memory>

#include "core/bitmapinfo.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/register.h"

namespace {
const char* kNotIcon = "Not an Icon file";
const char* kBadIndex = "Index out of bounds";
constexpr TRGB kTransparentColor = 0xFFFFFF; // white

int64_t RowBytes(int64_t width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

std::string ColorText(int bits) {
    return bits == 1    ? "2"
           : bits == 4  ? "16"
           : bits == 8  ? "256"
           : bits >= 24 ? "16.7M"
                        : std::to_string(1 << bits);
}
} // namespace

int tIconHandler::Image::Index(int x, int y) const {
    const uint8_t* row = Xor.data() + (Height - 1 - y) * XorRow;
    switch (Bits) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
    default:
        return row[x];
    }
}

bool tIconHandler::Image::Masked(int x, int y) const {
    const uint8_t* row = And.data() + (Height - 1 - y) * AndRow;
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

bool tIconHandler::ReadDirectory(TStream& stream) {
    entries_.clear();
    type_ = 0;
    try {
        start_ = stream.Position();
        const int64_t size = stream.Size();
        if (size - start_ <= 6) return false;
        const uint16_t reserved = stream.ReadU16LE();
        const uint16_t type = stream.ReadU16LE();
        const uint16_t count = stream.ReadU16LE();
        if (reserved != 0 || (type != 1 && type != 2) || count == 0) return false;
        if (size - start_ - 6 <= int64_t(count) * 16) return false;
        std::vector<Entry> entries(count);
        for (Entry& e : entries) {
            uint8_t b[16];
            stream.ReadBuffer(b, 16);
            e.Width = b[0];
            e.Height = b[1];
            e.ColorCount = b[2];
            e.Planes = uint16_t(b[4] | b[5] << 8);
            e.BitCount = uint16_t(b[6] | b[7] << 8);
            e.BytesInRes = uint32_t(b[8] | b[9] << 8 | b[10] << 16) | uint32_t(b[11]) << 24;
            e.ImageOffset = uint32_t(b[12] | b[13] << 8 | b[14] << 16) | uint32_t(b[15]) << 24;
            // 64-bit sums: an offset near 4 GiB plus a size cannot wrap round.
            if (size < start_ + int64_t(e.ImageOffset) + int64_t(e.BytesInRes)) return false;
        }
        type_ = type;
        entries_ = std::move(entries);
        return true;
    } catch (const EStreamError&) {
        return false;
    }
}

bool tIconHandler::ReadHeader(TStream& stream, int i, int& width, int& height, int& bits) {
    if (i < 0 || i >= Count()) return false;
    try {
        stream.SetPosition(start_ + int64_t(entries_[size_t(i)].ImageOffset));
        BITMAPINFOHEADER bih;
        stream.ReadBuffer(&bih, sizeof bih);
        width = bih.biWidth;
        height = bih.biHeight / 2;
        bits = bih.biBitCount;
        return true;
    } catch (const EStreamError&) {
        return false;
    }
}

bool tIconHandler::LoadImage(TStream& stream, int i, Image& im) {
    int w, h, bits;
    if (!ReadHeader(stream, i, w, h, bits)) return false;
    if (w < 8 || w > 64 || h < 8 || h > 64 || (bits != 1 && bits != 4 && bits != 8) ||
        (type_ != 1 && type_ != 2))
        return false;
    const int64_t tableBytes = int64_t(4) << bits;
    const int64_t xorRow = RowBytes(w, bits), andRow = RowBytes(w, 1);
    if (int64_t(entries_[size_t(i)].BytesInRes) + 22 != 62 + tableBytes + xorRow * h + andRow * h)
        return false;
    try {
        std::vector<uint8_t> table(static_cast<size_t>(tableBytes));
        stream.ReadBuffer(table.data(), tableBytes);
        im.Xor.resize(size_t(xorRow * h));
        stream.ReadBuffer(im.Xor.data(), xorRow * h);
        im.And.resize(size_t(andRow * h));
        stream.ReadBuffer(im.And.data(), andRow * h);
        im.Palette.resize(size_t(1) << bits);
        for (size_t k = 0; k < im.Palette.size(); ++k)
            im.Palette[k] = RGB(table[4 * k + 2], table[4 * k + 1], table[4 * k]);
    } catch (const EStreamError&) {
        return false;
    }
    im.Width = w;
    im.Height = h;
    im.Bits = bits;
    im.XorRow = xorRow;
    im.AndRow = andRow;
    return true;
}

bool tIcoFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    return size >= 6 && (h[0] | h[1] << 8) == 0 && (h[2] | h[3] << 8) == 1 &&
           (h[4] | h[5] << 8) != 0;
}

void tIcoFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    picture.SetTransparent(true);
    picture.SetTransparentColor(kTransparentColor);
    tIconHandler icons;
    if (!icons.ReadDirectory(stream) || icons.Type() != 1) throw EPixelGraphic(kNotIcon);
    tIconHandler::Image im;
    if (imageIndex < 0 || imageIndex >= icons.Count() || !icons.LoadImage(stream, imageIndex, im))
        throw EPixelGraphic(kBadIndex);

    TPGProgressScope progress(picture, this);
    picture.SetFormat(im.Width, im.Height, pg24Bit);
    picture.SetTransparent(true);
    picture.SetTransparentColor(kTransparentColor);
    for (int y = 0; y < im.Height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < im.Width; ++x, row += 3) {
            const TRGB c = im.Masked(x, y) ? kTransparentColor : im.Palette[size_t(im.Index(x, y))];
            row[0] = uint8_t(GetBValue(c));
            row[1] = uint8_t(GetGValue(c));
            row[2] = uint8_t(GetRValue(c));
        }
        if (progress.Step(y, im.Height - 1)) break;
    }
}

void tIcoFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    (void)imageIndex;
    tIconHandler icons;
    if (!icons.ReadDirectory(stream)) throw EPixelGraphic(kNotIcon);
    info = TPGImageInfo{};
    info.GraphicCount = icons.Count();
    int minW = 0, maxW = 0, minBits = 0, maxBits = 0;
    for (int i = 0; i < icons.Count(); ++i) {
        int w, h, bits;
        if (!icons.ReadHeader(stream, i, w, h, bits)) throw EPixelGraphic(kNotIcon);
        if (i == 0) {
            info.Width = w;
            info.Height = h;
            info.BitsPerPixel = bits;
            minW = maxW = w;
            minBits = maxBits = bits;
        }
        minW = std::min(minW, w);
        maxW = std::max(maxW, w);
        minBits = std::min(minBits, bits);
        maxBits = std::max(maxBits, bits);
    }
    if (icons.Count() == 1) {
        info.Colors = ColorText(info.BitsPerPixel);
    } else {
        info.SubType = "Sizes " + std::to_string(minW) + ".." + std::to_string(maxW);
        info.Options = "Colors " + ColorText(minBits) + ".." + ColorText(maxBits);
    }
}

void RegisterIconFormats() {
    RegisterFileFormatReader(std::make_unique<tIcoFileFormatReader>());
}
