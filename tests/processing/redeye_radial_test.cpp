// Red-eye reduction and radial adjustment: thresholds, the inscribed
// circle, no accumulation, the identity polynomial and unsafe values.

#include "processing/redeye.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "processing/radial.h"

namespace {

std::unique_ptr<TPixelGraphic> Filled(int w, int h, TRGB c) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->SetPixel(x, y, c);
    return p;
}

} // namespace

TEST(RedEye, LimitsFollowTheSlider) {
    const struct {
        int v, r, g, b;
    } cases[] = {{0, 100, 100, 100}, {80, 20, 180, 180}, {-50, 150, 50, 50}};
    for (const auto& c : cases) {
        const TRedEyeLimits l = RedEyeLimitsFor(c.v);
        EXPECT_EQ(l.red, c.r);
        EXPECT_EQ(l.green, c.g);
        EXPECT_EQ(l.blue, c.b);
    }
}

TEST(RedEye, OnlyRedPixelsInsideTheInscribedCircleTurnBlack) {
    // 40 x 10: radius 5 around (20, 5).
    auto region = Filled(40, 10, RGB(200, 50, 50));
    ReduceRedEye(*region, RedEyeLimitsFor(0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = (x - 20) * (x - 20) + (y - 5) * (y - 5) <= 25;
            EXPECT_EQ(region->GetPixel(x, y), inside ? RGB(0, 0, 0) : RGB(200, 50, 50))
                << x << "," << y;
        }
    // The thresholds are strict, and each channel counts.
    const struct {
        TRGB c;
        int v;
        bool black;
    } cases[] = {{RGB(101, 99, 99), 0, true},   {RGB(100, 99, 99), 0, false},
                 {RGB(101, 100, 99), 0, false}, {RGB(101, 99, 100), 0, false},
                 {RGB(21, 179, 179), 80, true}, {RGB(140, 40, 40), -50, false},
                 {RGB(151, 49, 49), -50, true}};
    for (const auto& c : cases) {
        auto p = Filled(3, 3, c.c);
        ReduceRedEye(*p, RedEyeLimitsFor(c.v));
        EXPECT_EQ(p->GetPixel(1, 1) == 0, c.black) << std::hex << c.c << " at " << std::dec << c.v;
    }
}

TEST(RedEye, WholePictureCommandIntersectsAndNeverAccumulates) {
    auto src = Filled(20, 20, RGB(200, 20, 20));
    src->SetPixel(0, 0, RGB(1, 2, 3));
    // Hanging off the top-left corner: the region is 6 x 6 at (0, 0).
    auto r = RedEyePicture(*src, {-4, -4, 10, 10}, RedEyeLimitsFor(0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetPixel(3, 3), 0);
    EXPECT_EQ(r->GetPixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(r->GetPixel(10, 10), RGB(200, 20, 20));
    EXPECT_EQ(src->GetPixel(3, 3), RGB(200, 20, 20)); // the source is left alone
    EXPECT_FALSE(RedEyePicture(*src, {20, 0, 5, 5}, RedEyeLimitsFor(0)));
    // Previews come from a fresh region copy each time: a harsh setting
    // followed by a mild one gives the mild result only.
    auto dim = Filled(20, 20, RGB(140, 20, 20));
    auto first = RedEyeRegion(*dim, {0, 0, 20, 20});
    ReduceRedEye(*first, RedEyeLimitsFor(80));
    EXPECT_EQ(first->GetPixel(10, 10), 0);
    auto second = RedEyeRegion(*dim, {0, 0, 20, 20});
    ReduceRedEye(*second, RedEyeLimitsFor(-50));
    EXPECT_EQ(second->GetPixel(10, 10), RGB(140, 20, 20));
}

TEST(Radial, CoefficientsParseWithAPointInEveryLocaleAndOnlyFinite) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the rule holds anyway
    double v = 0;
    EXPECT_TRUE(ParseRadialCoefficient("-0.02", v));
    EXPECT_DOUBLE_EQ(v, -0.02);
    EXPECT_TRUE(ParseRadialCoefficient(" 1 ", v));
    EXPECT_TRUE(ParseRadialCoefficient("+2.5e-1", v));
    EXPECT_DOUBLE_EQ(v, 0.25);
    for (const char* bad : {"nan", "inf", "-inf", "1e400", "", " ", "0,5", "1.2.3", "abc", "0x10"})
        EXPECT_FALSE(ParseRadialCoefficient(bad, v)) << bad;
    std::setlocale(LC_NUMERIC, saved.c_str());
    TRadialCoefficients k;
    EXPECT_FALSE(ParseRadialCoefficients("0", "0", "nan", "1", k));
    EXPECT_DOUBLE_EQ(k.a, -0.02); // unchanged on failure
    EXPECT_TRUE(ParseRadialCoefficients("0.1", "0.2", "0.3", "0.4", k));
    EXPECT_DOUBLE_EQ(k.c, 0.3);
}

TEST(Radial, IdentityReproducesThePictureAndTheCentreNeverMoves) {
    for (TPGPixelFormat f : {pg8Bit, pg24Bit}) {
        TPixelGraphic src;
        src.SetFormat(31, 20, f);
        if (f == pg8Bit) {
            src.SetPaletteCount(256);
            for (int i = 0; i < 256; ++i)
                src.SetPaletteEntry(i, RGB(i, 255 - i, i / 2));
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 31; ++x)
                src.SetPixel(x, y, f == pg8Bit ? (x * 7 + y) % 256 : RGB(x * 8, y * 12, x ^ y));
        auto same = RadialAdjust(src, {0, 0, 0, 1});
        ASSERT_TRUE(same);
        EXPECT_EQ(same->PixelFormat(), pg24Bit);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 31; ++x)
                ASSERT_EQ(same->GetPixelColor(x, y), src.GetPixelColor(x, y));
        for (TRadialCoefficients k :
             {TRadialCoefficients{}, TRadialCoefficients{0.5, -0.3, 0.2, 1.7}}) {
            auto r = RadialAdjust(src, k);
            EXPECT_EQ(r->GetPixelColor(15, 10), src.GetPixelColor(15, 10));
        }
    }
}

TEST(Radial, PositiveOuterShowsTheBackgroundAtTheBorder) {
    auto src = Filled(41, 41, RGB(250, 250, 250));
    auto r = RadialAdjust(*src, {0.5, 0, 0, 1});
    EXPECT_EQ(r->GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(r->GetPixel(20, 20), RGB(250, 250, 250));
}

TEST(Radial, UnsafeValuesAndShapesStayClean) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto src = Filled(9, 7, RGB(10, 20, 30));
    EXPECT_THROW(RadialAdjust(*src, {nan, 0, 0, 1}), EPixelGraphic);
    EXPECT_THROW(RadialAdjust(*src, {0, 0, 0, inf}), EPixelGraphic);
    // Huge finite coefficients send samples far off (or to overflow): background.
    for (TRadialCoefficients k :
         {TRadialCoefficients{1e300, 1e300, 1e300, 1e300}, TRadialCoefficients{-1e300, 0, 0, 1},
          TRadialCoefficients{0, 0, 0, 1e12}}) {
        auto r = RadialAdjust(*src, k);
        EXPECT_EQ(r->GetPixel(0, 0), RGB(0, 0, 0));
        EXPECT_EQ(r->GetPixel(4, 3), RGB(10, 20, 30));
    }
    // One pixel wide: copied unchanged.
    auto thin = Filled(1, 5, RGB(7, 8, 9));
    thin->SetPixel(0, 4, RGB(1, 1, 1));
    auto t = RadialAdjust(*thin, {0.3, 0, 0, 2});
    EXPECT_EQ(t->GetPixel(0, 4), RGB(1, 1, 1));
    EXPECT_EQ(t->GetPixel(0, 0), RGB(7, 8, 9));
    // Samples just left of the picture get weights outside 0..1: clamped.
    auto bright = Filled(6, 6, RGB(255, 255, 255));
    auto b = RadialAdjust(*bright, {0, 0, 0, 1.15});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const TRGB c = b->GetPixel(x, y);
            EXPECT_LE(GetRValue(c), 255);
        }
    // Cancelling gives no picture.
    int calls = 0;
    EXPECT_FALSE(RadialAdjust(*src, {}, [&](int) { return ++calls == 3; }));
}
