// Error-diffusion dithering: the error limit table and the diffusion itself.

#include <gtest/gtest.h>

#include "core/dither.h"
#include "core/pixelgraphic.h"
#include "transfer_fixtures.h"

TEST(ClampTable, LimitsToByteRange) {
    EXPECT_EQ(ClampTable[-510], 0);
    EXPECT_EQ(ClampTable[-1], 0);
    EXPECT_EQ(ClampTable[0], 0);
    EXPECT_EQ(ClampTable[200], 200);
    EXPECT_EQ(ClampTable[255], 255);
    EXPECT_EQ(ClampTable[256], 255);
    EXPECT_EQ(ClampTable[510], 255);
}

TEST(Dithering, ErrorLimitTable) {
    struct Case {
        TPaletteIdent ident;
        bool autoLimit;
        int limit;
        bool soft;
        int i;
        int expected;
    };
    const Case cases[] = {
        // pGray256 carries at most 2, with the soft knee below it.
        {pGray256, true, 0, false, 1, 0},
        {pGray256, true, 0, false, 2, 1},
        {pGray256, true, 0, false, 3, 1},
        {pGray256, true, 0, false, 4, 2},
        {pGray256, true, 0, false, 255, 2},
        {pGray256, true, 0, false, -255, -2},
        // pBlackWhite: limit 255, but 127..254 become i div 2 + 63.
        {pBlackWhite, true, 0, false, 126, 126},
        {pBlackWhite, true, 0, false, 127, 126},
        {pBlackWhite, true, 0, false, 200, 163},
        {pBlackWhite, true, 0, false, 254, 190},
        {pBlackWhite, true, 0, false, 255, 255},
        {pBlackWhite, true, 0, false, -200, -163},
        // Optimised palettes carry no error.
        {pOptimized252Sys16, true, 0, false, 100, 0},
        {pSpecial216, true, 0, false, 200, 86},
        // Explicit limit, hard and soft.
        {pUnknown, false, 32, false, 31, 31},
        {pUnknown, false, 32, false, 100, 32},
        {pUnknown, false, 32, true, 15, 15},
        {pUnknown, false, 32, true, 16, 16},
        {pUnknown, false, 32, true, 40, 28},
        {pUnknown, false, 32, true, 48, 32},
        {pUnknown, false, 32, true, 49, 32},
    };
    for (const Case& c : cases) {
        TPixelGraphic g;
        g.SetFormat(4, 1, pg8Bit);
        g.SetPaletteIdent(c.ident == pOptimized252Sys16 ? pUnknown : c.ident);
        if (c.ident == pOptimized252Sys16) {
            g.SetPaletteCount(2);
            g.SetPaletteIdent(pOptimized252Sys16);
        }
        g.SetDitherErrorLimitAuto(c.autoLimit);
        g.SetDitherErrorLimit(uint8_t(c.limit));
        g.SetDitherErrorLimitSoft(c.soft);
        g.BeginDither();
        ASSERT_NE(g.DitherState(), nullptr);
        EXPECT_EQ(g.DitherState()->Limit(c.i), c.expected)
            << "ident " << int(c.ident) << " limit " << c.limit << " i " << c.i;
        g.EndDither();
        EXPECT_EQ(g.DitherState(), nullptr);
    }
}

// Mid grey into black and white: the first pixel rounds up to white, its
// error pushes the next one to black, and the serpentine second row mirrors
// it: a checkerboard.
TEST(Dithering, MidGreyBecomesCheckerboard) {
    auto src = MakeFilled(2, 2, RGB(128, 128, 128));
    TPixelGraphic dst;
    dst.SetFormat(2, 2, pg1Bit);
    dst.SetPaletteIdent(pBlackWhite);
    dst.CopyFrom(*src);
    EXPECT_EQ(Values(dst), (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(dst.DitherState(), nullptr); // no state outlives the operation

    // Without dithering every pixel takes the nearest entry.
    dst.SetDither(false);
    dst.CopyFrom(*src);
    EXPECT_EQ(Values(dst), (std::vector<int>{1, 1, 1, 1}));
}

// Dithering keeps the average: a 30 % grey field into black and white comes
// out close to 30 % white pixels; a colour gradient into the 16 system
// colours keeps each row's mean colour close.
TEST(Dithering, PreservesAverageColour) {
    auto src = MakeFilled(64, 64, RGB(77, 77, 77));
    TPixelGraphic bw;
    bw.SetFormat(64, 64, pg1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.SetRGBWeighting(false);
    bw.CopyFrom(*src);
    int white = 0;
    for (int v : Values(bw))
        white += v;
    EXPECT_NEAR(white / 4096.0, 77 / 255.0, 0.02);

    std::vector<TRGB> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            px.push_back(RGB(x * 4, 100, 255 - x * 4));
    auto grad = MakeRGB(64, 32, px);
    TPixelGraphic sys;
    sys.SetFormat(64, 32, pg4Bit);
    sys.SetPaletteIdent(pSys16);
    sys.CopyFrom(*grad);
    long sumR = 0, sumG = 0, srcR = 0, srcG = 0;
    for (TRGB c : Colors(sys))
        sumR += GetRValue(c), sumG += GetGValue(c);
    for (TRGB c : px)
        srcR += GetRValue(c), srcG += GetGValue(c);
    EXPECT_NEAR(double(sumR) / px.size(), double(srcR) / px.size(), 6);
    EXPECT_NEAR(double(sumG) / px.size(), double(srcG) / px.size(), 6);
}

// A fine grey ramp carries almost no error: grey levels go straight through.
TEST(Dithering, Gray256KeepsGreyLevels) {
    std::vector<TRGB> px;
    for (int x = 0; x < 256; ++x)
        px.push_back(RGB(x, x, x));
    auto src = MakeRGB(256, 1, px);
    TPixelGraphic g;
    g.SetFormat(256, 1, pg8Bit);
    g.SetPaletteIdent(pGray256);
    g.SetRGBWeighting(false);
    g.CopyFrom(*src);
    for (int x = 0; x < 256; ++x)
        EXPECT_EQ(g.GetPixel(x, 0), x);
}

TEST(Dithering, PublicDitherPixelIsSafeWithoutStateOrOutside) {
    TPixelGraphic g;
    g.SetFormat(3, 1, pg1Bit);
    g.SetPaletteIdent(pBlackWhite);
    g.DitherPixel(0, 0, 255, 255, 255); // no state: nearest entry
    EXPECT_EQ(g.GetPixel(0, 0), 1);
    g.BeginDither();
    g.NextDitherRow();
    g.DitherPixel(-1, 0, 255, 255, 255);
    g.DitherPixel(3, 0, 255, 255, 255);
    g.DitherPixel(1, 0, 900, 900, 900); // out-of-range channels are clamped
    EXPECT_EQ(g.GetPixel(1, 0), 1);
    g.EndDither();
}
