// Contact sheets built from real files: sizes, positions, shadow rings,
// tiling against ImageMagick, failures that leave the rest intact.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "thumbs/sheet.h"
#include "thumbs/thumbmaker.h"
#include "thumbtest_util.h"

namespace {
const TRGB kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kGreen = RGB(0, 160, 0);

class Sheet : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Solid(const QString& name, int w, int h, TRGB c = kGreen) {
        TPixelGraphic p;
        p.SetFormat(w, h, pg24Bit);
        p.SetBackgroundColor(c);
        p.Clear();
        p.SaveToFile(dir.filePath(name).toStdString());
        return dir.filePath(name);
    }
    TSheetOptions Plain() const {
        TSheetOptions o;
        o.autoSharpen = false;
        o.includeFilenames = false;
        return o;
    }
};
} // namespace

TEST_F(Sheet, SizeAndCellPositions) {
    QStringList files;
    files << Solid("wide.bmp", 200, 100) << Solid("tall.bmp", 100, 200)
          << Solid("small.bmp", 40, 40);
    for (int i = 0; i < 4; ++i)
        files << Solid(QString("f%1.bmp").arg(i), 50, 50);
    TSheetOptions o = Plain();
    o.addShadow = false;
    QString sizeText;
    TSheetEvents ev;
    ev.size = [&](int64_t W, int64_t H) { sizeText = SheetSizeText(W, H); };
    auto s = BuildSheet(files, o, ev);
    EXPECT_EQ(s->GetWidth(), 716);
    EXPECT_EQ(s->GetHeight(), 282);
    EXPECT_EQ(sizeText, "ThumbTav size : 716 X 282");
    // 200 x 100 -> 96 x 48 resting on the cell's bottom: border at (X0, Y0 + 48).
    EXPECT_EQ(s->GetPixel(20, 20 + 47), int(kWhite));
    EXPECT_EQ(s->GetPixel(20, 20 + 48), int(kRed));
    EXPECT_EQ(s->GetPixel(21, 20 + 49), int(kGreen));
    // 100 x 200 -> 48 x 96 at X0 + 24 of the second cell.
    const int x1 = 96 + 20 + 20;
    EXPECT_EQ(s->GetPixel(x1 + 23, 20), int(kWhite));
    EXPECT_EQ(s->GetPixel(x1 + 24, 20), int(kRed));
    // 40 x 40 is enlarged to the whole cell.
    const int x2 = 2 * (96 + 20) + 20;
    EXPECT_EQ(s->GetPixel(x2, 20), int(kRed));
    EXPECT_EQ(s->GetPixel(x2 + 95, 20 + 95), int(kRed));
    EXPECT_EQ(s->GetPixel(x2 + 50, 20 + 50), int(kGreen));

    // A title moves the rows down by its height and adds it to the sheet.
    o.includeTitle = true;
    const int TH = SheetLayoutFor(o).TH;
    EXPECT_GT(TH, 24);
    auto t = BuildSheet(files, o);
    EXPECT_EQ(t->GetHeight(), 282 + TH);
    EXPECT_EQ(t->GetPixel(20, TH + 20 + 48), int(kRed));
}

TEST_F(Sheet, ShadowRingsOnWhite) {
    TSheetOptions o = Plain();
    o.addBorder = false;
    auto s = BuildSheet({Solid("a.bmp", 96, 96)}, o);
    // The thumbnail fills cell 0 at (20, 20); ring e lies at row 116 + e.
    for (int e = 0; e <= 5; ++e) {
        const int v = 127 + 21 * e;
        EXPECT_EQ(s->GetPixel(30, 116 + e), int(RGB(v, v, v))) << e;
        EXPECT_EQ(s->GetPixel(116 + e, 40), int(RGB(v, v, v))) << e;
        // Ring e runs from column x + 6 to x + w + e.
        EXPECT_EQ(s->GetPixel(25, 116 + e), int(kWhite)) << e;
        EXPECT_EQ(s->GetPixel(116 + e + 1, 116 + e),
                  e < 5 ? int(RGB(127 + 21 * (e + 1), 127 + 21 * (e + 1), 127 + 21 * (e + 1)))
                        : int(kWhite))
            << e;
    }
    EXPECT_EQ(s->GetPixel(30, 122), int(kWhite));
}

TEST_F(Sheet, TilingMatchesImageMagick) {
    // A 7 x 5 tile of distinct colours.
    TPixelGraphic tile;
    tile.SetFormat(7, 5, pg24Bit);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            tile.SetPixel(x, y, RGB(30 * x, 50 * y, 200 - 20 * x));
    tile.SaveToFile(dir.filePath("bg.png").toStdString());
    TPixelGraphic sheet;
    sheet.SetFormat(103, 41, pg24Bit);
    TileOver(sheet, tile);
    ASSERT_EQ(QProcess::execute("convert", {"-size", "103x41", "tile:" + dir.filePath("bg.png"),
                                            "-depth", "8", dir.filePath("ref.ppm")}),
              0);
    TPixelGraphic ref;
    ref.LoadFromFile(dir.filePath("ref.ppm").toStdString());
    EXPECT_EQ(Psnr(sheet, ref), INFINITY);
}

TEST_F(Sheet, FailuresAreReportedAndTheRestStays) {
    QStringList messages;
    TSheetOptions o = Plain();
    o.backgroundColor = RGB(10, 20, 30);
    o.useBackgroundImage = true;
    o.backgroundImage = dir.filePath("empty.png");
    QFile(o.backgroundImage).open(QIODevice::WriteOnly); // zero bytes
    QFile(dir.filePath("broken.jpg")).open(QIODevice::WriteOnly);
    TSheetEvents ev;
    ev.error = [&](const QString& m) { messages << m; };
    auto s = BuildSheet({dir.filePath("broken.jpg"), Solid("ok.bmp", 50, 50)}, o, ev);
    EXPECT_EQ(messages, (QStringList{"Could not load Background Image file " + o.backgroundImage,
                                     "Error loading file " + dir.filePath("broken.jpg")}));
    EXPECT_EQ(s->GetPixel(0, 0), int(RGB(10, 20, 30)));
    // The second file still has its cell.
    EXPECT_EQ(s->GetPixel(96 + 20 + 20, 20), int(kRed));

    EXPECT_THROW(BuildSheet({}, o), EThumbnail);
    // 10,000 pictures at 900: past the picture's cap, refused before allocating.
    o.size = 900;
    o.cols = 2;
    QStringList many;
    for (int i = 0; i < 10000; ++i)
        many << "x";
    EXPECT_THROW(BuildSheet(many, o), EPixelGraphic);
}

TEST_F(Sheet, LongTitleAndSavingOverASource) {
    TSheetOptions o = Plain();
    o.includeTitle = true;
    o.titleText = QString(200, 'W');
    const QString a = Solid("a.bmp", 50, 50);
    auto s = BuildSheet({a}, o);
    // "Text Too Long" starts at the left edge instead of the centred title.
    bool redNearLeft = false, redFarRight = false;
    for (int y = 20; y < 20 + SheetLayoutFor(o).TH; ++y) {
        for (int x = 0; x < 12; ++x)
            redNearLeft |= GetRValue(s->GetPixel(x, y)) > 200 && GetGValue(s->GetPixel(x, y)) < 100;
        for (int x = 300; x < s->GetWidth(); ++x)
            redFarRight |= GetGValue(s->GetPixel(x, y)) < 100;
    }
    EXPECT_TRUE(redNearLeft);
    EXPECT_FALSE(redFarRight);

    QFile f(a);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    EXPECT_THROW(SaveSheet(*s, a, {a}), EThumbnail);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    SaveSheet(*s, dir.filePath("sheet.png"), {a});
    EXPECT_TRUE(QFile::exists(dir.filePath("sheet.png")));
}

TEST_F(Sheet, SharpenAndBevelReachTheThumbnails) {
    // A 96 x 96 picture with a hard edge: sharpening overshoots beside it;
    // a uniform one keeps its colour inside (sharpen keeps flat areas).
    TPixelGraphic edge;
    edge.SetFormat(96, 96, pg24Bit);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            edge.SetPixelColor(x, y, x < 48 ? RGB(60, 60, 60) : RGB(180, 180, 180));
    edge.SaveToFile(dir.filePath("edge.bmp").toStdString());
    const QStringList files{dir.filePath("edge.bmp")};
    TSheetOptions o = Plain();
    o.addShadow = false;
    o.addBorder = false;
    TSheetEvents ev;
    auto plain = BuildSheet(files, o, ev);
    o.autoSharpen = true;
    o.sharpenFactor = 100;
    auto sharp = BuildSheet(files, o, ev);
    const int x0 = 20, y0 = 20;
    EXPECT_EQ(plain->GetPixelColor(x0 + 46, y0 + 40), RGB(60, 60, 60));
    EXPECT_LT(GetRValue(sharp->GetPixelColor(x0 + 47, y0 + 40)), 60);  // darker beside the edge
    EXPECT_GT(GetRValue(sharp->GetPixelColor(x0 + 48, y0 + 40)), 180); // lighter beside it
    EXPECT_EQ(sharp->GetPixelColor(x0 + 10, y0 + 40), RGB(60, 60, 60));

    o.autoSharpen = false;
    o.bevel = true;
    auto bevel = BuildSheet({Solid("grey.bmp", 96, 96, RGB(100, 100, 100))}, o, ev);
    // The top ring is lightened (x 1.55), the bottom one darkened (x 0.7).
    EXPECT_EQ(bevel->GetPixelColor(x0 + 48, y0), RGB(155, 155, 155));
    EXPECT_EQ(bevel->GetPixelColor(x0 + 48, y0 + 95), RGB(70, 70, 70));
}
