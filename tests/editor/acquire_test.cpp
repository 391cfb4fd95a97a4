#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QShowEvent>
#include <QUrl>
#include <stdexcept>

#include "browser/filelist.h"
#include "editor/qt/editorwindow.h"
#include "editor/undostep.h"
#include "editor_fixture.h"
#include "formats/jpeg.h"
#include "platform/settings.h"

namespace {

TEST_F(EditorTest, RotateTurnsClockwiseAndUndoRestoresThePixels) {
    Show(pg24Bit, 3, 2);
    const auto before = Shown();
    const auto original = ed_->PGImage1->CopyPixelGraphic();
    Trigger("N90DegreesCW1");
    const TPixelGraphic* r = ed_->PGImage1->CurrentPixelGraphic();
    ASSERT_EQ(r->GetWidth(), 2);
    ASSERT_EQ(r->GetHeight(), 3);
    // Clockwise: the new top row is the old left column read upwards.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(r->GetPixelColor(x, y), original->GetPixelColor(y, 1 - x)) << x << "," << y;
    EXPECT_TRUE(ed_->UndoAvailable());
    EXPECT_EQ(ed_->UndoCaption(), "Undo Rotate");
    EXPECT_TRUE(ed_->Modified());
    Trigger("Undo1");
    EXPECT_EQ(Shown(), before);
    EXPECT_FALSE(ed_->UndoAvailable());
    EXPECT_EQ(ed_->UndoCaption(), "Undo");
}

TEST_F(EditorTest, EmptyViewDisablesImageAndFiltersAndRotatesNothing) {
    EXPECT_FALSE(ed_->ImageMenu->isEnabled());
    EXPECT_FALSE(ed_->FiltersMenu->isEnabled());
    ed_->RotateBy(90);
    EXPECT_FALSE(ed_->UndoAvailable());
    Show();
    EXPECT_TRUE(ed_->ImageMenu->isEnabled());
    EXPECT_EQ(ed_->SB1Panel0->text(), "5 X 3");
}

// A step that does not commit puts back picture, undo copy and caption.
TEST_F(EditorTest, UnfinishedStepsRollBack) {
    struct Case {
        const char* what;
        std::function<void(TfrmAcquire&)> body;
    };
    const Case cases[] = {
        {"cancelled before any change", [](TfrmAcquire&) {}},
        {"in-place change that throws halfway",
         [](TfrmAcquire& e) {
             e.PGImage1->PixelGraphic()->SetPixelColor(0, 0, RGB(1, 2, 3));
             throw std::runtime_error("halfway");
         }},
        {"new picture handed over, then an error",
         [](TfrmAcquire& e) {
             e.PGImage1->TakePixelGraphic(MakeTestPicture(pg8Bit, 2, 2));
             throw std::runtime_error("late");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Show(pg24Bit, 5, 3);
        Trigger("FlipVertical1"); // an earlier undo copy to keep
        const auto picture = Shown();
        const auto undo = Pixels(*ed_->UndoCopy());
        ed_->RunCommand([&] {
            TUndoStep step(ed_->Document(), "Broken");
            EXPECT_EQ(ed_->UndoCaption(), "Undo Broken");
            c.body(*ed_);
        });
        EXPECT_EQ(Shown(), picture);
        ASSERT_NE(ed_->UndoCopy(), nullptr);
        EXPECT_EQ(Pixels(*ed_->UndoCopy()), undo);
        EXPECT_EQ(ed_->UndoCaption(), "Undo Flip Vertical");
        EXPECT_TRUE(ed_->UndoAvailable());
    }
    // The errors were shown, not thrown into the event loop.
    EXPECT_EQ(prompts_->Messages(), QStringList({"halfway", "late"}));
}

TEST_F(EditorTest, OpenKeepsUndoAndOpenForEditingResetsIt) {
    const QString a = WritePicture("a.bmp");
    const QString broken = Path("broken.png");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG\r\n\x1a\nnot really");
    f.close();
    Show(pg24Bit, 2, 2);
    Trigger("FlipHorizontal1");
    ed_->SetModified(false);
    prompts_->fileAnswers.push_back({a});
    Trigger("Open1");
    EXPECT_EQ(ed_->PGImage1->ImageWidth(), 5);
    EXPECT_EQ(ed_->SaveFileName(), a);
    EXPECT_TRUE(ed_->UndoAvailable());
    // A reader error: the message, the picture and the undo copy stay.
    const auto shown = Shown();
    prompts_->fileAnswers.push_back({broken});
    Trigger("Open1");
    EXPECT_EQ(Shown(), shown);
    EXPECT_TRUE(ed_->UndoAvailable());
    EXPECT_EQ(prompts_->asked.back().kind, "message");

    EXPECT_TRUE(ed_->OpenForEditing(a));
    EXPECT_FALSE(ed_->UndoAvailable());
    EXPECT_EQ(ed_->UndoCaption(), "Undo");
    EXPECT_TRUE(ed_->isVisible());
    EXPECT_FALSE(ed_->OpenForEditing(broken));
    EXPECT_EQ(prompts_->Messages().back(), "Can not edit " + broken);
}

TEST_F(EditorTest, DropsTakeListedExtensionsOnly) {
    const QString jpg = WritePicture("p.jpg");
    QFile::copy(jpg, Path("q.JPG"));
    QFile::copy(jpg, Path("r.jpeg"));
    QFile::copy(jpg, Path("s.txt"));
    QFile bad(Path("t.png"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("\x89PNG\r\n\x1a\n");
    bad.close();
    struct Case {
        const char* name;
        bool loads;
    } const cases[] = {
        {"p.jpg", true}, {"q.JPG", true}, {"r.jpeg", true}, {"s.txt", false}, {"t.png", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ed_->FileNew();
        prompts_->asked.clear();
        std::unique_ptr<QMimeData> m(EncodeFileDrag({0, dir_.path(), {c.name}, {}}));
        ed_->DropFiles(m.get());
        EXPECT_EQ(!ed_->PGImage1->IsEmpty(), c.loads);
        if (c.loads)
            EXPECT_TRUE(prompts_->Messages().isEmpty());
        else
            EXPECT_EQ(prompts_->Messages(), QStringList{"Can't edit " + Path(c.name)});
    }
    // Files from the desktop's file manager come as URLs.
    ed_->FileNew();
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(jpg)});
    ed_->DropFiles(&urls);
    EXPECT_FALSE(ed_->PGImage1->IsEmpty());
}

TEST_F(EditorTest, UnsavedWorkIsAskedAboutBeforeOpen) {
    const QString a = WritePicture("a.bmp", pg24Bit, 7, 7);
    struct Case {
        bool modified;
        QMessageBox::StandardButton answer;
        bool asked, opened, saved;
    } const cases[] = {
        {false, QMessageBox::NoButton, false, true, false},
        {true, QMessageBox::No, true, true, false},
        {true, QMessageBox::Cancel, true, false, false},
        {true, QMessageBox::Yes, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.answer));
        Show(pg24Bit, 3, 3);
        ed_->SetModified(c.modified);
        prompts_->asked.clear();
        QFile::remove(Path("saved.png"));
        prompts_->fileAnswers = {{a}};
        if (c.answer == QMessageBox::Yes) prompts_->fileAnswers.push_back({Path("saved.png")});
        if (c.modified) prompts_->buttonAnswers = {c.answer};
        Trigger("Open1");
        EXPECT_EQ(!prompts_->Messages().filter(QRegularExpression("^Save changes to .*\\?$")).isEmpty(),
                  c.asked);
        EXPECT_EQ(ed_->PGImage1->ImageWidth(), c.opened ? 7 : 3);
        EXPECT_EQ(QFile::exists(Path("saved.png")), c.saved);
        EXPECT_EQ(ed_->Modified(), !c.opened);
    }
}

TEST_F(EditorTest, SaveAsWritesThroughTheChosenWriterWithItsExtension) {
    Show(pg24Bit, 5, 3);
    Trigger("N90DegreesCW1");
    prompts_->fileAnswers.push_back({Path("out.png")});
    Trigger("SaveAs1");
    ASSERT_TRUE(QFile::exists(Path("out.png")));
    EXPECT_FALSE(ed_->Modified());
    EXPECT_EQ(prompts_->asked.back().text, "Tavirlo Save File");
    TPixelGraphic back;
    back.LoadFromFile(QFile::encodeName(Path("out.png")).toStdString());
    EXPECT_EQ(Pixels(back), Shown());
    // The independent decoder agrees on the turn.
    QProcess p;
    p.start("convert", {Path("out.png"), "-format", "%w %h", "info:"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.readAllStandardOutput().trimmed(), "3 5");
}

TEST_F(EditorTest, CropNeedsASelectionAndCutsIt) {
    Show(pg24Bit, 6, 5);
    const auto original = ed_->PGImage1->CopyPixelGraphic();
    Trigger("Crop1");
    EXPECT_EQ(prompts_->Messages(), QStringList{"You need to select an area first"});
    EXPECT_FALSE(ed_->UndoAvailable());
    // A selection overhanging the picture is cut at its edge.
    ed_->PGImage1->SetSelectionBounds(4, 2, 5, 2);
    ed_->PGImage1->SetSelection(true);
    Trigger("Crop1");
    const TPixelGraphic* r = ed_->PGImage1->CurrentPixelGraphic();
    ASSERT_EQ(r->GetWidth(), 2);
    ASSERT_EQ(r->GetHeight(), 2);
    EXPECT_EQ(r->GetPixelColor(1, 1), original->GetPixelColor(5, 3));
    EXPECT_EQ(ed_->UndoCaption(), "Undo Crop");
}

TEST_F(EditorTest, ZoomToolClicksChangeTheZoom) {
    Show(pg24Bit, 50, 40);
    ed_->tbZoom->trigger();
    ASSERT_TRUE(ed_->tbZoom->isChecked());
    EXPECT_EQ(ed_->PGImage1->Stretch(), sZoomKAR);
    EXPECT_EQ(ed_->PGImage1->ActionMode(), amNone);
    ed_->ZoomClick(Qt::LeftButton, 10, 10);
    EXPECT_NEAR(double(ed_->PGImage1->ZoomFactor()), 1.2, 1e-9);
    ed_->ZoomClick(Qt::RightButton, 10, 10);
    ed_->ZoomClick(Qt::RightButton, 10, 10);
    EXPECT_NEAR(double(ed_->PGImage1->ZoomFactor()), 0.8, 1e-9);
    ed_->tbPointer->trigger();
    EXPECT_EQ(ed_->PGImage1->ActionMode(), amMoveImage);
}

TEST_F(EditorTest, ShowingResetsJPEGQualityButUnminimisingDoesNot) {
    JPEGQuality = 30;
    ed_->show();
    EXPECT_EQ(JPEGQuality, 80);
    JPEGQuality = 30;
    // Minimised windows stay visible to Qt: restoring one is no new session.
    ed_->showMinimized();
    ed_->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(JPEGQuality, 30);
    ed_->hide();
    ed_->show();
    EXPECT_EQ(JPEGQuality, 80);
}

TEST_F(EditorTest, WindowPlaceIsStoredAndComesBackOnScreen) {
    WriteSetting("AcquireLeft", "-90000");
    WriteSetting("AcquireTop", "70");
    WriteSetting("AcquireWidth", "640");
    WriteSetting("AcquireHeight", "junk");
    ed_ = std::make_unique<TfrmAcquire>();
    const QRect g = ed_->geometry();
    EXPECT_GE(g.left(), 0);
    EXPECT_EQ(g.width(), 640);
    EXPECT_EQ(g.height(), 400);
    ed_->setGeometry(60, 80, 500, 300);
    ed_.reset();
    EXPECT_EQ(ReadSetting("AcquireLeft", ""), "60");
    EXPECT_EQ(ReadSetting("AcquireHeight", ""), "300");
}

} // namespace
