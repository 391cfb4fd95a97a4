// The canvas bridge and drawing a picture into a QPainter.

#include <QPainter>
#include <gtest/gtest.h>

#include "core/qt/canvas.h"
#include "core/qt/drawing.h"
#include "support/test_pictures.h"

namespace {

TEST(PGCanvas, DrawingIsSeenByDirectPixelAccess) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        SCOPED_TRACE(int(f));
        auto pg = MakeTestPicture(f, 9, 7);
        const TRGB before = pg->GetPixel(0, 0);
        const TRGB target = f == pg24Bit ? RGB(250, 20, 30) : TestPaletteColor(1);
        PGCanvas(*pg)->Draw([&](QPainter& p) {
            p.fillRect(2, 1, 3, 2, QColor(GetRValue(target), GetGValue(target), GetBValue(target)));
        });
        // Read directly without any other call in between: the read flushes.
        EXPECT_EQ(pg->GetPixelColor(3, 2), target);
        EXPECT_EQ(pg->GetPixel(0, 0), before); // undrawn pixels keep their index
        // Direct changes after a flush are what the next drawing starts from.
        pg->SetPixel(8, 6, pg->GetPixel(3, 2));
        PGCanvas(*pg)->Painter()->drawPoint(0, 6);
        EXPECT_EQ(pg->GetPixelColor(8, 6), target);
    }
}

TEST(PGCanvas, PaletteChangeReachesTheNextDrawing) {
    TPixelGraphic pg;
    pg.SetFormat(4, 4, pg8Bit);
    pg.SetPaletteCount(2);
    pg.SetPaletteEntry(0, RGB(0, 0, 0));
    pg.SetPaletteEntry(1, RGB(255, 255, 255));
    PGCanvas(pg)->Painter()->fillRect(0, 0, 2, 4, Qt::white);
    // Entry 1 becomes red: the pending white drawing is kept as index 1 and
    // red drawn next maps to entry 1 (against the old table it would be 0).
    pg.SetPaletteEntry(1, RGB(255, 0, 0));
    PGCanvas(pg)->Painter()->fillRect(3, 0, 1, 4, Qt::red);
    EXPECT_EQ(pg.GetPixel(0, 0), 1);
    EXPECT_EQ(pg.GetPixel(3, 3), 1);
    EXPECT_EQ(pg.GetPixel(2, 2), 0);
}

TEST(PGCanvas, DestroyingAPictureWithPendingDrawingIsSafe) {
    auto pg = MakeTestPicture(pg24Bit, 3, 3);
    PGCanvas(*pg)->Painter()->fillRect(0, 0, 3, 3, Qt::red);
    pg.reset();
    TPixelGraphic empty;
    EXPECT_EQ(PGCanvas(empty)->Painter(), nullptr);
}

struct DrawCase {
    TPGPixelFormat format;
    int scale;
    bool flipH, flipV;
};

class DrawToDCTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawToDCTest, EveryDevicePixelShowsItsPicturePixel) {
    const DrawCase c = GetParam();
    auto pg = MakeTestPicture(c.format, 7, 5);
    // Drawn straight (sampled into the device) and through a painter scale
    // (the wrapped rows drawn by Qt, as on printers): the same pixels.
    for (bool scaledPainter : {false, true}) {
        SCOPED_TRACE(scaledPainter);
        QImage dev(2 + 7 * c.scale + 3, 1 + 5 * c.scale + 2, QImage::Format_RGB32);
        dev.fill(Qt::blue);
        {
            QPainter p(&dev);
            if (scaledPainter && c.scale > 1) {
                p.translate(2, 1);
                p.scale(c.scale, c.scale);
                DrawToDC(*pg, p, QRect(0, 0, 7, 5), false, c.flipH, c.flipV);
            } else {
                DrawToDC(*pg, p, QRect(2, 1, 7 * c.scale, 5 * c.scale), false, c.flipH, c.flipV);
            }
        }
        for (int y = 0; y < dev.height(); ++y)
            for (int x = 0; x < dev.width(); ++x) {
                const int px = (x - 2) / c.scale, py = (y - 1) / c.scale;
                const bool inside = x >= 2 && y >= 1 && px < 7 && py < 5;
                const QRgb want =
                    inside ? ShownColor(*pg, c.flipH ? 6 - px : px, c.flipV ? 4 - py : py)
                           : qRgb(0, 0, 255);
                ASSERT_EQ(dev.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DrawToDCTest,
    ::testing::Values(DrawCase{pg1Bit, 1, false, false}, DrawCase{pg4Bit, 1, false, false},
                      DrawCase{pg8Bit, 1, false, false}, DrawCase{pg24Bit, 1, false, false},
                      DrawCase{pg1Bit, 3, true, false}, DrawCase{pg4Bit, 2, false, true},
                      DrawCase{pg8Bit, 2, true, true}, DrawCase{pg24Bit, 3, true, true}));

TEST(DrawToDC, ClippedDrawingOfAFourBitPictureTouchesOnlyTheClip) {
    auto pg = MakeTestPicture(pg4Bit, 301, 201);
    QImage dev(40, 30, QImage::Format_RGB32);
    dev.fill(Qt::blue);
    {
        QPainter p(&dev);
        p.setClipRect(10, 10, 5, 5);
        // The picture is drawn 1:1 with its pixel (100, 50) at the clip's corner.
        DrawToDC(*pg, p, QRect(-90, -40, 301, 201));
    }
    EXPECT_EQ(dev.pixel(10, 10) & 0xFFFFFF, ShownColor(*pg, 100, 50) & 0xFFFFFF);
    EXPECT_EQ(dev.pixel(14, 14) & 0xFFFFFF, ShownColor(*pg, 104, 54) & 0xFFFFFF);
    EXPECT_EQ(dev.pixel(9, 10) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
}

TEST(DrawToDC, EmptyPictureOrRectangleDrawsNothing) {
    TPixelGraphic empty;
    auto pg = MakeTestPicture(pg24Bit, 3, 3);
    QImage dev(8, 8, QImage::Format_RGB32);
    dev.fill(Qt::blue);
    QPainter p(&dev);
    DrawToDC(empty, p, QRect(0, 0, 8, 8));
    DrawToDC(*pg, p, QRect(0, 0, 0, 8));
    p.end();
    EXPECT_EQ(dev.pixel(0, 0) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
}

TEST(PGColorTable, ShortPaletteRepeatsEntryZeroAndEmptyIsBlack) {
    TPixelGraphic pg;
    pg.SetFormat(2, 2, pg4Bit);
    EXPECT_EQ(PGColorTable(pg), QVector<QRgb>(16, qRgb(0, 0, 0)));
    pg.SetPaletteCount(2);
    pg.SetPaletteEntry(0, RGB(1, 2, 3));
    pg.SetPaletteEntry(1, RGB(4, 5, 6));
    const QVector<QRgb> t = PGColorTable(pg);
    ASSERT_EQ(t.size(), 16);
    EXPECT_EQ(t[1], qRgb(4, 5, 6));
    EXPECT_EQ(t[15], qRgb(1, 2, 3));
}

} // namespace
