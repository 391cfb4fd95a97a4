#pragma once
// Colour-space conversions shared by the colour filters, on extended floats
// with every channel in 0..1. Hues are degrees 0..360, or UndefinedHue.

constexpr long double UndefinedHue = 1e10L;

inline bool HueDefined(long double h) {
    return h != UndefinedHue;
}

void RGBToYCbCr(long double r, long double g, long double b, long double& y, long double& cb,
                long double& cr);
void YCbCrToRGB(long double y, long double cb, long double cr, long double& r, long double& g,
                long double& b);
void RGBToHLS(long double r, long double g, long double b, long double& h, long double& l,
              long double& s);
// Raises EPGSaturationHue for saturation 0 with a defined hue.
void HLSToRGB(long double h, long double l, long double s, long double& r, long double& g,
              long double& b);
void RGBToHSV(long double r, long double g, long double b, long double& h, long double& s,
              long double& v);
// Raises EPGSaturationHue for saturation 0 with a defined hue.
void HSVToRGB(long double h, long double s, long double v, long double& r, long double& g,
              long double& b);
