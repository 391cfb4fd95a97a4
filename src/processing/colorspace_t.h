#pragma once
// The colour-space conversions and table lookups as templates over the
// floating type. The filters' results are defined in extended precision;
// their fast path runs the same steps in double and keeps the answer only
// where it is clearly on one side of every rounding step (see
// colorfilters.cpp), recomputing in extended precision otherwise.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/exceptions.h"
#include "processing/colorfilters.h"
#include "processing/colorspace.h"
#include "processing/pgmath.h"

namespace pgcs {

template <class T> constexpr T Undefined() {
    return T(1e10L);
}

template <class T> void RGBToYCbCr(T r, T g, T b, T& y, T& cb, T& cr) {
    y = T(0.299L) * r + T(0.587L) * g + T(0.114L) * b;
    cb = T(-0.169L) * r - T(0.331L) * g + T(0.5L) * b;
    cr = T(0.5L) * r - T(0.419L) * g - T(0.081L) * b;
}

template <class T> void YCbCrToRGB(T y, T cb, T cr, T& r, T& g, T& b) {
    r = y + T(1.403L) * cr;
    g = y - T(0.344L) * cb - T(0.714L) * cr;
    b = y + T(1.773L) * cb;
}

template <class T> T Hue(T r, T g, T b, T mx, T d) {
    T h;
    if (r == mx)
        h = (g - b) / d;
    else if (g == mx)
        h = 2 + (b - r) / d;
    else
        h = 4 + (r - g) / d;
    h = h * 60;
    if (h < 0) h = h + 360;
    return h;
}

template <class T> void RGBToHLS(T r, T g, T b, T& h, T& l, T& s) {
    const T mx = std::max({r, g, b}), mn = std::min({r, g, b});
    l = (mx + mn) / 2;
    if (mx == mn) {
        s = 0;
        h = Undefined<T>();
        return;
    }
    const T d = mx - mn;
    s = l <= T(0.5) ? d / (mx + mn) : d / (2 - mx - mn);
    h = Hue(r, g, b, mx, d);
}

template <class T> void HLSToRGB(T h, T l, T s, T& r, T& g, T& b) {
    const T m2 = l <= T(0.5) ? l * (1 + s) : l + s - l * s;
    const T m1 = 2 * l - m2;
    if (s == 0) {
        if (h != Undefined<T>()) throw EPGSaturationHue(PGMessage(40));
        r = g = b = l;
        return;
    }
    auto v = [m1, m2](T x) {
        if (x > 360) x = x - 360;
        if (x < 0) x = x + 360;
        if (x < 60) return m1 + (m2 - m1) * x / 60;
        if (x < 180) return m2;
        if (x < 240) return m1 + (m2 - m1) * (240 - x) / 60;
        return m1;
    };
    r = v(h + 120);
    g = v(h);
    b = v(h - 120);
}

template <class T> void RGBToHSV(T r, T g, T b, T& h, T& s, T& v) {
    const T mx = std::max({r, g, b}), mn = std::min({r, g, b});
    v = mx;
    s = mx != 0 ? (mx - mn) / mx : 0;
    h = s == 0 ? Undefined<T>() : Hue(r, g, b, mx, mx - mn);
}

template <class T> void HSVToRGB(T h, T s, T v, T& r, T& g, T& b) {
    if (s == 0) {
        if (h != Undefined<T>()) throw EPGSaturationHue(PGMessage(40));
        r = g = b = v;
        return;
    }
    // fmod is exact, and equals one subtraction of 360 for hues below 720.
    if (h >= 360) h = std::fmod(h, T(360));
    const T hh = h / 60;
    const T fi = hh >= 0 && hh < T(1e15) ? FloorL(hh) : std::floor(hh);
    const T f = hh - fi;
    const T p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    // A hue that is no number falls to the last sector instead of an
    // undefined conversion.
    switch (fi >= 0 && fi <= 5 ? IntOf(fi) : 5) {
    case 0:
        r = v, g = t, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    default:
        r = v, g = p, b = q;
        break;
    }
}

template <class T> T InterpolatedLookup(const TPGLevelTable& t, T u) {
    const T a = u * 255;
    if (a >= 255) return t[255] / T(255);
    T k = a > T(-1e15) ? FloorL(a) : T(0);
    if (!(k >= 0)) k = 0; // below 0 from rounding (or no number)
    const int i = IntOf(k);
    const T f = a - k;
    return ((1 - f) * t[size_t(i)] + f * t[size_t(i + 1)]) / 255;
}

template <class T> T CircularHueLookup(const TPGLevelTable& t, T h) {
    T g = (h + 180) * 256 / 360;
    if (g >= 256) g = g - 256;
    T k = g > T(-1e15) && g < T(1e15) ? FloorL(g) : T(0);
    if (!(k >= 0)) k = 0;
    if (k > 255) k = 255;
    const int i = IntOf(k);
    const T a = t[size_t(i)];
    T b = i == 255 ? t[0] : t[size_t(i + 1)];
    if (a - b > 128) b = b + 256;
    if (a - b < -128) b = b - 256;
    const T v = (1 - (g - k)) * a + (g - k) * b;
    T r = v * 360 / 256 - 180;
    while (r < 0)
        r = r + 360;
    while (r >= 360)
        r = r - 360;
    return r;
}

} // namespace pgcs
