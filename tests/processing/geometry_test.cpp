// The editor's geometry and colour-depth commands as plain functions: turns
// of every format, crop by raw values, the constrain rule, colour resolution
// choices, posterize and border limits.

#include "processing/geometryops.h"

#include <gtest/gtest.h>

#include <set>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "processing/colorres.h"

namespace {

// width x height in `format`; palette pictures get distinct entries and the
// pixel value (x + 2y) mod colours, 24-bit pictures a colour per pixel.
std::unique_ptr<TPixelGraphic> Picture(TPGPixelFormat format, int width, int height) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(width, height, format);
    const int colors = PixelFormatColors(format);
    if (colors > 0) {
        pg->SetPaletteCount(colors);
        for (int i = 0; i < colors; ++i)
            pg->SetPaletteEntry(i, RGB(17 * i + 5, 255 - 13 * i, (97 * i) & 255));
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pg->SetPixel(
                x, y, colors > 0 ? (x + 2 * y) % colors : RGB(40 * x + 3, 50 * y + 7, 90 + x * y));
    return pg;
}

// Where the pixel (x, y) of a w x h picture lands after a clockwise turn.
void Turned(int turn, int w, int h, int x, int y, int& tx, int& ty) {
    switch (((turn % 4) + 4) % 4) {
    case 0:
        tx = x, ty = y;
        break;
    case 1:
        tx = h - 1 - y, ty = x;
        break;
    case 2:
        tx = w - 1 - x, ty = h - 1 - y;
        break;
    default:
        tx = y, ty = w - 1 - x;
        break;
    }
}

} // namespace

TEST(GeometryOps, RightAngleTurnsMoveEveryPixelWholeInEveryFormat) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        auto src = Picture(f, 3, 2);
        // Clockwise turns, and the dialog's counter-clockwise ones (0 gives 360).
        const struct {
            long double angle;
            int turn;
        } cases[] = {{90, 1},
                     {180, 2},
                     {270, 3},
                     {360, 0},
                     {-90, 3},
                     {DialogRotateAngle(90, true), 3},
                     {DialogRotateAngle(0, true), 0},
                     {DialogRotateAngle(270, true), 1}};
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "format " << int(f) << " angle " << double(c.angle));
            auto r = RotatePicture(*src, c.angle);
            EXPECT_EQ(r->PixelFormat(), f);
            EXPECT_EQ(r->GetWidth(), c.turn % 2 ? 2 : 3);
            EXPECT_EQ(r->GetHeight(), c.turn % 2 ? 3 : 2);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    int tx, ty;
                    Turned(c.turn, 3, 2, x, y, tx, ty);
                    EXPECT_EQ(r->GetPixelColor(tx, ty), src->GetPixelColor(x, y));
                }
        }
    }
}

TEST(GeometryOps, GreyPictureStaysGreyWhenTurned) {
    TPixelGraphic g;
    g.SetFormat(5, 3, pg4Bit);
    g.SetPaletteIdent(pGray16);
    auto r = RotatePicture(g, 90);
    EXPECT_EQ(r->PaletteIdent(), pGray16);
    EXPECT_THROW(RotatePicture(g, std::numeric_limits<long double>::quiet_NaN()), EPixelGraphic);
}

TEST(GeometryOps, CropCopiesRawValuesAtAnyBitOffsetAndIntersects) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        SCOPED_TRACE(int(f));
        auto src = Picture(f, 13, 7);
        auto c = CropPicture(*src, {3, 2, 7, 4});
        ASSERT_TRUE(c);
        ASSERT_EQ(c->GetWidth(), 7);
        ASSERT_EQ(c->GetHeight(), 4);
        EXPECT_EQ(c->Palette(), src->Palette());
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(c->GetPixel(x, y), src->GetPixel(x + 3, y + 2));
        // Hanging off the left and bottom: only what lies on the picture.
        auto o = CropPicture(*src, {-5, 4, 8, 100});
        ASSERT_TRUE(o);
        EXPECT_EQ(o->GetWidth(), 3);
        EXPECT_EQ(o->GetHeight(), 3);
        EXPECT_EQ(o->GetPixel(2, 2), src->GetPixel(2, 6));
        // Nothing on the picture, or an empty rectangle: no crop.
        EXPECT_FALSE(CropPicture(*src, {13, 0, 5, 5}));
        EXPECT_FALSE(CropPicture(*src, {0, 0, 0, 5}));
        EXPECT_FALSE(CropPicture(*src, {-2147483647, -2147483647, 2147483647, 2147483647}));
    }
}

TEST(GeometryOps, CropKeepsDuplicatePaletteIndices) {
    TPixelGraphic src;
    src.SetFormat(4, 1, pg8Bit);
    src.SetPaletteCount(256);
    src.SetPaletteEntry(7, RGB(1, 2, 3));
    src.SetPaletteEntry(200, RGB(1, 2, 3));
    for (int x = 0; x < 4; ++x)
        src.SetPixel(x, 0, x % 2 ? 200 : 7);
    auto c = CropPicture(src, {1, 0, 3, 1});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetPixel(0, 0), 200);
    EXPECT_EQ(c->GetPixel(1, 0), 7);
    EXPECT_EQ(c->GetPixel(2, 0), 200);
}

TEST(GeometryOps, ConstrainedSideRoundsHalvesToEven) {
    const struct {
        int64_t n, old, other, want;
    } cases[] = {{200, 400, 300, 150},
                 {333, 400, 300, 250},
                 {6, 400, 300, 4},
                 {2, 4, 3, 2 /* 1.5 -> 2 */},
                 {10, 4, 1, 2 /* 2.5 -> 2 */},
                 {5, 0, 300, 0},
                 {0, 400, 300, 0},
                 {1 << 30, 1, 1 << 30, int64_t(1) << 60}};
    for (const auto& c : cases)
        EXPECT_EQ(ConstrainedSide(c.n, c.old, c.other), c.want)
            << c.n << " " << c.old << " " << c.other;
}

TEST(GeometryOps, ResizeRefusesZeroAndHugeSizesFirst) {
    auto src = Picture(pg8Bit, 8, 6);
    EXPECT_THROW(ResizePicture(*src, 0, 5), EPGInvalidSize);
    EXPECT_THROW(ResizePicture(*src, 5, -1), EPGInvalidSize);
    EXPECT_THROW(ResizePicture(*src, 1 << 20, 1 << 20), EPixelGraphic);
    EXPECT_THROW(ResizePicture(*src, int64_t(1) << 40, 1), EPixelGraphic);
    auto r = ResizePicture(*src, 4, 3);
    EXPECT_EQ(r->PixelFormat(), pg24Bit);
    EXPECT_EQ(r->GetWidth(), 4);
    EXPECT_EQ(r->GetHeight(), 3);
}

TEST(GeometryOps, BorderNeedsTwoPixelsAndKeepsTheFormat) {
    auto src = Picture(pg24Bit, 30, 20);
    EXPECT_THROW(BorderPicture(*src, 1, RGB(255, 255, 255), false), EPixelGraphic);
    EXPECT_THROW(BorderPicture(*src, 0, RGB(255, 255, 255), true), EPixelGraphic);
    auto b = BorderPicture(*src, 5, RGB(255, 0, 0), false);
    EXPECT_EQ(b->GetWidth(), 30);
    EXPECT_EQ(b->GetPixelColor(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(b->GetPixelColor(15, 10), src->GetPixelColor(15, 10));
}

TEST(ColorResolution, EveryChoiceGivesItsFormatAndIdentity) {
    auto src = Picture(pg24Bit, 40, 30);
    const struct {
        TColorRezChoice choice;
        TPGPixelFormat format;
        TPaletteIdent ident; // pNone: optimised, checked by colour count
        int colors;
    } cases[] = {
        {crzBlackWhite, pg1Bit, pBlackWhite, 0}, {crzOptimized2, pg1Bit, pNone, 2},
        {crzGray4, pg4Bit, pGray4, 0},           {crzSysGray4, pg4Bit, pSysGray4, 0},
        {crzGray16, pg4Bit, pGray16, 0},         {crzSys16, pg4Bit, pSys16, 0},
        {crzOptimized16, pg4Bit, pNone, 9},      {crzGray236, pg8Bit, pGray236, 0},
        {crzGray256, pg8Bit, pGray256, 0},       {crzSpecial125, pg8Bit, pSpecial125, 0},
        {crzSpecial216, pg8Bit, pSpecial216, 0}, {crzSpecial252, pg8Bit, pSpecial252, 0},
        {crzOptimized256, pg8Bit, pNone, 100},   {crzTrueColor, pg24Bit, pTrueColor, 0},
    };
    for (const auto& c : cases) {
        for (bool dither : {true, false}) {
            SCOPED_TRACE(testing::Message() << int(c.choice) << " dither " << dither);
            EXPECT_EQ(ColorRezFormat(c.choice), c.format);
            TColorRezOptions o;
            o.choice = c.choice;
            o.colors = c.colors;
            o.dither = dither;
            auto n = ColorResolutionPicture(*src, o);
            EXPECT_EQ(n->PixelFormat(), c.format);
            if (c.ident != pNone) {
                EXPECT_EQ(n->PaletteIdent(), c.ident);
            }
            // Every pixel shows a colour of the picture's palette.
            std::set<TRGB> palette(n->Palette().begin(), n->Palette().end());
            std::set<TRGB> used;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x)
                    used.insert(n->GetPixelColor(x, y));
            if (c.format != pg24Bit) {
                for (TRGB u : used)
                    EXPECT_TRUE(palette.count(u));
            }
            if (c.colors) {
                EXPECT_LE(used.size(), size_t(c.colors));
            }
        }
    }
    // The 8-bit optimised palette with the 16 system colours.
    TColorRezOptions o{crzOptimized256, 252, true, true, true};
    auto n = ColorResolutionPicture(*src, o);
    std::set<TRGB> palette(n->Palette().begin(), n->Palette().end());
    EXPECT_TRUE(palette.count(RGB(255, 255, 255)));
    EXPECT_TRUE(palette.count(RGB(0, 0, 0)));
    // A count out of range is refused before anything is built.
    EXPECT_THROW(ColorResolutionPicture(*src, {crzOptimized16, 17}), EPixelGraphic);
    EXPECT_THROW(ColorResolutionPicture(*src, {crzOptimized256, 1}), EPixelGraphic);
}

TEST(ColorResolution, CountsAreTrimmedAndBothChecked) {
    EXPECT_TRUE(ColorRezCountsValid("16", "252"));
    EXPECT_TRUE(ColorRezCountsValid(" 16 ", "2"));
    EXPECT_FALSE(ColorRezCountsValid("17", "252"));
    EXPECT_FALSE(ColorRezCountsValid("", "252"));
    EXPECT_FALSE(ColorRezCountsValid("16", ""));
    EXPECT_FALSE(ColorRezCountsValid("16", "257"));
    EXPECT_FALSE(ColorRezCountsValid("1", "252"));
    EXPECT_FALSE(ColorRezCountsValid("1x", "252"));
    EXPECT_FALSE(ColorRezCountsValid("16", "99999999999999999999"));
    int n = 0;
    EXPECT_TRUE(ParseColorCount("\t 8 ", 2, 16, n));
    EXPECT_EQ(n, 8);
}

TEST(GeometryOps, PosterizeUsesAtMostEightColoursIn4Bits) {
    auto src = Picture(pg24Bit, 64, 48);
    auto p = PosterizePicture(*src);
    EXPECT_EQ(p->PixelFormat(), pg4Bit);
    std::set<TRGB> used;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            used.insert(p->GetPixelColor(x, y));
    EXPECT_LE(used.size(), 8u);
    EXPECT_GE(used.size(), 2u);
}

TEST(GeometryOps, QuarterTurnsEqualTheCoreRotationOnLargerPictures) {
    // Blocks of 64 with ragged edges on both sides.
    for (TPGPixelFormat f : {pg8Bit, pg24Bit}) {
        auto src = Picture(f, 131, 70);
        for (long double a : {90.0L, 180.0L, 270.0L, -90.0L, 720.0L}) {
            SCOPED_TRACE(testing::Message() << int(f) << " " << double(a));
            auto ours = RotatePicture(*src, a);
            TPixelGraphic core;
            core.SetFormat(1, 1, f);
            core.CopyPaletteFrom(*src);
            core.Rotate(*src, a, true);
            ASSERT_EQ(ours->GetWidth(), core.GetWidth());
            ASSERT_EQ(ours->GetHeight(), core.GetHeight());
            for (int y = 0; y < core.GetHeight(); ++y)
                for (int x = 0; x < core.GetWidth(); ++x)
                    ASSERT_EQ(ours->GetPixelColor(x, y), core.GetPixelColor(x, y)) << x << "," << y;
        }
    }
}
