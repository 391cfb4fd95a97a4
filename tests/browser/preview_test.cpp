// The preview pane with real files: which control shows which type, sizes
// and fitting, failed loads, next and previous, the slide show and keys.

#include <QAction>
#include <QBuffer>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "browser/clipplayer.h"
#include "browser/filecommands.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/previewcontrols.h"
#include "browser/previewsize.h"
#include "fixtures.h"
#include "formats/library.h"
#include "formats/png.h"
#include "formats/qt/metafile_qt.h"
#include "support/scriptedprompts.h"
#include "view/pgimage.h"

namespace {

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A shown main window whose preview pane is 500 x 300.
struct TPane {
    std::unique_ptr<TForm1> form;
    TPreview* pv;
    TPane() : form(std::make_unique<TForm1>()) {
        form->resize(1000, 700);
        form->show();
        form->RightMain->setFixedSize(500, 300);
        Settle();
        pv = form->Preview;
    }
    ~TPane() {
        form->close();
        form.reset();
    }
    TForm1* operator->() const { return form.get(); }
    void Show(const QString& path) {
        form->ShowInPreview(path);
        Settle();
    }
    int VisibleControls() const {
        int n = 0;
        for (QWidget* c :
             {static_cast<QWidget*>(pv->PGImage1), static_cast<QWidget*>(pv->Image1),
              static_cast<QWidget*>(pv->GIFImage1), static_cast<QWidget*>(pv->AVIPlay1)})
            n += !c->isHidden();
        return n;
    }
    QRect Shown() const {
        QWidget* c = pv->ShownControl();
        return c ? c->geometry() : QRect();
    }
    QStringList Selected() const { return form->SLV1->SelectedNames(); }
};

QColor Qc(TRGB c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// The quadrant colours as the control draws them, sampled at the
// quadrants' centres. An animation may be at any of its frames, whose
// quadrants are turned by the frame number.
void ExpectQuadrants(QWidget* control, const char* what, bool animated = false) {
    const QImage img = control->grab().toImage();
    const int w = img.width(), h = img.height();
    const QPoint at[4] = {
        {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    int turn = 0;
    if (animated)
        for (int f = 0; f < 4; ++f)
            if (img.pixelColor(at[0]) == Qc(samples::kQuad[f])) turn = f;
    for (int q = 0; q < 4; ++q) {
        const QColor c = img.pixelColor(at[q]), e = Qc(samples::kQuad[(q + turn) % 4]);
        // JPEG may move a colour a little.
        EXPECT_LE(std::abs(c.red() - e.red()) + std::abs(c.green() - e.green()) +
                      std::abs(c.blue() - e.blue()),
                  24)
            << what << " quadrant " << q << " " << c.name().toStdString();
    }
}

class Preview : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        RegisterMetafileFormats();
        ClearSettings();
        ViewAllFiles = false;
    }
    void TearDown() override { TForm1::SetPreviewHook(nullptr); }
    QString Path(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    TScopedPrompts prompts;
};

} // namespace

TEST_F(Preview, PicturesAtTheirSizeFittedWhenLargerOrAsked) {
    samples::SaveQuad(Path("small.bmp"), 100, 50);
    samples::SaveQuad(Path("large.png"), 2000, 1000);
    TPane p;
    ASSERT_EQ(p->RightMain->size(), QSize(500, 300));

    p.Show(Path("small.bmp"));
    EXPECT_EQ(p.pv->PreviewType, "BMP");
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));
    EXPECT_EQ(p->SB1->PanelText(3), " small.bmp  (100 x 50)");
    EXPECT_EQ(p->SB1->PanelText(2),
              QString::number(QFileInfo(Path("small.bmp")).size() / 1024 + 1) + "K");
    EXPECT_FALSE(p->ALed1->Lit());
    ExpectQuadrants(p.pv->PGImage1, "small");

    p->FitToPane(); // "Zoom In (+)"
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    ExpectQuadrants(p.pv->PGImage1, "zoomed");
    p.pv->ZoomOut(); // nothing selected: the file shown comes back at its size
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));

    p->Command("AutoZoom")->trigger();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    p.Show(Path("small.bmp")); // loads fit while Auto Zoom is down
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    p->Command("AutoZoom")->trigger();
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));

    p.Show(Path("large.png"));
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    EXPECT_EQ(p->SB1->PanelText(3), " large.png  (2000 x 1000)");
    ExpectQuadrants(p.pv->PGImage1, "large");

    // Keypad minus on a picture larger than the pane: its own size, with
    // scroll bars in the pane; keypad plus fits it again.
    p->activateWindow();
    p->SLV1->setFocus();
    Settle();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : p.form.get();
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    Settle();
    EXPECT_TRUE(p.pv->ShowsActualSize());
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 292));
    EXPECT_EQ(p.pv->PGImage1->EffectiveZoom(), 1.0L);
    EXPECT_TRUE(p.pv->PGImage1->horizontalScrollBar()->isVisible());
    p->RightMain->setFixedSize(600, 400); // follows the pane
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 592, 392));
    QTest::keyClick(target, Qt::Key_Plus, Qt::KeypadModifier);
    Settle();
    EXPECT_FALSE(p.pv->ShowsActualSize());
    EXPECT_EQ(p.Shown(), QRect(4, 4, 592, 296));
    ExpectQuadrants(p.pv->PGImage1, "fitted again");
}

TEST_F(Preview, EachTypeHasItsControl) {
    samples::SaveQuad(Path("a.jpg"), 60, 40);
    samples::SaveQuad(Path("b.tif"), 60, 40);
    samples::SaveQuad(Path("c.tga"), 60, 40);
    ASSERT_TRUE(samples::WriteQuadPcx(Path("d.pcx"), 60, 40));
    ASSERT_TRUE(samples::WriteQuadGif(Path("e.gif"), 60, 40, 3));
    ASSERT_TRUE(samples::WriteQuadIco(Path("f.ico"), 32, 32));
    ASSERT_TRUE(samples::WriteQuadWmf(Path("g.wmf"), 100, 50));
    ASSERT_TRUE(samples::WriteBytes(Path("h.avi"), samples::AviHeaderBytes(640, 480)));
    ASSERT_TRUE(samples::WriteBytes(Path("i.avi"), samples::AviHeaderBytes(320, 200)));
    ASSERT_TRUE(samples::WriteQuadGif(Path("j.gif"), 60, 40, 1));
    TPane p;
    const int dpi = int(MetafileScreenDpi() + 0.5);
    struct Case {
        const char* name;
        QWidget* control;
        QSize size;
    };
    const Case cases[] = {
        {"a.jpg", p.pv->PGImage1, {60, 40}},     {"b.tif", p.pv->PGImage1, {60, 40}},
        {"c.tga", p.pv->PGImage1, {60, 40}},     {"d.pcx", p.pv->PGImage1, {60, 40}},
        {"e.gif", p.pv->GIFImage1, {60, 40}},    {"f.ico", p.pv->Image1, {32, 32}},
        {"g.wmf", p.pv->Image1, {dpi, dpi / 2}}, {"h.avi", p.pv->AVIPlay1, {145, 109}},
        {"i.avi", p.pv->AVIPlay1, {320, 200}},   {"j.gif", p.pv->GIFImage1, {60, 40}},
    };
    for (const Case& c : cases) {
        p.Show(Path(c.name));
        EXPECT_EQ(p.pv->ShownControl(), c.control) << c.name;
        EXPECT_EQ(p.VisibleControls(), 1) << c.name;
        EXPECT_EQ(p.Shown(), QRect(QPoint(4, 4), c.size)) << c.name;
        if (c.control != p.pv->AVIPlay1)
            ExpectQuadrants(c.control, c.name, QString(c.name) == "e.gif");
    }
    EXPECT_TRUE(prompts->asked.empty());
    // Only a picture of more than one frame plays; clips start playing.
    p.Show(Path("e.gif"));
    EXPECT_TRUE(p.pv->GIFImage1->Animate());
    EXPECT_EQ(p.pv->GIFImage1->FrameCount(), 3);
    p.Show(Path("j.gif"));
    EXPECT_FALSE(p.pv->GIFImage1->Animate());
    p.Show(Path("h.avi"));
    EXPECT_TRUE(p.pv->AVIPlay1->Playing());
    EXPECT_EQ(p->SB1->PanelText(3), " h.avi  (640 x 480)");
    p->Command("AutoZoom")->trigger();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 389, 292)); // 492 x 369 would not fit
    p.Show(Path("a.jpg"));
    EXPECT_FALSE(p.pv->AVIPlay1->Playing());
}

// A poster-sized metafile is played at the size the pane shows it at, not
// at its own size first; the status bar still gives its own size, and a
// pane that grows gets it played again, larger.
TEST_F(Preview, LargeMetafilesArePlayedAtThePanesSize) {
    ASSERT_TRUE(samples::WriteQuadWmf(Path("poster.wmf"), 100, 130, 10)); // 100 x 130 inches
    TPane p;
    const int dpi = int(MetafileScreenDpi() + 0.5);
    const QSize own(100 * dpi, 130 * dpi);
    p.Show(Path("poster.wmf"));
    ASSERT_EQ(p.pv->ShownControl(), p.pv->Image1);
    EXPECT_EQ(p.Shown(), QRect(QPoint(4, 4), FitToPaneSize(own, QSize(500, 300))));
    const QSize played = p.pv->Image1->Picture().size();
    EXPECT_EQ(played.width(), p.Shown().width());
    EXPECT_NEAR(played.height(), p.Shown().height(), 1);
    ExpectQuadrants(p.pv->Image1, "poster");
    EXPECT_EQ(p->SB1->PanelText(3), QString(" poster.wmf  (%1 x %2)").arg(own.width()).arg(own.height()));

    p->RightMain->setFixedSize(900, 650);
    Settle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.pv->Image1->Picture().width() > played.width(); }, 3000));
    EXPECT_EQ(p.pv->Image1->Picture().width(), p.Shown().width());
    ExpectQuadrants(p.pv->Image1, "poster, larger pane");
}

// An animated WebP file plays as a GIF does: in the animation control,
// every frame for its time, round and round; a still WebP file stays with
// the image view control.
TEST_F(Preview, AnimatedWebPPlaysLikeAGif) {
    const QString img2webp = QStandardPaths::findExecutable("img2webp");
    if (img2webp.isEmpty()) GTEST_SKIP() << "img2webp missing";
    // Without a gAMA chunk, which the encoder would apply to the colours.
    WriteGamma = false;
    for (int f = 0; f < 2; ++f) {
        auto pg = samples::QuadPicture(60, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                pg->SetPixel(x, y, samples::kQuad[(samples::QuadrantOf(x, y, 60, 40) + f) % 4]);
        pg->SaveToFile(QFile::encodeName(Path(f ? "f1.png" : "f0.png")).toStdString());
    }
    WriteGamma = true;
    ASSERT_EQ(QProcess::execute(img2webp, {"-loop", "0", "-lossless", "-d", "150", Path("f0.png"),
                                           Path("f1.png"), "-o", Path("anim.webp")}),
              0);
    samples::SaveQuad(Path("still.webp"), 60, 40);
    TPane p;
    p.Show(Path("anim.webp"));
    EXPECT_EQ(p.pv->ShownControl(), p.pv->GIFImage1);
    EXPECT_EQ(p.Shown(), QRect(4, 4, 60, 40));
    EXPECT_EQ(p.pv->GIFImage1->FrameCount(), 2);
    EXPECT_TRUE(p.pv->GIFImage1->Animate());
    ExpectQuadrants(p.pv->GIFImage1, "anim.webp", true);
    // Both frames come round, the first one again after the second.
    QList<QRgb> seen;
    QElapsedTimer t;
    t.start();
    while (seen.size() < 3 && t.elapsed() < 3000) {
        QTest::qWait(20);
        const QRgb c = p.pv->GIFImage1->CurrentFrame().pixel(5, 5);
        if (seen.isEmpty() || seen.back() != c) seen << c;
    }
    ASSERT_EQ(seen.size(), 3);
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_EQ(seen[0], seen[2]);
    p.Show(Path("still.webp"));
    EXPECT_EQ(p.pv->ShownControl(), p.pv->PGImage1);
    EXPECT_FALSE(p.pv->GIFImage1->Animate());
}

TEST_F(Preview, AFailedLoadLeavesTheBrowserUsable) {
    samples::SaveQuad(Path("good.bmp"), 40, 20);
    for (const char* n : {"bad.ico", "bad.wmf", "bad.jpg", "bad.gif", "bad.avi", "bad.png"})
        ASSERT_TRUE(samples::WriteBytes(Path(n), std::vector<uint8_t>(3000, 0x5A)));
    TPane p;
    p.Show(Path("good.bmp"));
    EXPECT_EQ(p->SB1->PanelText(3), " good.bmp  (40 x 20)");
    struct Case {
        const char* name;
        bool message;
    };
    const Case cases[] = {{"bad.ico", true},  {"bad.wmf", true},  {"bad.jpg", false},
                          {"bad.gif", false}, {"bad.avi", false}, {"bad.png", false},
                          {"gone.bmp", false}};
    for (const Case& c : cases) {
        prompts->asked.clear();
        p.Show(Path(c.name));
        EXPECT_EQ(prompts->Messages(),
                  c.message ? QStringList{"Error reading image file"} : QStringList{})
            << c.name;
        EXPECT_EQ(p.VisibleControls(), 0) << c.name;
        EXPECT_FALSE(p->ALed1->Lit()) << c.name;
        EXPECT_EQ(p->SB1->PanelText(2), QString(c.name) == "gone.bmp" ? "1K" : "3K") << c.name;
        // Cleared: the name of the picture shown before is not the file selected.
        EXPECT_EQ(p->SB1->PanelText(3), "") << c.name;
        // The pane says why instead of staying blank.
        EXPECT_TRUE(p.pv->PreviewMessage->isVisible()) << c.name;
        const QString said = p.pv->PreviewMessage->text();
        EXPECT_TRUE(said.startsWith(QString("Can not show ") + c.name + "\n\n")) << c.name;
        EXPECT_GT(said.size(), QString("Can not show \n\n").size() + int(strlen(c.name)) + 5);
        p->FitToPane(); // harmless with nothing shown
    }
    // The reader's own words: which format, what is wrong.
    ASSERT_TRUE(samples::WriteBytes(Path("broken.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A,
                                                         '\n', 'x', 'x', 'x', 'x', 'x', 'x',
                                                         'x', 'x', 'x', 'x', 'x', 'x'}));
    p.Show(Path("broken.png"));
    EXPECT_TRUE(p.pv->PreviewMessage->text().contains("\n\nPNG: "))
        << p.pv->PreviewMessage->text().toStdString();
    p.Show(Path("bad.png"));
    EXPECT_TRUE(p.pv->PreviewMessage->text().endsWith("Unknown file format"))
        << p.pv->PreviewMessage->text().toStdString();
    p.Show(Path("gone.bmp"));
    EXPECT_TRUE(p.pv->PreviewMessage->text().endsWith("The file is not there (any more)."));
    p.Show(Path("good.bmp"));
    EXPECT_EQ(p.Shown(), QRect(4, 4, 40, 20));
    EXPECT_FALSE(p.pv->PreviewMessage->isVisible());
}

// Resizing the pane (the window, the splitter) keeps the load's rule: a
// small picture stays at its own size unless "Auto Zoom" is down, and a
// fitted one is fitted again.
TEST_F(Preview, APaneResizeKeepsAutoZoomAsItIs) {
    samples::SaveQuad(Path("small.bmp"), 100, 50);
    samples::SaveQuad(Path("large.bmp"), 2000, 1000);
    TPane p;
    ASSERT_TRUE(p->OpenFolder(dir.path()));
    auto select = [&](int row) {
        p->SLV1->selectionModel()->setCurrentIndex(p->SLV1->Model()->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        Settle();
    };
    select(1); // small.bmp
    ASSERT_EQ(p.Shown(), QRect(4, 4, 100, 50));
    p->RightMain->setFixedSize(700, 400);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));

    p->Command("AutoZoom")->trigger();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 692, 346));
    p->RightMain->setFixedSize(500, 300);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    p->Command("AutoZoom")->trigger();
    Settle();

    select(0); // large.bmp: fitted, and fitted again to the new pane
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    p->RightMain->setFixedSize(300, 500);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 292, 146));

    // A file shown without a selection (from another window) follows too.
    p->SLV1->ClearSelectionAll();
    p.Show(Path("large.bmp"));
    p->RightMain->setFixedSize(600, 500);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 592, 296));
}

TEST_F(Preview, NextAndPreviousWrapAround) {
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
        samples::SaveQuad(Path(n), 30, 20);
    QStringList shown;
    TForm1::SetPreviewHook([&](TForm1*, const QString& f) { shown << QFileInfo(f).fileName(); });
    TPane p;
    ASSERT_TRUE(p->OpenFolder(dir.path()));
    QAction* next = p->Command("NextImageButton");
    QAction* prev = p->Command("PreviousImageButton");
    struct Step {
        QAction* action;
        const char* selected;
    };
    const Step steps[] = {{next, "a.bmp"}, {next, "b.bmp"}, {next, "c.bmp"}, {next, "a.bmp"},
                          {prev, "c.bmp"}, {prev, "b.bmp"}, {prev, "a.bmp"}};
    for (const Step& s : steps) {
        s.action->trigger();
        Settle();
        EXPECT_EQ(p.Selected(), QStringList{s.selected});
        EXPECT_EQ(p->PendingFile, Path(s.selected));
        EXPECT_EQ(p.pv->LastShownName, Path(s.selected));
    }
    EXPECT_EQ(shown, (QStringList{"a.bmp", "b.bmp", "c.bmp", "a.bmp", "c.bmp", "b.bmp", "a.bmp"}));

    // Previous with no focused item starts from the end.
    p->OpenFolder(dir.path());
    prev->trigger();
    EXPECT_EQ(p.Selected(), QStringList{"c.bmp"});

    // Other selected items stay selected; two selected show nothing new.
    shown.clear();
    p->SLV1->selectionModel()->select(p->SLV1->model()->index(0, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    next->trigger(); // c -> a (wraps), a stays selected anyway
    Settle();
    EXPECT_EQ(p.Selected(), QStringList{"a.bmp"});

    // A single file: Next keeps it selected and does not load it again.
    QTemporaryDir one;
    samples::SaveQuad(one.filePath("a.bmp"), 30, 20);
    p->OpenFolder(one.path());
    shown.clear();
    next->trigger();
    Settle();
    next->trigger();
    Settle();
    EXPECT_EQ(p.Selected(), QStringList{"a.bmp"});
    EXPECT_EQ(shown, QStringList{"a.bmp"});
    // The same name in another folder is another file.
    EXPECT_EQ(p->PendingFile, one.filePath("a.bmp"));
    p->OpenFolder(dir.path());
    next->trigger();
    Settle();
    EXPECT_EQ(p->PendingFile, Path("a.bmp"));
}

TEST_F(Preview, SlideShowTicksAndPausesUnderAModalBox) {
    QTemporaryDir empty;
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
        samples::SaveQuad(Path(n), 30, 20);
    TPane p;
    QAction* btn = p->Command("TavirloBtn");
    QAction* bookmarks = nullptr;
    for (QAction* a : p->menuBar()->actions())
        if (PlainCaption(a->text()) == "Bookmarks") bookmarks = a;
    ASSERT_NE(bookmarks, nullptr);
    QTimer* timer = p.pv->Timer1;
    auto tick = [&] {
        QMetaObject::invokeMethod(timer, "timeout");
        Settle();
    };

    p->OpenFolder(empty.path());
    btn->trigger();
    EXPECT_FALSE(btn->isChecked());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(prompts->Messages(),
              QStringList{"You must select a folder with files to run a slide show"});
    EXPECT_TRUE(bookmarks->isEnabled());

    p->OpenFolder(dir.path());
    btn->trigger();
    Settle();
    EXPECT_TRUE(btn->isChecked());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 4000);
    EXPECT_FALSE(bookmarks->isEnabled());
    EXPECT_EQ(p.Selected(), QStringList{"a.bmp"});
    EXPECT_EQ(p->PendingFile, Path("a.bmp"));
    p->Seconds->stepUp(); // the arrows change a running show at once
    EXPECT_EQ(timer->interval(), 5000);

    tick();
    EXPECT_EQ(p.Selected(), QStringList{"b.bmp"});
    {
        QDialog box(p.form.get());
        box.setModal(true);
        box.show();
        Settle();
        tick();
        EXPECT_EQ(p.Selected(), QStringList{"b.bmp"}) << "stepped under a modal box";
    }
    tick();
    tick();
    EXPECT_EQ(p.Selected(), QStringList{"a.bmp"});
    EXPECT_EQ(p->PendingFile, Path("a.bmp"));

    btn->trigger();
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(bookmarks->isEnabled());
    btn->trigger();
    EXPECT_TRUE(timer->isActive());
    // An emptied list ends the show when the button is next used.
    p->OpenFolder(empty.path());
    prompts->asked.clear();
    btn->trigger();
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(btn->isChecked());
    EXPECT_TRUE(prompts->asked.empty());
    btn->trigger();
    p->OpenFolder(dir.path());
    btn->trigger();
    EXPECT_TRUE(timer->isActive());
    p->close();
    EXPECT_FALSE(timer->isActive());
}

TEST_F(Preview, KeysActOnlyInTheMainWindow) {
    samples::SaveQuad(Path("a.bmp"), 100, 50);
    TPane p;
    p->OpenFolder(dir.path());
    p->Command("NextImageButton")->trigger();
    Settle();
    ASSERT_EQ(p.Shown(), QRect(4, 4, 100, 50));

    // Another window's edit box keeps its keys to itself.
    QLineEdit other;
    other.show();
    other.activateWindow();
    other.setFocus();
    Settle();
    QTest::keyClick(&other, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));
    EXPECT_EQ(other.text(), "+");
    other.hide();

    p->activateWindow();
    p->SLV1->setFocus();
    Settle();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : p.form.get();
    ASSERT_EQ(target->window(), p.form.get());
    QTest::keyClick(target, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(p.Shown(), QRect(4, 4, 492, 246));
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));
    // The plain minus key is not the keypad's.
    QTest::keyClick(target, Qt::Key_Plus);
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));

    // A pane that changes size leaves a picture that fits at its own size
    // ("Auto Zoom" is up) and fits one that no longer does.
    p->RightMain->setFixedSize(300, 400);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 100, 50));
    p->RightMain->setFixedSize(60, 400);
    Settle();
    EXPECT_EQ(p.Shown(), QRect(4, 4, 52, 26));
}

TEST_F(Preview, IconsOfTodayShowTheirLargestImageOverThePaneColour) {
    // A 256 x 256 PNG-compressed icon, its left half transparent.
    QImage im(256, 256, QImage::Format_ARGB32);
    im.fill(QColor(200, 30, 60));
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 128; ++x)
            im.setPixelColor(x, y, QColor(0, 0, 0, 0));
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(im.save(&buf, "PNG"));
    QByteArray ico("\0\0\1\0\1\0", 6);
    const uint32_t size = uint32_t(png.size()), offset = 22;
    // One directory entry: 256 x 256 (stored as 0), 32 bits, size, offset 22.
    char entry[16] = {0, 0, 0, 0, 1, 0, 32, 0};
    for (int i = 0; i < 4; ++i) {
        entry[8 + i] = char(size >> (8 * i));
        entry[12 + i] = char(offset >> (8 * i));
    }
    ico.append(entry, 16).append(png);
    QFile f(Path("big.ico"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ico);
    f.close();

    TPane p;
    QPalette pal = p->RightMain->palette();
    pal.setColor(QPalette::Window, QColor(10, 120, 20));
    p->RightMain->setPalette(pal);
    p.Show(Path("big.ico"));
    EXPECT_TRUE(prompts->Messages().isEmpty());
    ASSERT_EQ(p.pv->ShownControl(), p.pv->Image1);
    const QImage shown = p.pv->Image1->Picture();
    ASSERT_EQ(shown.size(), QSize(256, 256));
    EXPECT_EQ(shown.pixelColor(10, 100), QColor(10, 120, 20));
    EXPECT_EQ(shown.pixelColor(200, 100), QColor(200, 30, 60));
}

TEST_F(Preview, ClipsPlayAndLoopWhileShown) {
    const QString clip = Path("c.avi");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                           "testsrc=size=64x48:rate=25 -frames:v 4 -c:v mjpeg '" +
                           clip.toStdString() + "'")
                              .c_str()),
              0);
    samples::SaveQuad(Path("a.jpg"), 60, 40);
    TPane p;
    p.Show(clip);
    TAVIPlayer* avi = p.pv->AVIPlay1;
    ASSERT_TRUE(avi->Playing());
    TClipPlayer* player = avi->Player();
    ASSERT_FALSE(player->CurrentFrame().isNull()); // the first frame at once
    EXPECT_EQ(player->CurrentFrame().size(), QSize(64, 48));
    // Showing the pane runs events: on a busy machine the clip may already
    // have moved on, so compare against the frame of the index seen here.
    const QImage first = player->CurrentFrame();
    const int firstIndex = player->CurrentIndex();
    // Four frames at 40 ms: within a second the clip has moved on and looped.
    QSet<int> seen;
    for (int i = 0; i < 100 && seen.size() < 4; ++i) {
        QTest::qWait(10);
        seen.insert(player->CurrentIndex());
    }
    EXPECT_EQ(seen.size(), 4);
    // On another frame than that one, the player holds another picture.
    for (int i = 0; i < 100 && player->CurrentIndex() == firstIndex; ++i)
        QTest::qWait(5);
    ASSERT_NE(player->CurrentIndex(), firstIndex);
    EXPECT_NE(player->CurrentFrame(), first);
    p.Show(Path("a.jpg"));
    EXPECT_FALSE(avi->Playing());
    EXPECT_TRUE(player->CurrentFrame().isNull()); // frames freed when hidden
}

namespace {

// A photo-like JPEG: gradients with grain, different for each seed.
void SavePhoto(const QString& path, int w, int h, uint32_t seed) {
    TPixelGraphic pg;
    pg.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pg.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 27);
            row[3 * x] = uint8_t((x / 16 + n) & 255);
            row[3 * x + 1] = uint8_t((y / 10 + n + int(seed & 7)) & 255);
            row[3 * x + 2] = uint8_t(((x + y) / 24 + n) & 255);
        }
    }
    pg.SaveToFile(QFile::encodeName(path).toStdString());
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.PixelFormat() != b.PixelFormat())
        return false;
    const size_t row = size_t(a.GetWidth()) * 3;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(const_cast<TPixelGraphic&>(a).ScanLine(y),
                        const_cast<TPixelGraphic&>(b).ScanLine(y), row) != 0)
            return false;
    return true;
}

std::unique_ptr<TPixelGraphic> PlainLoad(const QString& path) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->LoadFromFile(QFile::encodeName(path).toStdString());
    return pg;
}

// Runs the queued load now, and nothing after it.
void LoadNow(TPane& p, const QString& path) {
    p->ShowInPreview(path);
    while (p.pv->LoadQueued())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

void WaitForWholePicture(TPane& p) {
    for (int i = 0; i < 2000 && p.pv->ShowsFirstLook(); ++i)
        QTest::qWait(5);
    ASSERT_FALSE(p.pv->ShowsFirstLook());
    p.pv->Preloader().WaitIdle();
}

} // namespace

TEST_F(Preview, AFittedJpegIsShownFirstReducedThenWholeInTheSamePlace) {
    // 4000 x 2400 fits the 500 x 300 pane at 492 x 295: an eighth (500 x 300)
    // still covers that.
    SavePhoto(Path("a.jpg"), 4000, 2400, 1);
    SavePhoto(Path("b.jpg"), 4000, 2400, 2);
    SavePhoto(Path("small.jpg"), 900, 500, 3); // fitted more than half: no first look
    TPane p;

    LoadNow(p, Path("a.jpg"));
    ASSERT_TRUE(p.pv->ShowsFirstLook());
    EXPECT_EQ(p.pv->PGImage1->ImageWidth(), 500);
    const QRect place = p.Shown();
    EXPECT_EQ(place, QRect(4, 4, 492, 295));
    // Everything the user reads tells the file's size from the first paint.
    EXPECT_EQ(p->SB1->PanelText(3), " a.jpg  (4000 x 2400)");
    p->FitToPane();
    EXPECT_EQ(p.Shown(), place);
    WaitForWholePicture(p);
    Settle();
    EXPECT_EQ(p.Shown(), place);
    EXPECT_TRUE(SamePixels(*p.pv->PGImage1->CurrentPixelGraphic(), *PlainLoad(Path("a.jpg"))));

    LoadNow(p, Path("small.jpg"));
    EXPECT_FALSE(p.pv->ShowsFirstLook());
    EXPECT_EQ(p.pv->PGImage1->ImageWidth(), 900);

    // A click during the whole decode of another file: the older file never
    // comes back.
    LoadNow(p, Path("a.jpg"));
    ASSERT_TRUE(p.pv->ShowsFirstLook());
    LoadNow(p, Path("b.jpg"));
    WaitForWholePicture(p);
    Settle();
    EXPECT_EQ(p->SB1->PanelText(3), " b.jpg  (4000 x 2400)");
    EXPECT_TRUE(SamePixels(*p.pv->PGImage1->CurrentPixelGraphic(), *PlainLoad(Path("b.jpg"))));

    // The clipboard gets every pixel of the file, at once.
    LoadNow(p, Path("a.jpg"));
    ASSERT_TRUE(p.pv->ShowsFirstLook());
    ASSERT_TRUE(CopyPreviewToClipboard(p.form.get()));
    EXPECT_FALSE(p.pv->ShowsFirstLook());
    EXPECT_EQ(p.Shown(), place);
    EXPECT_EQ(p.pv->PGImage1->ImageWidth(), 4000);

    // Without the worker there is no first look.
    p.pv->Preloader().SetEnabled(false);
    LoadNow(p, Path("b.jpg"));
    EXPECT_FALSE(p.pv->ShowsFirstLook());
    EXPECT_EQ(p.pv->PGImage1->ImageWidth(), 4000);
}

