#include "processing/radial.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

const char* const kRadialInvalidValues = "Invalid values entered!";

bool ParseRadialCoefficient(const std::string& text, double& value) {
    const size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    const size_t e = text.find_last_not_of(" \t") + 1;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    if (*first == '+') ++first; // from_chars takes no plus sign
    double v = 0;
    // from_chars never looks at the locale; out of range gives an error.
    const auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseRadialCoefficients(const std::string& a, const std::string& b, const std::string& c,
                             const std::string& d, TRadialCoefficients& k) {
    TRadialCoefficients t;
    if (!ParseRadialCoefficient(a, t.a) || !ParseRadialCoefficient(b, t.b) ||
        !ParseRadialCoefficient(c, t.c) || !ParseRadialCoefficient(d, t.d))
        return false;
    k = t;
    return true;
}

namespace {

// Samples beyond this distance from the picture read background, whatever
// their exact place (and Trunc of them stays inside int).
constexpr double kFarOff = 1 << 30;

} // namespace

std::unique_ptr<TPixelGraphic> RadialAdjust(const TPixelGraphic& source,
                                            const TRadialCoefficients& k,
                                            const TRadialProgress& progress) {
    if (!std::isfinite(k.a) || !std::isfinite(k.b) || !std::isfinite(k.c) || !std::isfinite(k.d))
        throw EPixelGraphic(kRadialInvalidValues);
    const int w = source.GetWidth(), h = source.GetHeight();
    auto out = std::make_unique<TPixelGraphic>();
    out->SetFormat(w, h, pg24Bit);
    if (w == 0 || h == 0 || source.GetEmpty()) return out;

    TRGB background = 0;
    try {
        background = source.GetPixelColor(-1, -1);
    } catch (const EPixelGraphic&) {
        background = 0; // a background index beyond the palette: black
    }
    const uint8_t bg[3] = {uint8_t(GetBValue(background)), uint8_t(GetGValue(background)),
                           uint8_t(GetRValue(background))};

    // The source as 24-bit rows (a palette picture through its palette).
    std::unique_ptr<TPixelGraphic> converted;
    const TPixelGraphic* src = &source;
    if (source.PixelFormat() != pg24Bit) {
        converted = std::make_unique<TPixelGraphic>();
        converted->SetFormat(w, h, pg24Bit);
        TPGSourceRows rows(source);
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = rows.RowBGR(y, 0, w - 1);
            std::copy(s, s + int64_t(w) * 3, converted->ScanLine(y));
        }
        src = converted.get();
    }
    std::vector<const uint8_t*> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = src->ScanLine(y);
    auto pixel = [&](int64_t x, int64_t y) -> const uint8_t* {
        if (x < 0 || y < 0 || x >= w || y >= h) return bg;
        return rows[size_t(y)] + x * 3;
    };

    const int cx = w / 2, cy = h / 2;
    if (cx == 0) {
        // One pixel wide: the radius unit would be zero.
        for (int y = 0; y < h; ++y)
            std::copy(rows[size_t(y)], rows[size_t(y)] + 3, out->ScanLine(y));
        return out;
    }
    for (int y = 0; y < h; ++y) {
        if (progress && progress(h > 1 ? int(int64_t(y) * 100 / (h - 1)) : 0)) return nullptr;
        uint8_t* dst = out->ScanLine(y);
        const double dy = y - cy;
        for (int x = 0; x < w; ++x) {
            const double dx = x - cx;
            const double r = std::sqrt(dx * dx + dy * dy) / cx;
            // cos(theta) rs = dx (r' / r): the same point without the angle,
            // and exactly the pixel itself when the polynomial is 1.
            const double f = ((k.a * r + k.b) * r + k.c) * r + k.d;
            const double sx = dx * f + cx, sy = dy * f + cy;
            uint8_t* d = dst + int64_t(x) * 3;
            if (!std::isfinite(sx) || !std::isfinite(sy) || std::fabs(sx) > kFarOff ||
                std::fabs(sy) > kFarOff) {
                d[0] = bg[0], d[1] = bg[1], d[2] = bg[2];
                continue;
            }
            const int64_t ix = int64_t(std::trunc(sx)), iy = int64_t(std::trunc(sy));
            if (ix == x && iy == y) {
                const uint8_t* s = pixel(x, y);
                d[0] = s[0], d[1] = s[1], d[2] = s[2];
                continue;
            }
            // Trunc toward zero makes the weights leave 0..1 just left of
            // and above the picture; the channels are clamped.
            const double fx = sx - double(ix), fy = sy - double(iy);
            const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy,
                         w11 = fx * fy;
            const uint8_t* p00 = pixel(ix, iy);
            const uint8_t* p10 = pixel(ix + 1, iy);
            const uint8_t* p01 = pixel(ix, iy + 1);
            const uint8_t* p11 = pixel(ix + 1, iy + 1);
            for (int i = 0; i < 3; ++i) {
                const double v = w00 * p00[i] + w10 * p10[i] + w01 * p01[i] + w11 * p11[i];
                d[i] = uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
            }
        }
    }
    if (progress) progress(100);
    out->Changed();
    return out;
}
