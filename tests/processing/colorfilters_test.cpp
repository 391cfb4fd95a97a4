// The colour filters and the values their dialogs give them.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/exceptions.h"
#include "filter_fixtures.h"
#include "processing/colorfilters.h"
#include "processing/colorspace.h"
#include "processing/filtervalues.h"

namespace {

TEST(ColorFilters, GreyScaleWeightedAndPlain) {
    TGrayScaleFilter f;
    EXPECT_TRUE(f.RGBWeighting());
    EXPECT_EQ(f.FilterColor(RGB(255, 0, 0)), RGB(76, 76, 76));
    f.SetRGBWeighting(false);
    EXPECT_EQ(f.FilterColor(RGB(255, 0, 0)), RGB(85, 85, 85));
    EXPECT_EQ(f.FilterColor(RGB(10, 20, 31)), RGB(20, 20, 20));
}

TEST(ColorFilters, NegativeTwiceIsIdentity) {
    TNegativeFilter f;
    for (TRGB c : {RGB(0, 0, 0), RGB(1, 128, 255), RGB(200, 3, 77)})
        EXPECT_EQ(f.FilterColor(f.FilterColor(c)), c);
    EXPECT_EQ(f.FilterColor(RGB(1, 128, 255)), RGB(254, 127, 0));
}

TEST(ColorFilters, BCGTables) {
    struct Case {
        int b, cp, gp;
        int i, expected;
    } cases[] = {
        {0, 0, 0, 0, 0},      {0, 0, 0, 77, 77},      {0, 0, 0, 255, 255}, // identity
        {100, 0, 0, 0, 255},  {100, 0, 0, 200, 255},                       // +100: all white
        {-100, 0, 0, 255, 0},                                              // -100: all black
        {0, -100, 0, 0, 102}, {0, -100, 0, 255, 153},                      // contrast 0.2
        {0, 0, 100, 128, 7}, // gamma 5 darkens: (128/255)^5 x 255 = 8.0 -> hmm checked below
    };
    for (const Case& c : cases) {
        TBCGFilter f;
        SetBCGValues(f, c.b, c.cp, c.gp, false);
        f.BuildTable();
        long double ref = std::pow(c.i / 255.0L, PositionFactor(c.gp)) * 255;
        ref = (ref - 127.5L) * PositionFactor(c.cp) + 127.5L + c.b * 255 * 0.01L;
        const int expect =
            int(std::clamp(std::nearbyint(std::clamp(ref, -1.0L, 256.0L)), 0.0L, 255.0L));
        SCOPED_TRACE(testing::Message() << c.b << " " << c.cp << " " << c.gp << " i=" << c.i);
        EXPECT_EQ(f.Table()[size_t(c.i)], expect);
        if (c.gp == 0) {
            EXPECT_EQ(f.Table()[size_t(c.i)], c.expected);
        }
    }
}

TEST(ColorFilters, BCGRefusesValuesThatAreNoNumber) {
    TBCGFilter f;
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    EXPECT_THROW(f.SetContrast(nan), EPGFilter);
    EXPECT_THROW(f.SetGamma(std::numeric_limits<long double>::infinity()), EPGFilter);
    EXPECT_EQ(f.Contrast(), 1);
    EXPECT_EQ(f.Gamma(), 1);
    // Gamma 0 is no curve but no division by zero either.
    f.SetGamma(0);
    f.BuildTable();
    EXPECT_EQ(f.Table()[0], 255);
}

TEST(ColorFilters, BCGOnYKeepsGreyGreyAndHue) {
    TBCGFilter f;
    SetBCGValues(f, 10, 0, 0, true);
    f.BuildTable();
    const TRGB g = f.FilterColor(RGB(90, 90, 90));
    EXPECT_NEAR(GetRValue(g), GetGValue(g), 1);
    EXPECT_NEAR(GetBValue(g), GetGValue(g), 1);
    long double h0, s0, v0, h1, s1, v1;
    const TRGB c = f.FilterColor(RGB(150, 60, 40));
    RGBToHSV(150 / 255.0L, 60 / 255.0L, 40 / 255.0L, h0, s0, v0);
    RGBToHSV(GetRValue(c) / 255.0L, GetGValue(c) / 255.0L, GetBValue(c) / 255.0L, h1, s1, v1);
    EXPECT_NEAR(double(h0), double(h1), 1.0);
    EXPECT_GT(GetRValue(c), 150);
}

TEST(ColorFilters, PercentTables) {
    TRGBFilter f;
    SetPercentTables(f, 100, -100, 50);
    for (int i = 0; i < 256; i += 15) {
        EXPECT_EQ(f.Table(0)[size_t(i)], 255);
        EXPECT_EQ(f.Table(1)[size_t(i)], 0);
        EXPECT_EQ(f.Table(2)[size_t(i)], std::min(i + 127, 255));
    }
    EXPECT_EQ(f.FilterColor(RGB(3, 200, 100)), RGB(255, 0, 227));
    TCMYFilter c;
    SetPercentTables(c, 50, 0, 0); // more cyan: less red
    EXPECT_EQ(c.FilterColor(RGB(200, 10, 20)), RGB(73, 10, 20));
}

TEST(ColorFilters, HueTurnsRedIntoCyanAndNeutralKeepsColours) {
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind ? "HSV" : "HLS");
        THLSFilter hls;
        THSVFilter hsv;
        TXXXFilter& f = kind ? static_cast<TXXXFilter&>(hsv) : hls;
        SetHueTables(f, 180, 0, 0);
        EXPECT_EQ(f.FilterColor(RGB(255, 0, 0)), RGB(0, 255, 255));
        SetHueTables(f, 0, 0, 0);
        uint32_t seed = 7;
        for (int k = 0; k < 2000; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const TRGB c = TRGB(seed >> 8) & 0xFFFFFF;
            const TRGB d = f.FilterColor(c);
            ASSERT_NEAR(GetRValue(d), GetRValue(c), 1);
            ASSERT_NEAR(GetGValue(d), GetGValue(c), 1);
            ASSERT_NEAR(GetBValue(d), GetBValue(c), 1);
        }
        // Grey keeps saturation 0 even with the saturation raised.
        SetHueTables(f, 45, kind ? 80 : 0, kind ? 0 : 80);
        const TRGB g = f.FilterColor(RGB(100, 100, 100));
        EXPECT_EQ(GetRValue(g), GetGValue(g));
        EXPECT_EQ(GetGValue(g), GetBValue(g));
    }
}

TEST(ColorFilters, YCbCrNeutralKeepsColours) {
    TYCbCrFilter f;
    for (TRGB c : {RGB(0, 0, 0), RGB(255, 255, 255), RGB(12, 200, 99), RGB(250, 5, 130)}) {
        const TRGB d = f.FilterColor(c);
        EXPECT_NEAR(GetRValue(d), GetRValue(c), 2);
        EXPECT_NEAR(GetGValue(d), GetGValue(c), 2);
        EXPECT_NEAR(GetBValue(d), GetBValue(c), 2);
    }
}

TEST(ColorSpaces, SaturationZeroWithHueRaises) {
    long double r, g, b;
    EXPECT_THROW(HLSToRGB(30, 0.5L, 0, r, g, b), EPGSaturationHue);
    EXPECT_THROW(HSVToRGB(30, 0, 0.5L, r, g, b), EPGSaturationHue);
    HSVToRGB(UndefinedHue, 0, 0.5L, r, g, b);
    EXPECT_EQ(r, 0.5L);
    // A hue that is no number picks a sector instead of an undefined conversion.
    HSVToRGB(std::numeric_limits<long double>::quiet_NaN(), 0.5L, 0.5L, r, g, b);
}

TEST(ColorSpaces, Lookups) {
    TPGLevelTable id;
    for (int i = 0; i < 256; ++i)
        id[size_t(i)] = uint8_t(i);
    EXPECT_NEAR(double(InterpolatedLookup(id, 0.5L)), 0.5, 1e-15);
    EXPECT_EQ(InterpolatedLookup(id, 1.0L), 1.0L);
    EXPECT_EQ(InterpolatedLookup(id, -0.3L) >= -0.31L, true);
    // The circular lookup of the identity gives the hue back, across 180.
    for (long double h : {0.0L, 90.0L, 179.0L, 181.0L, 359.0L})
        EXPECT_NEAR(double(CircularHueLookup(id, h)), double(h), 1e-9);
}

TEST(FilterValues, ClampsWrapsAndTexts) {
    EXPECT_EQ(FactorPosition(10), 100);
    EXPECT_EQ(FactorPosition(0.1L), -100);
    EXPECT_EQ(FactorPosition(1), 0);
    EXPECT_EQ(FactorPosition(std::numeric_limits<long double>::quiet_NaN()), 0);
    EXPECT_EQ(PositionFactorRounded(-100), 0.2L);
    EXPECT_EQ(PositionFactorRounded(100), 5.0L);
    EXPECT_EQ(WrapHue(270), -90);
    EXPECT_EQ(WrapHue(-270), 90);
    EXPECT_EQ(WrapHue(180), 180);
    EXPECT_EQ(WrapHue(900), 180);
    EXPECT_EQ(ClampPercent(150), 100);
    EXPECT_EQ(PercentText(25), "+25%");
    EXPECT_EQ(PercentText(0), "\xC2\xB1"
                              "0%");
    EXPECT_EQ(PercentText(-40), "-40%");
    EXPECT_EQ(DegreeText(90), "+90\xC2\xB0");
    EXPECT_EQ(FactorText(PositionFactor(0)), "1.00");
    EXPECT_EQ(FactorText(PositionFactor(-100)), "0.20");
}

} // namespace

#include "processing/pgmath.h"

TEST(PGMath, RoundingEqualsTheLibrary) {
    for (long double x = -3; x <= 300; x += 0.125L) {
        ASSERT_EQ(RoundEven(x), std::nearbyint(x)) << double(x);
        ASSERT_EQ(FloorL(x), std::floor(x)) << double(x);
    }
    for (long double x :
         {0.49999999999999999995L, -0.5L, 2.5L, 3.5L, 1e17L + 0.5L, -1e17L - 1.5L}) {
        EXPECT_EQ(RoundEven(x), std::nearbyint(x)) << double(x);
        EXPECT_EQ(FloorL(x), std::floor(x)) << double(x);
    }
}

// The double fast path of the colour-space filters gives exactly the
// extended results, on every colour of a 4 x 4 x 4 lattice step and a random
// sample, with tables that shift and stretch.
TEST(ColorFilters, FastPathEqualsExtended) {
    THLSFilter hls;
    THSVFilter hsv;
    TYCbCrFilter ycc;
    TBCGFilter bcg;
    SetHueTables(hls, 75, -30, 45);
    SetHueTables(hsv, -120, 60, -20);
    SetPercentTables(ycc, 10, -40, 25);
    SetBCGValues(bcg, 10, 40, -30, true);
    bcg.BuildTable();
    std::vector<TRGB> colours;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5)
                colours.push_back(RGB(r, g, b));
    uint32_t seed = 3;
    for (int i = 0; i < 100000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        colours.push_back(TRGB(seed >> 8) & 0xFFFFFF);
    }
    for (TPGFilter* f : std::initializer_list<TPGFilter*>{&hls, &hsv, &ycc, &bcg}) {
        for (TRGB c : colours) {
            FastColorSpace = true;
            const TRGB fast = f->FilterColor(c);
            FastColorSpace = false;
            const TRGB exact = f->FilterColor(c);
            ASSERT_EQ(fast, exact) << std::hex << c;
        }
    }
    FastColorSpace = true;
}
