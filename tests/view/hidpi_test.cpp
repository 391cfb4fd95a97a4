// The view control on screens with a device pixel ratio: the PGImageAtRatio
// checks run in a child of this program per ratio.

#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "platform/screendepth.h"
#include "support/device_ratio.h"
#include "support/test_pictures.h"
#include "view/pgimage.h"

namespace {

std::unique_ptr<TPGImage> MakeView(int w, int h) {
    auto v = std::make_unique<TPGImage>();
    v->SetBorderStyle(bsNone);
    v->SetColor(QColor(0, 0, 255));
    v->SetUseThread(false);
    v->resize(w, h);
    return v;
}

QImage Grab(TPGImage& v) {
    v.show();
    return v.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb Rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

TEST(PGImageAtRatio, ScreenRatioIsTheOneAskedFor) {
    SKIP_UNLESS_RATIO_CHILD();
    auto v = MakeView(100, 100);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, 10, 10));
    EXPECT_DOUBLE_EQ(v->DeviceRatio(), ChildDeviceRatio());
    EXPECT_DOUBLE_EQ(Grab(*v).width(), std::ceil(100 * ChildDeviceRatio()));
}

// One-pixel columns at 100 %: every device pixel shows its own picture
// column, so the stripes stay one screen pixel wide; at 200 % two. Also
// through the palette conversion of an 8- and a 4-bit screen.
TEST(PGImageAtRatio, OnePixelStripesStayCrispAtActualSize) {
    SKIP_UNLESS_RATIO_CHILD();
    const double r = ChildDeviceRatio();
    struct Case {
        TStretch stretch;
        long double zoom;
        int devicePerPixel;
        int depth; // 0: the screen's
    } cases[] = {{sNeverKAR, 1, 1, 0}, {sZoomKAR, 1, 1, 0}, {sZoomKAR, 2, 2, 0},
                 {sNeverKAR, 1, 1, 8}, {sZoomKAR, 2, 2, 4}};
    constexpr int W = 61, H = 23; // odd: no ratio divides it evenly
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(W, H, pg24Bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            pg->SetPixel(x, y, x % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ratio " << r << " zoom " << double(c.zoom) << " depth "
                                        << c.depth);
        SetScreenDepthOverride(c.depth);
        auto v = MakeView(300, 100);
        v->SetStretch(c.stretch);
        v->SetZoomFactor(c.zoom);
        v->AssignPixelGraphic(pg.get());
        EXPECT_EQ(v->DevicePaintSize(), QSize(W * c.devicePerPixel, H * c.devicePerPixel));
        EXPECT_EQ(v->EffectiveZoom(), c.zoom);
        // The paint box covers the device size in whole logical pixels.
        EXPECT_EQ(v->PicBox()->width(), int(std::ceil(W * c.devicePerPixel / r - 1e-9)));
        const QImage img = Grab(*v);
        for (int y = 0; y < H * c.devicePerPixel; ++y)
            for (int x = 0; x < W * c.devicePerPixel; ++x)
                ASSERT_EQ(Rgb(img, x, y), (x / c.devicePerPixel) % 2 ? 0xFFFFFFu : 0u)
                    << x << "," << y;
        // Right after the picture: the control's colour.
        EXPECT_EQ(Rgb(img, W * c.devicePerPixel + 1, 0), 0x0000FFu);
        // Drawn through the converted paint picture.
        if (c.depth) EXPECT_NE(v->PaintPixelGraphic(), nullptr);
    }
    SetScreenDepthOverride(0);
}

// A fitted noise picture is resampled to the device size, not drawn at the
// logical size and doubled: aligned 2 x 2 blocks of one colour would be
// everywhere at ratio 2.
TEST(PGImageAtRatio, FittedNoiseIsResampledForTheDevicePixels) {
    SKIP_UNLESS_RATIO_CHILD();
    const double r = ChildDeviceRatio();
    constexpr int W = 900, H = 700;
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(W, H, pg24Bit);
    std::mt19937 rnd(7);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            pg->SetPixel(x, y, TRGB(rnd() & 0xFFFFFF));
    for (TStretchMode mode : {smFast, smMedium, smPrecise}) {
        SCOPED_TRACE(testing::Message() << "ratio " << r << " mode " << int(mode));
        auto v = MakeView(301, 201);
        v->SetStretch(sAlwaysKAR);
        v->SetStretchMode(mode);
        v->AssignPixelGraphic(pg.get());
        const QSize d = v->DevicePaintSize();
        // Fitted into the area's device pixels (201 high, rounded down).
        EXPECT_EQ(d.height(), int(std::floor(201 * r + 1e-9)));
        EXPECT_NEAR(d.width(), d.height() * double(W) / H, 1.0);
        const QImage img = Grab(*v);
        int blocks = 0, uniform = 0;
        for (int y = 0; y + 1 < d.height(); y += 2)
            for (int x = 0; x + 1 < d.width(); x += 2) {
                ++blocks;
                const QRgb c = Rgb(img, x, y);
                if (Rgb(img, x + 1, y) == c && Rgb(img, x, y + 1) == c &&
                    Rgb(img, x + 1, y + 1) == c)
                    ++uniform;
            }
        EXPECT_LT(uniform, blocks / 100) << uniform << " of " << blocks;
        // The last device column and row are picture, the next the control.
        EXPECT_NE(Rgb(img, d.width() - 1, d.height() / 2), 0x0000FFu);
        if (d.width() < img.width()) EXPECT_EQ(Rgb(img, d.width(), d.height() / 2), 0x0000FFu);
    }
}

// A drag from the mouse's pixel: the selection starts at the picture pixel
// under the pointer, and its frame is one device pixel wide just outside
// that pixel, at 100 % and 300 %.
TEST(PGImageAtRatio, SelectionFrameLandsOnThePixelUnderTheMouse) {
    SKIP_UNLESS_RATIO_CHILD();
    const double r = ChildDeviceRatio();
    for (long double zoom : {1.0L, 3.0L}) {
        SCOPED_TRACE(testing::Message() << "ratio " << r << " zoom " << double(zoom));
        auto v = MakeView(300, 300);
        v->SetStretch(sZoomKAR);
        v->SetZoomFactor(zoom);
        auto pg = std::make_unique<TPixelGraphic>();
        pg->SetFormat(120, 120, pg24Bit);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 120; ++x)
                pg->SetPixel(x, y, RGB(0, 160, 0));
        v->TakePixelGraphic(std::move(pg));
        v->SetActionMode(amCreateSelection);
        v->SetSelectionColor1(QColor(255, 255, 255));
        v->SetSelectionColor2(QColor(255, 0, 0));
        v->show();
        const QPoint from(11, 13), to(41, 37);
        QTest::mousePress(v->PicBox(), Qt::LeftButton, {}, from);
        QTest::mouseMove(v->PicBox(), to);
        QTest::mouseRelease(v->PicBox(), Qt::LeftButton, {}, to);
        const int z = int(zoom);
        const auto under = [&](int logical) { return int(std::floor(logical * r + 1e-9)) / z; };
        const QRect sel = v->SelectionRect();
        EXPECT_EQ(sel.topLeft(), QPoint(under(from.x()), under(from.y())));
        const QImage img = Grab(*v);
        // Device columns of the selection's left edge and of its right
        // edge's last pixel.
        const int L = sel.x() * z, R = (sel.x() + sel.width()) * z;
        const int T = sel.y() * z, midY = T + 10;
        const auto isFrame = [](QRgb c) { return c == 0xFFFFFFu || c == 0xFF0000u; };
        const QRgb green = 0x00A000;
        EXPECT_EQ(Rgb(img, L - 2, midY), green);
        EXPECT_TRUE(isFrame(Rgb(img, L - 1, midY))) << std::hex << Rgb(img, L - 1, midY);
        EXPECT_EQ(Rgb(img, L, midY), green);
        EXPECT_EQ(Rgb(img, R - 1, midY), green);
        EXPECT_TRUE(isFrame(Rgb(img, R, midY))) << std::hex << Rgb(img, R, midY);
        EXPECT_EQ(Rgb(img, R + 1, midY), green);
        EXPECT_TRUE(isFrame(Rgb(img, L + 5, T - 1)));
        EXPECT_EQ(Rgb(img, L + 5, T), green);
        EXPECT_EQ(Rgb(img, L + 5, T - 2), green);
    }
}

// Runs the checks above in a child per ratio.
TEST(PGImageHiDpi, ChecksPassAtRatios) {
    if (ChildDeviceRatio() > 0) GTEST_SKIP() << "the child itself";
    RunAtDeviceRatios("PGImageAtRatio.*", {"1", "1.25", "1.5", "2"});
}

} // namespace
