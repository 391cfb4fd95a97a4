#include "formats/metafile.h"

#include <cmath>
#include <cstring>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "formats/bmp.h"
#include "formats/metafile_bytes.h"

namespace {
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"

// Pixels for `units` at `unitsPerInch`, rounded; -1 when it does not make a
// usable side.
int SideInPixels(double units, double unitsPerInch, double dpi) {
    if (!(unitsPerInch > 0)) return -1;
    const double px = std::nearbyint(units * dpi / unitsPerInch);
    if (!(px >= 1) || px > kMetaMaxSide) return -1;
    return int(px);
}

bool StandardWmfHeader(const uint8_t* d, size_t n) {
    return n >= 18 && U16(d, n, 2) == 9;
}
} // namespace

bool TMetafileData::LoadWMF(const uint8_t* d, size_t n, double dpi) {
    *this = TMetafileData{};
    dpi_ = dpi;
    const uint8_t* body = d;
    size_t bodySize = n;
    bool own = false;
    if (n >= 22 && U32(d, n, 0) == kPlaceableKey) {
        body = d + 22;
        bodySize = n - 22;
        uint16_t sum = 0;
        for (size_t i = 0; i < 10; ++i)
            sum ^= U16(d, n, 2 * i);
        // A header whose checksum does not match is replaced by the made-up
        // one, as a player that rejects it and retries would.
        own = sum == U16(d, n, 20);
    }
    if (!StandardWmfHeader(body, bodySize)) return false;
    int left = 0, top = 0, right = 99, bottom = 49;
    double inch = dpi;
    if (own) {
        left = I16(d, n, 6);
        top = I16(d, n, 8);
        right = I16(d, n, 10);
        bottom = I16(d, n, 12);
        inch = U16(d, n, 14);
    }
    // Zero or absurd sizes are an error, not an empty or giant picture.
    width_ = SideInPixels(right - left, inch, dpi);
    height_ = SideInPixels(bottom - top, inch, dpi);
    if (width_ < 1 || height_ < 1) return false;
    placeable_ = own;
    bboxLeft_ = left;
    bboxTop_ = top;
    bboxRight_ = right;
    bboxBottom_ = bottom;
    objectCount_ = U16(body, bodySize, 10);
    data_.assign(body, body + bodySize);
    return true;
}

bool TMetafileData::LoadEMF(const uint8_t* d, size_t n, double dpi) {
    *this = TMetafileData{};
    dpi_ = dpi;
    if (n < 88 || U32(d, n, 0) != 1) return false;
    const uint32_t headerSize = U32(d, n, 4);
    if (headerSize < 88 || headerSize > n || headerSize % 4 != 0 || U32(d, n, 40) != kEmfSignature)
        return false;
    const double fl = I32(d, n, 24), ft = I32(d, n, 28), fr = I32(d, n, 32), fb = I32(d, n, 36);
    const double devX = I32(d, n, 72), devY = I32(d, n, 76), mmX = I32(d, n, 80),
                 mmY = I32(d, n, 84);
    if (!(devX > 0 && devY > 0 && mmX > 0 && mmY > 0)) return false;
    // The frame is in hundredths of a millimetre.
    width_ = SideInPixels(fr - fl, 2540, dpi);
    height_ = SideInPixels(fb - ft, 2540, dpi);
    if (width_ < 1 || height_ < 1) return false;
    devPerMMx_ = devX / mmX;
    devPerMMy_ = devY / mmY;
    frameLeft_ = fl / 100 * devPerMMx_;
    frameTop_ = ft / 100 * devPerMMy_;
    frameRight_ = fr / 100 * devPerMMx_;
    frameBottom_ = fb / 100 * devPerMMy_;
    objectCount_ = U16(d, n, 56);
    enhanced_ = true;
    data_.assign(d, d + n);

    // The palette travels in the end-of-file record.
    const uint32_t palEntries = U32(d, n, 68);
    if (palEntries > 0) {
        for (size_t pos = 0; n - pos >= 8;) {
            const uint32_t type = U32(d, n, pos), size = U32(d, n, pos + 4);
            if (size < 8 || size % 4 != 0 || size > n - pos) break;
            if (type == 14) {
                const uint32_t count = U32(d, n, pos + 8), off = U32(d, n, pos + 12);
                if (count == palEntries && count <= 256 && off >= 16 && off <= size &&
                    (size - off) / 4 >= count) {
                    for (uint32_t i = 0; i < count; ++i) {
                        const size_t e = pos + off + 4 * i;
                        palette_.push_back(RGB(d[e], d[e + 1], d[e + 2]));
                    }
                }
                break;
            }
            pos += size;
        }
    }
    return true;
}

void TMetafileData::Play(TMetaCanvas& canvas, int width, int height) const {
    if (width < 1 || height < 1 || data_.empty()) return;
    if (enhanced_)
        PlayEMF(canvas, width, height);
    else
        PlayWMF(canvas, width, height);
}

size_t MetaDIBTableBytes(const uint8_t* bmi, size_t bmiSize, bool paletteIndices) {
    if (bmiSize < 40) return 0;
    const int bitCount = U16(bmi, bmiSize, 14);
    const uint32_t compression = U32(bmi, bmiSize, 16);
    uint32_t used = U32(bmi, bmiSize, 32);
    if (bitCount >= 1 && bitCount <= 8) {
        const uint32_t max = 1u << bitCount;
        if (used == 0 || used > max) used = max;
        return size_t(used) * (paletteIndices ? 2 : 4);
    }
    return compression == 3 ? 12 : 0;
}

namespace {
// RLE8/RLE4 bits go through the bitmap reader's decoder, which checks every
// code against the data; the header and table are rebuilt into one block.
bool DecodeRleDIB(const uint8_t* bmi, size_t bmiSize, const std::vector<TRGB>& table,
                  const uint8_t* bits, size_t bitsSize, int& width, int& height,
                  std::vector<uint8_t>& bgr) {
    std::vector<uint8_t> packed(bmi, bmi + 40);
    packed[0] = 40, packed[1] = packed[2] = packed[3] = 0;
    const uint32_t n = uint32_t(table.size());
    for (int i = 0; i < 4; ++i) // colours used: the whole rebuilt table
        packed[32 + size_t(i)] = uint8_t(n >> (8 * i));
    for (TRGB c : table)
        packed.insert(packed.end(),
                      {uint8_t(GetBValue(c)), uint8_t(GetGValue(c)), uint8_t(GetRValue(c)), 0});
    packed.insert(packed.end(), bits, bits + bitsSize);
    (void)bmiSize;
    TPixelGraphic g;
    try {
        DecodePackedDIB(g, packed.data(), packed.size());
    } catch (...) {
        return false;
    }
    const int w = g.GetWidth(), h = g.GetHeight();
    if (w <= 0 || h <= 0) return false;
    width = w;
    height = h;
    bgr.assign(size_t(w) * size_t(h) * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TRGB c = g.GetPixelColor(x, y);
            uint8_t* dst = bgr.data() + (size_t(y) * size_t(w) + size_t(x)) * 3;
            dst[0] = uint8_t(GetBValue(c));
            dst[1] = uint8_t(GetGValue(c));
            dst[2] = uint8_t(GetRValue(c));
        }
    return true;
}
} // namespace

bool DecodeMetaDIB(const uint8_t* bmi, size_t bmiSize, const uint8_t* bits, size_t bitsSize,
                   int& width, int& height, std::vector<uint8_t>& bgr,
                   const std::vector<TRGB>* palette) {
    if (bmiSize < 40) return false;
    const uint32_t hs = U32(bmi, bmiSize, 0);
    if (hs < 40 || hs > bmiSize) return false;
    const int32_t w = I32(bmi, bmiSize, 4), h = I32(bmi, bmiSize, 8);
    const int bitCount = U16(bmi, bmiSize, 14);
    const uint32_t compression = U32(bmi, bmiSize, 16);
    uint32_t used = U32(bmi, bmiSize, 32);
    if (w <= 0 || h == 0 || h == INT32_MIN || w > kMetaMaxSide || std::abs(h) > kMetaMaxSide)
        return false;
    const bool topDown = h < 0;
    const int64_t H = std::abs(int64_t(h));
    const bool rle = (compression == 1 && bitCount == 8) || (compression == 2 && bitCount == 4);
    if (compression != 0 && !rle && !(compression == 3 && (bitCount == 32 || bitCount == 16)))
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    if (int64_t(w) * H * 3 > PGMaxImageBytes) return false;
    // Colour table after the header (bit fields masks count as part of it);
    // palette indices name entries of the selected logical palette.
    std::vector<TRGB> table;
    if (bitCount <= 8) {
        const uint32_t max = 1u << bitCount;
        if (used == 0 || used > max) used = max;
        if ((bmiSize - hs) / (palette ? 2 : 4) < used) return false;
        for (uint32_t i = 0; i < used; ++i) {
            if (palette) {
                const size_t k = U16(bmi, bmiSize, hs + 2 * i);
                table.push_back(k < palette->size() ? (*palette)[k] : 0);
            } else {
                const uint8_t* q = bmi + hs + 4 * i;
                table.push_back(RGB(q[2], q[1], q[0]));
            }
        }
        table.resize(max, 0);
    }
    if (rle)
        return !topDown && DecodeRleDIB(bmi, bmiSize, table, bits, bitsSize, width, height, bgr);
    const int64_t rowBytes = ((int64_t(w) * bitCount + 31) / 32) * 4;
    if (int64_t(bitsSize) / rowBytes < H) return false;
    width = w;
    height = int(H);
    bgr.assign(size_t(int64_t(w) * H * 3), 0);
    for (int64_t y = 0; y < H; ++y) {
        const uint8_t* src = bits + (topDown ? y : H - 1 - y) * rowBytes;
        uint8_t* dst = bgr.data() + y * w * 3;
        for (int x = 0; x < w; ++x, dst += 3) {
            TRGB c;
            switch (bitCount) {
            case 1:
                c = table[size_t((src[x >> 3] >> (7 - (x & 7))) & 1)];
                break;
            case 4:
                c = table[size_t((x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4)];
                break;
            case 8:
                c = table[src[x]];
                break;
            case 16: {
                // 5-5-5 (the bit-field form with other masks is drawn the same way).
                const int v = src[2 * x] | src[2 * x + 1] << 8;
                c = RGB(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31,
                        (v & 31) * 255 / 31);
                break;
            }
            case 24:
                c = RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default:
                c = RGB(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
                break;
            }
            dst[0] = uint8_t(GetBValue(c));
            dst[1] = uint8_t(GetGValue(c));
            dst[2] = uint8_t(GetRValue(c));
        }
    }
    return true;
}
