#include "processing/filtervalues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/messages.h"

int ClampPercent(int v) {
    return std::clamp(v, -100, 100);
}

int WrapHue(int h) {
    // Whole turns at once (the remainder is what adding or subtracting 360
    // one turn at a time would leave), then the last step into -180..180.
    h %= 360;
    if (h > 180) h -= 360;
    if (h < -180) h += 360;
    return h;
}

int FactorPosition(long double x) {
    if (std::isnan(x)) x = 1;
    x = std::clamp(x, 0.2L, 5.0L);
    const long double p = std::nearbyint(std::log(x) * 100 / std::log(5.0L));
    return int(std::clamp(p, -100.0L, 100.0L));
}

long double PositionFactor(int p) {
    return std::pow(5.0L, p / 100.0L);
}

long double PositionFactorRounded(int p) {
    return std::nearbyint(PositionFactor(p) * 100) / 100;
}

void SetPercentTables(TXXXFilter& f, int v1, int v2, int v3) {
    const int v[3] = {v1, v2, v3};
    for (int j = 0; j < 3; ++j) {
        const int shift = v[j] * 255 / 100;
        for (int i = 0; i < 256; ++i)
            f.Table(j)[size_t(i)] = uint8_t(std::clamp(i + shift, 0, 255));
    }
}

void SetHueTables(TXXXFilter& f, int h, int v2, int v3) {
    SetPercentTables(f, 0, v2, v3);
    const int shift = h * 256 / 360;
    for (int i = 0; i < 256; ++i) {
        int e = i + shift;
        while (e < 0)
            e += 256;
        while (e > 255)
            e -= 256;
        f.Table(0)[size_t(i)] = uint8_t(e);
    }
}

void SetBCGValues(TBCGFilter& f, int brightness, int contrastPos, int gammaPos, bool useY) {
    f.SetBrightness(brightness);
    f.SetContrast(PositionFactor(contrastPos));
    f.SetGamma(PositionFactor(gammaPos));
    f.SetUseY(useY);
}

namespace {

std::string Signed(int v, const std::string& unit) {
    if (v == 0) return PGMessage(82) + "0" + unit;
    return (v > 0 ? "+" : "") + std::to_string(v) + unit;
}

} // namespace

std::string PercentText(int v) {
    return Signed(v, "%");
}
std::string DegreeText(int v) {
    return Signed(v, PGMessage(83));
}

std::string FactorText(long double f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2Lf", std::nearbyint(f * 100) / 100);
    return buf;
}

void PreviewFitSize(int w, int h, int box, int& pw, int& ph) {
    if (w <= 0 || h <= 0) {
        pw = ph = 0;
        return;
    }
    if (w <= box && h <= box) {
        pw = w, ph = h;
        return;
    }
    if (int64_t(w) * box > int64_t(h) * box) {
        pw = box;
        ph = int(std::nearbyint((long double)h * box / w));
    } else {
        ph = box;
        pw = int(std::nearbyint((long double)w * box / h));
    }
}
