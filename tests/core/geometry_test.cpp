// Rotation, mirroring and the border effect.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/filter.h"
#include "core/pixelgraphic.h"
#include "transfer_fixtures.h"

namespace {
// A picture whose every pixel is different.
std::unique_ptr<TPixelGraphic> Numbered(int w, int h) {
    std::vector<TRGB> px;
    for (int i = 0; i < w * h; ++i)
        px.push_back(RGB(i * 10, 255 - i, i));
    return MakeRGB(w, h, px);
}
} // namespace

// Quarter turns with enlarge move every pixel as a whole into a picture of
// exactly the turned size, whatever the parity of the sides.
TEST(Rotate, RightAnglesAreExactTurns) {
    for (auto [w, h] : {std::pair{3, 2}, {2, 3}, {4, 4}, {5, 3}, {1, 4}}) {
        auto src = Numbered(w, h);
        for (int angle : {0, 90, 180, 270, 360, -90, 450}) {
            TPixelGraphic dst;
            dst.Rotate(*src, angle, true);
            const int turn = ((angle / 90) % 4 + 4) % 4;
            ASSERT_EQ(dst.GetWidth(), turn % 2 ? h : w) << angle;
            ASSERT_EQ(dst.GetHeight(), turn % 2 ? w : h) << angle;
            for (int y = 0; y < dst.GetHeight(); ++y)
                for (int x = 0; x < dst.GetWidth(); ++x) {
                    // Clockwise on screen: the left column becomes the top row.
                    const int sx[4] = {x, y, w - 1 - x, w - 1 - y};
                    const int sy[4] = {y, h - 1 - x, h - 1 - y, x};
                    EXPECT_EQ(dst.GetPixel(x, y), src->GetPixel(sx[turn], sy[turn]))
                        << w << "x" << h << " angle " << angle << " at " << x << "," << y;
                }
        }
    }
}

TEST(Rotate, RightAnglesSampleWithoutBlending) {
    auto src = Numbered(6, 4);
    for (bool interpolate : {true, false}) {
        TPixelGraphic dst;
        dst.SetFormat(7, 5, pg24Bit);
        dst.SetRotateInterpolation(interpolate);
        dst.Rotate(*src, 90, false);
        EXPECT_TRUE(dst.RotateInterpolation() == interpolate); // restored
        TPixelGraphic ref;
        ref.SetFormat(7, 5, pg24Bit);
        ref.SetRotateInterpolation(false);
        ref.Rotate(*src, 90, false);
        EXPECT_EQ(Colors(dst), Colors(ref));
        // Every written pixel is a source pixel.
        const std::vector<TRGB> all = Colors(*src);
        for (TRGB c : Colors(dst))
            EXPECT_TRUE(c == 0 || std::find(all.begin(), all.end(), c) != all.end());
    }
}

// Odd angles blend edge pixels with what the destination already holds.
TEST(Rotate, OddAnglesBlendEdgesWithDestination) {
    auto src = MakeFilled(9, 9, RGB(255, 255, 255));
    TPixelGraphic dst;
    dst.SetFormat(9, 9, pg24Bit);
    dst.SetBackgroundColor(RGB(255, 0, 0));
    dst.Clear();
    dst.Rotate(*src, 45, false);
    EXPECT_EQ(dst.GetPixel(4, 4), RGB(255, 255, 255));
    EXPECT_EQ(dst.GetPixel(0, 0), RGB(255, 0, 0));
    int blended = 0;
    for (TRGB c : Colors(dst))
        if (GetRValue(c) == 255 && GetGValue(c) > 0 && GetGValue(c) < 255) ++blended;
    EXPECT_GT(blended, 4);

    // Enlarged: the turned square's bounding box.
    TPixelGraphic big;
    big.Rotate(*src, 45, true);
    EXPECT_EQ(big.GetWidth(), 14);  // Ceil(6.36) - Floor(-6.36)
    EXPECT_EQ(big.GetHeight(), 13); // Ceil(12.73) - 0
    EXPECT_EQ(big.GetPixel(7, 6), RGB(255, 255, 255));
    EXPECT_EQ(big.GetPixel(0, 0), 0);
}

TEST(Rotate, SourceIsDestinationAndPaletteTargets) {
    auto g = Numbered(3, 2);
    auto ref = Numbered(3, 2);
    TPixelGraphic expected;
    expected.Rotate(*ref, 90, true);
    g->Rotate(*g, 90, true);
    EXPECT_EQ(Colors(*g), Colors(expected));

    // Into a grey palette picture, dithered, with progress per row.
    auto src = MakeFilled(10, 10, RGB(100, 100, 100));
    TPixelGraphic grey;
    grey.SetFormat(1, 1, pg8Bit);
    grey.SetPaletteIdent(pGray256);
    TEventLog log;
    log.Attach(grey);
    grey.Rotate(*src, 30, true);
    EXPECT_EQ(log.Starts, 1);
    EXPECT_EQ(log.Ends, 1);
    EXPECT_EQ(log.Steps, grey.GetHeight());
    EXPECT_NEAR(GetRValue(grey.GetPixelColor(grey.GetWidth() / 2, grey.GetHeight() / 2)), 100, 2);
}

// True-colour rotation runs in row bands on several threads: every pixel
// is what one thread makes of it, edges blended with the destination too.
TEST(Rotate, BandsOnThreadsMatchOneThread) {
    auto src = Numbered(120, 90);
    struct TRestore {
        int threads = PGFilterThreads;
        ~TRestore() { PGFilterThreads = threads; }
    } restore;
    for (bool interpolate : {true, false})
        for (bool enlarge : {true, false}) {
            std::vector<TRGB> want;
            for (int threads : {1, 2, 5}) {
                PGFilterThreads = threads;
                TPixelGraphic dst;
                dst.SetFormat(100, 110, pg24Bit);
                dst.SetBackgroundColor(RGB(0, 90, 200));
                dst.Clear();
                dst.SetRotateInterpolation(interpolate);
                dst.Rotate(*src, -33.3L, enlarge);
                if (threads == 1)
                    want = Colors(dst);
                else
                    EXPECT_TRUE(Colors(dst) == want) << interpolate << enlarge << threads;
            }
        }
}

// Mirroring swaps raw values in every pixel format, odd and even sizes.
TEST(Flip, AllFormats) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        for (int w : {1, 2, 5, 9}) {
            const int h = 3;
            TPixelGraphic g;
            g.SetFormat(w, h, f);
            const int mod = f == pg1Bit ? 2 : f == pg4Bit ? 16 : f == pg8Bit ? 256 : 1 << 24;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    g.SetPixel(x, y, (x * 7 + y * 3 + x * y) % mod);
            const std::vector<int> before = Values(g);
            g.FlipHorizontal();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(g.GetPixel(x, y), before[size_t(y * w + w - 1 - x)]) << int(f);
            g.FlipHorizontal();
            g.FlipVertical();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(g.GetPixel(x, y), before[size_t((h - 1 - y) * w + x)]) << int(f);
        }
    }
}

TEST(Flip, AbortKeepsWhatIsDone) {
    auto g = Numbered(3, 4);
    const std::vector<int> before = Values(*g);
    TEventLog log;
    log.Attach(*g);
    log.AbortAt = 0;
    g->FlipVertical(); // column 0 only
    EXPECT_EQ(g->GetPixel(0, 0), before[size_t(3 * 3)]);
    EXPECT_EQ(g->GetPixel(1, 0), before[1]);
    EXPECT_EQ(log.StepMax, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(log.Ends, 1);
    EXPECT_EQ(log.Changes, 1);
}

TEST(DrawBorder, Rectangle) {
    const TRGB white = RGB(255, 255, 255);
    auto src = MakeFilled(5, 5, white);
    TPixelGraphic b;
    b.DrawBorder(*src, false, 3, 0);
    ASSERT_EQ(b.GetWidth(), 5);
    const int row2[] = {0, 127, 255, 127, 0};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(b.GetPixel(x, 2), RGB(row2[x], row2[x], row2[x])) << x;
    EXPECT_EQ(b.GetPixel(1, 1), RGB(63, 63, 63)); // corners are blended twice
    EXPECT_EQ(b.GetPixel(0, 4), 0);
}

TEST(DrawBorder, ThinBordersOrPicturesArePlainColour) {
    const TRGB blue = RGB(0, 0, 200);
    for (auto [w, h, p] : {std::tuple{6, 6, 1}, {6, 6, 0}, {2, 6, 4}, {6, 1, 3}}) {
        auto src = MakeFilled(w, h, RGB(1, 2, 3));
        TPixelGraphic b;
        TEventLog log;
        log.Attach(b);
        b.DrawBorder(*src, true, p, blue);
        EXPECT_EQ(Colors(b), std::vector<TRGB>(size_t(w * h), blue));
        EXPECT_EQ(log.Starts, 0);
    }
}

TEST(DrawBorder, Oval) {
    auto src = MakeFilled(21, 11, RGB(200, 200, 200));
    TPixelGraphic b;
    b.DrawBorder(*src, true, 3, RGB(0, 0, 0));
    EXPECT_EQ(b.GetPixel(10, 5), RGB(200, 200, 200)); // centre
    EXPECT_EQ(b.GetPixel(0, 0), 0);                   // outside the ellipse
    EXPECT_EQ(b.GetPixel(20, 10), 0);
    const int edge = GetRValue(b.GetPixel(1, 5)); // just inside, blended
    EXPECT_GT(edge, 0);
    EXPECT_LT(edge, 200);
    for (int x = 0; x < 21; ++x)
        EXPECT_EQ(b.GetPixel(x, 3), b.GetPixel(20 - x, 7)) << x;

    // The picture as its own source.
    auto self = MakeFilled(21, 11, RGB(200, 200, 200));
    self->DrawBorder(*self, true, 3, RGB(0, 0, 0));
    EXPECT_EQ(Colors(*self), Colors(b));
}
