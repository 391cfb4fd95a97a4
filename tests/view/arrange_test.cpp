// The view control's arithmetic: paint size per stretch rule, placement,
// automatic size and tile ranges.

#include <gtest/gtest.h>

#include "view/arrange.h"

namespace {

TEST(PGPaintSize, EveryStretchRule) {
    // Available 300 x 200, scroll bars 16 wide.
    struct Case {
        TStretch s;
        int w, h;
        long double zoom;
        int PW, PH;
        long double Z;
    } cases[] = {
        {sNeverKAR, 600, 300, 1, 600, 300, 1},
        {sAlways, 100, 50, 1, 300, 200, -1},
        {sAlwaysKAR, 600, 300, 1, 300, 150, 0.5L}, // RA 1.5 < RI 2
        {sAlwaysKAR, 100, 400, 1, 50, 200, 0.5L},  // RA >= RI
        {sShrink, 600, 100, 1, 300, 100, -1},      // only narrowed
        {sShrink, 100, 50, 1, 100, 50, 1},
        {sShrinkKAR, 600, 300, 1, 300, 150, 0.5L},
        {sShrinkKAR, 100, 50, 1, 100, 50, 1},
        {sEnlarge, 100, 50, 1, 300, 200, -1},
        {sEnlarge, 100, 400, 1, 284, 400, -1}, // room left for the bar
        {sEnlargeKAR, 100, 50, 1, 300, 150, 3},
        {sEnlargeKAR, 600, 300, 1, 600, 300, 1},
        {sAlwaysLongerEdgeKAR, 100, 400, 1, 284, 1136, 2.84L},       // fills the width
        {sAlwaysLongerEdgeKAR, 600, 300, 1, 368, 184, 184.0L / 300}, // fills the height
        {sShrinkLongerEdgeKAR, 100, 400, 1, 100, 400, 1},
        {sShrinkLongerEdgeKAR, 600, 300, 1, 368, 184, 184.0L / 300},
        {sEnlargeShrinkLongerEdgeKAR, 100, 50, 1, 300, 150, 3},
        {sEnlargeShrinkLongerEdgeKAR, 600, 300, 1, 368, 184, 184.0L / 300},
        {sEnlargeLongerEdgeKAR, 100, 50, 1, 368, 184, 184.0L / 50},
        {sEnlargeLongerEdgeKAR, 600, 300, 1, 600, 300, 1},
        {sZoomKAR, 101, 51, 0.5L, 50, 26, 0.5L}, // 50.5 and 25.5 round to even
        {sZoomKAR, 101, 51, 0, 101, 51, 1},      // zoom 0 counts as 1
        {sZoomKAR, 10, 10, -2, 10, 10, 1},
    };
    for (const Case& c : cases) {
        const TPGPaintSize r = PGPaintSize(c.w, c.h, 300, 200, 16, 16, c.s, c.zoom);
        SCOPED_TRACE(testing::Message() << "stretch " << int(c.s) << " " << c.w << "x" << c.h);
        EXPECT_EQ(r.PW, c.PW);
        EXPECT_EQ(r.PH, c.PH);
        EXPECT_NEAR(double(r.Z), double(c.Z), 1e-12);
    }
}

TEST(PGPaintSize, NoPictureOrNoRoomKeepsThePictureSize) {
    for (auto [w, h, aw, ah] : {std::array{0, 0, 300, 300}, std::array{400, 200, 0, 300},
                                std::array{400, 200, 300, -4}}) {
        const TPGPaintSize r = PGPaintSize(w, h, aw, ah, 16, 16, sAlwaysKAR, 1);
        EXPECT_EQ(r.PW, w);
        EXPECT_EQ(r.PH, h);
        EXPECT_EQ(r.Z, 1.0L);
    }
    // A paint size past what a widget can be is capped, not wrapped.
    EXPECT_EQ(PGPaintSize(30000, 2, 100, 100, 16, 16, sZoomKAR, 1e9L).PW, 16777215);
}

TEST(PGPlacement, CentresInsideTheRoomTheScrollBarsLeave) {
    struct Case {
        int PW, PH, AW, AH;
        bool center;
        int left, top;
        bool hBar, vBar;
    } cases[] = {
        {300, 150, 300, 300, true, 0, 75, false, false},
        {150, 300, 300, 300, true, 75, 0, false, false},
        {100, 400, 300, 300, true, 92, 0, false, true}, // (300 - 16 - 100) div 2
        {400, 100, 300, 300, true, 0, 92, true, false},
        {290, 400, 300, 300, true, 0, 0, true, true}, // the vertical bar makes it too wide
        {100, 50, 300, 300, false, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        const TPGPlacement p = PGPlacement(c.PW, c.PH, c.AW, c.AH, 16, 16, c.center);
        SCOPED_TRACE(testing::Message() << c.PW << "x" << c.PH);
        EXPECT_EQ(p.left, c.left);
        EXPECT_EQ(p.top, c.top);
        EXPECT_EQ(p.hBar, c.hBar);
        EXPECT_EQ(p.vBar, c.vBar);
    }
}

TEST(PGAutoSize, BoundsAndScrollBars) {
    // Wider than allowed: the height takes a horizontal scroll bar.
    EXPECT_EQ(PGAutoSize(300, 50, 0, 16, 17, 0, 0, 100, 2147483647), QSize(100, 67));
    // The bar pushes the height over its bound, so a vertical bar comes too.
    EXPECT_EQ(PGAutoSize(300, 50, 2, 16, 17, 0, 0, 100, 60), QSize(100, 60));
    EXPECT_EQ(PGAutoSize(10, 10, 2, 16, 17, 50, 40, 2147483647, 2147483647), QSize(50, 40));
    EXPECT_EQ(PGAutoSize(0, 0, 0, 16, 17, 0, 0, 2147483647, 2147483647), QSize(0, 0));
}

TEST(PGTileRange, CoversTheClientArea) {
    struct Case {
        QRect P;
        int cw, ch;
        TTiling t;
        int c0, c1, r0, r1;
    } cases[] = {
        {QRect(50, 50, 100, 100), 300, 300, tRepeat, -1, 2, -1, 2},
        {QRect(100, 101, 100, 100), 300, 300, tMirror, -1, 1, -2, 1},
        {QRect(0, 0, 100, 100), 250, 250, tRepeat, 0, 2, 0, 2},
        {QRect(-30, -30, 100, 100), 250, 250, tRepeat, 0, 2, 0, 2},
        {QRect(0, 0, 400, 400), 250, 250, tMirror, 0, 0, 0, 0},
        {QRect(50, 50, 100, 100), 300, 300, tNone, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const TPGTileRange r = PGTileRange(c.P, c.cw, c.ch, c.t);
        SCOPED_TRACE(testing::Message() << c.P.x() << "," << c.P.y());
        EXPECT_EQ(r.firstCol, c.c0);
        EXPECT_EQ(r.lastCol, c.c1);
        EXPECT_EQ(r.firstRow, c.r0);
        EXPECT_EQ(r.lastRow, c.r1);
    }
    // A 10000 x 1 picture fitted into a small view has a paint height of 0:
    // nothing to tile, no division by zero.
    for (TTiling t : {tNone, tRepeat, tMirror})
        EXPECT_TRUE(PGTileRange(QRect(0, 10, 300, 0), 300, 300, t).IsEmpty());
}

TEST(PGTileFlip, OddTilesMirrorInTheirDirection) {
    EXPECT_TRUE(PGTileFlipH(-1, tMirror, false));
    EXPECT_TRUE(PGTileFlipH(1, tMirrorHorizontal, false));
    EXPECT_FALSE(PGTileFlipH(1, tMirrorVertical, false));
    EXPECT_FALSE(PGTileFlipH(-1, tMirror, true)); // the flip and the mirror cancel
    EXPECT_TRUE(PGTileFlipV(-3, tMirrorVertical, false));
    EXPECT_FALSE(PGTileFlipV(2, tMirror, false));
    EXPECT_TRUE(PGTileFlipV(0, tRepeat, true));
}

} // namespace
