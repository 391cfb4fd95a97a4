#include "processing/effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <random>

#include "core/filter.h"
#include "core/options.h"
#include "core/pixelgraphic.h"

namespace {

// Answers each draw from a script and records the n asked for.
class TScriptedRandom : public TPGRandom {
  public:
    std::deque<int> answers;
    std::vector<int> asked;
    int Random(int n) override {
        asked.push_back(n);
        if (answers.empty()) return 0;
        const int v = answers.front();
        answers.pop_front();
        return v;
    }
};

TFastBMP Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    TFastBMP f(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            f.Row(y)[3 * x] = b;
            f.Row(y)[3 * x + 1] = g;
            f.Row(y)[3 * x + 2] = r;
        }
    return f;
}

TFastBMP RandomBitmap(int w, int h, unsigned seed) {
    std::mt19937 gen(seed);
    TFastBMP f(w, h);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 3 * w; ++i)
            f.Row(y)[i] = uint8_t(gen());
    return f;
}

bool SamePixels(const TFastBMP& a, const TFastBMP& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i)
            if (a.Row(y)[i] != b.Row(y)[i]) return false;
    return true;
}

const uint8_t* Px(const TFastBMP& f, int x, int y) {
    return f.Row(y) + 3 * x;
}

} // namespace

TEST(FastBMP, LayoutRowsAndResultState) {
    for (int w = 1; w <= 5; ++w) {
        TFastBMP f(w, 2);
        EXPECT_EQ(f.RowGap(), w % 4);
        EXPECT_EQ(f.RowStride(), 3 * w + w % 4);
        EXPECT_EQ(f.TotalSize(), 2 * (3 * w + w % 4));
        EXPECT_EQ(f.Row(1) - f.Row(0), f.RowStride());
    }
    // Rows top first both ways, from a palette picture through a 24-bit copy.
    TPixelGraphic pg;
    pg.SetFormat(3, 2, pg8Bit);
    pg.SetPaletteCount(2);
    pg.SetPaletteEntry(0, RGB(0, 0, 0));
    pg.SetPaletteEntry(1, RGB(10, 20, 30));
    pg.ScanLine(0)[1] = 1; // top row, middle pixel
    TFastBMP f(pg);
    ASSERT_EQ(f.Width(), 3);
    EXPECT_EQ(Px(f, 1, 0)[0], 30);
    EXPECT_EQ(Px(f, 1, 0)[2], 10);
    EXPECT_EQ(Px(f, 1, 1)[2], 0);

    int changes = 0;
    TPixelGraphic out;
    out.SetGamma(1.0L);
    out.OnChange = [&](TObject*) { ++changes; };
    f.AssignTo(out);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(out.PixelFormat(), pg24Bit);
    EXPECT_EQ(out.Gamma(), DisplayGamma);
    EXPECT_EQ(out.GetPixelColor(1, 0), RGB(10, 20, 30));
    EXPECT_EQ(out.GetPixelColor(1, 1), RGB(0, 0, 0));

    TFastBMP none(0, 5);
    EXPECT_TRUE(none.Empty());
    none.AssignTo(out);
    EXPECT_EQ(out.GetWidth(), 0);
}

TEST(FastEffects, NoiseAndSprayDrawInTheirOrderAndClamp) {
    TFastBMP f = Filled(2, 1, 250, 5, 100);
    TScriptedRandom colour;
    colour.answers = {20, 0, 10, 10, 10, 10}; // a = 20: +10, -10, 0 ...
    FastColorNoise(f, 20, colour);
    EXPECT_EQ(colour.asked, std::vector<int>(6, 20)); // B, G, R of each pixel
    EXPECT_EQ(Px(f, 0, 0)[0], 255);                   // 250 + 10, clamped
    EXPECT_EQ(Px(f, 0, 0)[1], 0);                     // 5 - 10, clamped
    EXPECT_EQ(Px(f, 0, 0)[2], 100);

    TFastBMP m = Filled(3, 1, 0, 128, 255);
    TScriptedRandom mono;
    mono.answers = {9, 0, 5};
    FastMonoNoise(m, 10, mono);
    EXPECT_EQ(mono.asked.size(), 3u); // one number per pixel
    EXPECT_EQ(Px(m, 0, 0)[0], 4);
    EXPECT_EQ(Px(m, 0, 0)[2], 255);
    EXPECT_EQ(Px(m, 1, 0)[1], 123);
    EXPECT_EQ(Px(m, 2, 0)[1], 128);

    // Spray: c, then the x draw over 2c, then the y draw over 2c.
    TFastBMP src = RandomBitmap(4, 4, 1), dst(4, 4);
    TScriptedRandom spray;
    spray.answers = {2, 0, 4};
    FastSpray(src, dst, 5, spray);
    ASSERT_GE(spray.asked.size(), 3u);
    EXPECT_EQ(spray.asked[0], 5);
    EXPECT_EQ(spray.asked[1], 4);
    EXPECT_EQ(spray.asked[2], 4);
    EXPECT_EQ(0, std::memcmp(Px(dst, 0, 0), Px(src, 2, 0), 3)); // x + 2, y - 2 clamped to 0

    // Strength 0 changes nothing.
    TFastBMP a = RandomBitmap(7, 5, 2), b = RandomBitmap(7, 5, 2), c(7, 5);
    TPGRandom r;
    FastColorNoise(a, 0, r);
    FastMonoNoise(a, 0, r);
    EXPECT_TRUE(SamePixels(a, b));
    FastSpray(a, c, 0, r);
    EXPECT_TRUE(SamePixels(a, c));
}

TEST(FastEffects, ProgramGeneratorIsReproducible) {
    TPGRandom a(0), b(0);
    for (int i = 0; i < 1000; ++i) {
        const int n = 1 + i % 300;
        const int v = a.Random(n);
        ASSERT_EQ(v, b.Random(n));
        ASSERT_GE(v, 0);
        ASSERT_LT(v, n);
    }
    EXPECT_EQ(a.Random(0), 0);
}

TEST(FastEffects, MosaicBlocksAndSamples) {
    TFastBMP src = RandomBitmap(25, 25, 3);
    TFastBMP f(25, 25);
    f.CopyBitsFrom(src);
    FastMosaic(f, 10, 10);
    // Blocks of 10, 10 and 5; samples at 5, 15 and the clamped 24.
    const int starts[] = {0, 10, 20}, ends[] = {10, 20, 25}, samples[] = {5, 15, 24};
    for (int by = 0; by < 3; ++by)
        for (int bx = 0; bx < 3; ++bx)
            for (int y = starts[by]; y < ends[by]; ++y)
                for (int x = starts[bx]; x < ends[bx]; ++x)
                    ASSERT_EQ(0, std::memcmp(Px(f, x, y), Px(src, samples[bx], samples[by]), 3))
                        << x << "," << y;

    for (auto [bw, bh] : {std::pair{0, 5}, {5, 0}, {-3, 4}}) {
        TFastBMP g(25, 25);
        g.CopyBitsFrom(src);
        FastMosaic(g, bw, bh);
        EXPECT_TRUE(SamePixels(g, src));
    }
    // bw = 1 takes the pixel to the right (and below for bh = 1); unequal sizes.
    TFastBMP one(4, 3);
    one.CopyBitsFrom(RandomBitmap(4, 3, 4));
    TFastBMP orig(4, 3);
    orig.CopyBitsFrom(one);
    FastMosaic(one, 1, 2);
    EXPECT_EQ(0, std::memcmp(Px(one, 0, 0), Px(orig, 1, 1), 3));
    EXPECT_EQ(0, std::memcmp(Px(one, 0, 1), Px(orig, 1, 1), 3));
    EXPECT_EQ(0, std::memcmp(Px(one, 3, 2), Px(orig, 3, 2), 3));
}

TEST(FastEffects, EmbossAgainstNeighbourClampedToThePicture) {
    TFastBMP u = Filled(6, 4, 10, 200, 255);
    FastEmboss(u);
    for (int y = 0; y < 4; ++y)
        for (int i = 0; i < 18; ++i)
            ASSERT_EQ(u.Row(y)[i], 127);

    TFastBMP src = RandomBitmap(5, 4, 5), e(5, 4);
    e.CopyBitsFrom(src);
    FastEmboss(e);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c) {
                const int q = Px(src, std::min(x + 1, 4), std::min(y + 1, 3))[c];
                ASSERT_EQ(Px(e, x, y)[c], (Px(src, x, y)[c] + 255 - q) / 2);
            }
    for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}}) {
        TFastBMP t = RandomBitmap(w, h, 6);
        FastEmboss(t); // stays inside the picture (ASan)
    }
    TFastBMP single = Filled(1, 1, 3, 4, 5);
    FastEmboss(single);
    EXPECT_EQ(Px(single, 0, 0)[0], 127);
}

TEST(FastEffects, SamplerWrapsAndRefusesPointsThatAreNotFinite) {
    TFastBMP f = RandomBitmap(5, 3, 7);
    uint8_t px[3];
    ASSERT_TRUE(SampleBilinear(f, 2, 1, px));
    EXPECT_EQ(0, std::memcmp(px, Px(f, 2, 1), 3));
    ASSERT_TRUE(SampleBilinear(f, 7, 4, px)); // wraps to (2, 1)
    EXPECT_EQ(0, std::memcmp(px, Px(f, 2, 1), 3));
    ASSERT_TRUE(SampleBilinear(f, -3, -2, px)); // wraps to (2, 1)
    EXPECT_EQ(0, std::memcmp(px, Px(f, 2, 1), 3));
    // Just left of the picture lies between the last column and the first.
    ASSERT_TRUE(SampleBilinear(f, -0.25f, 0, px));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(px[c], int(std::nearbyintf(0.25f * Px(f, 4, 0)[c] + 0.75f * Px(f, 0, 0)[c])));
    const float inf = std::numeric_limits<float>::infinity();
    for (float s : {3e10f, -3e10f, 1e38f})
        EXPECT_TRUE(SampleBilinear(f, s, s, px)) << s;
    for (float s : {inf, -inf, std::nanf("")})
        EXPECT_FALSE(SampleBilinear(f, s, 0, px)) << s;
}

TEST(FastEffects, FisheyeAndSwirlEdgeCases) {
    // Uniform pictures stay as they are; the tall one has points at exactly
    // the radius and far beyond it.
    for (auto [w, h] : {std::pair{10, 40}, {33, 20}, {1400, 2800}}) {
        TFastBMP u = Filled(w, h, 1, 2, 3), out(w, h);
        FastFisheye(u, out, 1.0f);
        EXPECT_TRUE(SamePixels(u, out)) << w << "x" << h;
    }
    // The centre of an even-sized picture samples itself.
    TFastBMP src = RandomBitmap(8, 6, 8), fe(8, 6);
    FastFisheye(src, fe, 1.0f);
    EXPECT_EQ(0, std::memcmp(Px(fe, 4, 3), Px(src, 4, 3), 3));

    // A very large amount is a pure quarter turn about the centre.
    for (int n : {9, 10, 64}) {
        TFastBMP s = RandomBitmap(n, n, 9), d(n, n);
        FastSwirl(s, d, 1e30f);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                ASSERT_EQ(0, std::memcmp(Px(d, x, y), Px(s, n - 1 - y, x), 3))
                    << n << ": " << x << "," << y;
    }
    // Amount 0 leaves the picture as it is.
    TFastBMP s = RandomBitmap(7, 5, 10), d(7, 5);
    FastSwirl(s, d, 0.0f);
    EXPECT_TRUE(SamePixels(s, d));
}

TEST(FastEffects, FisheyeAndSwirlGiveTheSameRowsOnAnyNumberOfThreads) {
    const int saved = PGFilterThreads;
    TFastBMP src = RandomBitmap(301, 250, 11);
    auto run = [&](int threads, bool swirl) {
        PGFilterThreads = threads;
        TFastBMP out(301, 250);
        if (swirl)
            FastSwirl(src, out, 100.0f);
        else
            FastFisheye(src, out, 1.0f);
        return out;
    };
    for (bool swirl : {false, true}) {
        const TFastBMP one = run(1, swirl);
        EXPECT_TRUE(SamePixels(one, run(2, swirl))) << swirl;
        EXPECT_TRUE(SamePixels(one, run(7, swirl))) << swirl;
    }
    PGFilterThreads = saved;
}
