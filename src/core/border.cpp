// The image editor's border effect: the source picture with a border of a
// given width blended toward a colour, along the edges or along an ellipse.

#include <algorithm>
#include <cmath>

#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {

// Each channel moved from s toward c by f/1024.
TRGB Blend(TRGB s, TRGB c, int64_t f) {
    auto ch = [f](int a, int b) { return int(((1024 - f) * a + f * b) / 1024); };
    return RGB(ch(GetRValue(s), GetRValue(c)), ch(GetGValue(s), GetGValue(c)),
               ch(GetBValue(s), GetBValue(c)));
}

} // namespace

void TPixelGraphic::DrawBorder(TPixelGraphic& source, bool oval, int p, TRGB color) {
    if (&source == this) {
        // Setting the format first would clear the very pixels to be read.
        auto copy = PGSnapshot(*this);
        DrawBorder(*copy, oval, p, color);
        return;
    }
    color &= 0xFFFFFF;
    SetFormat(source.GetWidth(), source.GetHeight(), pixelFormat_);
    const int w = width_, h = height_;
    if (w <= 2 || h <= 2 || p < 2) {
        {
            TPGDitherScope dither(*this);
            TPGPixelWriter writer(*this);
            for (int y = 0; y < h; ++y) {
                writer.StartRow(y);
                for (int k = 0; k < w; ++k)
                    writer.Put(y % 2 != 0 ? w - 1 - k : k, color);
            }
        }
        Changed(this);
        return;
    }
    {
        TPGDitherScope dither(*this);
        TPGSourceRows rows(source);
        TPGPixelWriter writer(*this);
        TPGProgressScope progress(*this, this);
        const int64_t p1 = int64_t(p) - 1;
        const long double rx = (w - 1) / 2.0L, ry = (h - 1) / 2.0L;
        for (int y = 0; y < h; ++y) {
            writer.StartRow(y);
            for (int k = 0; k < w; ++k) {
                const int x = y % 2 != 0 ? w - 1 - k : k;
                TRGB c = rows.Color(x, y);
                if (!oval) {
                    // Floor of a non-negative quotient: the integer division.
                    if (y < p) c = Blend(c, color, (p1 - y) * 1024 / p1);
                    if (y > h - p) c = Blend(c, color, (int64_t(p) + y - h) * 1024 / p1);
                    if (x < p) c = Blend(c, color, (p1 - x) * 1024 / p1);
                    if (x > w - p) c = Blend(c, color, (int64_t(p) + x - w) * 1024 / p1);
                } else {
                    // Where the ray from the centre through the pixel meets
                    // the ellipse, and how far inside the pixel lies.
                    const long double dx = x - rx, dy = y - ry;
                    long double ex, ey;
                    if (dx != 0) {
                        const long double q = ry / rx, t = dy / dx;
                        ex = ry / std::sqrt(q * q + t * t);
                        if (dx < 0) ex = -ex;
                        ey = ex * dy / dx;
                    } else {
                        ex = 0;
                        ey = dy <= 0 ? -ry : ry;
                    }
                    if (std::fabs(dx) > std::fabs(ex) || std::fabs(dy) > std::fabs(ey)) {
                        c = color;
                    } else {
                        const long double d = std::sqrt((dx - ex) * (dx - ex) * ry / rx +
                                                        (dy - ey) * (dy - ey) * rx / ry);
                        if (d < p1) c = Blend(c, color, int64_t(std::floor((p1 - d) * 1024 / p1)));
                    }
                }
                writer.Put(x, c);
            }
            if (progress.Step(y, h - 1)) break;
        }
    }
    Changed(this);
}
