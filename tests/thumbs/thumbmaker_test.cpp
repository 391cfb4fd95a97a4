// Making one thumbnail: shrink-on-load, placement in the square, files that
// cannot be read.

#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/sample_files.h"
#include "thumbs/thumbmaker.h"
#include "thumbtest_util.h"

using namespace samples;

TEST(JpegShrink, DenominatorKeepsBothSidesAtLeastTheHint) {
    struct Case {
        int w, h, hint, want;
    } cases[] = {
        {4000, 3000, 96, 8},   {4000, 3000, 512, 4}, {4000, 3000, 1000, 2},
        {4000, 3000, 1600, 1}, {100, 100, 64, 1},    {1000, 1, 64, 1},
        {1001, 1001, 126, 8},  {1001, 1001, 127, 4}, {4000, 3000, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JpegShrinkDenom(c.w, c.h, c.hint), c.want) << c.w << "x" << c.h << " " << c.hint;
}

class ThumbMaker : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const QString& n) const { return dir.filePath(n); }
};

TEST_F(ThumbMaker, ShrinkOnLoadKeepsGeometryAndLooksTheSame) {
    WritePhotoJpeg(Path("photo.jpg"), 1203, 901);
    for (int S : {64, 96, 128}) {
        TThumbOptions full;
        full.size = S;
        full.fast = false;
        TThumbOptions hinted = full;
        hinted.loadHint = 2 * S;

        TPixelGraphic src;
        int w = 0, h = 0;
        LoadThumbSource(Path("photo.jpg").toStdString(), hinted, src, w, h);
        EXPECT_LT(src.GetWidth(), 1203) << "the decoder shrank nothing at " << S;
        EXPECT_EQ(w, 1203);
        EXPECT_EQ(h, 901);

        TPixelGraphic a, b;
        ASSERT_TRUE(MakeThumbnail(Path("photo.jpg").toStdString(), full, a));
        ASSERT_TRUE(MakeThumbnail(Path("photo.jpg").toStdString(), hinted, b));
        const TThumbPlace p = ThumbPlace(1203, 901, S);
        ASSERT_EQ(a.GetWidth(), S);
        ASSERT_EQ(b.GetHeight(), S);
        EXPECT_GE(Psnr(a, b), 35.0) << "at " << S;
        // Everything outside the placed picture is the background, exactly.
        for (int y = p.height; y < S; ++y)
            for (int x = 0; x < S; x += 7)
                ASSERT_EQ(b.GetPixel(x, y), kThumbBackground);
    }
}

TEST_F(ThumbMaker, SmallPictureSitsCentredAtTheTop) {
    SaveQuad(Path("small.png"), 40, 30);
    TPixelGraphic sq;
    ASSERT_TRUE(MakeThumbnail(Path("small.png").toStdString(), TThumbOptions{}, sq));
    EXPECT_EQ(sq.GetPixel(11, 0), kThumbBackground);
    EXPECT_EQ(sq.GetPixel(12, 0), kQuad[0]);
    EXPECT_EQ(sq.GetPixel(51, 29), kQuad[3]);
    EXPECT_EQ(sq.GetPixel(52, 29), kThumbBackground);
    EXPECT_EQ(sq.GetPixel(12, 30), kThumbBackground);
}

TEST_F(ThumbMaker, UnreadableFilesGetTheQuestionMark) {
    WriteBytes(Path("broken.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 3});
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0600), 0);
    for (const char* name : {"broken.jpg", "pipe.jpg", "missing.jpg"}) {
        TPixelGraphic sq;
        // A FIFO must fail at once, not wait for a writer.
        EXPECT_FALSE(MakeThumbnail(Path(name).toStdString(), TThumbOptions{}, sq)) << name;
        ASSERT_EQ(sq.GetWidth(), 64);
        // The 80 x 80 question mark is scaled to 64 and fills the square.
        EXPECT_NE(sq.GetPixel(32, 63), kThumbBackground) << name;
    }
    TPixelGraphic q;
    QuestionMarkPicture(q);
    EXPECT_EQ(q.GetWidth(), 80);
    EXPECT_EQ(q.GetHeight(), 80);
    EXPECT_EQ(q.BitsPerPixel(), 8);
}

TEST_F(ThumbMaker, IconsOfTodayShowAsThePreviewShowsThem) {
    // A PNG-compressed icon image: the library's icon reader refuses it, the
    // preview shows it; the thumbnail must show it too, not a question mark.
    const std::string png = Path("red.png").toStdString(), ico = Path("red.ico").toStdString();
    ASSERT_EQ(std::system(("convert -size 48x48 xc:'#ff0000' " + png).c_str()), 0);
    ASSERT_EQ(std::system(("icotool -c -o " + ico + " -r " + png).c_str()), 0);
    TPixelGraphic sq;
    EXPECT_TRUE(MakeThumbnail(ico, TThumbOptions{}, sq));
    EXPECT_EQ(sq.GetPixel(32, 20), RGB(255, 0, 0));
}

// Thumbnails are sRGB: red numbers under a profile that swaps red and green
// make a green thumbnail; the same numbers untagged stay red.
TEST_F(ThumbMaker, TaggedPictureMakesAnSRGBThumbnail) {
    const QString plain = Path("plain.jpg"), tagged = Path("tagged.jpg");
    const std::string cmd = "convert -size 64x48 xc:'rgb(230,30,20)' -quality 95 '" +
                            plain.toStdString() + "' && cp '" + plain.toStdString() + "' '" +
                            tagged.toStdString() +
                            "' && exiftool -q -overwrite_original "
                            "'-icc_profile<=/usr/share/color/icc/colord/SwappedRedAndGreen.icc' '" +
                            tagged.toStdString() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    TThumbOptions o;
    o.size = 32;
    TPixelGraphic a, b;
    ASSERT_TRUE(MakeThumbnail(plain.toStdString(), o, a));
    ASSERT_TRUE(MakeThumbnail(tagged.toStdString(), o, b));
    const TRGB red = a.GetPixelColor(16, 16), green = b.GetPixelColor(16, 16);
    EXPECT_GT(GetRValue(red), 200);
    EXPECT_LT(GetGValue(red), 60);
    EXPECT_GT(GetGValue(green), 180);
    EXPECT_LT(GetRValue(green), 80);
}
