// The editor's Filters and Image commands that run the filter dialogs and
// the effects: each one undoable, a cancelled dialog changes nothing.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <set>

#include "editor/qt/colorrezform.h"
#include "editor/qt/geometrydialogs.h"
#include "editor_fixture.h"
#include "processing/effects.h"
#include "processing/geometryops.h"

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

TEST_F(EditorTest, GeometryDialogsChangeThePictureOnlyWithGoodValues) {
    Show(pg24Bit, 5, 3);
    const auto before = Shown();
    const QString undoBefore = ed_->UndoCaption();
    auto answer = [this](std::function<void(QDialog*)> fill, bool ok = true) {
        prompts_->dialogAnswers.push_back([fill, ok](QDialog* d) {
            fill(d);
            d->findChild<QPushButton*>(ok ? "OKBtn" : "CancelBtn")->click();
            return d->result();
        });
    };
    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(Shown(), before) << what;
        EXPECT_EQ(ed_->UndoCaption(), undoBefore) << what;
    };

    // Refused or cancelled: nothing changes, the undo entry included.
    answer([](QDialog* d) { d->findChild<QLineEdit*>("eAngle")->setText(""); });
    Trigger("Arbitrary1");
    expectUnchanged("empty angle");
    EXPECT_EQ(prompts_->Messages().last(), "'' is not a valid integer value");
    answer([](QDialog* d) { d->findChild<QLineEdit*>("eWidth")->setText("1"); });
    Trigger("AddBorder1");
    expectUnchanged("border of 1");
    answer([](QDialog*) {}, false);
    Trigger("Resize1");
    expectUnchanged("resize cancelled");

    // 90 counter-clockwise turns 270 clockwise.
    answer([](QDialog* d) {
        d->findChild<QLineEdit*>("eAngle")->setText("90");
        d->findChild<QRadioButton*>("rbCounterClockwise")->setChecked(true);
    });
    Trigger("Arbitrary1");
    {
        auto source = MakeTestPicture(pg24Bit, 5, 3);
        EXPECT_EQ(Shown(), Pixels(*RotatePicture(*source, 270)));
        EXPECT_EQ(ed_->UndoCaption(), "Undo Rotate");
    }
    Trigger("Undo1");
    EXPECT_EQ(Shown(), before);

    // A red ellipse border of 2.
    answer([](QDialog* d) {
        d->findChild<QLineEdit*>("eWidth")->setText("2");
        static_cast<TfrmBorder*>(d)->SetColor(Qt::red);
        d->findChild<QRadioButton*>("rbEllipse")->setChecked(true);
    });
    Trigger("AddBorder1");
    {
        auto source = MakeTestPicture(pg24Bit, 5, 3);
        EXPECT_EQ(Shown(), Pixels(*BorderPicture(*source, 2, RGB(255, 0, 0), true)));
        EXPECT_EQ(ed_->UndoCaption(), "Undo Border");
    }
    Trigger("Undo1");

    // Width typed as 10 and OK pressed in the field: the height follows (5 x 3 -> 10 x 6).
    answer([](QDialog* d) {
        EXPECT_EQ(d->findChild<QLabel*>("lOldWidth")->text(), "5");
        auto* w = d->findChild<QLineEdit*>("eNewWidth");
        w->setText("10");
        emit w->textEdited("10");
    });
    Trigger("Resize1");
    ASSERT_NE(ed_->PGImage1->CurrentPixelGraphic(), nullptr);
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->GetWidth(), 10);
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->GetHeight(), 6);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Resize");
    Trigger("Undo1");

    // Posterize: the 16-colour format with at most 8 colours.
    Trigger("Posterize1");
    const TPixelGraphic* p = ed_->PGImage1->CurrentPixelGraphic();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->PixelFormat(), pg4Bit);
    std::set<TRGB> colours;
    for (int y = 0; y < p->GetHeight(); ++y)
        for (int x = 0; x < p->GetWidth(); ++x)
            colours.insert(p->GetPixelColor(x, y));
    EXPECT_LE(colours.size(), 8u);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Posterize");
}

TEST(ColorRezDialog, ChoicesFollowTheRulesOfTheDialog) {
    TfrmColorRez d;
    EXPECT_EQ(d.Options().choice, crzTrueColor);
    // A palette choice selects its depth.
    d.BC4Gray16RB->click();
    EXPECT_TRUE(d.BC4RB->isChecked());
    EXPECT_EQ(d.Options().choice, crzGray16);
    EXPECT_EQ(ColorRezFormat(d.Options().choice), pg4Bit);
    // Typing a count selects that depth's optimised palette; OK follows both counts.
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {{"17", false}, {"", false}, {" 16 ", true}, {"abc", false}, {"2", true}};
    for (const Case& c : cases) {
        d.BC4ColorsEdit->setText(c.text);
        emit d.BC4ColorsEdit->textEdited(c.text);
        EXPECT_EQ(d.OKButton->isEnabled(), c.ok) << "'" << c.text << "'";
    }
    EXPECT_TRUE(d.BC4OptimizedRB->isChecked());
    EXPECT_EQ(d.Options().choice, crzOptimized16);
    EXPECT_EQ(d.Options().colors, 2);
    d.BC8ColorsEdit->setText("300");
    EXPECT_FALSE(d.OKButton->isEnabled()); // the other count counts too
    d.BC8ColorsEdit->setText("64");
    // The system colours box means the 8-bit optimised palette.
    d.BC8Special216RB->click();
    d.BC8OptimizedIncludeSys16CB->click();
    EXPECT_TRUE(d.BC8RB->isChecked());
    const TColorRezOptions o = d.Options();
    EXPECT_EQ(o.choice, crzOptimized256);
    EXPECT_EQ(o.colors, 64);
    EXPECT_FALSE(o.systemColors); // the click turned it off
}

TEST_F(EditorTest, ColorResolutionMakesTheChosenPicture) {
    Show(pg24Bit, 6, 4);
    prompts_->dialogAnswers.push_back([](QDialog* dialog) {
        auto* d = static_cast<TfrmColorRez*>(dialog);
        d->BC8Gray256RB->click();
        d->DitheringCB->setChecked(false);
        d->OKButton->click();
        return d->result();
    });
    Trigger("ColorResolution1");
    const TPixelGraphic* p = ed_->PGImage1->CurrentPixelGraphic();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->PixelFormat(), pg8Bit);
    EXPECT_EQ(p->PaletteIdent(), pGray256);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Color Resolution");
}

TEST_F(EditorTest, RedEyeWorksOnTheSelectionOnlyAfterOK) {
    // A red picture 40 x 10 with one blue pixel; the eye area is the whole
    // of it (a circle of radius 5 about (20, 5)).
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(40, 10, pg24Bit);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x)
            pg->SetPixel(x, y, RGB(200, 30, 30));
    ed_->PGImage1->TakePixelGraphic(std::move(pg));
    const auto before = Shown();
    const QString undoBefore = ed_->UndoCaption();

    Trigger("RedEyeReduction1"); // no selection
    EXPECT_EQ(prompts_->Messages().last(), "Select an eye area first");
    ed_->PGImage1->SetSelectionBounds(0, 0, 40, 10);
    ed_->PGImage1->SetSelection(true);
    prompts_->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Rejected); });
    Trigger("RedEyeReduction1");
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(ed_->UndoCaption(), undoBefore) << "a cancelled red-eye keeps the undo entry";

    prompts_->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QSlider*>("tbReductionAmount")->setValue(80); // limits 20, 180, 180
        return int(QDialog::Accepted);
    });
    Trigger("RedEyeReduction1");
    const TPixelGraphic* p = ed_->PGImage1->CurrentPixelGraphic();
    EXPECT_EQ(p->GetPixelColor(20, 5), RGB(0, 0, 0));       // centre
    EXPECT_EQ(p->GetPixelColor(25, 5), RGB(0, 0, 0));       // on the circle
    EXPECT_EQ(p->GetPixelColor(26, 5), RGB(200, 30, 30));   // outside it
    EXPECT_EQ(p->GetPixelColor(0, 0), RGB(200, 30, 30));
    EXPECT_EQ(ed_->UndoCaption(), "Undo Red Eye Reduction");
}

TEST_F(EditorTest, RadialAdjustmentNeedsApplyAndAFreshResult) {
    Show(pg24Bit, 30, 20);
    const auto before = Shown();
    auto click = [](QDialog* d, const char* button) {
        d->findChild<QPushButton*>(button)->click();
    };
    // OK without Apply: the message, nothing changed.
    prompts_->dialogAnswers.push_back([&](QDialog* d) {
        click(d, "OKBtn");
        return d->result();
    });
    Trigger("RadialAdjustment1");
    EXPECT_EQ(prompts_->Messages().last(),
              "You did not Apply a radial adjustment. Reopen and click \"Apply\" before clicking "
              "\"OK\"");
    EXPECT_EQ(Shown(), before);

    // Values that are no finite numbers are refused at Apply.
    for (const char* bad : {"nan", "1e400", "x"}) {
        prompts_->dialogAnswers.push_back([&](QDialog* d) {
            d->findChild<QLineEdit*>("eA")->setText(bad);
            click(d, "ApplyBtn");
            click(d, "CancelBtn");
            return d->result();
        });
        Trigger("RadialAdjustment1");
        EXPECT_EQ(prompts_->Messages().last(), "Invalid values entered!") << bad;
    }

    // The identity: Apply, then OK gives the picture back, as an undoable step.
    prompts_->dialogAnswers.push_back([&](QDialog* d) {
        d->findChild<QLineEdit*>("eA")->setText("0");
        d->findChild<QLineEdit*>("eD")->setText(" 1 ");
        click(d, "ApplyBtn");
        click(d, "OKBtn");
        return d->result();
    });
    Trigger("RadialAdjustment1");
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Radial Adjust");

    // An adjustment kept over Cancel is not used for another picture.
    prompts_->dialogAnswers.push_back([&](QDialog* d) {
        click(d, "ApplyBtn");
        click(d, "CancelBtn");
        return d->result();
    });
    Trigger("RadialAdjustment1");
    Show(pg24Bit, 8, 8);
    prompts_->dialogAnswers.push_back([&](QDialog* d) {
        click(d, "OKBtn");
        return d->result();
    });
    Trigger("RadialAdjustment1");
    EXPECT_EQ(prompts_->Messages().last().left(29), "You did not Apply a radial ad");
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->GetWidth(), 8);
}
