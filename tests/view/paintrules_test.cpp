// The display conversion's decisions, case by case for every screen depth.

#include <gtest/gtest.h>

#include "view/paintrules.h"

namespace {

TPGPaintInputs Picture(int D, int G, TPaletteIdent ident, TStretchMode m = smFast,
                       QSize box = QSize(100, 80)) {
    TPGPaintInputs in;
    in.D = D;
    in.hasPicture = true;
    in.G = G;
    in.ident = ident;
    in.pictureSize = QSize(100, 80);
    in.boxSize = box;
    in.lastPaintSize = box;
    in.stretchMode = m;
    return in;
}

TEST(PGDecidePaint, NeededPerDepthFormatStretchAndPaletteRules) {
    const QSize fitted(50, 40);
    struct Case {
        const char* what;
        TPGPaintInputs in;
        bool needed;
    } cases[] = {
        {"24-bit screen, fast: never", Picture(24, 24, pTrueColor, smFast, fitted), false},
        {"24-bit screen, precise, same size", Picture(24, 24, pTrueColor, smPrecise), false},
        {"24-bit screen, precise, stretched", Picture(24, 24, pTrueColor, smPrecise, fitted), true},
        {"24-bit screen, medium, palette picture", Picture(24, 8, pUnknown, smMedium, fitted),
         true},
        {"16-bit screen, palette picture", Picture(16, 8, pUnknown), false},
        {"8-bit screen, 24-bit picture", Picture(8, 24, pTrueColor), true},
        {"8-bit screen, palette picture, optimised wanted", Picture(8, 8, pUnknown), true},
        {"8-bit screen, 4-bit picture", Picture(8, 4, pSys16), true},
        {"4-bit screen, 24-bit picture", Picture(4, 24, pTrueColor), true},
        {"4-bit screen, system colours already", Picture(4, 4, pSys16), false},
        {"4-bit screen, other 16 colours", Picture(4, 4, pGray16), true},
        {"4-bit screen, 8-bit system colours", Picture(4, 8, pSys16), true},
        {"1-bit screen, black and white", Picture(1, 1, pBlackWhite), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PGDecidePaint(c.in).needed, c.needed);
    }
    TPGPaintInputs none;
    none.D = 1;
    EXPECT_FALSE(PGDecidePaint(none).needed);
}

TEST(PGDecidePaint, PaletteRuleFollowsTheWantedPaletteAndReduceOnLoad) {
    struct Case {
        TPaletteIdent ident, wanted;
        bool reduce, stale, needed;
    } cases[] = {
        {pSpecial252, pSpecial252, false, false, false},
        {pGray256, pSpecial252, false, false, true},
        {pGray256, pSource, false, false, false},
        {pUnknown, pOptimized252Sys16, true, false, false},
        {pUnknown, pOptimized252Sys16, true, true, true},
        {pUnknown, pOptimized252Sys16, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.ident) << " " << int(c.wanted) << " " << c.reduce << c.stale);
        TPGPaintInputs in = Picture(8, 8, c.ident);
        in.palette8BitSys8BitGraphic = c.wanted;
        in.reduceOnLoad = c.reduce;
        in.paintStale = c.stale;
        EXPECT_EQ(PGDecidePaint(in).needed, c.needed);
    }
    // On a 16-colour screen only pSys16 passes, and ReduceOnLoad keeps what
    // it reduced.
    TPGPaintInputs in = Picture(4, 4, pUnknown);
    in.reduceOnLoad = true;
    EXPECT_FALSE(PGDecidePaint(in).needed);
    in.paintStale = true;
    EXPECT_TRUE(PGDecidePaint(in).needed);
}

TEST(PGDecidePaint, ResizingMarksStaleUnlessReducingOnLoad) {
    TPGPaintInputs in = Picture(24, 24, pTrueColor, smPrecise, QSize(50, 40));
    in.lastPaintSize = QSize(60, 48);
    in.hasPaintPicture = true;
    TPGPaintDecision d = PGDecidePaint(in);
    EXPECT_TRUE(d.stale && d.dropPaint && d.start);
    in.reduceOnLoad = true;
    d = PGDecidePaint(in);
    EXPECT_FALSE(d.stale || d.dropPaint || d.start);
}

TEST(PGDecidePaint, KeepsStartsOrDrawsThePicture) {
    struct Case {
        const char* what;
        bool hasPaint, stale, keepOld, useThread, inFlight, failed;
        bool drop, start, drawPicture;
    } cases[] = {
        {"fresh paint picture is reused", true, false, false, true, false, false, false, false,
         false},
        {"stale one goes and a new one starts", true, true, false, true, false, false, true, true,
         false},
        {"kept until the new one arrives", true, true, true, true, false, false, false, true,
         false},
        {"kept only with a thread", true, true, true, false, false, false, true, true, false},
        {"a job in flight is waited for", false, false, false, true, true, false, false, false,
         false},
        {"a finished job without result starts again", false, false, false, true, false, false,
         false, true, false},
        {"a failed job draws the picture", false, false, false, true, false, true, false, false,
         true},
        {"until stale", false, true, false, true, false, true, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPGPaintInputs in = Picture(8, 24, pTrueColor);
        in.hasPaintPicture = c.hasPaint;
        in.paintStale = c.stale;
        in.keepOld = c.keepOld;
        in.useThread = c.useThread;
        in.jobInFlight = c.inFlight;
        in.jobFailed = c.failed;
        const TPGPaintDecision d = PGDecidePaint(in);
        EXPECT_TRUE(d.needed);
        EXPECT_EQ(d.dropPaint, c.drop);
        EXPECT_EQ(d.start, c.start);
        EXPECT_EQ(d.drawPicture, c.drawPicture);
        EXPECT_FALSE(d.stale && !c.stale);
    }
    // No longer needed: the paint picture goes.
    TPGPaintInputs in = Picture(24, 24, pTrueColor);
    in.hasPaintPicture = true;
    const TPGPaintDecision d = PGDecidePaint(in);
    EXPECT_TRUE(d.dropPaint && d.drawPicture && !d.start);
}

TEST(PGPlanPaint, FormatPaletteSizeAndSteps) {
    const QSize pic(100, 80), box(50, 40);
    struct Case {
        const char* what;
        int D, G;
        TStretchMode m;
        bool allow24;
        TPaletteIdent p24, p8;
        bool preStretch;
        TPGPixelFormat format;
        TPaletteIdent install;
        bool optimise, copy;
        QSize size;
        int total;
    } cases[] = {
        {"4-bit screen", 4, 24, smFast, false, pOptimized252Sys16, pOptimized252Sys16, false,
         pg4Bit, pSys16, false, false, pic, 1},
        {"1-bit screen", 1, 8, smPrecise, false, pOptimized252Sys16, pOptimized252Sys16, false,
         pg4Bit, pSys16, false, false, box, 1},
        {"16-bit screen", 16, 24, smPrecise, true, pOptimized252Sys16, pOptimized252Sys16, false,
         pg24Bit, pNone, false, false, box, 1},
        {"8-bit, 24-bit picture optimised", 8, 24, smFast, false, pOptimized252Sys16,
         pOptimized252Sys16, false, pg8Bit, pNone, true, false, pic, 2},
        {"8-bit, 24-bit picture fixed palette", 8, 24, smFast, false, pSpecial252, pSource, false,
         pg8Bit, pSpecial252, false, false, pic, 1},
        {"8-bit, palette picture fixed", 8, 8, smFast, false, pOptimized252Sys16, pGray256, false,
         pg8Bit, pGray256, false, false, pic, 1},
        {"8-bit, palette picture optimised", 8, 4, smFast, false, pSpecial252, pOptimized252Sys16,
         false, pg8Bit, pNone, true, false, pic, 2},
        {"8-bit, palette picture's own", 8, 8, smMedium, false, pSpecial252, pSource, false, pg8Bit,
         pNone, false, true, box, 1},
        {"8-bit, stretched in 24 bits first", 8, 8, smPrecise, true, pOptimized252Sys16, pSource,
         true, pg8Bit, pNone, true, false, box, 3},
        {"no pre-stretch without resampling", 8, 24, smFast, true, pOptimized252Sys16,
         pOptimized252Sys16, false, pg8Bit, pNone, true, false, pic, 2},
        {"no pre-stretch for a fixed palette", 8, 24, smPrecise, true, pGray256, pSource, false,
         pg8Bit, pGray256, false, false, box, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPGPlanInputs in;
        in.D = c.D;
        in.G = c.G;
        in.pictureSize = pic;
        in.boxSize = box;
        in.stretchMode = c.m;
        in.allow24BitStretch = c.allow24;
        in.palette8BitSys24BitGraphic = c.p24;
        in.palette8BitSys8BitGraphic = c.p8;
        const TPGPaintPlan p = PGPlanPaint(in);
        EXPECT_EQ(p.preStretch, c.preStretch);
        if (p.preStretch) {
            EXPECT_EQ(p.intermediateSize, box);
        }
        EXPECT_EQ(p.format, c.format);
        EXPECT_EQ(p.install, c.install);
        EXPECT_EQ(p.optimise, c.optimise);
        EXPECT_EQ(p.copySourcePalette, c.copy);
        EXPECT_EQ(p.size, c.size);
        EXPECT_EQ(p.total, c.total);
    }
}

TEST(PGPaintRules, PaletteRangesAndProgressPercent) {
    EXPECT_TRUE(PGValidPalette8BitSys24BitGraphic(pOptimized252Sys16));
    EXPECT_FALSE(PGValidPalette8BitSys24BitGraphic(pSource));
    EXPECT_FALSE(PGValidPalette8BitSys24BitGraphic(pUnknown));
    EXPECT_TRUE(PGValidPalette8BitSys8BitGraphic(pSource));
    EXPECT_FALSE(PGValidPalette8BitSys8BitGraphic(pTrueColor));
    EXPECT_EQ(PGProgressPercent(0, 0), 100);
    EXPECT_EQ(PGProgressPercent(1, 3), 33);
    EXPECT_EQ(PGProgressPercent(3, 3), 100);
}

} // namespace
