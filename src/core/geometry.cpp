// Rotation by any angle and mirroring.

#include <algorithm>
#include <atomic>
#include <exception>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>
#include <thread>
#include <vector>

#include "core/exceptions.h"
#include "core/filter.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {

// True for a whole number of degrees divisible by 90.
bool IsRightAngle(long double angle) {
    return std::isfinite(angle) && angle == std::trunc(angle) && std::fmod(angle, 90.0L) == 0;
}

// Cosine and sine of an angle in degrees. Right angles get their exact
// values: the extended-precision ones are off by a trace, which would make
// sizes of rotated pictures one pixel too large and sample positions miss
// pixel centres by that trace.
void CosSin(long double angle, long double& c, long double& s) {
    if (IsRightAngle(angle)) {
        long double q = std::fmod(angle / 90, 4.0L);
        if (q < 0) q += 4;
        static const long double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
        c = kCos[int(q)];
        s = kSin[int(q)];
        return;
    }
    const long double a = angle * std::numbers::pi_v<long double> / 180;
    c = std::cos(a);
    s = std::sin(a);
}

// Round (to nearest, ties to even), Floor and Ceil of a coordinate as a
// 64-bit integer, equal to nearbyintl, floorl and ceill. Rotation needs
// seven of them per pixel; the library calls, and the compiler's truncating
// conversion, switch the x87 rounding mode each time, which costs more than
// the rest of the pixel. Adding and subtracting 1.5 x 2^63 rounds an
// extended value to an integer in the default rounding mode, and storing an
// integral value needs no mode switch. Values far outside any picture are
// pinned first.
constexpr long double kPin = 1LL << 40;
constexpr long double kRoundMagic = 13835058055282163712.0L; // 1.5 x 2^63

inline long double Pin(long double v) {
    return v < -kPin ? -kPin : v > kPin ? kPin : v;
}
inline int64_t IntegralToInt(long double v) {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    int64_t r;
    asm("fistpll %0" : "=m"(r) : "t"(v) : "st");
    return r;
#else
    return int64_t(v);
#endif
}
inline long double RoundL(long double v) {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    return (v + kRoundMagic) - kRoundMagic;
#else
    return std::nearbyint(v);
#endif
}
inline int64_t RoundI(long double v) {
    return IntegralToInt(RoundL(Pin(v)));
}
inline int64_t FloorI(long double v) {
    v = Pin(v);
    long double r = RoundL(v);
    if (r > v) r -= 1;
    return IntegralToInt(r);
}
inline int64_t CeilI(long double v) {
    v = Pin(v);
    long double r = RoundL(v);
    if (r < v) r += 1;
    return IntegralToInt(r);
}

} // namespace

void TPixelGraphic::RotateCopy(int dcx, int dcy, TPixelGraphic& source, int sx, int sy, int sw,
                               int sh, int scx, int scy, long double angle) {
    if (!std::isfinite(angle) || !store_) return;
    if (&source == this) {
        auto copy = PGSnapshot(*this);
        RotateCopy(dcx, dcy, *copy, sx, sy, sw, sh, scx, scy, angle);
        return;
    }
    long double ca, sa;
    CosSin(angle, ca, sa);

    // Destination box: the source rectangle's corners mapped forward.
    long double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const int64_t cornersX[2] = {sx, int64_t(sx) + sw}, cornersY[2] = {sy, int64_t(sy) + sh};
    for (int i = 0; i < 4; ++i) {
        const long double X = cornersX[i & 1], Y = cornersY[i >> 1];
        const long double xp = (X - scx) * ca - (Y - scy) * sa + dcx;
        const long double yp = (X - scx) * sa + (Y - scy) * ca + dcy;
        if (i == 0 || xp < minX) minX = xp;
        if (i == 0 || xp > maxX) maxX = xp;
        if (i == 0 || yp < minY) minY = yp;
        if (i == 0 || yp > maxY) maxY = yp;
    }
    const int bx0 = int(std::max<int64_t>(FloorI(minX), 0));
    const int bx1 = int(std::min<int64_t>(CeilI(maxX), width_ - 1));
    const int by0 = int(std::max<int64_t>(FloorI(minY), 0));
    const int by1 = int(std::min<int64_t>(CeilI(maxY), height_ - 1));
    if (bx0 > bx1) return;

    // Usable source area.
    const int ux0 = std::max(sx, 0);
    const int ux1 = int(std::min<int64_t>(int64_t(sx) + sw - 1, source.GetWidth() - 1));
    const int uy0 = std::max(sy, 0);
    const int uy1 = int(std::min<int64_t>(int64_t(sy) + sh - 1, source.GetHeight() - 1));
    auto insideX = [&](int64_t v) { return v >= ux0 && v <= ux1; };
    auto insideY = [&](int64_t v) { return v >= uy0 && v <= uy1; };

    // Right angles map pixels onto pixels: sample them without blending.
    const bool interpolate = rotateInterpolation_ && !IsRightAngle(angle);

    // The column parts of the sample position, computed once per column;
    // each pixel then adds its row part in the same order as the full
    // expression, so the positions are the same.
    const size_t boxW = size_t(bx1 - bx0 + 1);
    std::vector<long double> colX(boxW), colY(boxW);
    for (int x = bx0; x <= bx1; ++x) {
        const long double d = (long double)(int64_t(x) - dcx);
        colX[size_t(x - bx0)] = d * ca;
        colY[size_t(x - bx0)] = -d * sa;
    }

    auto rotateRow = [&](int y, TPGSourceRows& rows, TPGPixelWriter& writer) {
        writer.StartRow(y);
        const long double dy = (long double)(int64_t(y) - dcy);
        const long double rowX = dy * sa, rowY = dy * ca;
        const bool odd = y % 2 != 0;
        for (int k = bx0; k <= bx1; ++k) {
            const int x = odd ? bx1 - (k - bx0) : k;
            const long double X = (colX[size_t(x - bx0)] + rowX) + scx;
            const long double Y = (colY[size_t(x - bx0)] + rowY) + scy;
            if (!interpolate) {
                const int64_t rx = RoundI(X), ry = RoundI(Y);
                if (rx < ux0 || rx > ux1 || ry < uy0 || ry > uy1) continue;
                writer.Put(x, rows.Color(int(rx), int(ry)));
                continue;
            }
            // Ceil is Floor, plus one unless the value is whole.
            const int64_t K = FloorI(X), M = FloorI(Y);
            const int64_t L = (long double)K < Pin(X) ? K + 1 : K;
            const int64_t N = (long double)M < Pin(Y) ? M + 1 : M;
            const bool inK = insideX(K), inL = insideX(L), inM = insideY(M), inN = insideY(N);
            if (!((inK || inL) && (inM || inN))) continue;
            // The destination's own colour stands in for samples off the
            // source; inside the picture there are none.
            const TRGB own = inK && inL && inM && inN ? 0 : writer.Current(x);
            const TRGB cKM = inK && inM ? rows.Color(int(K), int(M)) : own;
            const TRGB cKN = inK && inN ? rows.Color(int(K), int(N)) : own;
            const TRGB cLM = inL && inM ? rows.Color(int(L), int(M)) : own;
            const TRGB cLN = inL && inN ? rows.Color(int(L), int(N)) : own;
            const long double fx = X - K, fy = Y - M;
            long double ax0 = 1 - fx, ax1 = fx, ay0 = 1 - fy, ay1 = fy;
            if (K == L) ax0 = ax1 = 0.5L;
            if (M == N) ay0 = ay1 = 0.5L;
            const long double wKM = ax0 * ay0, wKN = ax0 * ay1, wLM = ax1 * ay0, wLN = ax1 * ay1;
            auto channel = [&](int (*get)(TRGB)) {
                const long double v =
                    get(cKM) * wKM + get(cKN) * wKN + get(cLM) * wLM + get(cLN) * wLN;
                return int(std::clamp<int64_t>(RoundI(v), 0, 255));
            };
            writer.Put(x, channel(GetRValue), channel(GetGValue), channel(GetBValue));
        }
    };

    {
        TPGDitherScope dither(*this);
        TPGProgressScope progress(*this, this);
        // True-colour destinations take each pixel on its own, so row bands
        // run on every core; palette destinations diffuse the error from row
        // to row and stay on one thread.
        const int rowCount = by1 - by0 + 1;
        const int bands = pixelFormat_ == pg24Bit
                              ? std::clamp(std::min(PGFilterThreads, rowCount / 16), 1, 64)
                              : 1;
        // Pending canvas drawing goes into the pixels before the bands read
        // and write them.
        FlushCanvas();
        source.FlushCanvas();
        std::atomic<bool> stop{false};
        std::vector<std::exception_ptr> errors(static_cast<size_t>(bands));
        auto band = [&](int b) {
            try {
                TPGSourceRows rows(source);
                TPGPixelWriter writer(*this);
                const int y0 = by0 + int(int64_t(rowCount) * b / bands);
                const int y1 = by0 + int(int64_t(rowCount) * (b + 1) / bands);
                for (int y = y0; y < y1 && !stop; ++y) {
                    rotateRow(y, rows, writer);
                    // The first band reports for all: they keep the same pace.
                    if (b == 0 && progress.Step(int(int64_t(y - y0 + 1) * bands) - 1, rowCount - 1))
                        stop = true;
                }
            } catch (...) {
                errors[size_t(b)] = std::current_exception();
                stop = true;
            }
        };
        std::vector<std::thread> pool;
        try {
            for (int b = 1; b < bands; ++b)
                pool.emplace_back(band, b);
        } catch (...) {
            for (int b = int(pool.size()) + 1; b < bands; ++b)
                band(b);
        }
        band(0);
        for (std::thread& t : pool)
            t.join();
        for (const std::exception_ptr& e : errors)
            if (e) std::rethrow_exception(e);
    }
    Changed(this);
}

void TPixelGraphic::Rotate(TPixelGraphic& source, long double angle, bool enlarge) {
    if (&source == this) {
        // Enlarging resizes (and so wipes) the destination before it is read.
        auto copy = PGSnapshot(*this);
        Rotate(*copy, angle, enlarge);
        return;
    }
    TPGUpdateScope update(*this);
    const int W = source.GetWidth(), H = source.GetHeight();
    int scx = W / 2, scy = H / 2;
    if (enlarge && IsRightAngle(angle)) {
        // A quarter turn gets exactly the turned size, and the source centre
        // is the pixel that lands on the destination centre, so every pixel
        // moves as a whole and no row or column is left empty.
        long double q = std::fmod(angle / 90, 4.0L);
        if (q < 0) q += 4;
        const int turn = int(q);
        if (turn % 2 == 0)
            SetFormat(W, H, pixelFormat_);
        else
            SetFormat(H, W, pixelFormat_);
        const int cx = width_ / 2, cy = height_ / 2;
        switch (turn) {
        case 0:
            scx = cx, scy = cy;
            break;
        case 1:
            scx = cy, scy = H - 1 - cx;
            break;
        case 2:
            scx = W - 1 - cx, scy = H - 1 - cy;
            break;
        default:
            scx = W - 1 - cy, scy = cx;
            break;
        }
    } else if (enlarge && std::isfinite(angle)) {
        long double ca, sa;
        CosSin(angle, ca, sa);
        long double minX = 0, maxX = 0, minY = 0, maxY = 0;
        const long double xs[2] = {0, (long double)W}, ys[2] = {0, (long double)H};
        for (int i = 0; i < 4; ++i) {
            const long double x = xs[i & 1], y = ys[i >> 1];
            const long double xp = x * ca - y * sa, yp = x * sa + y * ca;
            if (i == 0 || xp < minX) minX = xp;
            if (i == 0 || xp > maxX) maxX = xp;
            if (i == 0 || yp < minY) minY = yp;
            if (i == 0 || yp > maxY) maxY = yp;
        }
        const int64_t nw = CeilI(maxX) - FloorI(minX), nh = CeilI(maxY) - FloorI(minY);
        if (nw > std::numeric_limits<int>::max() || nh > std::numeric_limits<int>::max())
            throw EPixelGraphic(PGMessage(31, "CreateDIBSection"));
        SetFormat(int(nw), int(nh), pixelFormat_);
    }
    RotateCopy(width_ / 2, height_ / 2, source, 0, 0, W, H, scx, scy, angle);
    update.Finish();
}

void TPixelGraphic::FlipHorizontal() {
    if (width_ == 0 || height_ == 0 || !store_) return;
    {
        TPGProgressScope progress(*this, this);
        for (int y = 0; y < height_; ++y) {
            uint8_t* row = ScanLine(y);
            if (pixelFormat_ == pg8Bit) {
                std::reverse(row, row + width_);
            } else if (pixelFormat_ == pg24Bit) {
                for (int64_t a = 0, b = int64_t(width_ - 1) * 3; a < b; a += 3, b -= 3) {
                    std::swap(row[a], row[b]);
                    std::swap(row[a + 1], row[b + 1]);
                    std::swap(row[a + 2], row[b + 2]);
                }
            } else {
                for (int a = 0, b = width_ - 1; a < b; ++a, --b) {
                    const int32_t va = PGLoadIndex(row, pixelFormat_, a);
                    PGStoreIndex(row, pixelFormat_, a, PGLoadIndex(row, pixelFormat_, b));
                    PGStoreIndex(row, pixelFormat_, b, va);
                }
            }
            if (progress.Step(y, height_ - 1)) break;
        }
    }
    Changed(this);
}

void TPixelGraphic::FlipVertical() {
    if (width_ == 0 || height_ == 0 || !store_) return;
    std::vector<uint8_t*> rows(static_cast<size_t>(height_));
    for (int y = 0; y < height_; ++y)
        rows[size_t(y)] = ScanLine(y);
    const int bytes = pixelFormat_ == pg24Bit ? 3 : pixelFormat_ == pg8Bit ? 1 : 0;
    {
        // Column by column, so that an abort leaves whole columns flipped.
        TPGProgressScope progress(*this, this);
        for (int x = 0; x < width_; ++x) {
            for (int a = 0, b = height_ - 1; a < b; ++a, --b) {
                uint8_t* ra = rows[size_t(a)];
                uint8_t* rb = rows[size_t(b)];
                if (bytes) {
                    const int64_t o = int64_t(x) * bytes;
                    for (int i = 0; i < bytes; ++i)
                        std::swap(ra[o + i], rb[o + i]);
                } else {
                    const int32_t va = PGLoadIndex(ra, pixelFormat_, x);
                    PGStoreIndex(ra, pixelFormat_, x, PGLoadIndex(rb, pixelFormat_, x));
                    PGStoreIndex(rb, pixelFormat_, x, va);
                }
            }
            if (progress.Step(x, width_ - 1)) break;
        }
    }
    Changed(this);
}
