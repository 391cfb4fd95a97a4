// The view control's display conversion with an injected screen depth: when
// a paint picture is made, what it looks like on screen, and how jobs end.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <thread>

#include "core/colour.h"
#include "core/palettes.h"
#include "platform/displayprofile.h"
#include "platform/screendepth.h"
#include "support/test_pictures.h"
#include "view/paintworker.h"
#include "view/pgimage.h"

namespace {

// Sets the screen depth for one test.
struct TDepth {
    explicit TDepth(int d) { SetScreenDepthOverride(d); }
    ~TDepth() { SetScreenDepthOverride(0); }
};

std::unique_ptr<TPixelGraphic> Photo(int w, int h) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pg->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = uint8_t(x * 255 / w);
            row[3 * x + 1] = uint8_t(y * 255 / h);
            row[3 * x + 2] = uint8_t(255 - (x + y) * 255 / (w + h));
        }
    }
    return pg;
}

std::unique_ptr<TPGImage> MakeView(int w, int h) {
    auto v = std::make_unique<TPGImage>();
    v->SetBorderStyle(bsNone);
    v->resize(w, h);
    return v;
}

QImage Grab(TPGImage& v) {
    v.show();
    return v.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void WaitFor(const std::function<bool()>& ready) {
    QElapsedTimer t;
    t.start();
    while (!ready() && t.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Paints and waits for the threaded job to deliver.
void PaintAndWait(TPGImage& v) {
    Grab(v);
    WaitFor([&] { return !v.PaintJobPending(); });
}

QSet<QRgb> ColorsIn(const QImage& img, const QRect& r) {
    QSet<QRgb> s;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            s.insert(img.pixel(x, y) & 0xFFFFFF);
    return s;
}

TEST(TPGImageDisplay, FullColourFastScreenNeverMakesAPaintPicture) {
    TDepth depth(24);
    auto v = MakeView(120, 90);
    v->SetStretch(sAlwaysKAR);
    v->TakePixelGraphic(Photo(400, 300));
    Grab(*v);
    EXPECT_FALSE(v->NeedsPaintPixelGraphic());
    EXPECT_FALSE(v->PaintPixelGraphic());
    EXPECT_FALSE(v->PaintJobPending());
}

TEST(TPGImageDisplay, SmoothStretchFollowsThePaintSizeAndRunsInPlaceWithoutThread) {
    TDepth depth(24);
    auto v = MakeView(120, 90);
    v->SetStretch(sAlwaysKAR);
    v->SetStretchMode(smPrecise);
    v->SetUseThread(false);
    int posted = 0;
    struct TCount : QObject {
        int* n;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == TPGPaintProgressEvent::EventType() ||
                e->type() == TPGPaintDoneEvent::EventType())
                ++*n;
            return false;
        }
    } counter;
    counter.n = &posted;
    v->installEventFilter(&counter);
    auto pg = Photo(400, 300);
    TPixelGraphic* source = pg.get();
    v->TakePixelGraphic(std::move(pg));
    const QImage shot = Grab(*v);
    // Ready when the paint that needed it ends, drawn 1:1.
    ASSERT_TRUE(v->PaintPixelGraphic());
    EXPECT_EQ(v->PaintPixelGraphic()->GetWidth(), 120);
    EXPECT_EQ(v->PaintPixelGraphic()->GetHeight(), 90);
    TPixelGraphic plain;
    plain.SetFormat(120, 90, pg24Bit);
    plain.SetStretchMode(smPrecise);
    plain.CopyFrom(*source);
    for (int y = 0; y < 90; y += 7)
        for (int x = 0; x < 120; x += 5)
            ASSERT_EQ(shot.pixel(x, y) & 0xFFFFFF, ShownColor(plain, x, y) & 0xFFFFFF);
    // A new size makes it stale and a new one is made at that size.
    v->resize(80, 60);
    Grab(*v);
    ASSERT_TRUE(v->PaintPixelGraphic());
    EXPECT_EQ(v->PaintPixelGraphic()->GetWidth(), 80);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(posted, 0);
}

TEST(TPGImageDisplay, ThreadedJobShowsTheClocksThenThePicture) {
    TDepth depth(24);
    auto v = MakeView(200, 150);
    v->SetStretch(sAlwaysKAR);
    v->SetStretchMode(smPrecise);
    v->SetPicBoxColor(QColor(0, 0, 255));
    int ready = 0;
    v->OnPaintPixelGraphicReady = [&](TObject*) { ++ready; };
    v->TakePixelGraphic(Photo(800, 600));
    const QImage first = Grab(*v);
    if (v->PaintJobPending()) {
        // Frame filled with the paint box colour while it is being made.
        EXPECT_EQ(first.pixel(20, 100) & 0xFFFFFF, 0x0000FFu);
    }
    WaitFor([&] { return ready == 1; });
    ASSERT_TRUE(v->PaintPixelGraphic());
    EXPECT_EQ(v->PaintPixelGraphic()->GetWidth(), 200);
    const QImage done = Grab(*v);
    EXPECT_NE(done.pixel(20, 100) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(ready, 1);
}

TEST(TPGImageDisplay, KeepsTheOldPaintPictureUntilTheNewOneArrives) {
    TDepth depth(24);
    auto v = MakeView(200, 150);
    v->SetStretch(sAlwaysKAR);
    v->SetStretchMode(smPrecise);
    v->SetKeepOldPaintPixelGraphic(true);
    v->TakePixelGraphic(Photo(400, 300));
    PaintAndWait(*v);
    const TPixelGraphic* old = v->PaintPixelGraphic();
    ASSERT_TRUE(old);
    v->TakePixelGraphic(Photo(1200, 900));
    Grab(*v);
    if (v->PaintJobPending()) {
        EXPECT_EQ(v->PaintPixelGraphic(), old);
    }
    WaitFor([&] { return !v->PaintJobPending(); });
    ASSERT_TRUE(v->PaintPixelGraphic());
    EXPECT_FALSE(v->PaintStale());
}

TEST(TPGImageDisplay, ReduceOnLoadReplacesThePictureOnce) {
    TDepth depth(8);
    auto v = MakeView(100, 100);
    v->SetReduceOnLoad(true);
    v->SetUseThread(false);
    int changes = 0;
    v->OnPixelGraphicChange = [&](TObject*) { ++changes; };
    v->TakePixelGraphic(Photo(64, 48));
    EXPECT_EQ(changes, 1);
    Grab(*v);
    TPixelGraphic* reduced = v->CurrentPixelGraphic();
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->PixelFormat(), pg8Bit);
    EXPECT_LE(reduced->PaletteCount(), 252);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(v->ImageWidth(), 64);
    EXPECT_FALSE(v->PaintStale());
    // Not reduced again on later paints.
    Grab(*v);
    Grab(*v);
    EXPECT_EQ(v->CurrentPixelGraphic(), reduced);
    EXPECT_EQ(changes, 2);
}

TEST(TPGImageDisplay, PaletteScreensShowOnlyTheirColours) {
    struct Case {
        int depth;
        size_t maxColors;
    } cases[] = {{4, 16}, {8, 252}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        TDepth depth(c.depth);
        for (bool thread : {false, true}) {
            auto v = MakeView(160, 120);
            v->SetUseThread(thread);
            v->TakePixelGraphic(Photo(160, 120));
            PaintAndWait(*v);
            const QImage shot = Grab(*v);
            const QSet<QRgb> colours = ColorsIn(shot, QRect(0, 0, 160, 120));
            EXPECT_LE(size_t(colours.size()), c.maxColors);
            EXPECT_GT(colours.size(), 8);
            if (c.depth == 4)
                for (QRgb q : colours) {
                    const TRGB t = RGB(qRed(q), qGreen(q), qBlue(q));
                    EXPECT_NE(std::find(Sys16Palette.begin(), Sys16Palette.end(), t),
                              Sys16Palette.end());
                }
        }
    }
}

TEST(TPGImageDisplay, PaletteScreenStretchesIn24BitsFirstWhenAllowed) {
    TDepth depth(8);
    auto v = MakeView(200, 150);
    v->SetStretch(sAlwaysKAR);
    v->SetStretchMode(smPrecise);
    v->SetAllow24BitStretch(true);
    v->SetUseThread(false);
    v->TakePixelGraphic(MakeTestPicture(pg8Bit, 400, 300));
    Grab(*v);
    const TPixelGraphic* paint = v->PaintPixelGraphic();
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->PixelFormat(), pg8Bit);
    EXPECT_EQ(paint->GetWidth(), 200);
    EXPECT_LE(paint->PaletteCount(), 252);
}

TEST(TPGImageDisplay, ADepthChangeMarksStaleAndRemakes) {
    TDepth depth(24);
    auto v = MakeView(100, 80);
    v->SetUseThread(false);
    v->TakePixelGraphic(Photo(100, 80));
    Grab(*v);
    EXPECT_FALSE(v->PaintPixelGraphic());
    SetScreenDepthOverride(4);
    EXPECT_TRUE(v->PaintStale());
    Grab(*v);
    ASSERT_TRUE(v->PaintPixelGraphic());
    EXPECT_EQ(v->PaintPixelGraphic()->PixelFormat(), pg4Bit);
    SetScreenDepthOverride(24);
    Grab(*v);
    EXPECT_FALSE(v->PaintPixelGraphic());
}

TEST(TPGImageDisplay, StaleCompletionIsDroppedUnused) {
    TDepth depth(8);
    auto v = MakeView(100, 100); // never shown: only this test starts jobs
    v->SetReduceOnLoad(true);
    v->TakePixelGraphic(Photo(64, 48));
    ASSERT_TRUE(v->NeedsPaintPixelGraphic());
    ASSERT_TRUE(v->PaintJobPending());
    // Let the job finish and post its result, then change the picture
    // before the result is taken.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto next = Photo(30, 20);
    TPixelGraphic* nextPtr = next.get();
    v->TakePixelGraphic(std::move(next));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(v->CurrentPixelGraphic(), nextPtr);
    EXPECT_EQ(v->CurrentPixelGraphic()->PixelFormat(), pg24Bit);
    EXPECT_EQ(v->ImageWidth(), 30);
}

TEST(TPGImageDisplay, DestroyedMidJobAndUseThreadChangesStop) {
    TDepth depth(24);
    {
        auto v = MakeView(300, 200);
        v->SetStretch(sAlwaysKAR);
        v->SetStretchMode(smPrecise);
        v->TakePixelGraphic(Photo(2400, 1600));
        Grab(*v);
        EXPECT_TRUE(v->PaintJobPending());
        v->SetUseThread(false);
        EXPECT_FALSE(v->PaintJobPending());
        EXPECT_TRUE(v->PaintStale());
        v->SetUseThread(true);
        Grab(*v);
        EXPECT_TRUE(v->PaintJobPending());
    } // destroyed with the job running
    QCoreApplication::sendPostedEvents();
}

TEST(TPGImageDisplay, AnUnmakeablePaintPictureDrawsThePictureWithoutRetrying) {
    TDepth depth(24);
    auto v = MakeView(100, 100);
    v->SetStretch(sZoomKAR);
    v->SetZoomFactor(1000);
    v->SetStretchMode(smPrecise);
    v->SetUseThread(false);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 40, 40)); // 40000 x 40000 paint size
    const QImage shot = Grab(*v);
    EXPECT_FALSE(v->PaintPixelGraphic());
    EXPECT_FALSE(v->PaintStale());
    EXPECT_FALSE(v->NeedsPaintPixelGraphic());
    EXPECT_EQ(shot.pixel(10, 10) & 0xFFFFFF,
              ShownColor(*v->CurrentPixelGraphic(), 0, 0) & 0xFFFFFF);
}

TEST(TPGImageDisplay, PalettePropertiesAcceptOnlyTheirRanges) {
    TPGImage v;
    EXPECT_THROW(v.SetPalette8BitSys24BitGraphic(pSource), std::out_of_range);
    EXPECT_THROW(v.SetPalette8BitSys8BitGraphic(pTrueColor), std::out_of_range);
    EXPECT_EQ(v.Palette8BitSys24BitGraphic(), pOptimized252Sys16);
    v.SetPalette8BitSys8BitGraphic(pSource);
    EXPECT_EQ(v.Palette8BitSys8BitGraphic(), pSource);
}

// A picture with a colour profile is shown for the display (sRGB here): red
// numbers under a profile that swaps red and green appear green, drawn 1:1
// from tiles or through a smoothly stretched paint picture; with colour
// management off the numbers are shown as they are. The picture keeps them.
TEST(TPGImageDisplay, TaggedPictureIsShownColourManaged) {
    TDepth depth(24);
    std::ifstream f("/usr/share/color/icc/colord/SwappedRedAndGreen.icc", std::ios::binary);
    const std::vector<uint8_t> swapped{std::istreambuf_iterator<char>(f),
                                       std::istreambuf_iterator<char>()};
    ASSERT_FALSE(swapped.empty());
    for (bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "paint picture" : "tiles");
        auto v = MakeView(120, 90);
        v->SetUseThread(false);
        if (stretched) {
            v->SetStretch(sAlwaysKAR);
            v->SetStretchMode(smPrecise);
        }
        auto pg = std::make_unique<TPixelGraphic>();
        pg->SetFormat(stretched ? 400 : 60, stretched ? 300 : 40, pg24Bit);
        for (int y = 0; y < pg->GetHeight(); ++y)
            for (int x = 0; x < pg->GetWidth(); ++x) pg->SetPixelColor(x, y, RGB(230, 30, 20));
        pg->SetICCProfile(swapped);
        v->TakePixelGraphic(std::move(pg));
        QColor c = Grab(*v).pixelColor(20, 20);
        EXPECT_GT(c.green(), 180) << c.name().toStdString();
        EXPECT_LT(c.red(), 80) << c.name().toStdString();
        EXPECT_EQ(v->CurrentPixelGraphic()->GetPixelColor(5, 5), RGB(230, 30, 20));
        EXPECT_EQ(v->CurrentPixelGraphic()->ICCProfile(), swapped);

        ColourManagement = false;
        emit TColourNotifier::Instance().ColourChanged();
        c = Grab(*v).pixelColor(20, 20);
        ColourManagement = true;
        EXPECT_EQ(c, QColor(230, 30, 20));
    }
}

} // namespace
