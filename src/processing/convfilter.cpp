#include "processing/convfilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "processing/pgmath.h"

namespace {

[[noreturn]] void OutOfRange(const char* what) {
    throw EPGConvFilter(PGMessage(41, what));
}

// A recipe's long-double result as a kernel cell; out of the cells' range is
// the parameter's fault.
int32_t CellValue(long double v, const char* parameter) {
    if (!(v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()))
        OutOfRange(parameter);
    return int32_t(v);
}

void CheckPercent(long double p) {
    if (!std::isfinite(p) || p <= 0) OutOfRange("Percent");
}

// sin of a whole number of degrees, from the angle's reference in the first
// quadrant so the ring is exactly symmetric, with the halves at 30 and 150
// degrees exact (float sine puts them on either side of 1/2).
long double SinDeg(int a) {
    a %= 360;
    if (a < 0) a += 360;
    int r = a;
    long double sign = 1;
    if (a > 270)
        r = 360 - a, sign = -1;
    else if (a > 180)
        r = a - 180, sign = -1;
    else if (a > 90)
        r = 180 - a;
    long double v;
    if (r == 0)
        v = 0;
    else if (r == 30)
        v = 0.5L;
    else if (r == 90)
        v = 1;
    else
        v = std::sin(r * std::numbers::pi_v<long double> / 180);
    return sign * v;
}

// Rounded quotient, halves to even, of sum / s for s > 0, exactly.
inline int64_t RoundDiv(int64_t sum, int64_t s) {
    // The quotient in double is within one of the true one; the remainder
    // puts it right.
    int64_t q = int64_t(double(sum) / double(s));
    int64_t r = sum - q * s;
    while (r < 0)
        --q, r += s;
    while (r >= s)
        ++q, r -= s;
    if (2 * r > s || (2 * r == s && (q & 1))) ++q;
    return q;
}

inline uint8_t Channel(int64_t v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Channel(RoundDiv(sum, s)) for one s > 0 over a whole row: a
// multiplication by the reciprocal, put right by the remainder, and the
// results beyond 0..255 decided without a quotient.
class TChannelDivider {
  public:
    explicit TChannelDivider(int64_t s) : s_(s), inv_(1.0 / double(s)) {}
    uint8_t operator()(int64_t sum) const {
        if (2 * sum <= s_) return 0;        // quotient at most 1/2
        if (2 * sum > 509 * s_) return 255; // quotient above 254.5
        int64_t q = int64_t(double(sum) * inv_);
        int64_t r = sum - q * s_;
        while (r < 0)
            --q, r += s_;
        while (r >= s_)
            ++q, r -= s_;
        if (2 * r > s_ || (2 * r == s_ && (q & 1))) ++q;
        return uint8_t(q);
    }

  private:
    int64_t s_;
    double inv_;
};

} // namespace

int64_t TConvFilter::TKernel::Sum() const {
    int64_t s = 0;
    for (int32_t c : cells)
        s += c;
    return s;
}

TConvFilter::TConvFilter() = default;

void TConvFilter::SetWidth(int w) {
    if (w < 1 || w > MaxSize) OutOfRange("TConvFilter.Width");
    if (w == kernel_.width) return;
    kernel_.width = w;
    kernel_.cells.assign(size_t(w) * size_t(kernel_.height), 0);
}

void TConvFilter::SetHeight(int h) {
    if (h < 1 || h > MaxSize) OutOfRange("TConvFilter.Height");
    if (h == kernel_.height) return;
    kernel_.height = h;
    kernel_.cells.assign(size_t(kernel_.width) * size_t(h), 0);
}

int32_t TConvFilter::Cell(int col, int row) const {
    if (col < 0 || col >= kernel_.width || row < 0 || row >= kernel_.height)
        throw EPGConvFilter(PGMessage(1));
    return kernel_.cells[size_t(row) * size_t(kernel_.width) + size_t(col)];
}

void TConvFilter::SetCell(int col, int row, int32_t w) {
    if (col < 0 || col >= kernel_.width || row < 0 || row >= kernel_.height)
        throw EPGConvFilter(PGMessage(1));
    kernel_.At(col, row) = w;
}

void TConvFilter::SetBias(long double v) {
    if (!std::isfinite(v)) OutOfRange("TConvFilter.Bias");
    bias_ = v;
}

void TConvFilter::SetFactor(long double v) {
    if (!std::isfinite(v)) OutOfRange("TConvFilter.Factor");
    factor_ = v;
}

// ---- recipes

TConvFilter::TKernel TConvFilter::Distribution(TDistributionShape shape, bool useDistance,
                                               long double sigma, bool& known) {
    known = shape == dsGaussian || shape == dsTent || shape == dsRect;
    TKernel k;
    if (!known) return k;
    if (!std::isfinite(sigma) || sigma <= 0) OutOfRange("StdDeviation");
    const long double pi = std::numbers::pi_v<long double>;
    const long double a = shape == dsTent ? std::sqrt(6.0L) * sigma : std::sqrt(3.0L) * sigma;
    auto f = [&](long double x) -> long double {
        x = std::fabs(x);
        switch (shape) {
        case dsGaussian:
            return std::exp(-x * x / (2 * sigma * sigma)) / (sigma * std::sqrt(2 * pi));
        case dsTent:
            return x <= a ? 1 / a - x / (a * a) : 0;
        default:
            return x <= a ? 1 / (2 * a) : 0;
        }
    };
    // The radius: one less than the first distance whose cell would be 0.
    // Past 49 the kernel would exceed 99 cells; a scale that is no usable
    // number (a vanishing sigma) is no kernel either.
    const long double f0 = f(0);
    const long double scale = useDistance ? 16 / f0 : 16 / (f0 * f0);
    if (shape != dsRect && !(std::isfinite(scale) && scale > 0)) OutOfRange("StdDeviation");
    int r = -1;
    for (int n = 0; n <= (MaxSize + 1) / 2; ++n) {
        const bool zero = shape == dsRect
                              ? !(f(n) > 0)
                              : std::nearbyint(useDistance ? scale * f(n) : scale * f0 * f(n)) == 0;
        if (zero) {
            r = n - 1;
            break;
        }
    }
    if (r < 0) OutOfRange("StdDeviation");
    k.width = k.height = 2 * r + 1;
    k.cells.assign(size_t(k.width) * size_t(k.height), 0);
    for (int row = 0; row < k.height; ++row)
        for (int col = 0; col < k.width; ++col) {
            const long double x = col - r, y = row - r;
            if (shape == dsRect)
                k.At(col, row) = (useDistance ? f(std::sqrt(x * x + y * y)) : f(x) * f(y)) > 0;
            else
                k.At(col, row) = int32_t(std::nearbyint(
                    useDistance ? scale * f(std::sqrt(x * x + y * y)) : scale * f(x) * f(y)));
        }
    return k;
}

void TConvFilter::Take(TKernel k, int offset, long double bias, long double factor) {
    kernel_ = std::move(k);
    offsetX_ = offsetY_ = offset;
    bias_ = bias;
    factor_ = factor;
}

void TConvFilter::SetDistribution(TDistributionShape shape, bool useDistance, long double sigma) {
    bool known;
    TKernel k = Distribution(shape, useDistance, sigma, known);
    if (!known) {
        offsetX_ = offsetY_ = 0;
        bias_ = 0;
        factor_ = 1;
        return;
    }
    const int r = k.width / 2;
    Take(std::move(k), -r, 0, 1);
}

void TConvFilter::MakeSharpen(TDistributionShape shape, bool useDistance, long double percent,
                              long double sigma) {
    CheckPercent(percent);
    bool known;
    TKernel k = Distribution(shape, useDistance, sigma, known);
    if (!known) k = kernel_;
    const int r = k.width / 2;
    const int64_t w = k.Sum();
    const int32_t centre = CellValue(std::nearbyint(100 / percent * w), "Percent");
    for (int32_t& c : k.cells)
        c = -c;
    k.At(r, k.height / 2) = centre;
    Take(std::move(k), known ? -r : 0, 0, 1);
}

void TConvFilter::MakeDetail(TDistributionShape shape, bool useDistance, long double percent,
                             long double sigma) {
    CheckPercent(percent);
    bool known;
    TKernel k = Distribution(shape, useDistance, sigma, known);
    if (!known) k = kernel_;
    const int r = k.width / 2;
    const int64_t w = k.Sum();
    const int64_t wc = k.At(r, k.height / 2);
    const int32_t centre = CellValue(std::nearbyint(100 / percent * (w - wc + 1)), "Percent");
    for (int32_t& c : k.cells)
        c = -c;
    k.At(r, k.height / 2) = centre;
    Take(std::move(k), known ? -r : 0, 0, 1);
}

void TConvFilter::MakeSmooth(TDistributionShape shape, bool useDistance, long double percent,
                             long double sigma) {
    CheckPercent(percent);
    bool known;
    TKernel k = Distribution(shape, useDistance, sigma, known);
    if (!known) k = kernel_;
    const int r = k.width / 2;
    const int64_t w = k.Sum();
    const int64_t wc = k.At(r, k.height / 2);
    k.At(r, k.height / 2) = CellValue(wc + std::nearbyint((100 / percent - 1) * w), "Percent");
    Take(std::move(k), known ? -r : 0, 0, 1);
}

void TConvFilter::MakeContour(TDistributionShape shape, bool useDistance, long double percent,
                              long double sigma, bool whiteBackground) {
    CheckPercent(percent);
    bool known;
    TKernel k = Distribution(shape, useDistance, sigma, known);
    if (!known) k = kernel_;
    const int r = k.width / 2;
    const int64_t w = k.Sum();
    const int64_t wc = k.At(r, k.height / 2);
    const int32_t centre = CellValue(-wc + w + 1, "StdDeviation");
    for (int32_t& c : k.cells)
        c = -c;
    k.At(r, k.height / 2) = centre;
    Take(std::move(k), known ? -r : 0, whiteBackground ? 100 : 0,
         whiteBackground ? percent : -percent);
}

void TConvFilter::MakeBlur(long double percent, long double radius) {
    CheckPercent(percent);
    if (!std::isfinite(radius) || radius < 0 || std::nearbyint(radius) > (MaxSize - 1) / 2)
        OutOfRange("Radius");
    const int c = int(std::nearbyint(radius));
    TKernel k;
    k.width = k.height = 2 * c + 1;
    k.cells.assign(size_t(k.width) * size_t(k.height), 0);
    for (int a = 0; a < 360; ++a) {
        const int col = c + int(std::nearbyint(radius * SinDeg(a)));
        const int row = c + int(std::nearbyint(radius * SinDeg(a + 90)));
        if (col >= 0 && col < k.width && row >= 0 && row < k.height) ++k.At(col, row);
    }
    const int64_t s = k.Sum();
    k.At(c, c) = CellValue(k.At(c, c) + std::nearbyint((100 / percent - 1) * s), "Percent");
    Take(std::move(k), -c, 0, 1);
}

// ---- application

void TConvFilter::Prepare(const TPixelGraphic& source) {
    TPGFilter::Prepare(source);
    srcW_ = source.GetWidth();
    srcH_ = source.GetHeight();
    rows_.assign(size_t(std::max(srcH_, 0)), nullptr);
    bgr_.clear();
    if (source.PixelFormat() == pg24Bit) {
        for (int y = 0; y < srcH_; ++y)
            rows_[size_t(y)] = source.ScanLine(y);
    } else {
        // Palette sources are read as colours once, so the rows are shared
        // by the worker threads without a lookup per cell.
        TPGSourceRows rows(source);
        const size_t stride = size_t(srcW_) * 3;
        bgr_.resize(stride * size_t(srcH_));
        for (int y = 0; y < srcH_; ++y) {
            if (srcW_ > 0)
                std::memcpy(bgr_.data() + stride * size_t(y), rows.RowBGR(y, 0, srcW_ - 1), stride);
            rows_[size_t(y)] = bgr_.data() + stride * size_t(y);
        }
    }
    taps_.clear();
    tapSum_ = 0;
    int64_t absSum = 0;
    for (int i = 0; i < kernel_.height; ++i)
        for (int j = 0; j < kernel_.width; ++j) {
            const int32_t w = kernel_.cells[size_t(i) * size_t(kernel_.width) + size_t(j)];
            if (w == 0) continue; // adds nothing to any sum
            // Offsets far outside any picture leave no cell inside it.
            const int64_t dx = int64_t(offsetX_) + j, dy = int64_t(offsetY_) + i;
            if (dx <= -int64_t(srcW_) || dx >= srcW_ || dy <= -int64_t(srcH_) || dy >= srcH_)
                continue;
            taps_.push_back({int(dx), int(dy), w});
            tapSum_ += w;
            absSum += w < 0 ? -int64_t(w) : w;
        }
    minDx_ = minDy_ = std::numeric_limits<int>::max();
    maxDx_ = maxDy_ = std::numeric_limits<int>::min();
    for (const TTap& t : taps_) {
        minDx_ = std::min(minDx_, t.dx), maxDx_ = std::max(maxDx_, t.dx);
        minDy_ = std::min(minDy_, t.dy), maxDy_ = std::max(maxDy_, t.dy);
    }
    plain_ = factor_ == 1 && bias_ == 0;
    narrow_ = absSum * 255 < (int64_t(1) << 31);
}

void TConvFilter::Finish() {
    rows_.clear();
    rows_.shrink_to_fit();
    bgr_.clear();
    bgr_.shrink_to_fit();
    taps_.clear();
    TPGFilter::Finish();
}

uint8_t TConvFilter::Scale(int64_t sum, int64_t s) const {
    if (plain_) {
        if (s == 0) return Channel(sum);
        if (s < 0) s = -s, sum = -sum;
        return Channel(RoundDiv(sum, s));
    }
    const long double q = s != 0 ? (long double)sum / s : (long double)sum;
    long double v = factor_ * q + bias_ * 255 * 0.01L;
    // Limited first, so rounding cannot overflow.
    if (!(v >= -1)) v = -1;
    if (v > 256) v = 256;
    return Channel(IntOf(RoundEven(v)));
}

TRGB TConvFilter::Slow(int x, int y) const {
    int64_t s = 0, r = 0, g = 0, b = 0;
    for (const TTap& t : taps_) {
        const int64_t sx = int64_t(x) + t.dx, sy = int64_t(y) + t.dy;
        if (sx < 0 || sx >= srcW_ || sy < 0 || sy >= srcH_) continue;
        const uint8_t* p = rows_[size_t(sy)] + sx * 3;
        s += t.w;
        b += int64_t(t.w) * p[0];
        g += int64_t(t.w) * p[1];
        r += int64_t(t.w) * p[2];
    }
    return RGB(Scale(r, s), Scale(g, s), Scale(b, s));
}

TRGB TConvFilter::FilterPixel(int x, int y) {
    return Slow(x, y);
}

namespace {

// Adds w x the bytes of `src` to `acc` over n bytes: the loop the compiler
// turns into vector code.
template <class T>
void AddScaled(T* __restrict acc, const uint8_t* __restrict src, size_t n, int32_t w) {
    for (size_t i = 0; i < n; ++i)
        acc[i] += T(w) * T(src[i]);
}

} // namespace

void TConvFilter::FilterRow(int y, int width, TRGB* colors) {
    const bool rowInside =
        !taps_.empty() && int64_t(y) + minDy_ >= 0 && int64_t(y) + maxDy_ < srcH_;
    int xa = 0, xb = -1;
    if (rowInside) {
        xa = std::max(0, -minDx_);
        xb = std::min(width - 1, srcW_ - 1 - maxDx_);
    }
    if (xa > xb) {
        for (int x = 0; x < width; ++x)
            colors[x] = Slow(x, y);
        return;
    }
    for (int x = 0; x < xa; ++x)
        colors[x] = Slow(x, y);
    for (int x = xb + 1; x < width; ++x)
        colors[x] = Slow(x, y);
    // The interior: every cell inside, so the weight sum is the kernel's.
    const size_t n = size_t(xb - xa + 1) * 3;
    auto finish = [&](auto* acc) {
        if (plain_ && tapSum_ > 0) {
            // The common case, with the rounded division inline.
            const TChannelDivider div(tapSum_);
            for (int x = xa; x <= xb; ++x) {
                const auto* c = acc + size_t(x - xa) * 3;
                colors[x] = RGB(div(c[2]), div(c[1]), div(c[0]));
            }
        } else {
            for (int x = xa; x <= xb; ++x) {
                const auto* c = acc + size_t(x - xa) * 3;
                colors[x] = RGB(Scale(c[2], tapSum_), Scale(c[1], tapSum_), Scale(c[0], tapSum_));
            }
        }
    };
    if (narrow_) {
        thread_local std::vector<int32_t> acc;
        acc.assign(n, 0);
        for (const TTap& t : taps_)
            AddScaled(acc.data(), rows_[size_t(y + t.dy)] + size_t(xa + t.dx) * 3, n, t.w);
        finish(acc.data());
    } else {
        thread_local std::vector<int64_t> acc;
        acc.assign(n, 0);
        for (const TTap& t : taps_)
            AddScaled(acc.data(), rows_[size_t(y + t.dy)] + size_t(xa + t.dx) * 3, n, t.w);
        finish(acc.data());
    }
}
