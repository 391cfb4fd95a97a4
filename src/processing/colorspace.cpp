#include "processing/colorspace.h"

#include <algorithm>
#include <cmath>

#include "core/exceptions.h"
#include "processing/pgmath.h"

void RGBToYCbCr(long double r, long double g, long double b, long double& y, long double& cb,
                long double& cr) {
    y = 0.299L * r + 0.587L * g + 0.114L * b;
    cb = -0.169L * r - 0.331L * g + 0.5L * b;
    cr = 0.5L * r - 0.419L * g - 0.081L * b;
}

void YCbCrToRGB(long double y, long double cb, long double cr, long double& r, long double& g,
                long double& b) {
    r = y + 1.403L * cr;
    g = y - 0.344L * cb - 0.714L * cr;
    b = y + 1.773L * cb;
}

namespace {

// The hue of a colour whose largest and smallest channels differ by d > 0.
long double Hue(long double r, long double g, long double b, long double mx, long double d) {
    long double h;
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

} // namespace

void RGBToHLS(long double r, long double g, long double b, long double& h, long double& l,
              long double& s) {
    const long double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    l = (mx + mn) / 2;
    if (mx == mn) {
        s = 0;
        h = UndefinedHue;
        return;
    }
    const long double d = mx - mn;
    s = l <= 0.5L ? d / (mx + mn) : d / (2 - mx - mn);
    h = Hue(r, g, b, mx, d);
}

void HLSToRGB(long double h, long double l, long double s, long double& r, long double& g,
              long double& b) {
    const long double m2 = l <= 0.5L ? l * (1 + s) : l + s - l * s;
    const long double m1 = 2 * l - m2;
    if (s == 0) {
        if (HueDefined(h)) throw EPGSaturationHue(PGMessage(40));
        r = g = b = l;
        return;
    }
    auto v = [m1, m2](long double x) {
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

void RGBToHSV(long double r, long double g, long double b, long double& h, long double& s,
              long double& v) {
    const long double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    v = mx;
    s = mx != 0 ? (mx - mn) / mx : 0;
    h = s == 0 ? UndefinedHue : Hue(r, g, b, mx, mx - mn);
}

void HSVToRGB(long double h, long double s, long double v, long double& r, long double& g,
              long double& b) {
    if (s == 0) {
        if (HueDefined(h)) throw EPGSaturationHue(PGMessage(40));
        r = g = b = v;
        return;
    }
    // fmod is exact, and equals one subtraction of 360 for hues below 720.
    if (h >= 360) h = std::fmod(h, 360.0L);
    const long double hh = h / 60;
    const long double fi = hh >= 0 && hh < 1e18L ? FloorL(hh) : std::floor(hh);
    const long double f = hh - fi;
    const long double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
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
