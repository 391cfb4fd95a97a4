#include "processing/colorspace.h"

#include "processing/colorspace_t.h"

void RGBToYCbCr(long double r, long double g, long double b, long double& y, long double& cb,
                long double& cr) {
    pgcs::RGBToYCbCr(r, g, b, y, cb, cr);
}

void YCbCrToRGB(long double y, long double cb, long double cr, long double& r, long double& g,
                long double& b) {
    pgcs::YCbCrToRGB(y, cb, cr, r, g, b);
}

void RGBToHLS(long double r, long double g, long double b, long double& h, long double& l,
              long double& s) {
    pgcs::RGBToHLS(r, g, b, h, l, s);
}

void HLSToRGB(long double h, long double l, long double s, long double& r, long double& g,
              long double& b) {
    pgcs::HLSToRGB(h, l, s, r, g, b);
}

void RGBToHSV(long double r, long double g, long double b, long double& h, long double& s,
              long double& v) {
    pgcs::RGBToHSV(r, g, b, h, s, v);
}

void HSVToRGB(long double h, long double s, long double v, long double& r, long double& g,
              long double& b) {
    pgcs::HSVToRGB(h, s, v, r, g, b);
}
