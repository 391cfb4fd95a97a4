// The preview's size arithmetic and the clip header parser.

#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "browser/aviheader.h"
#include "browser/previewsize.h"
#include "formats/jpeg.h"

TEST(PreviewSize, FitToPane) {
    struct Case {
        QSize content, pane, fitted;
    };
    const Case cases[] = {
        {{100, 50}, {500, 300}, {492, 246}},
        {{2000, 1000}, {500, 300}, {492, 246}},
        {{50, 200}, {500, 300}, {73, 292}},   // tall: height first, width round(292 / 4)
        {{3, 2}, {11, 300}, {3, 2}},          // 1.5 rounds to 2 (even)
        {{2, 5}, {300, 11}, {1, 3}},          // 3 * 2 / 5 = 1.2
        {{640, 480}, {400, 300}, {392, 294}}, // equal ratios take the width
        {{1, 1}, {5, 3}, {1, 1}},             // pane smaller than its margins
        {{100, 50}, {0, 0}, {1, 1}},          // collapsed pane
        {{100, 50}, {0, 300}, {1, 1}},
        {{0, 50}, {500, 300}, {}}, // nothing to fit
        {{100, 0}, {500, 300}, {}},
        {{65535, 1}, {500, 300}, {492, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitToPaneSize(c.content, c.pane), c.fitted)
            << c.content.width() << "x" << c.content.height() << " in " << c.pane.width() << "x"
            << c.pane.height();
}

TEST(PreviewSize, FirstLookReduction) {
    struct Case {
        QSize picture, fitted;
        int reduce; // the reader's hint; JpegShrinkDenom turns it into the scale
        int denom;
    };
    const Case cases[] = {
        {{6000, 4000}, {1272, 848}, 1000, 4}, // an eighth (750 x 500) is too small
        {{4000, 2400}, {492, 295}, 300, 8},
        {{4000, 2400}, {501, 295}, 600, 4},   // one pixel wider than an eighth
        {{1000, 600}, {500, 300}, 300, 2},    // exactly half
        {{1000, 600}, {501, 300}, 0, 1},      // more than half: whole at once
        {{999, 599}, {492, 295}, 300, 2},     // sides rounded up, as the reader does
        {{4000, 2400}, {}, 0, 1},
    };
    for (const Case& c : cases) {
        const int reduce = FirstLookReduce(c.picture, c.fitted);
        EXPECT_EQ(reduce, c.reduce) << c.picture.width() << " " << c.fitted.width();
        EXPECT_EQ(JpegShrinkDenom(c.picture.width(), c.picture.height(), reduce), c.denom)
            << c.picture.width() << " " << c.fitted.width();
    }
}

TEST(PreviewSize, ClipBox) {
    struct Case {
        QSize frame, pane, box;
    };
    const Case cases[] = {
        {{640, 480}, {400, 300}, {145, 109}}, // round(0.75 * 145) = 109
        {{480, 640}, {400, 300}, {109, 145}}, // tall: 145 high
        {{320, 240}, {400, 300}, {320, 240}}, // fits: its own size
        {{392, 292}, {400, 300}, {392, 292}}, // exactly fits the margins
        {{393, 100}, {400, 300}, {145, 37}},
        {{0, 0}, {400, 300}, {1, 1}},
        {{0, 0}, {0, 0}, {1, 1}},
        {{500, 0}, {400, 300}, {145, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClipBoxSize(c.frame, c.pane), c.box)
            << c.frame.width() << "x" << c.frame.height();
    EXPECT_EQ(RoundDivEven(5, 2), 2);
    EXPECT_EQ(RoundDivEven(7, 2), 4);
    EXPECT_EQ(RoundDivEven(7, 3), 2);
}

TEST(AviHeader, FrameSizeFromTheMainHeaderOnly) {
    using B = std::vector<uint8_t>;
    auto size = [](const B& b) { return AviFrameSize(std::span(b.data(), b.size())); };
    EXPECT_EQ(size(samples::AviHeaderBytes(640, 480)), QSize(640, 480));
    EXPECT_EQ(size(samples::AviHeaderBytes(0, 0)), QSize(0, 0));
    EXPECT_EQ(size(samples::AviHeaderBytes(33, 17, true)), QSize(33, 17)); // after a padded chunk

    const B good = samples::AviHeaderBytes(640, 480);
    // The width and height end at byte 72; any cut before fails.
    for (size_t n = 0; n < 72; ++n)
        EXPECT_FALSE(size(B(good.begin(), good.begin() + long(n)))) << "cut at " << n;
    struct Break {
        size_t at;
        uint8_t value;
        const char* why;
    };
    const Break breaks[] = {
        {0, 'X', "not RIFF"},
        {8, 'W', "not an AVI form"},
        {20, 'x', "no header list"},
        {28, 20, "main header too short"},
        {67, 0x01, "width beyond any clip"},
        {16, 0xFF, "list claims more than there is"},
    };
    for (const Break& b : breaks) {
        B bad = good;
        bad[b.at] = b.value;
        const auto s = size(bad);
        if (b.at == 16) {
            // A list longer than the data is walked only as far as the data goes.
            EXPECT_EQ(s, QSize(640, 480)) << b.why;
        } else {
            EXPECT_FALSE(s) << b.why;
        }
    }
    B huge = good;
    huge[66] = 0x10; // width 640 + 16 MiB
    EXPECT_FALSE(size(huge));
}

TEST(PreviewSize, MetafilePlayHint) {
    struct Case {
        QSize picture, shown;
        double ratio;
        int hint;
    };
    const Case cases[] = {
        {{12094, 15496}, {492, 630}, 1, 492},  // tall poster: the width is the shorter side
        {{15496, 12094}, {630, 492}, 1, 492},  // wide: the height
        {{15496, 12094}, {630, 492}, 2, 984},  // device pixels on a doubled screen
        {{15496, 12094}, {630, 491}, 1.5, 737}, // rounded up, never short
        {{400, 300}, {400, 300}, 1, 0},         // shown at its own size
        {{400, 300}, {300, 225}, 2, 0},         // the screen wants every pixel
        {{400, 300}, {}, 1, 0},
        {{}, {100, 100}, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MetafilePlayHint(c.picture, c.shown, c.ratio), c.hint)
            << c.picture.width() << "x" << c.picture.height() << " at " << c.shown.width() << "x"
            << c.shown.height() << " x" << c.ratio;
}
