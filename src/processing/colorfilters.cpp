#include "processing/colorfilters.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "core/exceptions.h"
#include "processing/colorspace.h"
#include "processing/pgmath.h"

namespace {

constexpr long double kUnit = 1.0L / 255;

long double Unit(int c) {
    return c * kUnit;
}

// Rounds a level limited to -1..256 first, so the conversion cannot
// overflow, then clamps it to a channel.
uint8_t ClampLevel(long double x) {
    if (!(x >= -1)) x = -1; // also a value that is no number
    if (x > 256) x = 256;
    const long double r = RoundEven(x);
    return uint8_t(r < 0 ? 0 : r > 255 ? 255 : IntOf(r));
}

} // namespace

uint8_t UnitToChannel(long double v) {
    return ClampLevel(v * 255);
}

long double PGPower(long double b, long double e) {
    if (e == 0) return 1;
    if (b == 0) return 0;
    if (b == 1) return 1;
    return std::exp(e * std::log(b));
}

long double InterpolatedLookup(const TPGLevelTable& t, long double u) {
    const long double a = u * 255;
    if (a >= 255) return t[255] / 255.0L;
    long double k = a > -1e18L ? FloorL(a) : 0;
    if (!(k >= 0)) k = 0; // below 0 from rounding (or no number)
    const int i = IntOf(k);
    const long double f = a - k;
    return ((1 - f) * t[size_t(i)] + f * t[size_t(i + 1)]) / 255;
}

long double CircularHueLookup(const TPGLevelTable& t, long double h) {
    long double g = (h + 180) * 256 / 360;
    if (g >= 256) g = g - 256;
    long double k = g > -1e18L && g < 1e18L ? FloorL(g) : 0;
    if (!(k >= 0)) k = 0;
    if (k > 255) k = 255;
    const int i = IntOf(k);
    const long double a = t[size_t(i)];
    long double b = i == 255 ? t[0] : t[size_t(i + 1)];
    if (a - b > 128) b = b + 256;
    if (a - b < -128) b = b - 256;
    const long double v = (1 - (g - k)) * a + (g - k) * b;
    long double r = v * 360 / 256 - 180;
    while (r < 0)
        r = r + 360;
    while (r >= 360)
        r = r - 360;
    return r;
}

// ---- TPGColorFilter

void TPGColorFilter::Prepare(const TPixelGraphic& source) {
    TPGFilter::Prepare(source);
    rows_ = std::make_unique<TPGSourceRows>(source);
}

void TPGColorFilter::FilterRow(int y, int width, TRGB* colors) {
    for (int x = 0; x < width; ++x)
        colors[x] = FilterColor(rows_->Color(x, y));
}

void TPGColorFilter::Finish() {
    rows_.reset();
    TPGFilter::Finish();
}

// ---- TBCGFilter

TBCGFilter::TBCGFilter() {
    BuildTable();
}

void TBCGFilter::SetContrast(long double v) {
    if (!std::isfinite(v)) throw EPGFilter(PGMessage(41, "TBCGFilter.Contrast"));
    contrast_ = v;
}

void TBCGFilter::SetGamma(long double v) {
    if (!std::isfinite(v)) throw EPGFilter(PGMessage(41, "TBCGFilter.Gamma"));
    gamma_ = v;
}

void TBCGFilter::BuildTable() {
    const long double shift = (int64_t(brightness_) * 255) * 0.01L;
    for (int i = 0; i < 256; ++i) {
        long double x = PGPower(Unit(i), gamma_) * 255;
        x = (x - 127.5L) * contrast_ + 127.5L;
        x = x + shift;
        table_[size_t(i)] = ClampLevel(x);
    }
}

void TBCGFilter::Prepare(const TPixelGraphic& source) {
    BuildTable();
    TPGColorFilter::Prepare(source);
}

TRGB TBCGFilter::FilterColor(TRGB c) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (!useY_) return RGB(table_[size_t(r)], table_[size_t(g)], table_[size_t(b)]);
    long double y, cb, cr, rr, gg, bb;
    RGBToYCbCr(Unit(r), Unit(g), Unit(b), y, cb, cr);
    y = InterpolatedLookup(table_, y);
    YCbCrToRGB(y, cb, cr, rr, gg, bb);
    return RGB(UnitToChannel(rr), UnitToChannel(gg), UnitToChannel(bb));
}

// ---- the three-table filters

TXXXFilter::TXXXFilter() {
    for (TPGLevelTable& t : tables_)
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = uint8_t(i);
}

TRGB TRGBFilter::FilterColor(TRGB c) {
    return RGB(tables_[0][size_t(GetRValue(c))], tables_[1][size_t(GetGValue(c))],
               tables_[2][size_t(GetBValue(c))]);
}

TRGB TCMYFilter::FilterColor(TRGB c) {
    return RGB(255 - tables_[0][size_t(255 - GetRValue(c))],
               255 - tables_[1][size_t(255 - GetGValue(c))],
               255 - tables_[2][size_t(255 - GetBValue(c))]);
}

TRGB TYCbCrFilter::FilterColor(TRGB c) {
    long double y, cb, cr, r, g, b;
    RGBToYCbCr(Unit(GetRValue(c)), Unit(GetGValue(c)), Unit(GetBValue(c)), y, cb, cr);
    y = InterpolatedLookup(tables_[0], y);
    cb = InterpolatedLookup(tables_[1], cb + 0.5L) - 0.5L;
    cr = InterpolatedLookup(tables_[2], cr + 0.5L) - 0.5L;
    YCbCrToRGB(y, cb, cr, r, g, b);
    return RGB(UnitToChannel(r), UnitToChannel(g), UnitToChannel(b));
}

TRGB THLSFilter::FilterColor(TRGB c) {
    long double h, l, s, r, g, b;
    RGBToHLS(Unit(GetRValue(c)), Unit(GetGValue(c)), Unit(GetBValue(c)), h, l, s);
    const bool defined = HueDefined(h);
    if (defined) h = CircularHueLookup(tables_[0], h);
    l = InterpolatedLookup(tables_[1], l);
    s = InterpolatedLookup(tables_[2], s);
    if (s == 0 || !defined) {
        s = 0;
        h = UndefinedHue;
    }
    HLSToRGB(h, l, s, r, g, b);
    return RGB(UnitToChannel(r), UnitToChannel(g), UnitToChannel(b));
}

TRGB THSVFilter::FilterColor(TRGB c) {
    long double h, s, v, r, g, b;
    RGBToHSV(Unit(GetRValue(c)), Unit(GetGValue(c)), Unit(GetBValue(c)), h, s, v);
    const bool defined = HueDefined(h);
    if (defined) h = CircularHueLookup(tables_[0], h);
    s = InterpolatedLookup(tables_[1], s);
    v = InterpolatedLookup(tables_[2], v);
    if (s == 0 || !defined) {
        s = 0;
        h = UndefinedHue;
    }
    HSVToRGB(h, s, v, r, g, b);
    return RGB(UnitToChannel(r), UnitToChannel(g), UnitToChannel(b));
}
