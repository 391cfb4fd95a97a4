// The explorer's and the sheet's arithmetic, without widgets.

#include <gtest/gtest.h>

#include "thumbs/thumbrules.h"

TEST(ThumbPlace, GeometryTable) {
    struct Case {
        int W, H, S;
        TThumbPlace want;
    } cases[] = {
        {40, 30, 64, {40, 30, 12, 0}},   // small pictures keep their size
        {200, 100, 64, {64, 32, 0, 0}},  // wide
        {100, 200, 64, {32, 64, 16, 0}}, // upright
        {64, 10, 64, {64, 10, 0, 0}},    // not small: width is not below S
        {100, 100, 64, {64, 64, 0, 0}},  // square
        {1000, 1, 64, {64, 1, 0, 0}},    // a side truncating to 0 stays 1
        {1, 1000, 96, {1, 96, 47, 0}},      {63, 63, 64, {63, 63, 0, 0}},
        {3000, 2000, 128, {128, 85, 0, 0}}, // Trunc(0.666.. x 128) = 85
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbPlace(c.W, c.H, c.S), c.want) << c.W << "x" << c.H << " at " << c.S;
}

TEST(ThumbPlace, SheetEnlargesSmallPictures) {
    EXPECT_EQ(SheetThumbSize(40, 40, 96), (TThumbPlace{96, 96, 0, 0}));
    EXPECT_EQ(SheetThumbSize(200, 100, 96), (TThumbPlace{96, 48, 0, 0}));
    EXPECT_EQ(SheetThumbSize(100, 200, 96), (TThumbPlace{48, 96, 0, 0}));
    EXPECT_EQ(SheetThumbSize(5000, 1, 96).height, 1);
}

TEST(ThumbSaveName, NamingTable) {
    struct Case {
        const char *prefix, *name, *ext, *want;
    } cases[] = {
        {"thm_", "beach.jpg", "bmp", "thm_beach.bmp"}, {"thm_", "a.b.jpg", "bmp", "thm_a.bmp"},
        {"thm_", "x.y.png", "tga", "thm_x.tga"},       {"thm_", "README", "png", "thm_README.png"},
        {"", "beach.jpg", "jpg", "beach.jpg"},         {"thm_", ".hidden.jpg", "bmp", "thm_.bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbSaveName(c.prefix, c.name, c.ext), QString(c.want)) << c.name;
}

TEST(ThumbSaveName, PrefixAndDialogTexts) {
    EXPECT_TRUE(ValidThumbPrefix("thm_"));
    EXPECT_TRUE(ValidThumbPrefix(""));
    EXPECT_FALSE(ValidThumbPrefix("../x"));
    EXPECT_FALSE(ValidThumbPrefix("sub/"));
    EXPECT_EQ(SizeFromText("128 X 128"), 128);
    EXPECT_EQ(SizeFromText("junk"), 0);
    EXPECT_EQ(ExtFromFormatText("TIF - Tagged Image File Format"), "tif");
    EXPECT_EQ(MakeProgressText(3, 25, "beach.jpg"), "3 of 25 (beach.jpg)");
    EXPECT_EQ(SaveProgressText(1, 4, "beach.jpg"), "1 of 4 : beach.jpg");
}

TEST(SheetLayout, SizesAndPositions) {
    TSheetLayout l; // 96, 6 columns, 20, 30
    EXPECT_EQ(SheetRows(7, 6), 2);
    EXPECT_EQ(SheetRows(6, 6), 1);
    EXPECT_EQ(SheetWidth(l), 716);
    EXPECT_EQ(SheetHeight(l, 2), 282);
    EXPECT_EQ(SheetSizeText(716, 282), "ThumbTav size : 716 X 282");
    // Cell 7 (second row, second column).
    const TPoint2 o = SheetCellOrigin(l, 7);
    EXPECT_EQ(o, (TPoint2{1 * (96 + 20) + 20, 20 + 1 * (96 + 30)}));
    EXPECT_EQ(SheetThumbPos(l, o, 96, 48), (TPoint2{o.x, o.y + 48}));
    EXPECT_EQ(SheetThumbPos(l, o, 48, 96), (TPoint2{o.x + 24, o.y}));
    // A title moves every row down by TH.
    TSheetLayout t = l;
    t.TH = SheetTextHeight(37);
    EXPECT_EQ(t.TH, 51);
    EXPECT_EQ(SheetCellOrigin(t, 0).y - SheetCellOrigin(l, 0).y, 51);
    // Names: narrow ones centred under the cell, wide ones from X0 - HS div 2.
    EXPECT_EQ(SheetNameLeft(l, {20, 20}, 50), 20 + 48 - 25);
    EXPECT_EQ(SheetNameLeft(l, {20, 20}, 116), 10);
    // 10,000 files at 900 pass any int.
    TSheetLayout big{900, 2, 100, 100, 0, 0};
    EXPECT_GT(SheetWidth(big) * SheetHeight(big, SheetRows(10000, 2)), int64_t(1) << 32);
}

TEST(SheetLayout, ShadowRingsAndSizeEdit) {
    EXPECT_EQ(ShadowValue(255, 0), 127);
    EXPECT_EQ(ShadowValue(255, 5), 21 * 5 + 127);
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {{"96", true}, {"30", true},  {"900", true},  {"29", false},         {"901", false},
                 {"", false},  {"9a", false}, {"-50", false}, {"99999999999", false}};
    for (const Case& c : cases)
        EXPECT_EQ(ValidSheetSizeText(c.text), c.ok) << c.text;
}

TEST(ViewImage, ClientSize) {
    const QSize avail(1280, 1000), fitted(300, 200);
    EXPECT_EQ(ViewImageClientSize({640, 480}, fitted, avail, 4), QSize(644, 484));
    EXPECT_EQ(ViewImageClientSize({640, 480}, fitted, avail, 0), QSize(640, 480));
    EXPECT_EQ(ViewImageClientSize({1280, 480}, fitted, avail, 4), QSize(304, 204));
    EXPECT_EQ(ViewImageClientSize({1279, 999}, fitted, avail, 4), QSize(1280, 1000));
}

TEST(DropFilter, Extensions) {
    for (const char* ok : {"a.jpg", "B.JPG", "x.y.png", "m.wmf", "t.Tga", "a.jpeg", "a.tiff", "p.PGM",
                           "w.webp", "h.HEIC", "j.jxl", "e.emf"})
        EXPECT_TRUE(AcceptsDroppedPicture(ok)) << ok;
    for (const char* no : {"a.txt", "noext", "a.", "a.PG", "a.jp", "webp", "a.webp.txt"})
        EXPECT_FALSE(AcceptsDroppedPicture(no)) << no;
}
