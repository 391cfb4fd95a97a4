#include "processing/effects.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "core/filter.h"

namespace {

inline uint8_t Clamp255(int v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// One axis of the bilinear sample: the two indices and their weights for
// coordinate s on an axis of n pixels, wrapping around the picture.
struct TAxis {
    int i0, i1;
    float w0, w1;
};

TAxis AxisOf(float s, int n) {
    // Far-off points wrap to the same place as their integer part would; the
    // reduction is exact and keeps the conversion below inside int.
    if (s >= float(n) || s <= -float(n)) s = std::fmod(s, float(n));
    if (s < 0 && s > -1) {
        // Between the last pixel and the first: truncation would give 0 and
        // read pixels 0 and 1 as if the point lay at 1 - |s|.
        return {n - 1, 0, -s, 1 + s};
    }
    int i = int(s); // toward zero
    const float f = s - float(i);
    float w0, w1;
    if (s >= 0) {
        w0 = 1 - f;
        w1 = f;
    } else {
        w0 = -f;
        w1 = 1 + f;
    }
    if (i < 0)
        i = n - 1 - ((-i) % n);
    else if (i > n - 1)
        i = i % n;
    const int j = i + 1 >= n ? n - i - 1 : i + 1;
    return {i, j, w0, w1};
}

} // namespace

bool SampleBilinear(const TFastBMP& source, float sx, float sy, uint8_t bgr[3]) {
    if (!std::isfinite(sx) || !std::isfinite(sy) || source.Empty()) return false;
    const TAxis ax = AxisOf(sx, source.Width());
    const TAxis ay = AxisOf(sy, source.Height());
    const uint8_t* r0 = source.Row(ay.i0);
    const uint8_t* r1 = source.Row(ay.i1);
    for (int c = 0; c < 3; ++c) {
        const float v =
            float(r0[3 * ax.i0 + c]) * ax.w0 * ay.w0 + float(r0[3 * ax.i1 + c]) * ax.w1 * ay.w0 +
            float(r1[3 * ax.i0 + c]) * ax.w0 * ay.w1 + float(r1[3 * ax.i1 + c]) * ax.w1 * ay.w1;
        bgr[c] = Clamp255(int(std::nearbyintf(std::clamp(v, -1.0f, 256.0f))));
    }
    return true;
}

void FastColorNoise(TFastBMP& bitmap, int amount, TPGRandom& random) {
    const int half = amount / 2;
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* p = bitmap.Row(y);
        for (int i = 0; i < 3 * bitmap.Width(); ++i)
            p[i] = Clamp255(p[i] + random.Random(amount) - half);
    }
}

void FastMonoNoise(TFastBMP& bitmap, int amount, TPGRandom& random) {
    const int half = amount / 2;
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* p = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
            const int d = random.Random(amount) - half;
            p[0] = Clamp255(p[0] + d);
            p[1] = Clamp255(p[1] + d);
            p[2] = Clamp255(p[2] + d);
        }
    }
}

void FastSpray(const TFastBMP& source, TFastBMP& dest, int amount, TPGRandom& random) {
    amount = std::min(amount, 1 << 24); // 2c stays an int
    const int w = std::min(source.Width(), dest.Width());
    const int h = std::min(source.Height(), dest.Height());
    for (int y = 0; y < h; ++y) {
        uint8_t* d = dest.Row(y);
        for (int x = 0; x < w; ++x, d += 3) {
            const int c = random.Random(amount);
            const int sx = std::clamp(c - random.Random(2 * c) + x, 0, w - 1);
            const int sy = std::clamp(c - random.Random(2 * c) + y, 0, h - 1);
            const uint8_t* s = source.Row(sy) + 3 * sx;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

void FastEmboss(TFastBMP& bitmap) {
    const int w = bitmap.Width(), h = bitmap.Height();
    // Top to bottom, left to right: the lower-right neighbour (clamped to the
    // picture) is always still unchanged when it is read.
    for (int y = 0; y < h; ++y) {
        uint8_t* p = bitmap.Row(y);
        const uint8_t* below = bitmap.Row(std::min(y + 1, h - 1));
        for (int x = 0; x < w; ++x) {
            const uint8_t* q = below + 3 * std::min(x + 1, w - 1);
            for (int c = 0; c < 3; ++c)
                p[3 * x + c] = uint8_t((p[3 * x + c] + 255 - q[c]) / 2);
        }
    }
}

void FastMosaic(TFastBMP& bitmap, int blockWidth, int blockHeight) {
    if (blockWidth <= 0 || blockHeight <= 0) return;
    const int w = bitmap.Width(), h = bitmap.Height();
    const int64_t dx = (int64_t(blockWidth) + 1) / 2, dy = (int64_t(blockHeight) + 1) / 2;
    for (int64_t y0 = 0; y0 < h; y0 += blockHeight) {
        const int sy = int(std::min<int64_t>(y0 + dy, h - 1));
        const int y1 = int(std::min<int64_t>(y0 + blockHeight, h));
        for (int64_t x0 = 0; x0 < w; x0 += blockWidth) {
            const int sx = int(std::min<int64_t>(x0 + dx, w - 1));
            const int x1 = int(std::min<int64_t>(x0 + blockWidth, w));
            const uint8_t* s = bitmap.Row(sy) + 3 * sx;
            const uint8_t b = s[0], g = s[1], r = s[2];
            for (int y = int(y0); y < y1; ++y) {
                uint8_t* p = bitmap.Row(y);
                for (int x = int(x0); x < x1; ++x) {
                    p[3 * x] = b;
                    p[3 * x + 1] = g;
                    p[3 * x + 2] = r;
                }
            }
        }
    }
}

namespace {

// Runs `point` for every destination pixel and writes the bilinear sample of
// the source there; a point that is not finite keeps the source pixel.
// Each pixel depends on the source alone, so bands of rows go to the
// filters' worker threads with the same result as one thread.
template <class F> void Resample(const TFastBMP& source, TFastBMP& dest, F point) {
    const int w = std::min(source.Width(), dest.Width());
    const int h = std::min(source.Height(), dest.Height());
    // In tiles of 32 x 32: neighbouring pixels sample neighbouring source
    // points, which then stay in the cache (a whole row of a swirl crosses
    // thousands of source rows).
    constexpr int kTile = 32;
    auto rows = [&](int from, int to) {
        for (int ty = from; ty < to; ty += kTile)
            for (int tx = 0; tx < w; tx += kTile)
                for (int y = ty; y < std::min(ty + kTile, to); ++y) {
                    uint8_t* d = dest.Row(y);
                    const uint8_t* s = source.Row(y);
                    for (int x = tx; x < std::min(tx + kTile, w); ++x) {
                        float sx, sy;
                        point(x, y, sx, sy);
                        if (!SampleBilinear(source, sx, sy, d + 3 * x)) {
                            d[3 * x] = s[3 * x];
                            d[3 * x + 1] = s[3 * x + 1];
                            d[3 * x + 2] = s[3 * x + 2];
                        }
                    }
                }
    };
    const int threads =
        int64_t(w) * h < 65536 ? 1 : std::clamp(PGFilterThreads, 1, std::max(1, h));
    if (threads == 1) {
        rows(0, h);
        return;
    }
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(rows, int(int64_t(h) * t / threads), int(int64_t(h) * (t + 1) / threads));
    rows(0, int(int64_t(h) / threads));
    for (std::thread& t : workers)
        t.join();
}

constexpr float kPi = 3.14159265358979f;

} // namespace

void FastFisheye(const TFastBMP& source, TFastBMP& dest, float amount) {
    const float cx = float(source.Width()) * 0.5f;
    const float cy = float(source.Height()) * 0.5f;
    const float R = amount * float(dest.Width());
    Resample(source, dest, [&](int x, int y, float& sx, float& sy) {
        const float dx = float(x) - cx, dy = float(y) - cy;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d == 0) {
            sx = cx;
            sy = cy;
            return;
        }
        const float k = (1.0f / (1.0f - d / R) - 1.0f) * (R * 0.5f);
        sx = cx + dx * k / d;
        sy = cy + dy * k / d;
    });
}

void FastSwirl(const TFastBMP& source, TFastBMP& dest, float amount) {
    const float cx = float(source.Width() - 1) * 0.5f;
    const float cy = float(source.Height() - 1) * 0.5f;
    Resample(source, dest, [&](int x, int y, float& sx, float& sy) {
        const float dx = float(x) - cx, dy = float(y) - cy;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d == 0) {
            sx = cx;
            sy = cy;
            return;
        }
        float angle;
        if (dx > 0)
            angle = std::atan(dy / dx);
        else if (dx < 0)
            angle = std::atan(dy / dx) + kPi;
        else
            angle = dy > 0 ? kPi / 2 : -kPi / 2;
        const float t = angle - d / amount + kPi / 2;
        sx = cx + d * std::cos(t);
        sy = cy + d * std::sin(t);
    });
}
