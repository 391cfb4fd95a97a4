// Optimised palettes: median cut for 24-bit pictures, octree for palette
// pictures, system colours appended.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/optpalette.h"
#include "core/palettes.h"
#include "core/pixelgraphic.h"
#include "transfer_fixtures.h"

namespace {
std::vector<TRGB> Build(TPixelGraphic& src, int n, bool sys, TPGPixelFormat f = pg8Bit) {
    TPixelGraphic dst;
    dst.SetFormat(1, 1, f);
    BuildOptimizedPalette(dst, src, n, sys);
    if (src.GetWidth() > 0 && n - (sys ? 16 : 0) > 0) {
        EXPECT_EQ(dst.PaletteIdent(), pUnknown);
    }
    return dst.Palette();
}
std::vector<TRGB> Sorted(std::vector<TRGB> v) {
    std::sort(v.begin(), v.end());
    return v;
}
} // namespace

TEST(OptimizedPalette, MedianCutExamples) {
    // Two colours, two entries: the centres of their histogram cells.
    auto two = MakeRGB(2, 1, {RGB(10, 20, 30), RGB(200, 100, 50)});
    EXPECT_EQ(Build(*two, 2, false), (std::vector<TRGB>{RGB(12, 22, 28), RGB(204, 102, 52)}));

    // One colour: one box of one cell, never split.
    auto one = MakeFilled(5, 3, RGB(90, 90, 200));
    EXPECT_EQ(Build(*one, 16, false), (std::vector<TRGB>{RGB(92, 90, 204)}));
    std::vector<TRGB> withSys = Build(*one, 252, true);
    ASSERT_EQ(withSys.size(), 17u);
    EXPECT_TRUE(std::equal(Sys16Palette.begin(), Sys16Palette.end(), withSys.begin() + 1));

    auto single = MakeFilled(1, 1, RGB(1, 2, 3));
    EXPECT_EQ(Build(*single, 16, false).size(), 1u);
}

TEST(OptimizedPalette, EmptySourceOrTooFewColoursGivesSystemColours) {
    TPixelGraphic empty;
    std::vector<TRGB> p = Build(empty, 2, false);
    EXPECT_EQ(p, (std::vector<TRGB>{Sys16Palette[0], Sys16Palette[1]}));
    EXPECT_EQ(Build(empty, 252, true).size(), 16u);
    auto one = MakeFilled(2, 2, RGB(5, 5, 5));
    EXPECT_EQ(Build(*one, 16, true).size(), 16u); // no room left for own colours
}

TEST(OptimizedPalette, FullPaletteWithSystemColours) {
    std::vector<TRGB> px;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            px.push_back(RGB(x * 4, y * 4, (x + y) * 2));
    auto src = MakeRGB(64, 64, px);
    std::vector<TRGB> p = Build(*src, 252, true);
    ASSERT_EQ(p.size(), 252u);
    EXPECT_TRUE(std::equal(Sys16Palette.begin(), Sys16Palette.end(), p.begin() + 236));

    // The palette serves its purpose: converted, the picture stays close.
    TPixelGraphic dst;
    dst.SetFormat(64, 64, pg8Bit);
    BuildOptimizedPalette(dst, *src, 252, true);
    dst.SetDither(false);
    dst.CopyFrom(*src);
    double err = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            TRGB a = src->GetPixel(x, y), b = dst.GetPixelColor(x, y);
            err += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                   std::abs(GetBValue(a) - GetBValue(b));
        }
    EXPECT_LT(err / (64 * 64 * 3), 6.0);
}

TEST(OptimizedPalette, OctreeKeepsFewColours) {
    std::vector<TRGB> pal;
    for (int i = 0; i < 10; ++i)
        pal.push_back(RGB(i * 25, 255 - i * 20, i * i));
    std::vector<int> px;
    for (int i = 0; i < 40; ++i)
        px.push_back(i % 10);
    auto src = MakeIndexed(pg8Bit, 8, 5, pal, px);
    EXPECT_EQ(Sorted(Build(*src, 16, false)), Sorted(pal));

    // A 4-bit source whose palette repeats a colour: one entry for it.
    auto rep = MakeIndexed(pg4Bit, 3, 1, {RGB(1, 1, 1), RGB(1, 1, 1), RGB(9, 9, 9)}, {0, 1, 2});
    EXPECT_EQ(Sorted(Build(*rep, 16, false)), (std::vector<TRGB>{RGB(1, 1, 1), RGB(9, 9, 9)}));
}

// Few wanted colours: every reducible list can be empty while the tree has
// too many leaves; the reduction must still end, merging by pixel count.
TEST(OptimizedPalette, OctreeReductionEndsWithFewTargetColours) {
    auto src =
        MakeIndexed(pg8Bit, 4, 1, {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 0, 0)}, {0, 0, 1, 2});
    std::vector<TRGB> p = Build(*src, 2, false, pg1Bit);
    ASSERT_GE(p.size(), 1u);
    ASSERT_LE(p.size(), 2u);
    EXPECT_EQ(p, (std::vector<TRGB>{RGB(127, 63, 63)}));

    // Many colours into few: still ends with at most M leaves.
    std::vector<TRGB> pal;
    std::vector<int> px;
    for (int i = 0; i < 256; ++i) {
        pal.push_back(RGB(i, (i * 7) & 255, (i * 13) & 255));
        px.push_back(i);
    }
    auto many = MakeIndexed(pg8Bit, 16, 16, pal, px);
    for (int m : {1, 2, 3, 5, 7, 8, 16, 100})
        EXPECT_LE(Build(*many, m, false).size(), size_t(m)) << m;
}

// Sums over many pixels exceed 32 bits.
TEST(OptimizedPalette, LargePicturesDoNotOverflow) {
    auto src = MakeIndexed(pg8Bit, 1, 1, {RGB(255, 255, 255)}, {0});
    src->SetFormat(4500, 4000, pg8Bit); // 18 M pixels of index 0, palette kept
    EXPECT_EQ(Build(*src, 16, false), (std::vector<TRGB>{RGB(255, 255, 255)}));
}

TEST(OptimizedPalette, ReportsProgressAndStopsOnAbort) {
    std::vector<TRGB> px(8, RGB(0, 0, 0));
    for (int x = 0; x < 4; ++x)
        px[size_t(4 + x)] = RGB(250, 250, 250);
    auto src = MakeRGB(4, 2, px);
    TPixelGraphic dst;
    dst.SetFormat(1, 1, pg8Bit);
    TEventLog log;
    log.Attach(dst);
    log.AbortAt = 0;
    BuildOptimizedPalette(dst, *src, 16, false);
    EXPECT_EQ(log.StepMax, (std::vector<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(dst.Palette(), (std::vector<TRGB>{RGB(4, 2, 4)})); // only the first row counted
}
