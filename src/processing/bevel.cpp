#include "processing/bevel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "core/pixelgraphic.h"

namespace {

// Trunc(channel x f) limited to 255, the products in extended precision
// (100 x 0.7 is exactly 70 there, 69.99... in double).
struct TLevels {
    std::array<uint8_t, 256> v;
    explicit TLevels(long double f) {
        for (int c = 0; c < 256; ++c) {
            const long double p = std::trunc(c * f);
            v[size_t(c)] = uint8_t(p > 255 ? 255 : p);
        }
    }
};

} // namespace

void DrawBevel(TPixelGraphic& picture, int rings) {
    const int w = picture.GetWidth(), h = picture.GetHeight();
    if (rings <= 0 || w <= 0 || h <= 0) return;
    static const TLevels top(1.55L), bottom(0.7L), left(1.3L), right(0.8L);
    const bool direct = picture.PixelFormat() == pg24Bit;
    auto apply = [&](int x, int y, const TLevels& l) {
        if (x < 0 || x >= w || y < 0 || y >= h) return;
        if (direct) {
            uint8_t* p = picture.ScanLine(y) + int64_t(x) * 3;
            p[0] = l.v[p[0]], p[1] = l.v[p[1]], p[2] = l.v[p[2]];
        } else {
            const TRGB c = picture.GetPixelColor(x, y);
            picture.SetPixelColor(x, y,
                                  RGB(l.v[size_t(GetRValue(c))], l.v[size_t(GetGValue(c))],
                                      l.v[size_t(GetBValue(c))]));
        }
    };
    // Rings beyond half the picture touch nothing.
    const int n = int(std::min<int64_t>(rings, (int64_t(std::max(w, h)) + 1) / 2 + 1));
    for (int i = 0; i < n; ++i) {
        for (int x = i; x <= w - i; ++x) {
            apply(x, i, top);
            apply(x, h - 1 - i, bottom);
        }
        for (int y = i + 1; y <= h - 1 - i; ++y) {
            apply(i, y, left);
            if (y < h - i - 2) apply(w - 1 - i, y, right);
        }
    }
    picture.Changed();
}
