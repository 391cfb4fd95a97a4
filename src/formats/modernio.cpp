#include "formats/modernio.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "core/metadata.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "core/stream.h"

bool StreamFitsCap(TStream& stream) { return stream.Remaining() <= PGMaxImageBytes; }

std::vector<uint8_t> ReadRestOfStream(TStream& stream) {
    const int64_t n = std::max<int64_t>(0, stream.Remaining());
    std::vector<uint8_t> data(size_t(std::min<int64_t>(n, PGMaxImageBytes)));
    int64_t got = 0;
    while (got < int64_t(data.size())) {
        const int64_t k = stream.Read(data.data() + got, int64_t(data.size()) - got);
        if (k <= 0) break;
        got += k;
    }
    data.resize(size_t(got));
    return data;
}

bool FitsPictureCap(int64_t width, int64_t height, int64_t bytesPerPixel) {
    if (width <= 0 || height <= 0) return false;
    if (width > INT32_MAX || height > INT32_MAX) return false;
    const long long cap = PGMaxImageBytes;
    return width * height <= cap / std::max<int64_t>(1, bytesPerPixel);
}

void RaisePictureCap() { throw EPixelGraphic(PGMessage(31, "CreateDIBSection")); }

void FlipStoreRows(TPixelGraphic& picture) {
    const int h = picture.GetHeight();
    const int64_t n = picture.RowBytes();
    uint8_t* bits = picture.Bits();
    std::vector<uint8_t> tmp(static_cast<size_t>(n));
    for (int a = 0, b = h - 1; a < b; ++a, --b) {
        uint8_t* ra = bits + int64_t(a) * n;
        uint8_t* rb = bits + int64_t(b) * n;
        std::memcpy(tmp.data(), ra, size_t(n));
        std::memcpy(ra, rb, size_t(n));
        std::memcpy(rb, tmp.data(), size_t(n));
    }
}

void RowAsRGB(const TPixelGraphic& picture, int y, uint8_t* rgb) {
    const uint8_t* row = picture.ScanLine(y);
    const int w = picture.GetWidth();
    const TPGPixelFormat f = picture.PixelFormat();
    if (f == pg24Bit) {
        for (int x = 0; x < w; ++x, row += 3, rgb += 3) {
            rgb[0] = row[2];
            rgb[1] = row[1];
            rgb[2] = row[0];
        }
        return;
    }
    const std::vector<TRGB>& palette = picture.Palette();
    for (int x = 0; x < w; ++x, rgb += 3) {
        const int32_t i = PGLoadIndex(row, f, x);
        const TRGB c = size_t(i) < palette.size() ? palette[size_t(i)] : picture.PaletteEntry(i);
        rgb[0] = uint8_t(GetRValue(c));
        rgb[1] = uint8_t(GetGValue(c));
        rgb[2] = uint8_t(GetBValue(c));
    }
}

int DecoderThreads() {
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

void HandOnMetadata(TPixelGraphic& picture, TPictureMetadataBytes&& bytes, bool upright) {
    TPGMetadata m;
    if (bytes.exif.size() <= kPGMaxExifBytes && IsExifBlock(bytes.exif)) {
        m.Exif = std::move(bytes.exif);
        if (upright) SetExifBlockOrientation(m.Exif, 1);
    }
    if (bytes.icc.size() <= kPGMaxICCBytes) m.ICC = std::move(bytes.icc);
    picture.SetMetadata(std::move(m));
}
