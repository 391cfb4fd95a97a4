// The image view control as a widget: arrangement, painting (grabbed pixels),
// events, loading and ownership.

#include <QDir>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/qt/canvas.h"
#include "formats/qt/clipboard.h"
#include "formats/library.h"
#include "support/test_pictures.h"
#include "view/pgimage.h"

namespace {

std::unique_ptr<TPGImage> MakeView(int w, int h) {
    auto v = std::make_unique<TPGImage>();
    v->SetBorderStyle(bsNone);
    v->resize(w, h);
    return v;
}

int BarExtent(const TPGImage& v) {
    return v.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &v);
}

TEST(TPGImage, FitsAndCentresPerStretchRule) {
    struct Case {
        int w, h;
        TStretch s;
        bool center;
        long double zoom;
        QRect box;
        long double Z;
    } cases[] = {
        {400, 200, sAlwaysKAR, false, 1, QRect(0, 0, 300, 150), 0.75L},
        {400, 200, sAlwaysKAR, true, 1, QRect(0, 75, 300, 150), 0.75L},
        {200, 400, sAlwaysKAR, true, 1, QRect(75, 0, 150, 300), 0.75L},
        {120, 60, sZoomKAR, true, 0, QRect(90, 120, 120, 60), 1},
        {120, 60, sZoomKAR, false, 2, QRect(0, 0, 240, 120), 2},
        {100, 50, sNeverKAR, false, 1, QRect(0, 0, 100, 50), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " stretch " << int(c.s));
        auto v = MakeView(300, 300);
        v->SetStretch(c.s);
        v->SetCenter(c.center);
        v->SetZoomFactor(c.zoom);
        v->TakePixelGraphic(MakeTestPicture(pg24Bit, c.w, c.h));
        EXPECT_EQ(v->PicBox()->geometry(), c.box);
        EXPECT_NEAR(double(v->EffectiveZoom()), double(c.Z), 1e-12);
        EXPECT_EQ(v->ImageWidth(), c.w);
    }
}

TEST(TPGImage, ShrinkNarrowsOnlyAndReportsTheZoomChange) {
    auto v = MakeView(300, 300);
    int zoomChanges = 0;
    v->OnZoomFactorChange = [&](TObject*) { ++zoomChanges; };
    v->SetStretch(sShrink);
    v->TakePixelGraphic(MakeTestPicture(pg8Bit, 500, 100));
    EXPECT_EQ(v->PicBox()->size(), QSize(300, 100));
    EXPECT_EQ(v->EffectiveZoom(), -1.0L);
    EXPECT_EQ(zoomChanges, 1);
    EXPECT_EQ(v->BoxToImageX(150), 250);
    EXPECT_EQ(v->ImageToBoxX(250), 150);
    EXPECT_EQ(v->ImageToBoxY(99), 99);
}

TEST(TPGImage, LargerThanTheControlScrolls) {
    auto v = MakeView(200, 150);
    v->show();
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 500, 400));
    EXPECT_EQ(v->PicBox()->geometry(), QRect(0, 0, 500, 400));
    EXPECT_EQ(v->horizontalScrollBar()->maximum(), 500 - (200 - BarExtent(*v)));
    EXPECT_EQ(v->verticalScrollBar()->maximum(), 400 - (150 - BarExtent(*v)));
    // The arithmetic's client area is the one the scroll area really leaves.
    EXPECT_EQ(v->viewport()->size(), QSize(200 - BarExtent(*v), 150 - BarExtent(*v)));
    v->horizontalScrollBar()->setValue(120);
    v->verticalScrollBar()->setValue(30);
    EXPECT_EQ(v->PicBox()->pos(), QPoint(-120, -30));
}

TEST(TPGImage, CentredLargePictureOpensScrolledToItsMiddle) {
    auto v = MakeView(200, 150);
    v->SetCenter(true);
    v->show();
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 500, 100));
    const int bar = BarExtent(*v);
    // Only a horizontal bar: the picture is centred down the rest.
    EXPECT_EQ(v->horizontalScrollBar()->value(), (500 - 200) / 2);
    EXPECT_EQ(v->PicBox()->geometry(), QRect(-150, (150 - bar - 100) / 2, 500, 100));
    // Scrolling away and re-arranging with force comes back to the middle.
    v->horizontalScrollBar()->setValue(0);
    v->Rearrange(false);
    EXPECT_EQ(v->horizontalScrollBar()->value(), 0);
    v->Rearrange(true);
    EXPECT_EQ(v->horizontalScrollBar()->value(), 150);
}

TEST(TPGImage, AutoSizeCountsTheScrollBarItNeeds) {
    auto v = MakeView(50, 50);
    QSize reported;
    v->OnNewAutoSize = [&](TObject*, int w, int h) { reported = QSize(w, h); };
    v->SetAutoSizeMaxWidth(100);
    v->SetAutoSize(true);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 300, 50));
    EXPECT_EQ(v->size(), QSize(100, 50 + BarExtent(*v)));
    EXPECT_EQ(reported, v->size());
}

// Grabs the control's client area.
QImage Grab(TPGImage& v) {
    v.show();
    return v.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(TPGImage, PaintsEachFormatFlippedWithTheControlColourAround) {
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit})
        for (int flips = 0; flips < 4; ++flips) {
            SCOPED_TRACE(testing::Message() << "format " << int(f) << " flips " << flips);
            auto v = MakeView(20, 12);
            v->SetColor(QColor(1, 2, 3));
            v->SetFlipHorizontal(flips & 1);
            v->SetFlipVertical(flips & 2);
            auto pg = MakeTestPicture(f, 7, 5);
            const TPixelGraphic& ref = *pg;
            v->TakePixelGraphic(std::move(pg));
            const QImage img = Grab(*v);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 20; ++x) {
                    const bool in = x < 7 && y < 5;
                    const int px = flips & 1 ? 6 - x : x, py = flips & 2 ? 4 - y : y;
                    const QRgb want = in ? ShownColor(ref, px, py) : qRgb(1, 2, 3);
                    ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
                }
        }
}

TEST(TPGImage, MirrorTilingMakesNeighboursMirrorImages) {
    for (TTiling t : {tRepeat, tMirrorHorizontal, tMirrorVertical, tMirror}) {
        SCOPED_TRACE(int(t));
        auto v = MakeView(31, 23);
        v->SetCenter(true);
        v->SetTiling(t);
        auto pg = MakeTestPicture(pg4Bit, 5, 3);
        const TPixelGraphic& ref = *pg;
        v->TakePixelGraphic(std::move(pg));
        const QPoint origin = v->PicBox()->pos(); // (13, 10)
        ASSERT_EQ(origin, QPoint(13, 10));
        const QImage img = Grab(*v);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 31; ++x) {
                const int dx = x - origin.x(), dy = y - origin.y();
                const int i = dx >= 0 ? dx / 5 : -((4 - dx) / 5);
                const int j = dy >= 0 ? dy / 3 : -((2 - dy) / 3);
                int px = dx - 5 * i, py = dy - 3 * j;
                if (i % 2 != 0 && (t == tMirrorHorizontal || t == tMirror)) px = 4 - px;
                if (j % 2 != 0 && (t == tMirrorVertical || t == tMirror)) py = 2 - py;
                ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, ShownColor(ref, px, py) & 0xFFFFFF)
                    << x << "," << y;
            }
    }
}

TEST(TPGImage, ZeroHeightPaintBoxTilesNothing) {
    auto v = MakeView(60, 60);
    v->SetColor(QColor(9, 9, 9));
    v->SetStretch(sAlwaysKAR);
    v->SetTiling(tMirror);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 10000, 1));
    EXPECT_EQ(v->PicBox()->height(), 0);
    const QImage img = Grab(*v);
    EXPECT_EQ(img.pixel(30, 30) & 0xFFFFFF, qRgb(9, 9, 9) & 0xFFFFFF);
}

TEST(TPGImage, EmptyControlDrawsTheFrameOnly) {
    auto v = MakeView(40, 40);
    v->SetColor(Qt::black);
    EXPECT_TRUE(v->IsEmpty());
    EXPECT_EQ(v->PicBox()->size(), QSize(0, 0));
    const QImage img = Grab(*v);
    EXPECT_EQ(img.pixel(20, 20) & 0xFFFFFF, 0u);
    TPGImage plain;
    EXPECT_EQ(plain.size(), QSize(100, 100));
    EXPECT_THROW(plain.SaveToFile("/tmp/never.bmp"), EPGEmpty);
}

TEST(TPGImage, PictureChangesFollowAndOwnershipIsClear) {
    auto v = MakeView(100, 100);
    int changes = 0;
    v->OnPixelGraphicChange = [&](TObject*) { ++changes; };
    auto source = MakeTestPicture(pg8Bit, 10, 10);
    v->AssignPixelGraphic(source.get());
    EXPECT_NE(v->CurrentPixelGraphic(), source.get()); // a copy
    EXPECT_EQ(changes, 1);
    // Changing the shown picture runs the picture-changed sequence.
    v->PixelGraphic()->SetFormat(30, 20, pg24Bit);
    EXPECT_EQ(v->ImageWidth(), 30);
    EXPECT_EQ(v->PicBox()->size(), QSize(30, 20));
    EXPECT_GE(changes, 2);
    auto copy = v->CopyPixelGraphic();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetWidth(), 30);
    copy->SetFormat(1, 1, pg24Bit); // the copy is the caller's: the view does not follow
    EXPECT_EQ(v->ImageWidth(), 30);
    v->AssignPixelGraphic(nullptr);
    EXPECT_TRUE(v->IsEmpty());
    EXPECT_EQ(v->ImageWidth(), 0);
}

TEST(TPGImage, LoadsByIndexAndKeepsThePictureWhenALoadFails) {
    InitImageLibrary();
    QTemporaryDir dir;
    auto pg = MakeTestPicture(pg8Bit, 9, 4);
    const std::vector<uint8_t> bmp = PGBmpFileFromPicture(*pg);
    const std::string good = dir.filePath("good.bmp").toStdString();
    std::ofstream(good, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    const std::string bad = dir.filePath("bad.bmp").toStdString();
    std::ofstream(bad, std::ios::binary).write("BM garbage", 10);

    auto v = MakeView(100, 100);
    int progressStarts = 0;
    v->OnPixelGraphicProgressStart = [&](TObject*) { ++progressStarts; };
    v->SetFileName(good);
    EXPECT_EQ(v->FileName(), good);
    ASSERT_FALSE(v->IsEmpty());
    EXPECT_EQ(v->CurrentPixelGraphic()->GetPixelColor(8, 3), pg->GetPixelColor(8, 3));
    EXPECT_EQ(v->PicBox()->size(), QSize(9, 4));
    TPixelGraphic* shown = v->CurrentPixelGraphic();

    for (const std::string& name : {bad, dir.filePath("missing.bmp").toStdString()}) {
        EXPECT_ANY_THROW(v->LoadFromFile(name));
        EXPECT_EQ(v->CurrentPixelGraphic(), shown);
        EXPECT_EQ(v->FileName(), good);
        EXPECT_EQ(v->ImageWidth(), 9);
    }
    // An empty name part empties the control.
    v->LoadFromFile(dir.path().toStdString() + "/");
    EXPECT_TRUE(v->IsEmpty());
    EXPECT_EQ(v->FileName(), "");
    EXPECT_GE(progressStarts, 0);

    // Saving takes the name.
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 3, 3));
    const std::string saved = dir.filePath("saved.bmp").toStdString();
    v->SaveToFile(saved);
    EXPECT_EQ(v->FileName(), saved);
    TPGImage again;
    again.LoadFromFile(saved);
    EXPECT_EQ(again.CurrentPixelGraphic()->GetPixel(2, 2),
              v->CurrentPixelGraphic()->GetPixel(2, 2));
}

TEST(TPGImage, PaintEventsFireAroundEachPaint) {
    auto v = MakeView(50, 50);
    std::string order;
    v->OnPainting = [&](TObject*) { order += "<"; };
    v->OnPaint = [&](TObject*) { order += ">"; };
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 10, 10));
    Grab(*v);
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.substr(0, 2), "<>");
}

} // namespace

namespace {

// The view keeps display tiles between paints: every way the shown picture
// changes must reach the screen.
TEST(TPGImage, ChangesOfTheShownPictureReachTheScreen) {
    auto v = MakeView(20, 20);
    v->TakePixelGraphic(MakeTestPicture(pg8Bit, 10, 10));
    TPixelGraphic* pg = v->CurrentPixelGraphic();
    const int index = pg->GetPixel(3, 3);
    Grab(*v);
    // A palette entry changed in place.
    pg->SetPaletteEntry(index, RGB(1, 200, 3));
    EXPECT_EQ(Grab(*v).pixel(3, 3) & 0xFFFFFF, qRgb(1, 200, 3) & 0xFFFFFF);
    // Drawing through the canvas.
    PGCanvas(*pg)->Draw([](QPainter& p) { p.fillRect(5, 5, 2, 2, QColor(255, 255, 255)); });
    EXPECT_EQ(Grab(*v).pixel(6, 6) & 0xFFFFFF, ShownColor(*pg, 6, 6) & 0xFFFFFF);
    // Pixels written directly, then reported.
    pg->SetPixel(8, 1, index);
    pg->Changed();
    EXPECT_EQ(Grab(*v).pixel(8, 1) & 0xFFFFFF, qRgb(1, 200, 3) & 0xFFFFFF);
    // A flip shows the other side.
    v->SetFlipHorizontal(true);
    EXPECT_EQ(Grab(*v).pixel(1, 1) & 0xFFFFFF, qRgb(1, 200, 3) & 0xFFFFFF);
}

} // namespace

namespace {

TEST(TPicBox, ControlHandlersRunBeforeTheUsersOnDownAndAfterOnUp) {
    auto v = MakeView(50, 50);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 30, 30));
    v->show();
    std::string order;
    TPicBox* box = v->PicBox();
    box->InternalMouseDown = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
        order += "D" + std::to_string(x) + "," + std::to_string(y) + " ";
    };
    v->PicBoxOnMouseDown() = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        order += "d ";
    };
    box->InternalMouseUp = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        order += "U ";
    };
    v->PicBoxOnMouseUp() = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        order += "u ";
    };
    v->PicBoxOnClick() = [&](TObject*) { order += "c"; };
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 5));
    EXPECT_EQ(order, "D4,5 d u U c");
}

} // namespace
