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

namespace {
// The resampling of one destination pixel written out plainly, position by
// position: which source positions, at which weights, over which divisor.
struct TRefAxis {
    long first = 0, last = 0, wf = 0, wl = 0, div = 1, mid = 0;
    bool valid = false;
};
TRefAxis RefAxis(TStretchMode mode, long u, long s0, long s, long d, long limit) {
    TRefAxis a;
    auto in = [&](long v) { return v >= 0 && v < limit; };
    const bool linear = (s > d && mode == smMedium) || (s < d && mode == smPrecise);
    const bool area = (s > d && mode == smPrecise) || (s < d && mode == smMedium);
    if (linear) {
        const long t2 = s * (2 * u + 1);
        a.div = 2 * d;
        a.first = s0 + (t2 - d) / (2 * d);
        a.last = s0 + (t2 + d) / (2 * d);
        a.valid = in(a.first) && in(a.last);
        if (!a.valid && s < d && in(a.first) != in(a.last)) {
            a.first = std::clamp(a.first, 0L, limit - 1);
            a.last = std::clamp(a.last, 0L, limit - 1);
            a.valid = true;
        }
        a.wf = 2 * d - (t2 - d * (2 * (a.first - s0) + 1));
        a.wl = 2 * d - (d * (2 * (a.last - s0) + 1) - t2);
        if (d * (2 * (a.first - s0) + 1) == t2 || a.first == a.last) a.wf = 2 * d, a.wl = 0;
    } else if (area) {
        a.div = s;
        a.mid = d;
        a.first = s0 + s * u / d;
        a.last = s0 + s * (u + 1) / d - (s * (u + 1) % d == 0 ? 1 : 0);
        a.valid = in(a.first) && in(a.last);
        a.wf = d * (a.first - s0 + 1) - s * u;
        a.wl = s * (u + 1) - (a.last - s0) * d;
        if (a.first == a.last) a.wf = s, a.wl = 0;
    } else {
        a.first = a.last = s0 + s * u / d;
        a.wf = 1;
        a.valid = in(a.first);
    }
    return a;
}
long Weight(const TRefAxis& a, long i) {
    if (i == a.first) return a.wf;
    return i == a.last ? a.wl : a.mid;
}
} // namespace

// Resampling of a noisy picture between many sizes, offsets and modes, against
// the per-pixel definition: the row reuse, the divisions and the clipping of
// the row-wise implementation change nothing.
TEST(StretchCopy, MatchesPerPixelDefinition) {
    std::vector<TRGB> px;
    uint32_t seed = 99;
    for (int i = 0; i < 13 * 9; ++i)
        px.push_back(TRGB((seed = seed * 69069 + 1) >> 8) & 0xFFFFFF);
    auto src = MakeRGB(13, 9, px);
    struct Case {
        int dx, dy, dw, dh, sx, sy, sw, sh;
    };
    const Case cases[] = {{0, 0, 5, 4, 0, 0, 13, 9},   {0, 0, 29, 20, 0, 0, 13, 9},
                          {-2, 1, 7, 30, 1, 2, 11, 6}, {3, -4, 40, 6, 2, 0, 9, 9},
                          {0, 0, 4, 11, 3, 3, 10, 6},  {1, 1, 3, 2, -1, -2, 13, 9},
                          {0, 0, 17, 3, 0, 0, 1, 9},   {0, 0, 2, 17, 12, 0, 1, 1}};
    for (TStretchMode mode : {smFast, smMedium, smPrecise})
        for (const Case& c : cases) {
            TPixelGraphic dst;
            dst.SetFormat(20, 14, pg24Bit);
            dst.SetStretchMode(mode);
            dst.StretchCopy(c.dx, c.dy, c.dw, c.dh, *src, c.sx, c.sy, c.sw, c.sh);
            for (int y = 0; y < 14; ++y)
                for (int x = 0; x < 20; ++x) {
                    TRGB want = 0;
                    const bool inRect =
                        x >= c.dx && x < c.dx + c.dw && y >= c.dy && y < c.dy + c.dh;
                    const TRefAxis h = RefAxis(mode, x - c.dx, c.sx, c.sw, c.dw, 13);
                    const TRefAxis v = RefAxis(mode, y - c.dy, c.sy, c.sh, c.dh, 9);
                    if (inRect && h.valid && v.valid) {
                        long total[3] = {0, 0, 0};
                        for (long j = v.first; j <= v.last; ++j) {
                            long row[3] = {0, 0, 0};
                            for (long i = h.first; i <= h.last; ++i) {
                                const TRGB s = src->GetPixel(int(i), int(j));
                                const int ch[3] = {GetRValue(s), GetGValue(s), GetBValue(s)};
                                for (int k = 0; k < 3; ++k)
                                    row[k] += ch[k] * Weight(h, i);
                            }
                            for (int k = 0; k < 3; ++k)
                                total[k] += row[k] / h.div * Weight(v, j);
                        }
                        want = RGB(int(total[0] / v.div), int(total[1] / v.div),
                                   int(total[2] / v.div));
                    }
                    ASSERT_EQ(dst.GetPixel(x, y), want) << "mode " << int(mode) << " case "
                                                        << (&c - cases) << " at " << x << "," << y;
                }
        }
}
