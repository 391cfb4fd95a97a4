// Copying and resampling: CopyFrom, StretchCopy, CopyRect.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "transfer_fixtures.h"

namespace {
TRGB Grey(int v) {
    return RGB(v, v, v);
}
} // namespace

// One-row pictures resampled horizontally in each mode.
TEST(StretchCopy, HorizontalPlans) {
    struct Case {
        const char* what;
        TStretchMode mode;
        std::vector<int> src;
        int dw;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"halving, area averages pairs", smPrecise, {0, 100, 200, 50}, 2, {50, 125}},
        {"halving, linear between the two nearest", smMedium, {0, 100, 200, 50}, 2, {50, 125}},
        {"halving, nearest", smFast, {0, 100, 200, 50}, 2, {0, 200}},
        {"3 to 2, area weights 2:1 and 1:2", smPrecise, {0, 30, 90}, 2, {10, 70}},
        {"3 to 2, linear", smMedium, {0, 30, 90}, 2, {7, 75}},
        {"doubling one pixel clamps into it", smPrecise, {77}, 2, {77, 77}},
        {"2 to 3, linear, edges clamped", smPrecise, {0, 101}, 3, {0, 50, 101}},
        {"2 to 3, area", smMedium, {0, 101}, 3, {0, 50, 101}},
        {"2 to 4, nearest", smFast, {10, 20}, 4, {10, 10, 20, 20}},
        {"5 to 1, area over all", smPrecise, {10, 20, 30, 40, 51}, 1, {30}},
    };
    for (const Case& c : cases) {
        std::vector<TRGB> px;
        for (int v : c.src)
            px.push_back(RGB(v, v / 2, 255 - v));
        auto src = MakeRGB(int(c.src.size()), 1, px);
        TPixelGraphic dst;
        dst.SetFormat(c.dw, 1, pg24Bit);
        dst.SetStretchMode(c.mode);
        dst.CopyFrom(*src);
        std::vector<int> got;
        for (TRGB col : Colors(dst))
            got.push_back(GetRValue(col));
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// Rows are planned like columns; each source row is divided before it is
// weighted, so a 2 x 2 to 1 x 1 average truncates per row.
TEST(StretchCopy, VerticalAndBothAxes) {
    auto col = MakeRGB(1, 4, {Grey(0), Grey(100), Grey(200), Grey(50)});
    TPixelGraphic dst;
    dst.SetFormat(1, 2, pg24Bit);
    dst.CopyFrom(*col);
    EXPECT_EQ(Colors(dst), (std::vector<TRGB>{Grey(50), Grey(125)}));

    auto sq = MakeRGB(2, 2, {Grey(1), Grey(2), Grey(2), Grey(3)});
    TPixelGraphic one;
    one.SetFormat(1, 1, pg24Bit);
    one.CopyFrom(*sq);
    EXPECT_EQ(one.GetPixel(0, 0), Grey((3 / 2 + 5 / 2) / 2)); // not 8 / 4
}

TEST(StretchCopy, EqualSizesIsCopyRect) {
    std::vector<TRGB> px;
    for (int i = 0; i < 12; ++i)
        px.push_back(RGB(i * 20, i, 255 - i));
    auto src = MakeRGB(4, 3, px);
    TPixelGraphic a, b;
    a.SetFormat(5, 5, pg24Bit);
    b.SetFormat(5, 5, pg24Bit);
    a.StretchCopy(2, -1, 3, 2, *src, 1, 1, 3, 2);
    b.CopyRect(2, -1, *src, 1, 1, 3, 2);
    EXPECT_EQ(Colors(a), Colors(b));
    EXPECT_EQ(a.GetPixel(2, 0), px[2 * 4 + 1]); // row 0 reads source row 2
    EXPECT_EQ(a.GetPixel(4, 0), px[2 * 4 + 3]);
    EXPECT_EQ(a.GetPixel(1, 0), 0);
}

TEST(StretchCopy, PaletteSourcesAndTargets) {
    auto src =
        MakeIndexed(pg4Bit, 3, 1, {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0)}, {2, 0, 1});
    TPixelGraphic dst;
    dst.SetFormat(6, 1, pg24Bit);
    dst.SetStretchMode(smFast);
    dst.CopyFrom(*src);
    EXPECT_EQ(Colors(dst), (std::vector<TRGB>{RGB(0, 255, 0), RGB(0, 255, 0), RGB(255, 0, 0),
                                              RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 0, 255)}));

    // 24-bit into a palette picture without dithering: nearest entries.
    TPixelGraphic idx;
    idx.SetFormat(3, 1, pg8Bit);
    idx.SetPaletteIdent(pSpecial216);
    idx.SetDither(false);
    idx.CopyFrom(dst); // 6 -> 3, area: pairs of equal colours
    EXPECT_EQ(Values(idx), (std::vector<int>{6 * 5, 36 * 5, 5}));

    // A pixel value beyond the palette is an error, as reading it is.
    auto bad = MakeIndexed(pg8Bit, 2, 1, {RGB(1, 2, 3)}, {0, 7});
    EXPECT_THROW(dst.CopyFrom(*bad), EPGInvalidPaletteIndex);
}

// Copying a picture onto itself reads the untouched source.
TEST(StretchCopy, SourceIsDestination) {
    const std::vector<TRGB> px = {Grey(10), Grey(20), Grey(30), Grey(40)};
    auto g = MakeRGB(4, 1, px);
    g->StretchCopy(2, 0, 2, 1, *g, 0, 0, 4, 1);
    EXPECT_EQ(Colors(*g), (std::vector<TRGB>{Grey(10), Grey(20), Grey(15), Grey(35)}));

    auto h = MakeRGB(4, 1, px);
    h->CopyRect(1, 0, *h, 0, 0, 3, 1);
    EXPECT_EQ(Colors(*h), (std::vector<TRGB>{Grey(10), Grey(10), Grey(20), Grey(30)}));

    auto p = MakeIndexed(pg8Bit, 4, 1, {Grey(0), Grey(90)}, {0, 1, 1, 0});
    p->SetDither(false);
    p->CopyRect(0, 0, *p, 1, 0, 4, 1);
    EXPECT_EQ(Values(*p), (std::vector<int>{1, 1, 0, 0}));
}

TEST(StretchCopy, EmptyPicturesAndRectanglesDoNothing) {
    auto src = MakeFilled(4, 4, Grey(9));
    TPixelGraphic empty, dst;
    dst.SetFormat(3, 3, pg24Bit);
    TEventLog log;
    log.Attach(dst);
    dst.CopyFrom(empty);
    dst.StretchCopy(0, 0, 3, 3, *src, 0, 0, 0, 4); // empty source rectangle
    dst.StretchCopy(0, 0, 3, 3, *src, 0, 0, -2, 4);
    dst.StretchCopy(0, 0, 0, 3, *src, 0, 0, 4, 4);
    empty.CopyFrom(*src);
    EXPECT_EQ(log.Changes, 0);
    EXPECT_EQ(log.Starts, 0);
    EXPECT_EQ(Colors(dst), std::vector<TRGB>(9, 0));

    // Extreme rectangles: positions times sizes pass 64 bits, nothing is
    // read outside the source.
    for (TStretchMode m : {smFast, smMedium, smPrecise}) {
        dst.SetStretchMode(m);
        dst.StretchCopy(0, 0, INT_MAX, 3, *src, INT_MIN + 1, 0, INT_MAX - 1, 4);
        dst.StretchCopy(-5, INT_MIN + 7, 7, INT_MAX, *src, 0, INT_MAX - 2, 4, INT_MAX - 1);
    }
    dst.Clear();
    log.Changes = 0;

    // A source rectangle partly outside the source: those pixels stay.
    dst.SetStretchMode(smFast);
    dst.StretchCopy(0, 0, 3, 3, *src, 2, 2, 4, 4);
    EXPECT_EQ(dst.GetPixel(0, 0), Grey(9));
    EXPECT_EQ(dst.GetPixel(2, 2), 0);
}

// An abort keeps the rows done, and still ends the progress and notifies.
TEST(StretchCopy, ProgressAndAbort) {
    auto src = MakeFilled(8, 8, Grey(200));
    for (bool equal : {false, true}) {
        TPixelGraphic dst;
        dst.SetFormat(equal ? 8 : 4, 4, pg24Bit);
        TEventLog log;
        log.Attach(dst);
        log.AbortAt = 1;
        if (equal)
            dst.CopyRect(0, 0, *src, 0, 0, 8, 4);
        else
            dst.CopyFrom(*src);
        EXPECT_EQ(log.Starts, 1);
        EXPECT_EQ(log.Ends, 1);
        EXPECT_EQ(log.Changes, 1);
        EXPECT_EQ(log.StepMax, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}}));
        EXPECT_EQ(dst.GetPixel(0, 1), Grey(200));
        EXPECT_EQ(dst.GetPixel(0, 2), 0);
    }
}

// Sums over a very wide area exceed 32 bits.
TEST(StretchCopy, WideAreaSumsDoNotOverflow) {
    TPixelGraphic src;
    src.SetFormat(17000000, 1, pg24Bit);
    std::fill_n(src.ScanLine(0), 17000000 * 3, uint8_t(255));
    TPixelGraphic dst;
    dst.SetFormat(1, 1, pg24Bit);
    dst.CopyFrom(src);
    EXPECT_EQ(dst.GetPixel(0, 0), RGB(255, 255, 255));
}
