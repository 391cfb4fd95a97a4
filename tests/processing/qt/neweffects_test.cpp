// The effect chooser: caption per effect, the fitted preview and where it is
// drawn, every slider move starting again from the picture, and pictures too
// thin to preview.

#include <gtest/gtest.h>

#include <QLabel>
#include <QSlider>
#include <cstring>

#include "core/pixelgraphic.h"
#include "processing/effects.h"
#include "processing/qt/neweffects.h"

namespace {

std::unique_ptr<TPixelGraphic> Gradient(int w, int h) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->SetPixel(x, y,
                        RGB((x * 255) / std::max(1, w - 1), (y * 255) / std::max(1, h - 1), 90));
    return p;
}

bool SameBits(const TFastBMP& a, const TFastBMP& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Bits(), b.Bits(), size_t(a.TotalSize())) == 0;
}

} // namespace

TEST(EffectChooser, PreviewSizes) {
    struct Case {
        int w, h, pw, ph;
    } cases[] = {{600, 300, 240, 120}, {300, 600, 120, 240}, {100, 100, 240, 240},
                 {1000, 3, 240, 1},    {1, 1000, 0, 240},    {0, 10, 0, 0}};
    for (const Case& c : cases) {
        int w = -1, h = -1;
        ChooserPreviewSize(c.w, c.h, w, h);
        EXPECT_EQ(w, c.pw) << c.w << " x " << c.h;
        EXPECT_EQ(h, c.ph) << c.w << " x " << c.h;
    }
}

TEST(EffectChooser, CaptionPreviewAndSliderFromThePicture) {
    TfrmNewEFX chooser;
    const char* captions[] = {"Spray Paint", "Monochrome Noise", "Color Noise", "Mosaic"};
    for (int tag = 1; tag <= 4; ++tag) {
        chooser.SetTag(tag);
        EXPECT_EQ(chooser.windowTitle(), captions[tag - 1]);
    }

    auto picture = Gradient(600, 300);
    chooser.SetTag(2);
    chooser.TrackBar1->setValue(70);
    chooser.Activate(*picture);
    // Each opening starts at a strength that changes something, labelled.
    EXPECT_EQ(chooser.TrackBar1->value(), ChooserDefaultValue(2));
    EXPECT_GT(ChooserDefaultValue(2), 0);
    EXPECT_EQ(chooser.ValueLabel->text(), "&Amount: 30");
    chooser.TrackBar1->setValue(0);
    ASSERT_EQ(chooser.Working().Width(), 240);
    ASSERT_EQ(chooser.Working().Height(), 120);
    EXPECT_EQ(chooser.PreviewOrigin(), QPoint(5, 65));
    TFastBMP reference(chooser.Working().Width(), chooser.Working().Height());
    reference.CopyBitsFrom(chooser.Working());

    // The preview is drawn where it says.
    chooser.resize(chooser.sizeHint());
    const QImage shot = chooser.Preview->grab().toImage();
    const uint8_t* px = reference.Row(0);
    EXPECT_EQ(shot.pixelColor(5, 65), QColor(px[2], px[1], px[0]));
    EXPECT_NE(shot.pixelColor(5, 20), QColor(px[2], px[1], px[0]));

    // Noise does not pile up: each move starts from the picture again.
    chooser.TrackBar1->setValue(60);
    EXPECT_FALSE(SameBits(chooser.Working(), reference));
    chooser.TrackBar1->setValue(30);
    chooser.TrackBar1->setValue(0);
    EXPECT_TRUE(SameBits(chooser.Working(), reference));

    // Mosaic at 10: the preview shows OK's result (blocks of 10 picture
    // pixels, 4 preview pixels here), each preview pixel the result's pixel
    // under it.
    chooser.SetTag(4);
    chooser.TrackBar1->setValue(10);
    EXPECT_EQ(chooser.ValueLabel->text(), "&Block size: 10 pixels");
    TFastBMP result(*picture);
    FastMosaic(result, 10, 10);
    const TFastBMP& shown = chooser.Working();
    int differing = 0;
    for (int y = 0; y < shown.Height(); ++y)
        for (int x = 0; x < shown.Width(); ++x)
            differing += std::memcmp(shown.Row(y) + 3 * x, result.Row(y * 300 / 120) + 3 * (x * 600 / 240),
                                     3) != 0;
    EXPECT_EQ(differing, 0);

    // A strength chosen with OK is where the next opening starts.
    chooser.TrackBar1->setValue(17);
    chooser.accept();
    chooser.Activate(*picture);
    EXPECT_EQ(chooser.TrackBar1->value(), 17);

    // A picture a thousand times taller than wide has no preview; nothing fails.
    auto thin = Gradient(1, 1000);
    chooser.Activate(*thin);
    EXPECT_TRUE(chooser.Working().Empty());
    chooser.TrackBar1->setValue(50);
    (void)chooser.Preview->grab();
}
