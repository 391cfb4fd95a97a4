// Conversion to and from QImage, and printing to PDF.

#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/qt/bitmap.h"
#include "core/qt/print.h"
#include "support/test_pictures.h"

namespace {

TEST(Bitmap, RoundTripGivesBackPixelsAndPalette) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        SCOPED_TRACE(int(f));
        auto pg = MakeTestPicture(f, 13, 6);
        QImage bmp;
        AssignToBitmap(*pg, bmp);
        ASSERT_FALSE(bmp.isNull());
        EXPECT_EQ(bmp.pixel(5, 4) & 0xFFFFFF, ShownColor(*pg, 5, 4) & 0xFFFFFF);
        TPixelGraphic back;
        int changes = 0;
        back.OnChange = [&](TObject*) { ++changes; };
        AssignFromBitmap(back, bmp);
        ExpectSamePixels(*pg, back);
        EXPECT_EQ(changes, 1);
    }
}

TEST(Bitmap, ForeignImagesBecomeTheNearestPictureFormat) {
    QImage argb(3, 2, QImage::Format_ARGB32);
    argb.fill(qRgba(10, 20, 30, 255));
    QImage gray(3, 2, QImage::Format_Grayscale8);
    gray.fill(77);
    TPixelGraphic pg;
    AssignFromBitmap(pg, argb);
    EXPECT_EQ(pg.PixelFormat(), pg24Bit);
    EXPECT_EQ(pg.GetPixel(2, 1), RGB(10, 20, 30));
    AssignFromBitmap(pg, gray);
    EXPECT_EQ(pg.PixelFormat(), pg8Bit);
    EXPECT_EQ(pg.GetPixelColor(1, 1), RGB(77, 77, 77));
    AssignFromBitmap(pg, QImage());
    EXPECT_TRUE(pg.GetEmpty());
}

TEST(Print, PageRectangleFillsOneDirectionAndCentresTheOther) {
    struct Case {
        int w, h, pw, ph, ax, ay;
        QRect want;
    } cases[] = {
        {400, 200, 1000, 1000, 1, 1, QRect(0, 250, 1000, 500)}, // spans the width
        {200, 400, 1000, 1000, 1, 1, QRect(250, 0, 500, 1000)}, // spans the height
        {100, 100, 800, 1000, 1, 1, QRect(0, 100, 800, 800)},
        // Pixels twice as wide as high (ax 2 : ay 1): a square picture needs
        // half as many pixels across as down.
        {100, 100, 1000, 1000, 2, 1, QRect(250, 0, 500, 1000)},
        {300, 100, 1000, 1000, 1, 2, QRect(0, 416, 1000, 168)}, // e = Round(166.7) rows
        {3, 1, 1000, 999, 1, 1, QRect(0, 333, 1000, 333)},      // e = Round(333.33)
        {0, 10, 1000, 1000, 1, 1, QRect()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PGPrintRect(c.w, c.h, c.pw, c.ph, c.ax, c.ay), c.want)
            << c.w << "x" << c.h << " on " << c.pw << "x" << c.ph;
}

// Media box of the first page and the document title of a PDF Qt wrote.
struct PdfFacts {
    double mediaW = 0, mediaH = 0;
    QString title;
};

PdfFacts ReadPdf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(f.readAll());
    PdfFacts facts;
    const auto box = QRegularExpression(R"(/MediaBox \[\s*0 0 ([\d.]+) ([\d.]+)\s*\])").match(text);
    if (box.hasMatch())
        facts.mediaW = box.captured(1).toDouble(), facts.mediaH = box.captured(2).toDouble();
    const auto title = QRegularExpression(R"(/Title \((.*?)\))").match(text);
    // Qt writes the title as UTF-16 with a byte-order mark; ours is ASCII.
    if (title.hasMatch())
        facts.title = title.captured(1).remove(QChar(0)).remove(QChar(0xFE)).remove(QChar(0xFF));
    return facts;
}

TEST(Print, ChoosesOrientationForOblongPicturesAndRestoresIt) {
    QTemporaryDir dir;
    QPrinter& printer = PGPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Portrait);
    struct Case {
        int w, h;
        bool landscape;
    } cases[] = {{300, 100, true}, {100, 100, false}, {100, 300, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        const QString out = dir.filePath(QString("p%1x%2.pdf").arg(c.w).arg(c.h));
        printer.setOutputFileName(out);
        auto pg = MakeTestPicture(pg24Bit, c.w, c.h);
        Print(*pg, false, true);
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
        const PdfFacts facts = ReadPdf(out);
        ASSERT_GT(facts.mediaW, 0);
        EXPECT_EQ(facts.mediaW > facts.mediaH, c.landscape);
        EXPECT_EQ(facts.title.toStdString(), PGPrintTitle(*pg));
    }
    auto pg = MakeTestPicture(pg4Bit, 3, 2);
    EXPECT_EQ(PGPrintTitle(*pg),
              QGuiApplication::applicationDisplayName().toStdString() + " Graphic 3x2x16");
}

TEST(Print, CancelledDialogAndEmptyPicturePrintNothing) {
    QTemporaryDir dir;
    QPrinter& printer = PGPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("none.pdf"));
    int asked = 0;
    const TPGPrintDialogHandler saved = PGPrintDialogHandler;
    PGPrintDialogHandler = [&](QPrinter&, QWidget*) { return ++asked, false; };
    auto pg = MakeTestPicture(pg8Bit, 4, 4);
    Print(*pg, true, false);
    TPixelGraphic empty;
    Print(empty, true, false);
    PGPrintDialogHandler = saved;
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("none.pdf")));
}

} // namespace
