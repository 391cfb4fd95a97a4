// The filter dialogs: labels and values, Cancel restoring values and filter,
// and the live preview on its workers (current results only, nothing shared
// with the edited picture).

#include <cmath>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "core/pixelrows.h"
#include "support/scriptedprompts.h"
#include "support/device_ratio.h"
#include "processing/convfilter.h"
#include "processing/filtervalues.h"
#include "processing/qt/colordialogs.h"
#include "processing/qt/convdialogs.h"
#include "view/pgimage.h"

namespace {

std::unique_ptr<TPixelGraphic> Picture(int w, int h) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->SetPixel(x, y, RGB(x * 7, y * 3, (x * y) & 255));
    return p;
}

QString Text(QDialog* d, const char* name) {
    auto* l = d->findChild<QLabel*>(name);
    return l ? l->text() : QString("<none>");
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y)) return false;
    return true;
}

// The preview shows `expected`'s filter of the preview source.
bool PreviewShowsFilter(QDialog* d, TPreviewFilterDialog& dlg) {
    auto* image = d->findChild<TPGImage*>("PGImage1");
    if (!image || !dlg.PreviewSource()) return false;
    const TPixelGraphic* shown = image->CurrentPixelGraphic();
    if (!shown) return false;
    TPixelGraphic expect;
    auto f = dlg.ConfiguredFilter();
    expect.ApplyFilter(*f, const_cast<TPixelGraphic&>(*dlg.PreviewSource()));
    return SamePixels(*shown, expect);
}

TEST(FilterDialogs, LabelsValuesAndOK) {
    TScopedPrompts prompts;
    THLSFilterDialog hls;
    hls.SetH(270);
    EXPECT_EQ(hls.H(), -90);
    hls.SetL(150);
    EXPECT_EQ(hls.L(), 100);
    auto pic = Picture(30, 20);
    prompts->dialogAnswers.push_back([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "HLS Filter");
        EXPECT_EQ(Text(d, "Caption1"), "H");
        EXPECT_EQ(Text(d, "ValueLabel1"), "-90\xC2\xB0");
        EXPECT_EQ(Text(d, "ValueLabel2"), "+100%");
        EXPECT_EQ(Text(d, "ValueLabel3"), "\xC2\xB1"
                                          "0%");
        EXPECT_EQ(Text(d, "MinCaption1"), "-180\xC2\xB0");
        EXPECT_EQ(Text(d, "MidCaption2"), "\xC2\xB1"
                                          "0%");
        d->findChild<QSlider*>("TrackBar3")->setValue(-40);
        EXPECT_EQ(Text(d, "ValueLabel3"), "-40%");
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(hls.Execute(pic.get()));
    EXPECT_EQ(hls.S(), -40);
    THLSFilter expect;
    SetHueTables(expect, -90, 100, -40);
    auto& f = static_cast<THLSFilter&>(hls.Filter());
    for (int j = 0; j < 3; ++j)
        EXPECT_EQ(f.Table(j), expect.Table(j));

    TBCGFilterDialog bcg;
    bcg.SetContrast(10);
    EXPECT_EQ(bcg.Contrast(), 5.0L);
    bcg.SetGamma(0.1L);
    EXPECT_EQ(bcg.Gamma(), 0.2L);
    bcg.SetGamma(std::nanl(""));
    EXPECT_EQ(bcg.Gamma(), 0.2L);
    prompts->dialogAnswers.push_back([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Brightness, Contrast, Gamma Filter");
        EXPECT_EQ(Text(d, "ValueLabel2"), "5.00");
        EXPECT_EQ(Text(d, "RadioCaption"), "Apply on");
        d->findChild<QRadioButton*>("RadioButton2")->setChecked(true);
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(bcg.Execute(nullptr));
    EXPECT_TRUE(bcg.UseY());
    EXPECT_TRUE(static_cast<TBCGFilter&>(bcg.Filter()).UseY());
}

TEST(FilterDialogs, CancelRestoresValuesAndFilter) {
    TScopedPrompts prompts;
    TRGBFilterDialog rgb;
    rgb.SetRed(20);
    auto pic = Picture(10, 10);
    prompts->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QSlider*>("TrackBar1")->setValue(-70);
        d->findChild<QSlider*>("TrackBar2")->setValue(90);
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(rgb.Execute(pic.get()));
    EXPECT_EQ(rgb.Red(), 20);
    EXPECT_EQ(rgb.Green(), 0);
    EXPECT_EQ(rgb.Filter().FilterColor(RGB(100, 100, 100)), RGB(151, 100, 100));

    TSharpenFilterDialog sharpen;
    prompts->dialogAnswers.push_back([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Sharpen");
        EXPECT_EQ(Text(d, "ValueLabel1"), "0.75");
        EXPECT_EQ(Text(d, "ValueLabel2"), "50%");
        EXPECT_EQ(Text(d, "MinCaption1"), "0.40");
        EXPECT_EQ(d->findChild<TPGImage*>("PGImage1"), nullptr);
        d->findChild<QSlider*>("TrackBar2")->setValue(100);
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(sharpen.Execute());
    EXPECT_EQ(sharpen.Percent(), 50);
    EXPECT_EQ(static_cast<TConvFilter&>(sharpen.Filter()).Cell(1, 1), 112);
    // Unanswered dialogs are cancelled.
    TBlurFilterDialog blur;
    EXPECT_FALSE(blur.Execute());
    EXPECT_EQ(blur.Radius(), 2.5L);
    blur.SetRadius(9);
    EXPECT_EQ(static_cast<TConvFilter&>(blur.Filter()).Width(), 11);
}

TEST(FilterDialogs, PreviewIsTheFilterOfTheFittedCopy) {
    TScopedPrompts prompts;
    THSVFilterDialog hsv;
    auto pic = Picture(600, 300);
    bool checked = false;
    prompts->dialogAnswers.push_back([&](QDialog* d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return PreviewShowsFilter(d, hsv); }, 5000));
        EXPECT_EQ(hsv.PreviewSource()->GetWidth(), 140);
        EXPECT_EQ(hsv.PreviewSource()->GetHeight(), 70);
        // The original shrinks to nothing meanwhile: the preview works on
        // its own copy.
        pic->SetFormat(0, 0, pg24Bit);
        // Rapid moves end on the last values.
        auto* s = d->findChild<QSlider*>("TrackBar1");
        for (int v = -180; v <= 90; v += 15) {
            s->setValue(v);
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                auto* image = d->findChild<TPGImage*>("PGImage1");
                return hsv.H() == 90 && image->CurrentPixelGraphic() &&
                       image->CurrentPixelGraphic()->GetPixelColor(40, 30) !=
                           hsv.PreviewSource()->GetPixelColor(40, 30) &&
                       PreviewShowsFilter(d, hsv);
            },
            5000));
        // Stale events of an earlier run or job change nothing (and free
        // their pictures).
        auto* image = d->findChild<TPGImage*>("PGImage1");
        const TPixelGraphic* before = image->CurrentPixelGraphic();
        QCoreApplication::postEvent(
            hsv.PreviewReceiver(),
            new TPreviewEvent(2, hsv.CurrentRun() - 1, hsv.CurrentJob(), Picture(3, 3)));
        QCoreApplication::postEvent(
            hsv.PreviewReceiver(),
            new TPreviewEvent(2, hsv.CurrentRun(), hsv.CurrentJob() - 1, Picture(3, 3)));
        QCoreApplication::postEvent(hsv.PreviewReceiver(),
                                    new TPreviewEvent(1, hsv.CurrentRun(), 0, Picture(3, 3)));
        QCoreApplication::processEvents();
        EXPECT_EQ(image->CurrentPixelGraphic(), before);
        EXPECT_EQ(hsv.PreviewSource()->GetWidth(), 140);
        checked = true;
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(hsv.Execute(pic.get()));
    EXPECT_TRUE(checked);
    EXPECT_EQ(hsv.PreviewSource(), nullptr);
}

// On a scaled screen the fitted copy has the box's device pixels, and the
// view shows it filling the box at one picture pixel per device pixel.
TEST(FilterDialogs, AtRatioPreviewFillsTheBoxInDevicePixels) {
    SKIP_UNLESS_RATIO_CHILD();
    const double r = ChildDeviceRatio();
    TScopedPrompts prompts;
    THSVFilterDialog hsv;
    auto pic = Picture(600, 300);
    bool checked = false;
    prompts->dialogAnswers.push_back([&](QDialog* d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return PreviewShowsFilter(d, hsv); }, 5000));
        const int box = int(std::ceil(140 * r - 1e-9));
        EXPECT_EQ(hsv.PreviewSource()->GetWidth(), box);
        auto* image = d->findChild<TPGImage*>("PGImage1");
        EXPECT_EQ(image->DevicePaintSize().width(), box);
        EXPECT_EQ(image->EffectiveZoom(), 1);
        checked = true;
        return int(QDialog::Rejected);
    });
    hsv.Execute(pic.get());
    EXPECT_TRUE(checked);
}

TEST(FilterDialogs, PreviewAtRatios) {
    if (ChildDeviceRatio() > 0) GTEST_SKIP() << "the child itself";
    RunAtDeviceRatios("FilterDialogs.AtRatio*", {"1", "1.5", "2"});
}

TEST(FilterDialogs, PreviewOfThinAndEmptyPictures) {
    TScopedPrompts prompts;
    TNegativeFilterDialog neg;
    for (auto size : {std::pair(1000, 1), std::pair(0, 0)}) {
        auto pic = Picture(size.first, size.second);
        prompts->dialogAnswers.push_back([&](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), "Negative Filter");
            EXPECT_TRUE(QTest::qWaitFor([&] { return neg.PreviewSource() != nullptr; }, 5000));
            EXPECT_EQ(neg.PreviewSource()->GetHeight(), 0);
            QTest::qWait(150);
            auto* image = d->findChild<TPGImage*>("PGImage1");
            const TPixelGraphic* shown = image->CurrentPixelGraphic();
            EXPECT_TRUE(!shown || shown->GetWidth() == 0 || shown->GetHeight() == 0);
            return int(QDialog::Accepted);
        });
        EXPECT_TRUE(neg.Execute(pic.get()));
    }
    // Closing at once, with the workers still under way, joins them.
    prompts->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Rejected); });
    auto big = Picture(2000, 1500);
    EXPECT_FALSE(neg.Execute(big.get()));
}

} // namespace
