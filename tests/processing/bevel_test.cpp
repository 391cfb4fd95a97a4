// The bevel frame: the factors as extended products, and the rings.

#include <gtest/gtest.h>

#include "filter_fixtures.h"
#include "processing/bevel.h"

namespace {

TEST(Bevel, FactorsAsExtendedProducts) {
    // Where each rule meets a pixel of ring 0 on a 10 x 10 picture:
    // top (4, 0) x 1.55, bottom (4, 9) x 0.7, left (0, 4) x 1.3, right (9, 4) x 0.8.
    struct Case {
        int grey, top, bottom, left, right;
    } cases[] = {
        {100, 155, 70, 130, 80},   {255, 255, 178, 255, 204}, {90, 139, 63, 116, 72},
        {170, 255, 119, 220, 136}, {180, 255, 126, 233, 144}, {190, 255, 133, 246, 152},
        {0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grey);
        auto p = UniformPicture(10, 10, RGB(c.grey, c.grey, c.grey));
        DrawBevel(*p, 1);
        EXPECT_EQ(GetRValue(p->GetPixelColor(4, 0)), c.top);
        EXPECT_EQ(GetGValue(p->GetPixelColor(4, 9)), c.bottom);
        EXPECT_EQ(GetBValue(p->GetPixelColor(0, 4)), c.left);
        EXPECT_EQ(GetRValue(p->GetPixelColor(9, 4)), c.right);
        EXPECT_EQ(p->GetPixelColor(4, 4), RGB(c.grey, c.grey, c.grey));
    }
}

TEST(Bevel, RingsAndTheRightEdgeRule) {
    auto p = UniformPicture(64, 48, RGB(100, 100, 100));
    DrawBevel(*p, 6);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            // The last ring's right edge leaves out its pixel two rows
            // above its bottom edge; the rings inside cover it otherwise.
            const bool inner = (x >= 6 && x < 58 && y >= 6 && y < 42) || (x == 58 && y == 41);
            ASSERT_EQ(p->GetPixelColor(x, y) == RGB(100, 100, 100), inner) << x << "," << y;
        }
    // Ring 0's right edge stops two rows above the bottom.
    auto q = UniformPicture(20, 10, RGB(100, 100, 100));
    DrawBevel(*q, 1);
    EXPECT_EQ(q->GetPixelColor(19, 7), RGB(80, 80, 80));
    EXPECT_EQ(q->GetPixelColor(19, 8), RGB(100, 100, 100));
    EXPECT_EQ(q->GetPixelColor(19, 9), RGB(70, 70, 70));
    EXPECT_EQ(q->GetPixelColor(0, 0), RGB(155, 155, 155)); // top before left
    EXPECT_EQ(q->GetPixelColor(0, 9), RGB(91, 91, 91));    // bottom, then left
}

TEST(Bevel, NothingForZeroRingsAndHugeCounts) {
    auto p = RandomPicture(7, 5);
    auto q = RandomPicture(7, 5);
    DrawBevel(*p, 0);
    DrawBevel(*p, -3);
    EXPECT_TRUE(SamePixels(*p, *q));
    DrawBevel(*p, 2000000000); // every ring beyond the middle touches nothing
    DrawBevel(*q, 4);
    EXPECT_TRUE(SamePixels(*p, *q));
}

} // namespace
