#include "processing/geometryops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/exceptions.h"
#include "core/optpalette.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {

// An empty picture of the source's format with the source's palette.
std::unique_ptr<TPixelGraphic> SameKind(const TPixelGraphic& source, int w, int h) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, source.PixelFormat());
    if (source.PixelFormat() != pg24Bit) p->CopyPaletteFrom(source);
    return p;
}

// Quarter turns of whole-byte pixels, block by block so that both the rows
// read and the rows written stay in the cache: the same pixels in the same
// places as the core's rotation, which walks the source column by column.
void QuarterTurn(const TPixelGraphic& source, TPixelGraphic& dest, int turn) {
    const int w = source.GetWidth(), h = source.GetHeight();
    const int dw = dest.GetWidth(), dh = dest.GetHeight();
    const int64_t bpp = source.BitsPerPixel() / 8;
    constexpr int kBlock = 64;
    std::vector<const uint8_t*> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = source.ScanLine(y);
    for (int by = 0; by < dh; by += kBlock)
        for (int bx = 0; bx < dw; bx += kBlock) {
            const int ey = std::min(by + kBlock, dh), ex = std::min(bx + kBlock, dw);
            for (int ty = by; ty < ey; ++ty) {
                uint8_t* d = dest.ScanLine(ty);
                for (int tx = bx; tx < ex; ++tx) {
                    int x, y;
                    if (turn == 1)
                        x = ty, y = h - 1 - tx;
                    else if (turn == 2)
                        x = w - 1 - tx, y = h - 1 - ty;
                    else
                        x = w - 1 - ty, y = tx;
                    const uint8_t* sp = rows[size_t(y)] + x * bpp;
                    uint8_t* dp = d + tx * bpp;
                    for (int64_t i = 0; i < bpp; ++i)
                        dp[i] = sp[i];
                }
            }
        }
}

} // namespace

TPGRect IntersectWithPicture(const TPixelGraphic& picture, int64_t x, int64_t y, int64_t w,
                             int64_t h) {
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(x + std::max<int64_t>(w, 0), picture.GetWidth());
    const int64_t y1 = std::min<int64_t>(y + std::max<int64_t>(h, 0), picture.GetHeight());
    if (picture.GetEmpty() || x1 <= x0 || y1 <= y0) return {};
    return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

std::unique_ptr<TPixelGraphic> CropPicture(const TPixelGraphic& source, const TPGRect& rect) {
    const TPGRect r = IntersectWithPicture(source, rect.left, rect.top, rect.width, rect.height);
    if (r.Empty()) return nullptr;
    auto c = SameKind(source, r.width, r.height);
    const TPGPixelFormat f = source.PixelFormat();
    const int bits = source.BitsPerPixel();
    for (int i = 0; i < r.height; ++i) {
        const uint8_t* src = source.ScanLine(r.top + i);
        uint8_t* dst = c->ScanLine(i);
        if (bits >= 8) {
            // Whole bytes: one copy per row.
            const int64_t bpp = bits / 8;
            std::memcpy(dst, src + int64_t(r.left) * bpp, size_t(int64_t(r.width) * bpp));
        } else {
            // 1 and 4 bits: the rectangle may start inside a byte.
            for (int j = 0; j < r.width; ++j)
                PGStoreIndex(dst, f, j, PGLoadIndex(src, f, r.left + j));
        }
    }
    c->Changed();
    return c;
}

long double DialogRotateAngle(long double angle, bool counterClockwise) {
    return counterClockwise ? 360 - angle : angle;
}

std::unique_ptr<TPixelGraphic> RotatePicture(TPixelGraphic& source, long double angle) {
    if (!std::isfinite(angle)) throw EPixelGraphic("Invalid angle");
    auto r = SameKind(source, 0, 0);
    r->SetRotateInterpolation(true);
    const int bits = source.BitsPerPixel();
    if (angle == std::trunc(angle) && std::fmod(angle, 90.0L) == 0 && bits >= 8 &&
        !source.GetEmpty()) {
        long double q = std::fmod(angle / 90, 4.0L);
        if (q < 0) q += 4;
        const int turn = int(q);
        if (turn % 2)
            r->SetFormat(source.GetHeight(), source.GetWidth(), source.PixelFormat());
        else
            r->SetFormat(source.GetWidth(), source.GetHeight(), source.PixelFormat());
        if (turn == 0) {
            for (int y = 0; y < source.GetHeight(); ++y)
                std::memcpy(r->ScanLine(y), source.ScanLine(y), size_t(source.RowBytes()));
        } else {
            QuarterTurn(source, *r, turn);
        }
        r->Changed();
        return r;
    }
    r->Rotate(source, angle, true);
    return r;
}

int64_t ConstrainedSide(int64_t newSide, int64_t oldSide, int64_t oldOther) {
    if (oldSide <= 0 || newSide <= 0 || oldOther <= 0) return 0;
    // Exact in long double for every size a picture can have.
    return int64_t(std::nearbyint((long double)newSide * oldOther / oldSide));
}

std::unique_ptr<TPixelGraphic> ResizePicture(TPixelGraphic& source, int64_t width, int64_t height) {
    if (width < 1 || height < 1) throw EPGInvalidSize(PGMessage(35));
    if (width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max())
        throw EPixelGraphic(PGMessage(31, "CreateDIBSection"));
    auto s = std::make_unique<TPixelGraphic>();
    s->SetFormat(int(width), int(height), pg24Bit);
    s->SetPaletteIdent(source.PaletteIdent());
    s->SetStretchMode(smPrecise);
    s->CopyFrom(source);
    return s;
}

std::unique_ptr<TPixelGraphic> BorderPicture(TPixelGraphic& source, int width, TRGB color,
                                             bool oval) {
    if (width < kMinBorderWidth)
        throw EPixelGraphic("The border must be at least " + std::to_string(kMinBorderWidth) +
                            " pixels wide");
    auto b = SameKind(source, source.GetWidth(), source.GetHeight());
    b->DrawBorder(source, oval, width, color);
    return b;
}

std::unique_ptr<TPixelGraphic> PosterizePicture(TPixelGraphic& source) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(source.GetWidth(), source.GetHeight(), pg4Bit);
    p->SetDither(false);
    p->SetRGBWeighting(false);
    BuildOptimizedPalette(*p, source, 8, false);
    p->CopyFrom(source);
    return p;
}
