#include "processing/colorfilters.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "core/exceptions.h"
#include "processing/colorspace.h"
#include "processing/colorspace_t.h"
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

bool FastColorSpace = true;

long double PGPower(long double b, long double e) {
    if (e == 0) return 1;
    if (b == 0) return 0;
    if (b == 1) return 1;
    return std::exp(e * std::log(b));
}

long double InterpolatedLookup(const TPGLevelTable& t, long double u) {
    return pgcs::InterpolatedLookup(t, u);
}

long double CircularHueLookup(const TPGLevelTable& t, long double h) {
    return pgcs::CircularHueLookup(t, h);
}

namespace {

// A unit channel as 0..255. Extended values are exact by definition; a
// double is kept only when v x 255 lies clearly away from every half, where
// the extended computation (a few ulps away at most) must round the same way.
bool ToChannel(long double v, uint8_t& out) {
    out = UnitToChannel(v);
    return true;
}

bool ToChannel(double v, uint8_t& out) {
    double x = v * 255;
    if (!(x >= -1)) x = -1;
    if (x > 256) x = 256;
    const double fl = FloorL(x);
    const double d = x - fl;
    if (std::fabs(d - 0.5) < 1e-7) return false;
    const int r = IntOf(fl) + (d > 0.5 ? 1 : 0);
    out = uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
    return true;
}

template <class T> bool ToColor(T r, T g, T b, TRGB& out) {
    uint8_t cr, cg, cb;
    if (!ToChannel(r, cr) || !ToChannel(g, cg) || !ToChannel(b, cb)) return false;
    out = RGB(cr, cg, cb);
    return true;
}

template <class T> T UnitT(int c) {
    return c * (T(1) / 255);
}

template <class T> bool BCGOnY(const TPGLevelTable& table, TRGB c, TRGB& out) {
    T y, cb, cr, r, g, b;
    pgcs::RGBToYCbCr(UnitT<T>(GetRValue(c)), UnitT<T>(GetGValue(c)), UnitT<T>(GetBValue(c)), y, cb,
                     cr);
    y = pgcs::InterpolatedLookup(table, y);
    pgcs::YCbCrToRGB(y, cb, cr, r, g, b);
    return ToColor(r, g, b, out);
}

template <class T> bool YCbCrColor(const std::array<TPGLevelTable, 3>& t, TRGB c, TRGB& out) {
    T y, cb, cr, r, g, b;
    pgcs::RGBToYCbCr(UnitT<T>(GetRValue(c)), UnitT<T>(GetGValue(c)), UnitT<T>(GetBValue(c)), y, cb,
                     cr);
    y = pgcs::InterpolatedLookup(t[0], y);
    cb = pgcs::InterpolatedLookup(t[1], cb + T(0.5)) - T(0.5);
    cr = pgcs::InterpolatedLookup(t[2], cr + T(0.5)) - T(0.5);
    pgcs::YCbCrToRGB(y, cb, cr, r, g, b);
    return ToColor(r, g, b, out);
}

template <class T> bool HLSColor(const std::array<TPGLevelTable, 3>& t, TRGB c, TRGB& out) {
    T h, l, s, r, g, b;
    pgcs::RGBToHLS(UnitT<T>(GetRValue(c)), UnitT<T>(GetGValue(c)), UnitT<T>(GetBValue(c)), h, l, s);
    const bool defined = h != pgcs::Undefined<T>();
    if (defined) h = pgcs::CircularHueLookup(t[0], h);
    l = pgcs::InterpolatedLookup(t[1], l);
    s = pgcs::InterpolatedLookup(t[2], s);
    if (s == 0 || !defined) {
        s = 0;
        h = pgcs::Undefined<T>();
    }
    pgcs::HLSToRGB(h, l, s, r, g, b);
    return ToColor(r, g, b, out);
}

template <class T> bool HSVColor(const std::array<TPGLevelTable, 3>& t, TRGB c, TRGB& out) {
    T h, s, v, r, g, b;
    pgcs::RGBToHSV(UnitT<T>(GetRValue(c)), UnitT<T>(GetGValue(c)), UnitT<T>(GetBValue(c)), h, s, v);
    const bool defined = h != pgcs::Undefined<T>();
    if (defined) h = pgcs::CircularHueLookup(t[0], h);
    s = pgcs::InterpolatedLookup(t[1], s);
    v = pgcs::InterpolatedLookup(t[2], v);
    if (s == 0 || !defined) {
        s = 0;
        h = pgcs::Undefined<T>();
    }
    pgcs::HSVToRGB(h, s, v, r, g, b);
    return ToColor(r, g, b, out);
}

} // namespace

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
    TRGB out;
    if (FastColorSpace && BCGOnY<double>(table_, c, out)) return out;
    BCGOnY<long double>(table_, c, out);
    return out;
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
    TRGB out;
    if (FastColorSpace && YCbCrColor<double>(tables_, c, out)) return out;
    YCbCrColor<long double>(tables_, c, out);
    return out;
}

TRGB THLSFilter::FilterColor(TRGB c) {
    TRGB out;
    if (FastColorSpace && HLSColor<double>(tables_, c, out)) return out;
    HLSColor<long double>(tables_, c, out);
    return out;
}

TRGB THSVFilter::FilterColor(TRGB c) {
    TRGB out;
    if (FastColorSpace && HSVColor<double>(tables_, c, out)) return out;
    HSVColor<long double>(tables_, c, out);
    return out;
}
