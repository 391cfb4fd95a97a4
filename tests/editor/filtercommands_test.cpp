// The editor's Filters and Image commands that run the filter dialogs and
// the effects: each one undoable, a cancelled dialog changes nothing.

#include <QDialog>
#include <QSlider>

#include "editor_fixture.h"
#include "processing/effects.h"

namespace {

TEST_F(EditorTest, ColourFiltersRunTheirDialogAndChangeThePictureInPlace) {
    Show(pg24Bit, 6, 4);
    const auto before = Shown();
    // Cancelled: picture and Undo untouched.
    Trigger("Negative1");
    EXPECT_EQ(Shown(), before);
    EXPECT_FALSE(ed_->UndoAvailable());
    // OK: every colour turned, "Undo Negative" brings the picture back.
    prompts_->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Accepted); });
    Trigger("Negative1");
    const auto after = Shown();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 2; i < before.size(); ++i)
        ASSERT_EQ(after[i], before[i] ^ 0xFFFFFFu);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Negative");
    Trigger("Undo1");
    EXPECT_EQ(Shown(), before);
}

TEST_F(EditorTest, ConvolutionsAndEffectsMakeANew24BitPicture) {
    struct Case {
        const char* command;
        const char* undo;
        bool dialog;
    } const cases[] = {
        {"Sharpen1", "Undo Sharpen", true},   {"Blur1", "Undo Blur", true},
        {"Emboss1", "Undo Emboss", false},    {"Fisheye1", "Undo Fisheye", false},
        {"Swirl1", "Undo Swirl", false},      {"PencilDrawing1", "Undo Pencil Draw", false},
        {"N3DBevel1", "Undo 3D Bevel", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Show(pg8Bit, 40, 30);
        const auto before = Shown();
        if (c.dialog)
            prompts_->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Accepted); });
        Trigger(c.command);
        const TPixelGraphic* pg = ed_->PGImage1->CurrentPixelGraphic();
        ASSERT_NE(pg, nullptr);
        EXPECT_EQ(pg->PixelFormat(), pg24Bit);
        EXPECT_EQ(pg->GetWidth(), 40);
        EXPECT_EQ(ed_->UndoCaption(), c.undo);
        Trigger("Undo1");
        EXPECT_EQ(Shown(), before);
    }
}

TEST_F(EditorTest, EmbossOfAFlatPictureIsGreyAndANarrowBevelChangesNothing) {
    auto flat = std::make_unique<TPixelGraphic>();
    flat->SetFormat(20, 10, pg24Bit);
    flat->SetBackgroundColor(RGB(200, 40, 90));
    flat->Clear();
    ed_->PGImage1->TakePixelGraphic(std::move(flat));
    Trigger("Emboss1");
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->GetPixelColor(7, 3), RGB(127, 127, 127));
    // 33 pixels wide: 3 * 33 div 100 = 0 rings, the picture as it was in 24 bits.
    Show(pg8Bit, 33, 8);
    const auto before = Shown();
    Trigger("N3DBevel1");
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->PixelFormat(), pg24Bit);
    EXPECT_EQ(ed_->UndoCaption(), "Undo 3D Bevel");
}

} // namespace

TEST_F(EditorTest, ChosenEffectsRunAtTheChosenStrengthOrNotAtAll) {
    Show(pg24Bit, 30, 20);
    const auto before = Shown();
    // Cancel: picture and undo as they were.
    prompts_->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QSlider*>("TrackBar1")->setValue(40);
        return int(QDialog::Rejected);
    });
    Trigger("Mosaic1");
    EXPECT_EQ(Shown(), before);
    EXPECT_NE(ed_->UndoCaption(), "Undo Mosaic");

    // OK at 10: the mosaic of the whole picture, undoable.
    QString title;
    prompts_->dialogAnswers.push_back([&title](QDialog* d) {
        title = d->windowTitle();
        d->findChild<QSlider*>("TrackBar1")->setValue(10);
        return int(QDialog::Accepted);
    });
    TFastBMP expected(*ed_->PGImage1->CurrentPixelGraphic());
    FastMosaic(expected, 10, 10);
    Trigger("Mosaic1");
    EXPECT_EQ(title, "Mosaic");
    TPixelGraphic want;
    expected.AssignTo(want);
    EXPECT_EQ(Shown(), Pixels(want));
    EXPECT_EQ(ed_->UndoCaption(), "Undo Mosaic");
    Trigger("Undo1");
    EXPECT_EQ(Shown(), before);

    // The noise entries carry their own names.
    for (const auto& [command, undo] : {std::pair("BWNoise1", "Undo Monochrome Noise"),
                                        std::pair("ColorNoise1", "Undo Color Noise"),
                                        std::pair("SprayPaint1", "Undo Spray Paint")}) {
        prompts_->dialogAnswers.push_back([](QDialog* d) {
            d->findChild<QSlider*>("TrackBar1")->setValue(50);
            return int(QDialog::Accepted);
        });
        Trigger(command);
        EXPECT_EQ(ed_->UndoCaption(), undo);
        EXPECT_NE(Shown(), before) << command;
        Trigger("Undo1");
    }
}
