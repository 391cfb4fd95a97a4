#include "editor/editorrules.h"

#include <gtest/gtest.h>

#include "core/registry.h"
#include "formats/library.h"

namespace {

TEST(EditorRules, ZoomToolStopsAtItsLimits) {
    // From 1.0: four clicks out reach 0.2 and stop; ten in reach 3.0 and stop.
    long double z = 1.0L;
    const double out[] = {0.8, 0.6, 0.4, 0.2, 0.2, 0.2};
    for (double want : out) {
        z = ZoomToolStep(z, true);
        EXPECT_NEAR(double(z), want, 1e-9);
    }
    z = 1.0L;
    for (int i = 1; i <= 12; ++i) {
        z = ZoomToolStep(z, false);
        EXPECT_NEAR(double(z), std::min(3.0, 1.0 + 0.2 * i), 1e-9) << i;
    }
}

TEST(EditorRules, ZoomToolKeepsTheClickedPointInTheMiddle) {
    // Clicked at box x 150 at zoom 1.5: picture x 100; at 1.7 it is at 170,
    // centred in a 321-pixel client: 170 - (321 - 21) / 2 = 20.
    EXPECT_EQ(ZoomToolPicturePoint(150, 1.5L), 100);
    EXPECT_EQ(ZoomToolScroll(1.7L, 100, 321), 20);
    EXPECT_EQ(ZoomToolPicturePoint(7, 0L), 0);
}

TEST(EditorRules, DropExtensions) {
    struct Case {
        const char* path;
        bool ok;
    } const cases[] = {{"/a/b.jpg", true},  {"/a/b.JPG", true},      {"/a/b.jpeg", true},
                       {"/a/b.txt", false}, {"/a.jpg/noext", false}, {"/a/b.Png", true},
                       {"/a/b.wmf", true},  {"/a/b.jp", false},
                       {"/a/b.heic", true}, {"/a/b.ppm", true}};
    for (const Case& c : cases)
        EXPECT_EQ(IsEditableDropName(c.path), c.ok) << c.path;
}

TEST(EditorRules, DialogFiltersFromTheRegistry) {
    InitImageLibrary();
    const QString open = QtFilterFromPipes(OpenFilterString());
    const QStringList entries = open.split(";;");
    ASSERT_GE(entries.size(), 3);
    EXPECT_TRUE(entries.front().contains("*.bmp *.dib")) << entries.front().toStdString();
    EXPECT_TRUE(entries.contains("BMP - Bitmap (*.bmp)"));
    EXPECT_EQ(entries.back(), "All files (*)");
    const QString save = QtFilterFromPipes(SaveFilterString());
    EXPECT_EQ(FilterEntryForFile(save, "/x/y.PNG"), "PNG - Portable Network Graphics (*.png)");
    EXPECT_EQ(FilterEntryForFile(save, "/x/y"), "");
    EXPECT_EQ(WithDefaultExtension("/x/y", "TIF - Tagged Image File Format (*.tif)"), "/x/y.tif");
    EXPECT_EQ(WithDefaultExtension("/x/y.bmp", "TIF - Tagged Image File Format (*.tif)"),
              "/x/y.bmp");
}

TEST(EditorRules, WindowRectStaysOnTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(EditorWindowRect("50", "50", "600", "400", screen), QRect(50, 50, 600, 400));
    EXPECT_EQ(EditorWindowRect("x", "", "9e9", "-5", screen), QRect(50, 50, 600, 150));
    EXPECT_EQ(EditorWindowRect("5000", "-300", "99999", "500", screen), QRect(0, 0, 1280, 500));
}

TEST(EditorRules, CaptureFormats) {
    EXPECT_EQ(CaptureFormatForDepth(4), pg4Bit);
    EXPECT_EQ(CaptureFormatForDepth(8), pg8Bit);
    EXPECT_EQ(CaptureFormatForDepth(16), pg24Bit);
    EXPECT_EQ(CaptureFormatForDepth(32), pg24Bit);
}

} // namespace
