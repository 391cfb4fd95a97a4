// The editor's undo and redo of several levels within their budget, the
// question at the window's close, metadata kept by Save As, and the picture
// commands whose result must be exactly what was asked for.

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QRadioButton>
#include <QTest>

#include "editor/qt/editorwindow.h"
#include "editor/qt/geometrydialogs.h"
#include "editor_fixture.h"

namespace {

QString Exiftool(const QString& file, const QString& tag) {
    QProcess p;
    p.start("exiftool", {"-s3", "-n", "-" + tag, file});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

TEST_F(EditorTest, UndoAndRedoWalkSeveralLabelledLevels) {
    Show(pg24Bit, 5, 3);
    const auto original = Shown();
    EXPECT_FALSE(ed_->Modified());
    Trigger("N90DegreesCW1");
    const auto rotated = Shown();
    Trigger("FlipHorizontal1");
    const auto flipped = Shown();
    Trigger("FlipVertical1");
    EXPECT_EQ(ed_->UndoLevels(), 3);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Flip Vertical");
    EXPECT_EQ(ed_->Undo1->text(), "&Undo Flip Vertical");
    EXPECT_FALSE(ed_->RedoAvailable());

    Trigger("Undo1");
    EXPECT_EQ(Shown(), flipped);
    EXPECT_EQ(ed_->RedoCaption(), "Redo Flip Vertical");
    Trigger("Undo1");
    EXPECT_EQ(Shown(), rotated);
    Trigger("Undo1");
    EXPECT_EQ(Shown(), original);
    // Back at the state it started from: nothing to save.
    EXPECT_FALSE(ed_->Modified());
    EXPECT_FALSE(ed_->UndoAvailable());
    EXPECT_EQ(ed_->RedoLevels(), 3);
    EXPECT_EQ(ed_->RedoCaption(), "Redo Rotate");

    Trigger("Redo1");
    EXPECT_EQ(Shown(), rotated);
    EXPECT_TRUE(ed_->Modified());
    Trigger("Redo1");
    EXPECT_EQ(Shown(), flipped);
    // A new command drops what could be redone.
    Trigger("N180Degrees1");
    EXPECT_FALSE(ed_->RedoAvailable());
    EXPECT_EQ(ed_->Redo1->text(), "&Redo");
    EXPECT_EQ(ed_->UndoCaption(), "Undo Rotate");

    // Redo answers Ctrl+Y and Ctrl+Shift+Z; Undo Ctrl+Z.
    const QList<QKeySequence> keys = ed_->Redo1->shortcuts();
    EXPECT_TRUE(keys.contains(QKeySequence("Ctrl+Y")));
    EXPECT_TRUE(keys.contains(QKeySequence("Ctrl+Shift+Z")));
    EXPECT_EQ(ed_->Undo1->shortcut(), QKeySequence(QKeySequence::Undo));
}

TEST_F(EditorTest, UndoKeepsWithinItsBudget) {
    EXPECT_EQ(TfrmAcquire::kUndoSteps, 10);
    EXPECT_EQ(TfrmAcquire::kUndoBytes, int64_t(1) << 30);
    Show(pg24Bit, 100, 100); // 30,000 bytes a copy
    for (int i = 0; i < 12; ++i) Trigger("FlipHorizontal1");
    EXPECT_EQ(ed_->UndoLevels(), 10); // steps reached first
    ed_->SetUndoBudget(10, 70000);
    EXPECT_EQ(ed_->UndoLevels(), 2); // memory reached first
    // The budget counts the redo levels too, and always keeps the latest undo.
    Trigger("Undo1");
    EXPECT_EQ(ed_->UndoLevels() + ed_->RedoLevels(), 2);
    ed_->SetUndoBudget(10, 1);
    Trigger("FlipVertical1");
    EXPECT_EQ(ed_->UndoLevels(), 1);
    EXPECT_EQ(ed_->UndoCaption(), "Undo Flip Vertical");
}

TEST_F(EditorTest, ClosingAsksAboutUnsavedChangesByName) {
    const QString a = WritePicture("a.bmp", pg24Bit, 6, 4);
    struct Case {
        const char* what;
        bool change, undoBack;
        QMessageBox::StandardButton answer;
        bool asked, closes, saved;
    } const cases[] = {
        {"unchanged", false, false, QMessageBox::NoButton, false, true, false},
        {"undone back to the file", true, true, QMessageBox::NoButton, false, true, false},
        {"cancel keeps the window", true, false, QMessageBox::Cancel, true, false, false},
        {"no lets the changes go", true, false, QMessageBox::No, true, true, false},
        {"yes saves first", true, false, QMessageBox::Yes, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ed_->EditFile(a));
        ed_->show();
        if (c.change) Trigger("N90DegreesCW1");
        if (c.undoBack) Trigger("Undo1");
        prompts_->asked.clear();
        QFile::remove(Path("saved.bmp"));
        if (c.asked) prompts_->buttonAnswers = {c.answer};
        if (c.saved) prompts_->fileAnswers = {{Path("saved.bmp")}};
        EXPECT_EQ(ed_->close(), c.closes);
        EXPECT_EQ(prompts_->Messages().contains("Save changes to a.bmp?"), c.asked);
        EXPECT_EQ(ed_->isVisible(), !c.closes);
        EXPECT_EQ(QFile::exists(Path("saved.bmp")), c.saved);
        // Nothing asks again later for changes the close settled.
        if (c.closes) EXPECT_FALSE(ed_->Modified());
        ed_->SetModified(false);
    }
}

TEST_F(EditorTest, SaveAsKeepsTheCamerasMetadata) {
    const QString src = Path("camera.jpg");
    ASSERT_EQ(QProcess::execute("convert", {"-size", "64x48", "gradient:red-blue", src}), 0);
    ASSERT_EQ(QProcess::execute("exiftool", {"-q", "-overwrite_original", "-Make=Canon",
                                             "-Model=EOS 5D", "-DateTimeOriginal=2024:03:09 13:05:40",
                                             "-ExifImageWidth=64", "-ExifImageHeight=48", src}),
              0);
    ASSERT_TRUE(ed_->EditFile(src));
    // A crop makes a new picture: the file's metadata still goes with it.
    ed_->PGImage1->SetSelectionBounds(0, 0, 30, 20);
    ed_->PGImage1->SetSelection(true);
    Trigger("Crop1");
    for (const char* name : {"out.jpg", "out.png", "out.tif"}) {
        SCOPED_TRACE(name);
        prompts_->fileAnswers.push_back({Path(name)});
        Trigger("SaveAs1");
        ASSERT_TRUE(QFile::exists(Path(name)));
        EXPECT_EQ(Exiftool(Path(name), "Make"), "Canon");
        EXPECT_EQ(Exiftool(Path(name), "Model"), "EOS 5D");
        EXPECT_EQ(Exiftool(Path(name), "DateTimeOriginal"), "2024:03:09 13:05:40");
        EXPECT_EQ(Exiftool(Path(name), "ExifImageWidth"), "30");
        EXPECT_EQ(Exiftool(Path(name), "ExifImageHeight"), "20");
    }
}

TEST_F(EditorTest, ADragCropsExactlyTheDraggedSize) {
    Show(pg24Bit, 600, 400);
    ed_->resize(900, 700);
    ed_->show();
    ed_->tbSelect->trigger();
    QWidget* box = ed_->PGImage1->PicBox();
    const QPoint from(20, 30);
    QTest::mousePress(box, Qt::LeftButton, {}, from);
    QTest::mouseMove(box, from + QPoint(200, 150));
    QTest::mouseMove(box, from + QPoint(400, 300));
    QTest::mouseRelease(box, Qt::LeftButton, {}, from + QPoint(400, 300));
    EXPECT_EQ(ed_->PGImage1->SelectionRect().size(), QSize(400, 300));
    Trigger("Crop1");
    EXPECT_EQ(ed_->PGImage1->ImageWidth(), 400);
    EXPECT_EQ(ed_->PGImage1->ImageHeight(), 300);
}

TEST_F(EditorTest, BorderOnAPalettePictureIsTheChosenColourOrItsNearestEntry) {
    for (const bool sys16 : {true, false}) {
        SCOPED_TRACE(sys16 ? "system palette" : "own palette");
        auto pg = MakeTestPicture(pg4Bit, 40, 30);
        if (sys16) pg->SetPaletteIdent(pSys16);
        ed_->PGImage1->TakePixelGraphic(std::move(pg));
        prompts_->dialogAnswers.push_back([](QDialog* d) {
            auto* b = static_cast<TfrmBorder*>(d);
            b->eWidth->setText("8");
            b->SetColor(QColor(255, 0, 255));
            b->rbRectangle->setChecked(true);
            return int(QDialog::Accepted);
        });
        Trigger("AddBorder1");
        const TPixelGraphic* r = ed_->PGImage1->CurrentPixelGraphic();
        ASSERT_EQ(r->PixelFormat(), pg4Bit);
        const TRGB want = r->PaletteEntry(r->NearestPaletteIndex(RGB(255, 0, 255)));
        if (sys16) EXPECT_EQ(want, RGB(255, 0, 255));
        // The outermost ring is all border colour.
        for (int x = 0; x < 40; ++x) {
            EXPECT_EQ(r->GetPixelColor(x, 0), want) << x;
            EXPECT_EQ(r->GetPixelColor(x, 29), want) << x;
        }
        for (int y = 0; y < 30; ++y) EXPECT_EQ(r->GetPixelColor(0, y), want) << y;
    }
}

TEST_F(EditorTest, ResizeFieldsShowTheSizeThatWillBeMade) {
    TfrmResize d;
    d.SetOldSize(400, 300);
    d.show();
    d.eNewWidth->selectAll();
    QTest::keyClicks(d.eNewWidth, "200");
    EXPECT_EQ(d.eNewHeight->text(), "150"); // while typing, not only on leaving
    d.eNewHeight->selectAll();
    QTest::keyClicks(d.eNewHeight, "60");
    EXPECT_EQ(d.eNewWidth->text(), "80");
    d.cbMaintainRatio->setChecked(false);
    d.eNewWidth->selectAll();
    QTest::keyClicks(d.eNewWidth, "10");
    EXPECT_EQ(d.eNewHeight->text(), "60"); // free proportions: the other field stays
    d.cbMaintainRatio->setChecked(true);
    EXPECT_EQ(d.eNewHeight->text(), "8"); // constrained again from the width typed last
}

TEST_F(EditorTest, MenusHaveAcceleratorsAndShowTheirKeys) {
    for (QAction* a : ed_->menuBar()->actions())
        EXPECT_TRUE(a->text().contains('&')) << a->text().toStdString();
    for (const char* name : {"Open1", "SaveAs1", "Print1", "Close1", "Undo1", "Redo1",
                             "N90DegreesCW1", "Crop1", "Resize1", "Blur1", "Mosaic1"}) {
        QAction* a = ed_->findChild<QAction*>(name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_TRUE(a->text().contains('&')) << name;
    }
    EXPECT_FALSE(ed_->findChild<QAction*>("SaveAs1")->shortcut().isEmpty());
    // Tool windows keep above the browser but not above their own dialogs.
    EXPECT_FALSE(ed_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

} // namespace
