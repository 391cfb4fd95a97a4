#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/palettes.h"
#include "core/pixelgraphic.h"

namespace {

template <class E, class F>
std::string ThrowsWith(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<no exception>";
}

} // namespace

TEST(PixelGraphic, StoreLayoutAndRowBytes) {
    struct Case {
        TPGPixelFormat format;
        int width, height;
        int64_t rowBytes;
    } cases[] = {
        {pg1Bit, 1, 3, 4},  {pg1Bit, 32, 1, 4}, {pg1Bit, 33, 1, 8}, {pg4Bit, 8, 1, 4},
        {pg4Bit, 9, 2, 8},  {pg8Bit, 5, 1, 8},  {pg24Bit, 1, 1, 4}, {pg24Bit, 3, 2, 12},
        {pg24Bit, 5, 7, 16},
    };
    for (const auto& c : cases) {
        TPixelGraphic g;
        g.SetFormat(c.width, c.height, c.format);
        EXPECT_EQ(g.RowBytes(), c.rowBytes) << int(c.format) << " " << c.width;
        EXPECT_EQ(g.ImageSize(), c.rowBytes * c.height);
        // Row 0 is the top row, stored last (bottom-up).
        EXPECT_EQ(g.ScanLine(0), g.Bits() + (c.height - 1) * c.rowBytes);
        EXPECT_EQ(g.ScanLine(c.height - 1), g.Bits());
        EXPECT_EQ(g.ScanLine(c.height), nullptr);
        BITMAPINFO bi = g.GetBitmapInfo();
        EXPECT_EQ(bi.bmiHeader.biHeight, c.height);
        EXPECT_EQ(bi.bmiHeader.biBitCount, PixelFormatBits(c.format));
        EXPECT_EQ(bi.bmiColors.size(), size_t(PixelFormatColors(c.format)));
    }
}

TEST(PixelGraphic, EmptyPicturesAndSizeErrors) {
    TPixelGraphic g;
    EXPECT_TRUE(g.GetEmpty());
    EXPECT_EQ(g.PixelFormat(), pg24Bit);
    EXPECT_EQ(g.PaletteIdent(), pTrueColor);
    EXPECT_EQ(g.Gamma(), DisplayGamma);

    g.SetFormat(0, 5, pg8Bit);
    EXPECT_TRUE(g.GetEmpty());
    g.SetBackgroundColor(7); // pTrueColor identity still: the value itself
    EXPECT_EQ(g.GetPixel(0, 0), 7);

    EXPECT_EQ(ThrowsWith<EPGInvalidSize>([&] { g.SetFormat(-1, 1, pg8Bit); }), "Negative width");
    EXPECT_EQ(ThrowsWith<EPGInvalidSize>([&] { g.SetFormat(1, -1, pg8Bit); }), "Negative height");

    // Above the store cap the allocation error is raised instead of allocating.
    EXPECT_EQ(ThrowsWith<EPixelGraphic>([&] { g.SetFormat(1 << 30, 1 << 30, pg24Bit); }),
              "CreateDIBSection failed");
    EXPECT_TRUE(g.GetEmpty());
    long long saved = PGMaxImageBytes;
    PGMaxImageBytes = 1000;
    EXPECT_THROW(g.SetFormat(100, 100, pg8Bit), EPixelGraphic);
    PGMaxImageBytes = saved;
    EXPECT_NO_THROW(g.SetFormat(100, 100, pg8Bit));
}

TEST(PixelGraphic, SameFormatClearsToBackgroundNewSizeZeroes) {
    TPixelGraphic g;
    g.SetFormat(3, 2, pg24Bit);
    g.SetBackgroundColor(RGB(10, 20, 30));
    g.SetFormat(3, 2, pg24Bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(g.GetPixel(x, y), RGB(10, 20, 30));
    g.SetFormat(4, 2, pg24Bit);
    EXPECT_EQ(g.GetPixel(3, 1), 0);

    TPixelGraphic p;
    p.SetFormat(5, 3, pg4Bit);
    p.SetPaletteIdent(pSys16);
    p.SetBackgroundColor(RGB(255, 0, 0));
    EXPECT_EQ(p.BackgroundColor(), 9);
    p.Clear();
    for (int x = 0; x < 5; ++x) EXPECT_EQ(p.GetPixel(x, 2), 9);
    // Reads outside the picture give the background; writes there are ignored.
    EXPECT_EQ(p.GetPixel(-1, 0), 9);
    EXPECT_EQ(p.GetPixel(5, 0), 9);
    p.SetPixel(5, 0, 3);
    p.SetPixel(0, -1, 3);
}

TEST(PixelGraphic, PixelAccessPerFormat) {
    struct Case {
        TPGPixelFormat format;
        int x;
        int32_t value, stored;
        int byteIndex;
        uint8_t byte;
    } cases[] = {
        {pg1Bit, 0, 1, 1, 0, 0x80},  {pg1Bit, 9, 1, 1, 1, 0x40},
        {pg1Bit, 9, 2, 0, 1, 0x00}, // any value but 1 clears the bit
        {pg4Bit, 2, 0xA, 0xA, 1, 0xA0}, {pg4Bit, 3, 0x1B, 0xB, 1, 0x0B},
        {pg8Bit, 4, 0x1FE, 0xFE, 4, 0xFE}, {pg24Bit, 1, RGB(1, 2, 3), RGB(1, 2, 3), 3, 3},
    };
    for (const auto& c : cases) {
        TPixelGraphic g;
        g.SetFormat(12, 2, c.format);
        if (c.format == pg1Bit) g.SetPixel(c.x, 1, 1); // set first, so clearing shows
        g.SetPixel(c.x, 1, c.value);
        EXPECT_EQ(g.GetPixel(c.x, 1), c.stored) << int(c.format) << " x=" << c.x;
        EXPECT_EQ(g.ScanLine(1)[c.byteIndex], c.byte) << int(c.format) << " x=" << c.x;
        EXPECT_EQ(g.GetPixel(c.x, 0), 0);
    }
    TPixelGraphic rgb;
    rgb.SetFormat(2, 1, pg24Bit);
    rgb.SetPixelColor(1, 0, RGB(200, 100, 50));
    const uint8_t* p = rgb.ScanLine(0) + 3;
    EXPECT_EQ(p[0], 50); // blue, green, red
    EXPECT_EQ(p[1], 100);
    EXPECT_EQ(p[2], 200);
}

TEST(PixelGraphic, PaletteAccessRules) {
    TPixelGraphic g;
    g.SetFormat(2, 2, pg24Bit);
    EXPECT_EQ(g.PaletteEntry(5), 5);
    EXPECT_THROW(g.SetPaletteEntry(0, 0), EPGNoPalette);
    EXPECT_EQ(g.NearestPaletteIndex(RGB(1, 2, 3)), RGB(1, 2, 3));
    g.SetFormat(2, 2, pg8Bit);
    g.SetPaletteIdent(pNone);
    EXPECT_EQ(ThrowsWith<EPGNoPalette>([&] { g.NearestPaletteIndex(0); }), "No palette");
    g.SetPaletteCount(4);
    EXPECT_EQ(g.PaletteIdent(), pUnknown);
    EXPECT_EQ(ThrowsWith<EPGInvalidPaletteIndex>([&] { g.PaletteEntry(4); }), "Invalid palette index");
    EXPECT_THROW(g.SetPaletteEntry(-1, 0), EPGInvalidPaletteIndex);
    g.SetPaletteIdent(pGray256);
    g.SetPaletteEntry(3, RGB(200, 10, 10));
    EXPECT_EQ(g.PaletteIdent(), pUnknown);
    g.SetPixelColor(0, 0, RGB(201, 10, 10));
    EXPECT_EQ(g.GetPixel(0, 0), 3);
    EXPECT_EQ(g.GetPixelColor(0, 0), RGB(200, 10, 10));
    // A smaller format trims the palette to what it can carry.
    g.SetFormat(2, 2, pg4Bit);
    EXPECT_EQ(g.PaletteCount(), 16);
    BITMAPINFO bi = g.GetBitmapInfo();
    EXPECT_EQ(bi.bmiColors[3].rgbRed, 200);
    EXPECT_EQ(bi.bmiColors[3].rgbBlue, 10);
}

TEST(PixelGraphic, IdentifyPalette) {
    auto identify = [](TPGPixelFormat f, std::vector<TRGB> pal) {
        TPixelGraphic g;
        g.SetFormat(1, 1, f);
        g.SetPaletteCount(int(pal.size()));
        for (size_t i = 0; i < pal.size(); ++i) g.SetPaletteEntry(int(i), pal[i]);
        g.IdentifyPalette();
        return g.PaletteIdent();
    };
    EXPECT_EQ(identify(pg1Bit, {RGB(0, 0, 0), RGB(255, 255, 255)}), pBlackWhite);
    EXPECT_EQ(identify(pg1Bit, {RGB(255, 255, 255), RGB(0, 0, 0)}), pUnknown);
    EXPECT_EQ(identify(pg8Bit, {}), pNone);
    EXPECT_EQ(identify(pg24Bit, {}), pTrueColor);
    for (TPaletteIdent p : {pSysGray4, pSys16, pGray4, pGray16, pGray236, pGray256, pSpecial125,
                            pSpecial216, pSpecial252}) {
        auto pal = StandardPalette(p);
        EXPECT_EQ(identify(pg8Bit, pal), p) << int(p);
        pal.back() ^= 1;
        EXPECT_EQ(identify(pg8Bit, pal), pUnknown) << int(p);
    }
    TPixelGraphic g;
    g.SetFormat(1, 1, pg8Bit);
    g.SetPaletteIdent(pGray16);
    g.IdentifyPalette();
    EXPECT_TRUE(g.IsGrayPalette());
    g.SetPaletteIdent(pSys16);
    g.IdentifyPalette();
    EXPECT_FALSE(g.IsGrayPalette());
}

TEST(PixelGraphic, StandardPaletteContents) {
    const auto& s = Special252Palette;
    EXPECT_EQ(s[15], RGB(255, 255, 255));
    EXPECT_EQ(s[16], RGB(0, 0, 64)); // first cube colour not among the system colours
    EXPECT_EQ(s[124], RGB(255, 255, 192));
    EXPECT_EQ(s[125], RGB(32, 32, 32));
    EXPECT_EQ(s[251], RGB(224, 96, 192));
    auto g236 = StandardPalette(pGray236);
    EXPECT_EQ(GetRValue(g236[1]), 1);
    EXPECT_EQ(GetRValue(g236[235]), 255);
    EXPECT_EQ(StandardPalette(pSpecial125)[1], RGB(0, 0, 64));
    EXPECT_EQ(StandardPalette(pSpecial216)[215], RGB(255, 255, 255));
    EXPECT_EQ(StandardPalette(pGray4)[2], RGB(170, 170, 170));
}

TEST(PixelGraphic, NearestPaletteIndexClosedForms) {
    struct Case {
        TPaletteIdent ident;
        TRGB color;
        int index;
    } cases[] = {
        {pSpecial125, RGB(224, 223, 0), 4 * 25 + 3 * 5},
        {pSpecial216, RGB(26, 27, 255), 0 * 36 + 1 * 6 + 5},
        {pSys16, RGB(200, 40, 40), 9},
        {pSys16, RGB(0, 0, 0), 0},
        {pSys16, RGB(255, 255, 255), 15},
        {pSys16, RGB(150, 150, 150), 8},
        {pBlackWhite, RGB(127, 127, 127), 0},
        {pBlackWhite, RGB(128, 128, 128), 1},
        {pSysGray4, RGB(64, 64, 64), 0},
        {pSysGray4, RGB(66, 64, 64), 1},
        {pGray4, RGB(42, 42, 43), 0},
        {pGray4, RGB(43, 43, 43), 1},
        {pGray16, RGB(255, 255, 255), 15},
        {pGray256, RGB(100, 100, 100), 100},
        {pGray256, RGB(255, 0, 0), (228 + 1) / 3},
        {pGray236, RGB(255, 255, 255), 235},
        {pGray236, RGB(128, 128, 128), 118},
        {pTrueColor, RGB(1, 2, 3), RGB(1, 2, 3)},
    };
    for (const auto& c : cases) {
        TPixelGraphic g;
        g.SetFormat(1, 1, c.ident == pTrueColor ? pg24Bit : pg8Bit);
        g.SetPaletteIdent(c.ident);
        EXPECT_EQ(g.NearestPaletteIndex(c.color), c.index) << int(c.ident);
    }
}

TEST(PixelGraphic, WeightingChangeDropsRememberedAnswer) {
    TPixelGraphic g;
    g.SetFormat(1, 1, pg8Bit);
    g.SetPaletteIdent(pGray256);
    EXPECT_EQ(g.NearestPaletteIndex(RGB(255, 0, 0)), 76);
    g.SetRGBWeighting(false);
    EXPECT_EQ(g.NearestPaletteIndex(RGB(255, 0, 0)), 85);
    g.SetPaletteIdent(pBlackWhite);
    EXPECT_EQ(g.NearestPaletteIndex(RGB(255, 0, 0)), 0);
}

TEST(PixelGraphic, Special252IsExactNearest) {
    TPixelGraphic g;
    g.SetFormat(1, 1, pg8Bit);
    g.SetPaletteIdent(pSpecial252);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int i = 0; i < 300000; ++i) {
        TRGB c = TRGB(next() >> 8) & 0xFFFFFF;
        int got = g.NearestPaletteIndex(c);
        int want = NearestBySearch(Special252Palette.data(), 252, c);
        ASSERT_EQ(ColorDistance2(c, Special252Palette[size_t(got)]),
                  ColorDistance2(c, Special252Palette[size_t(want)]))
            << std::hex << c;
    }
    // Cell borders, where a wrong cell list would show first.
    for (int r = 0; r < 256; r += 15)
        for (int gr = 0; gr < 256; gr += 16)
            for (int b : {0, 15, 16, 17, 47, 48, 239, 240, 255}) {
                TRGB c = RGB(r, gr, b);
                ASSERT_EQ(ColorDistance2(c, Special252Palette[size_t(g.NearestPaletteIndex(c))]),
                          ColorDistance2(c, Special252Palette[size_t(NearestBySearch(
                                                Special252Palette.data(), 252, c))]));
            }
}

TEST(PixelGraphic, ArbitraryPaletteIsExactNearestThroughTheCache) {
    uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto check = [&](const std::vector<TRGB>& pal) {
        TPixelGraphic g;
        g.SetFormat(1, 1, pg8Bit);
        g.SetPaletteCount(int(pal.size()));
        for (size_t i = 0; i < pal.size(); ++i) g.SetPaletteEntry(int(i), pal[i]);
        // Random colours, then every colour of a few cells (each cell is
        // filled on its first query and answers the later ones).
        for (int i = 0; i < 200000; ++i) {
            TRGB c = TRGB(next() >> 8) & 0xFFFFFF;
            ASSERT_EQ(g.NearestPaletteIndex(c), NearestBySearch(pal.data(), int(pal.size()), c))
                << std::hex << c;
        }
        for (int cell = 0; cell < 20; ++cell) {
            const int r0 = int(next() % 64) * 4, g0 = int(next() % 64) * 4, b0 = int(next() % 64) * 4;
            for (int r = r0; r < r0 + 4; ++r)
                for (int gr = g0; gr < g0 + 4; ++gr)
                    for (int b = b0; b < b0 + 4; ++b)
                        ASSERT_EQ(g.NearestPaletteIndex(RGB(r, gr, b)),
                                  NearestBySearch(pal.data(), int(pal.size()), RGB(r, gr, b)));
        }
    };
    std::vector<TRGB> sparse;
    for (int i = 0; i < 40; ++i) sparse.push_back(TRGB(next() >> 8) & 0xFFFFFF);
    sparse.push_back(sparse[3]); // a duplicate: the lower index must win
    check(sparse);
    // A dense palette like the optimised ones: many entries share a cell.
    std::vector<TRGB> dense;
    for (int i = 0; i < 236; ++i) dense.push_back(RGB(int(next() % 64), int(next() % 64), int(next() % 64)));
    for (TRGB c : Sys16Palette) dense.push_back(c);
    check(dense);

    // Black is found even when an earlier entry shares its cell.
    TPixelGraphic g;
    g.SetFormat(1, 1, pg8Bit);
    g.SetPaletteCount(2);
    g.SetPaletteEntry(0, RGB(4, 2, 4));
    g.SetPaletteEntry(1, RGB(0, 0, 0));
    EXPECT_EQ(g.NearestPaletteIndex(RGB(0, 0, 0)), 1);
    EXPECT_EQ(g.NearestPaletteIndex(RGB(4, 2, 4)), 0);
}

TEST(PixelGraphic, GammaCorrectionAfterLoad) {
    struct Case {
        long double gamma;
        int in[7];
        int out[7];
    } cases[] = {
        {1.8L, {1, 2, 64, 128, 200, 254, 255}, {3, 5, 82, 145, 209, 254, 255}},
        {1.0L, {1, 2, 64, 128, 200, 254, 255}, {21, 28, 136, 186, 228, 255, 255}},
        {2.15L, {1, 2, 64, 128, 200, 254, 255}, {1, 2, 64, 128, 200, 254, 255}}, // within 5 %
    };
    for (const auto& c : cases) {
        TPixelGraphic g;
        g.SetFormat(7, 1, pg24Bit);
        for (int x = 0; x < 7; ++x) g.SetPixel(x, 0, RGB(c.in[x], c.in[x], 0));
        g.SetGamma(c.gamma);
        g.ApplyGammaCorrection();
        for (int x = 0; x < 7; ++x) EXPECT_EQ(g.GetPixel(x, 0), RGB(c.out[x], c.out[x], 0)) << x;
        EXPECT_EQ(g.Gamma(), std::fabs(c.gamma / DisplayGamma - 1) > 0.05L ? DisplayGamma : c.gamma);
    }
    // A palette picture has its palette corrected, not its pixels.
    TPixelGraphic p;
    p.SetFormat(1, 1, pg8Bit);
    p.SetPaletteIdent(pGray256);
    p.SetPixel(0, 0, 128);
    p.SetGamma(1.8L);
    p.ApplyGammaCorrection();
    EXPECT_EQ(p.GetPixel(0, 0), 128);
    EXPECT_EQ(p.PaletteEntry(128), RGB(145, 145, 145));
    // Switched off, nothing changes.
    GammaCorrection = false;
    TPixelGraphic q;
    q.SetFormat(1, 1, pg24Bit);
    q.SetPixel(0, 0, RGB(128, 128, 128));
    q.SetGamma(1.8L);
    q.ApplyGammaCorrection();
    GammaCorrection = true;
    EXPECT_EQ(q.GetPixel(0, 0), RGB(128, 128, 128));
}

TEST(PixelGraphic, AssignCopiesPictureAndOptionsNotEvents) {
    TPixelGraphic src;
    src.SetFormat(3, 2, pg4Bit);
    src.SetPaletteIdent(pSys16);
    src.SetPixel(2, 1, 12);
    src.SetDither(false);
    src.SetStretchMode(smFast);
    src.SetTransparent(true);
    src.SetTransparentColor(RGB(1, 2, 3));
    src.SetFastRead(true);
    src.SetGamma(2.2L);
    src.OnChange = [](TObject*) {};

    TPixelGraphic dst;
    int changes = 0;
    dst.OnChange = [&](TObject*) { ++changes; };
    dst.Assign(&src);
    EXPECT_EQ(changes, 1); // one notification for the whole assignment
    EXPECT_EQ(dst.GetWidth(), 3);
    EXPECT_EQ(dst.PixelFormat(), pg4Bit);
    EXPECT_EQ(dst.PaletteIdent(), pSys16);
    EXPECT_EQ(dst.GetPixel(2, 1), 12);
    EXPECT_EQ(0, std::memcmp(dst.Bits(), src.Bits(), size_t(src.ImageSize())));
    EXPECT_FALSE(dst.Dither());
    EXPECT_EQ(dst.StretchMode(), smFast);
    EXPECT_TRUE(dst.GetTransparent());
    EXPECT_EQ(dst.TransparentColor(), RGB(1, 2, 3));
    EXPECT_EQ(dst.Gamma(), 2.2L);
    EXPECT_FALSE(dst.FastRead());
    EXPECT_TRUE(bool(dst.OnChange)); // kept its own handler

    dst.Assign(nullptr);
    EXPECT_TRUE(dst.GetEmpty());
    EXPECT_EQ(dst.PixelFormat(), pg24Bit);
}

TEST(PixelGraphic, UpdateBracketsAndThrowingHandlers) {
    TPixelGraphic g;
    int changes = 0;
    g.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &g);
        ++changes;
    };
    g.BeginUpdate();
    g.SetFormat(2, 2, pg8Bit);
    g.Clear();
    EXPECT_EQ(changes, 0);
    g.EndUpdate();
    EXPECT_EQ(changes, 1);

    // A handler that throws while the bracket ends from a destructor, or
    // while another exception is already on its way, must not end the program.
    g.OnChange = [](TObject*) { throw EPixelGraphic("handler failed"); };
    EXPECT_THROW(
        {
            TPGUpdateScope scope(g);
            throw EPGEmpty("inner");
        },
        EPGEmpty);
    EXPECT_EQ(g.UpdateCount(), 0);
    { TPGUpdateScope scope(g); }
    EXPECT_EQ(g.UpdateCount(), 0);
    EXPECT_THROW(
        {
            TPGUpdateScope scope(g);
            scope.Finish();
        },
        EPixelGraphic);
    g.OnChange = nullptr;
}

TEST(PixelGraphic, ProgressScopeFiresStartAndEndAroundSteps) {
    TPixelGraphic g;
    std::string log;
    g.OnProgressStart = [&](TObject*) { log += "S"; };
    g.OnProgress = [&](TObject*, int step, int max, bool& abort) {
        log += std::to_string(step) + "/" + std::to_string(max) + ",";
        abort = step == 1;
    };
    g.OnProgressEnd = [&](TObject*) { log += "E"; };
    {
        TPGProgressScope p(g, &g);
        for (int y = 0; y < 5; ++y)
            if (p.Step(y, 4)) break;
    }
    EXPECT_EQ(log, "S0/4,1/4,E");
}
