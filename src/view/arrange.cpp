#include "view/arrange.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// A paint extent from extended arithmetic, kept inside what a widget can be.
int Extent(long double v) {
    constexpr long double kMax = 16777215; // QWIDGETSIZE_MAX
    if (!(v > 0)) return 0;
    return int(std::min(v, kMax));
}
} // namespace

TPGPaintSize PGPaintSize(int W, int H, int AW, int AH, int VS, int HS, TStretch stretch,
                         long double zoomFactor) {
    TPGPaintSize r{W, H, 1.0L};
    if (W <= 0 || H <= 0 || AW <= 0 || AH <= 0) return r;
    const long double RA = static_cast<long double>(AW) / AH;
    const long double RI = static_cast<long double>(W) / H;
    auto fit = [&] {
        if (RA >= RI) {
            r.PH = AH;
            r.PW = Extent(std::trunc(AH * RI));
            r.Z = static_cast<long double>(AH) / H;
        } else {
            r.PW = AW;
            r.PH = Extent(std::trunc(AW / RI));
            r.Z = static_cast<long double>(AW) / W;
        }
    };
    auto longerEdgeFit = [&] {
        fit();
        if (AW - VS <= r.PW && AH - HS <= r.PH) return;
        if (RA > RI) {
            r.PW = std::max(0, AW - VS);
            r.PH = Extent(std::trunc(r.PW / RI));
            r.Z = static_cast<long double>(r.PW) / W;
        } else {
            r.PH = std::max(0, AH - HS);
            r.PW = Extent(std::trunc(r.PH * RI));
            r.Z = static_cast<long double>(r.PH) / H;
        }
    };
    const bool shrinkLE = (W > AW && H > AH - HS) || (W > AW - VS && H > AH);
    switch (stretch) {
    case sNeverKAR:
        break;
    case sAlways:
        r = {AW, AH, -1.0L};
        break;
    case sAlwaysKAR:
        fit();
        break;
    case sShrink:
        if (W > AW) r.PW = AW;
        if (H > AH) r.PH = AH;
        if (W > AW || H > AH) r.Z = -1.0L;
        break;
    case sShrinkKAR:
        if (W > AW || H > AH) fit();
        break;
    case sEnlarge: {
        const int H2 = AH - (W > AW ? HS : 0);
        const int W2 = AW - (H > AH ? VS : 0);
        if (W2 > W) r.PW = W2;
        if (H2 > H) r.PH = H2;
        if (W2 > W || H2 > H) r.Z = -1.0L;
        break;
    }
    case sEnlargeKAR:
        if (W < AW && H < AH) fit();
        break;
    case sAlwaysLongerEdgeKAR:
        longerEdgeFit();
        break;
    case sShrinkLongerEdgeKAR:
        if (shrinkLE) longerEdgeFit();
        break;
    case sEnlargeShrinkLongerEdgeKAR:
        if (W < AW && H < AH)
            fit();
        else if (shrinkLE)
            longerEdgeFit();
        break;
    case sEnlargeLongerEdgeKAR:
        if (W < AW || H < AH) longerEdgeFit();
        break;
    case sZoomKAR:
        r.Z = zoomFactor > 0 ? zoomFactor : 1.0L;
        r.PW = Extent(std::nearbyint(W * r.Z));
        r.PH = Extent(std::nearbyint(H * r.Z));
        break;
    }
    return r;
}

TPGPlacement PGPlacement(int PW, int PH, int AW, int AH, int VS, int HS, bool center) {
    TPGPlacement p;
    int W3 = AW, H3 = AH;
    for (int pass = 0; pass < 2; ++pass) {
        if (W3 < PW && !p.hBar) {
            H3 -= HS;
            p.hBar = true;
        }
        if (H3 < PH && !p.vBar) {
            W3 -= VS;
            p.vBar = true;
        }
    }
    p.clientW = std::max(0, W3);
    p.clientH = std::max(0, H3);
    if (center) {
        p.top = PH < H3 ? (H3 - PH) / 2 : 0;
        p.left = PW < W3 ? (W3 - PW) / 2 : 0;
    }
    return p;
}

QSize PGAutoSize(int imageW, int imageH, int B, int VS, int HS, int minW, int minH, int maxW,
                 int maxH) {
    long long W = (long long)imageW + 2LL * B, H = (long long)imageH + 2LL * B;
    bool hCounted = false, vCounted = false;
    for (int pass = 0; pass < 2; ++pass) {
        if (W > maxW && !hCounted) {
            H += HS;
            hCounted = true;
        }
        if (H > maxH && !vCounted) {
            W += VS;
            vCounted = true;
        }
    }
    W = std::max<long long>(std::min<long long>(W, maxW), minW);
    H = std::max<long long>(std::min<long long>(H, maxH), minH);
    return QSize(int(std::clamp<long long>(W, 0, INT_MAX)),
                 int(std::clamp<long long>(H, 0, INT_MAX)));
}

TPGTileRange PGTileRange(const QRect& P, int clientW, int clientH, TTiling tiling) {
    TPGTileRange t;
    const int w = P.width(), h = P.height();
    // A paint box of no extent (a 10000 x 1 picture fitted small) has nothing
    // to draw, and tiling by it would divide by zero.
    if (w <= 0 || h <= 0) return t;
    if (tiling == tNone) return {0, 0, 0, 0};
    // Windows-style rectangle edges: right and bottom are exclusive.
    const long long left = P.left(), top = P.top(), right = left + w, bottom = top + h;
    t.firstRow = top > 0 ? int((1 - bottom) / h) : 0;
    t.lastRow = bottom < clientH ? int((clientH - top - 1) / h) : 0;
    t.firstCol = left > 0 ? int((1 - right) / w) : 0;
    t.lastCol = right < clientW ? int((clientW - left - 1) / w) : 0;
    return t;
}

bool PGTileFlipH(int i, TTiling tiling, bool flipHorizontal) {
    const bool odd = i % 2 != 0;
    return flipHorizontal != (odd && (tiling == tMirrorHorizontal || tiling == tMirror));
}

bool PGTileFlipV(int j, TTiling tiling, bool flipVertical) {
    const bool odd = j % 2 != 0;
    return flipVertical != (odd && (tiling == tMirrorVertical || tiling == tMirror));
}
