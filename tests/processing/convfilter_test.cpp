// TConvFilter: kernels of the recipes, renormalised borders, the sums of
// large kernels, and refused parameters.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "core/exceptions.h"
#include "filter_fixtures.h"
#include "processing/convfilter.h"

namespace {

std::vector<std::vector<int>> Kernel(const TConvFilter& f) {
    std::vector<std::vector<int>> k(size_t(f.Height()), std::vector<int>(size_t(f.Width())));
    for (int r = 0; r < f.Height(); ++r)
        for (int c = 0; c < f.Width(); ++c)
            k[size_t(r)][size_t(c)] = f.Cell(c, r);
    return k;
}

int64_t Sum(const TConvFilter& f) {
    int64_t s = 0;
    for (int r = 0; r < f.Height(); ++r)
        for (int c = 0; c < f.Width(); ++c)
            s += f.Cell(c, r);
    return s;
}

using K = std::vector<std::vector<int>>;

TEST(ConvFilter, RecipeExamples) {
    TConvFilter f;
    f.MakeSharpen(dsGaussian, true, 50, 0.75L);
    EXPECT_EQ(Kernel(f), (K{{-3, -7, -3}, {-7, 112, -7}, {-3, -7, -3}}));
    EXPECT_EQ(f.OffsetX(), -1);
    f.MakeDetail(dsGaussian, true, 75, 0.75L);
    EXPECT_EQ(Kernel(f), (K{{-3, -7, -3}, {-7, 55, -7}, {-3, -7, -3}}));
    f.MakeSmooth(dsGaussian, true, 100, 1.30L);
    EXPECT_EQ(f.Width(), 7);
    EXPECT_EQ(f.Cell(3, 3), 16);
    EXPECT_EQ(Sum(f), 172);
    f.MakeContour(dsRect, true, 100, 1.00L, true);
    EXPECT_EQ(Kernel(f), (K{{-1, -1, -1}, {-1, 9, -1}, {-1, -1, -1}}));
    EXPECT_EQ(f.Bias(), 100);
    EXPECT_EQ(f.Factor(), 100);
    f.MakeContour(dsRect, true, 300, 1.00L, false);
    EXPECT_EQ(f.Bias(), 0);
    EXPECT_EQ(f.Factor(), -300);
    // The pencil drawing's contour: dsRect 1.16 reaches distance 2.
    f.MakeContour(dsRect, true, 792, 1.16L, true);
    EXPECT_EQ(Kernel(f), (K{{0, 0, -1, 0, 0},
                            {0, -1, -1, -1, 0},
                            {-1, -1, 13, -1, -1},
                            {0, -1, -1, -1, 0},
                            {0, 0, -1, 0, 0}}));
    // The contact sheet's sharpening: dsTent 0.75 without distance.
    f.MakeSharpen(dsTent, false, 70, 0.75L);
    EXPECT_EQ(Kernel(f), (K{{-3, -7, -3}, {-7, 80, -7}, {-3, -7, -3}}));
}

TEST(ConvFilter, DistributionSizes) {
    struct Case {
        TDistributionShape shape;
        long double sigma;
        int size;
    } cases[] = {
        {dsGaussian, 0.40L, 3}, {dsTent, 0.40L, 1}, {dsTent, 0.43L, 3}, {dsRect, 0.40L, 1},
        {dsGaussian, 1.30L, 7}, {dsTent, 1.30L, 7}, {dsRect, 1.30L, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shape << " " << double(c.sigma));
        TConvFilter f;
        f.SetDistribution(c.shape, true, c.sigma);
        EXPECT_EQ(f.Width(), c.size);
        EXPECT_EQ(f.OffsetY(), -(c.size / 2));
        EXPECT_EQ(f.Cell(c.size / 2, c.size / 2), c.shape == dsRect ? 1 : 16);
    }
}

TEST(ConvFilter, BlurRings) {
    TConvFilter f;
    f.MakeBlur(100, 0.5L);
    EXPECT_EQ(Kernel(f), (K{{360}}));
    f.MakeBlur(100, 5.0L);
    EXPECT_EQ(f.Width(), 11);
    EXPECT_EQ(Sum(f), 360);
    f.MakeBlur(50, 2.5L);
    EXPECT_EQ(Sum(f), 720);
    // Every radius gives a ring symmetric both ways.
    for (int h = 50; h <= 500; ++h) {
        f.MakeBlur(100, h / 100.0L);
        const int n = f.Width();
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                ASSERT_EQ(f.Cell(c, r), f.Cell(n - 1 - c, r)) << h;
                ASSERT_EQ(f.Cell(c, r), f.Cell(c, n - 1 - r)) << h;
                ASSERT_EQ(f.Cell(c, r), f.Cell(r, c)) << h;
            }
    }
}

TEST(ConvFilter, SizeAndCellErrorsKeepTheKernel) {
    TConvFilter f;
    EXPECT_EQ(Kernel(f), (K{{1}}));
    f.SetWidth(3);
    EXPECT_EQ(Kernel(f), (K{{0, 0, 0}}));
    f.SetCell(1, 0, 5);
    for (int bad : {0, 100, -1}) {
        try {
            f.SetWidth(bad);
            FAIL();
        } catch (const EPGConvFilter& e) {
            EXPECT_STREQ(e.what(), "TConvFilter.Width out of range");
        }
        EXPECT_THROW(f.SetHeight(bad), EPGConvFilter);
    }
    EXPECT_EQ(Kernel(f), (K{{0, 5, 0}}));
    try {
        f.SetCell(3, 0, 1);
        FAIL();
    } catch (const EPGConvFilter& e) {
        EXPECT_STREQ(e.what(), "X, Y index out of range");
    }
    EXPECT_THROW(f.Cell(0, 1), EPGConvFilter);
}

TEST(ConvFilter, RecipeParametersAreCheckedFirst) {
    TConvFilter f;
    f.MakeSharpen(dsGaussian, true, 50, 0.75L);
    const K before = Kernel(f);
    const long double nan = std::nan("");
    const long double inf = INFINITY;
    auto expect41 = [&](auto call, const char* name) {
        try {
            call();
            ADD_FAILURE() << name;
        } catch (const EPGConvFilter& e) {
            EXPECT_EQ(std::string(e.what()), std::string(name) + " out of range");
        }
        EXPECT_EQ(Kernel(f), before);
        EXPECT_EQ(f.OffsetX(), -1);
    };
    expect41([&] { f.SetDistribution(dsGaussian, true, 0); }, "StdDeviation");
    expect41([&] { f.SetDistribution(dsGaussian, true, -1); }, "StdDeviation");
    expect41([&] { f.SetDistribution(dsTent, false, nan); }, "StdDeviation");
    expect41([&] { f.MakeSmooth(dsGaussian, true, 100, 30); }, "StdDeviation");
    expect41([&] { f.MakeSmooth(dsGaussian, false, 100, 1e-4000L); }, "StdDeviation");
    expect41([&] { f.MakeSharpen(dsGaussian, true, 0, 0.75L); }, "Percent");
    expect41([&] { f.MakeDetail(dsGaussian, true, nan, 0.75L); }, "Percent");
    expect41([&] { f.MakeSharpen(dsGaussian, true, 1e-12L, 0.75L); }, "Percent");
    expect41([&] { f.MakeBlur(100, 50); }, "Radius");
    expect41([&] { f.MakeBlur(100, inf); }, "Radius");
    expect41([&] { f.MakeBlur(-5, 2); }, "Percent");
    expect41([&] { f.SetFactor(nan); }, "TConvFilter.Factor");
    expect41([&] { f.SetBias(inf); }, "TConvFilter.Bias");
}

TEST(ConvFilter, IdentityAndUniformPictures) {
    auto src = RandomPicture(13, 9);
    TConvFilter id;
    TPixelGraphic out;
    out.ApplyFilter(id, *src);
    EXPECT_TRUE(SamePixels(out, *src));

    auto uni = UniformPicture(12, 10, RGB(37, 140, 251));
    auto keeps = [&](TConvFilter& f) {
        TPixelGraphic o;
        o.ApplyFilter(f, *uni);
        return SamePixels(o, *uni);
    };
    for (int p : {10, 50, 100}) {
        SCOPED_TRACE(p);
        TConvFilter f;
        f.MakeSharpen(dsGaussian, true, p, 1.3L);
        EXPECT_TRUE(keeps(f));
        f.MakeDetail(dsTent, false, p, 0.9L);
        EXPECT_TRUE(keeps(f));
        f.MakeSmooth(dsRect, true, p, 1.1L);
        EXPECT_TRUE(keeps(f));
        f.MakeBlur(p, 5);
        EXPECT_TRUE(keeps(f));
    }
    TConvFilter c;
    c.MakeContour(dsRect, true, 100, 1, true);
    TPixelGraphic w;
    w.ApplyFilter(c, *uni);
    EXPECT_TRUE(SamePixels(w, *UniformPicture(12, 10, RGB(255, 255, 255))));
    c.MakeContour(dsRect, true, 100, 1, false);
    w.ApplyFilter(c, *uni);
    EXPECT_TRUE(SamePixels(w, *UniformPicture(12, 10, 0)));
}

// The sum over the cells inside the picture divided by their weights,
// rounded half to even, in extended precision.
TRGB Reference(const TConvFilter& f, const TPixelGraphic& src, int x, int y) {
    long double s = 0, sum[3] = {0, 0, 0};
    for (int i = 0; i < f.Height(); ++i)
        for (int j = 0; j < f.Width(); ++j) {
            const int sx = x + f.OffsetX() + j, sy = y + f.OffsetY() + i;
            if (sx < 0 || sy < 0 || sx >= src.GetWidth() || sy >= src.GetHeight()) continue;
            const long double w = f.Cell(j, i);
            const TRGB c = src.GetPixelColor(sx, sy);
            s += w;
            sum[0] += w * GetRValue(c);
            sum[1] += w * GetGValue(c);
            sum[2] += w * GetBValue(c);
        }
    int ch[3];
    for (int k = 0; k < 3; ++k) {
        long double v = s != 0 ? sum[k] / s : sum[k];
        v = f.Factor() * v + f.Bias() * 255 * 0.01L;
        v = std::clamp(v, -1.0L, 256.0L);
        ch[k] = int(std::clamp(std::nearbyint(v), 0.0L, 255.0L));
    }
    return RGB(ch[0], ch[1], ch[2]);
}

TEST(ConvFilter, MatchesTheExtendedReferenceEverywhere) {
    auto src = RandomPicture(23, 19, 9);
    auto pal = PalettePicture(23, 19, 77);
    struct Case {
        const char* name;
        int w, h, ox, oy;
        std::vector<int32_t> cells;
        long double factor, bias;
    } cases[] = {
        {"corner weights", 3, 3, -1, -1, {1, 2, 1, 2, 4, 2, 1, 2, 1}, 1, 0},
        {"zero sum inside", 3, 1, -1, 0, {-1, 0, 1}, 1, 0},
        {"shifted", 2, 2, 3, -2, {5, 1, 1, 5}, 1, 0},
        {"factor and bias", 3, 3, -1, -1, {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 2.5L, 10},
        {"huge cells", 5, 5, -2, -2, std::vector<int32_t>(25, INT32_MAX), 1, 0},
        {"huge mixed",
         3,
         3,
         -1,
         -1,
         {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN,
          INT32_MAX},
         1,
         0},
        {"far away", 3, 3, 1000, 1000, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TConvFilter f;
        f.SetWidth(c.w);
        f.SetHeight(c.h);
        for (int i = 0; i < c.h; ++i)
            for (int j = 0; j < c.w; ++j)
                f.SetCell(j, i, c.cells[size_t(i * c.w + j)]);
        f.SetOffsetX(c.ox);
        f.SetOffsetY(c.oy);
        f.SetFactor(c.factor);
        f.SetBias(c.bias);
        for (TPixelGraphic* s : {src.get(), pal.get()}) {
            TPixelGraphic out;
            out.ApplyFilter(f, *s);
            for (int y = 0; y < 19; ++y)
                for (int x = 0; x < 23; ++x)
                    ASSERT_EQ(out.GetPixelColor(x, y), Reference(f, *s, x, y)) << x << "," << y;
        }
    }
}

TEST(ConvFilter, RecipesMatchTheReference) {
    auto src = RandomPicture(30, 21, 4);
    TConvFilter f;
    f.MakeBlur(70, 5);
    TPixelGraphic out;
    out.ApplyFilter(f, *src);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(out.GetPixelColor(x, y), Reference(f, *src, x, y));
    f.MakeContour(dsGaussian, false, 250, 0.6L, false);
    out.ApplyFilter(f, *src);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(out.GetPixelColor(x, y), Reference(f, *src, x, y));
}

} // namespace
