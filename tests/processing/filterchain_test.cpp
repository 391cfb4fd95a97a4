// The filter steps of the command line: the table's parameters and ranges,
// and the order and way the steps are applied.

#include <gtest/gtest.h>

#include "filter_fixtures.h"
#include "processing/bevel.h"
#include "processing/colorfilters.h"
#include "processing/convfilter.h"
#include "processing/filterchain.h"
#include "processing/filtervalues.h"

namespace {

std::string ParseProblem(std::vector<std::string> words) {
    TFilterChainContext ctx;
    try {
        ParseFilterChain(words, ctx);
    } catch (const TFilterParseError& e) {
        return e.text;
    }
    return "";
}

TEST(FilterChain, AcceptsTheDialogRanges) {
    for (const char* w : {"negative",
                          "grey",
                          "grey=plain",
                          "bcg=0,1,1",
                          "bcg=-100,0.2,5,y",
                          "bcg=100,5,0.2,rgb",
                          "rgb=100,-100,0",
                          "cmy=1,2,3",
                          "ycbcr=-5,5,0",
                          "hls=-180,100,-100",
                          "hsv=180,0,0",
                          "sharpen=0.75,50",
                          "detail=0.4,10,tent",
                          "smooth=1.30,100,rect,nodist",
                          "contour=1,1000,black",
                          "blur=0.5,10",
                          "blur=5,100",
                          "conv=3x3:0,-1,0,-1,5,-1,0,-1,0",
                          "conv=1x2:1,1@0,-1*2+-10",
                          "conv=2x1:1,-1*-1.5",
                          "bevel=0",
                          "bevel=6"}) {
        EXPECT_EQ(ParseProblem({w}), "") << w;
    }
    TFilterChainContext ctx;
    EXPECT_EQ(ParseFilterChain({"--seed", "42", "negative"}, ctx).size(), 1u);
    EXPECT_EQ(ctx.seed, 42u);
}

TEST(FilterChain, NamesWhatIsWrong) {
    struct Case {
        const char* word;
        const char* problem;
    } cases[] = {
        {"sparkle", "unknown filter \"sparkle\""},
        {"negative=1", "negative: needs 0 parameters"},
        {"grey=fancy", "grey: weighting must be plain, not \"fancy\""},
        {"bcg=0,1", "bcg: needs 3 to 4 parameters"},
        {"bcg=0,6,1", "bcg: contrast 6 out of range 0.2..5"},
        {"bcg=0,1,nan", "bcg: gamma must be a number, not \"nan\""},
        {"bcg=101,1,1", "bcg: brightness 101 out of range -100..100"},
        {"rgb=1,2,x", "rgb: blue must be a whole number, not \"x\""},
        {"hsv=181,0,0", "hsv: hue 181 out of range -180..180"},
        {"sharpen=0.3,50", "sharpen: standard deviation 0.3 out of range 0.4..1.3"},
        {"smooth=1,5", "smooth: strength 5 out of range 10..100"},
        {"detail=1,50,cone", "detail: shape must be gauss|tent|rect, not \"cone\""},
        {"contour=1,50,white", "contour: strength 50 out of range 100..1000"},
        {"blur=6,50", "blur: radius 6 out of range 0.5..5"},
        {"blur=", "blur: empty parameters after \"=\""},
        {"conv=3x3:1,2", "conv: needs 9 kernel cells, not 2"},
        {"conv=100x1:1", "conv: width 100 out of range 1..99"},
        {"conv=1x1:99999999999",
         "conv: kernel cell 99999999999 out of range -2147483648..2147483647"},
        {"conv=1x1:1*inf", "conv: factor must be a number, not \"inf\""},
        {"conv=3:1", "conv: needs WxH:c,c,...[@OX,OY][*FACTOR][+BIAS]"},
        {"bevel=-1", "bevel: rings -1 out of range 0..1000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseProblem({c.word}), c.problem) << c.word;
    EXPECT_EQ(ParseProblem({}), "filter needs at least one NAME[=PARAMS]");
    EXPECT_EQ(ParseProblem({"--seed"}), "--seed needs a number 0..4294967295");
}

TEST(FilterChain, AppliesInOrderTheEditorsWay) {
    TFilterChainContext ctx;
    // Colour filters keep a palette picture's indices; a convolution makes
    // a 24-bit picture; the bevel works on a 24-bit copy.
    std::unique_ptr<TPixelGraphic> p = PalettePicture(12, 9, 40);
    const auto before = PalettePicture(12, 9, 40);
    ApplyFilterChain(p, ParseFilterChain({"negative"}, ctx), ctx);
    EXPECT_EQ(p->PixelFormat(), pg8Bit);
    EXPECT_EQ(p->GetPixel(5, 5), before->GetPixel(5, 5));
    ApplyFilterChain(p, ParseFilterChain({"negative", "bevel=2"}, ctx), ctx);
    EXPECT_EQ(p->PixelFormat(), pg24Bit);
    auto expect = PalettePicture(12, 9, 40);
    auto e24 = std::make_unique<TPixelGraphic>();
    e24->SetFormat(12, 9, pg24Bit);
    e24->CopyFrom(*expect);
    DrawBevel(*e24, 2);
    EXPECT_TRUE(SamePixels(*p, *e24));

    auto q = RandomPicture(15, 11);
    std::unique_ptr<TPixelGraphic> r = RandomPicture(15, 11);
    ApplyFilterChain(r, ParseFilterChain({"sharpen=0.75,50", "hsv=30,10,-10"}, ctx), ctx);
    TConvFilter sharpen;
    sharpen.MakeSharpen(dsGaussian, true, 50, 0.75L);
    TPixelGraphic s;
    s.ApplyFilter(sharpen, *q);
    THSVFilter hsv;
    SetHueTables(hsv, 30, 10, -10);
    s.ApplyFilter(hsv, s);
    EXPECT_TRUE(SamePixels(*r, s));
}

} // namespace
