// The browser's turn commands: menus and keys, JPEG and decoded formats in
// one selection, files left alone and named, the trim question, and the
// preview, list and thumbnail cache following the turned files.

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "browser/mainform.h"
#include "browser/turncommands.h"
#include "core/pixelgraphic.h"
#include "fixtures.h"
#include "formats/gifwrite.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"
#include "thumbs/thumbcache.h"

namespace {

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A 24-bit picture whose every pixel differs from the others.
void MakePicture(TPixelGraphic& p, int w, int h) {
    p.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.SetPixelColor(x, y, RGB(40 * x, 40 * y, 200));
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class TurnCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        InitImageLibrary();
        form = std::make_unique<TForm1>();
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        form->close();
        form.reset();
        TForm1::SetPreviewHook(nullptr);
    }
    // The Edit menu's command (the pop-up's twin follows the selection).
    QAction* EditCommand(const QString& caption) {
        for (QAction* m : form->menuBar()->actions())
            if (PlainCaption(m->text()) == "Edit" && m->menu())
                for (QAction* a : m->menu()->actions())
                    if (PlainCaption(a->text()) == caption) return a;
        ADD_FAILURE() << "no Edit command " << caption.toStdString();
        return new QAction(form.get());
    }
    void ListAndSelectAll() {
        ASSERT_TRUE(form->OpenFolder(dir.path()));
        form->SLV1->selectAll();
    }
    TScopedPrompts prompts;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
};

TEST_F(TurnCommands, MenusCarryTheCommandsAndTheKeysCollideWithNothing) {
    QMenu* edit = nullptr;
    for (QAction* a : form->menuBar()->actions())
        if (PlainCaption(a->text()) == "Edit") edit = a->menu();
    ASSERT_NE(edit, nullptr);
    for (const char* caption : kTurnCommandCaptions) {
        int inEdit = 0, inPopup = 0;
        for (QAction* a : edit->actions()) inEdit += PlainCaption(a->text()) == caption;
        for (QAction* a : form->PopupMenu1->actions()) inPopup += PlainCaption(a->text()) == caption;
        EXPECT_EQ(inEdit, 1) << caption;
        EXPECT_EQ(inPopup, 1) << caption;
    }
    EXPECT_EQ(EditCommand("Rotate Left")->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(EditCommand("Rotate Right")->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_TRUE(EditCommand("Rotate Left")->isEnabled());
    // The pop-up's commands need a selection.
    QAction* popupFlip = nullptr;
    for (QAction* a : form->PopupMenu1->actions())
        if (PlainCaption(a->text()) == "Flip Vertical") popupFlip = a;
    ASSERT_NE(popupFlip, nullptr);
    form->UpdatePopupMenu1();
    EXPECT_FALSE(popupFlip->isEnabled());
    MakeFile(dir.filePath("x.jpg"), 1);
    ListAndSelectAll();
    form->UpdatePopupMenu1();
    EXPECT_TRUE(popupFlip->isEnabled());
    // No other command of the window answers these keys.
    QList<QAction*> all = form->findChildren<QAction*>();
    for (QAction* a : all) {
        if (PlainCaption(a->text()).startsWith("Rotate ")) continue;
        for (const QKeySequence& k : a->shortcuts())
            EXPECT_TRUE(k != QKeySequence("Ctrl+L") && k != QKeySequence("Ctrl+R")) << a->text().toStdString();
    }
}

TEST_F(TurnCommands, TurnsJpegLosslesslyAndOtherFormatsInTheirOwnFormat) {
    TPixelGraphic p;
    MakePicture(p, 32, 16);
    p.SaveToFile(Native(dir.filePath("a.jpg")));
    MakePicture(p, 3, 2);
    p.SaveToFile(Native(dir.filePath("b.png")));
    // A palette GIF with a transparent colour.
    TPixelGraphic g;
    g.SetFormat(4, 2, pg8Bit);
    g.SetPaletteCount(3);
    g.SetPaletteEntry(0, RGB(255, 0, 0));
    g.SetPaletteEntry(1, RGB(0, 255, 0));
    g.SetPaletteEntry(2, RGB(0, 0, 255));
    for (int x = 0; x < 4; ++x) g.SetPixel(x, 0, x % 3), g.SetPixel(x, 1, 2);
    ASSERT_TRUE(WriteGIFFile(Native(dir.filePath("c.gif")), g, false, RGB(0, 255, 0), true));
    MakePicture(p, 16, 16);
    p.SaveToFile(Native(dir.filePath("d.jpg")));
    ::chmod(Native(dir.filePath("d.jpg")).c_str(), 0444);
    const QByteArray readOnly = FileBytes(dir.filePath("d.jpg"));
    ListAndSelectAll();

    QStringList shown;
    TForm1::SetPreviewHook([&](TForm1*, const QString& f) { shown << f; });
    form->ShowInPreview(dir.filePath("a.jpg"));
    shown.clear();
    // A thumbnail cache entry of a turned file is dropped.
    const QString entry = ThumbCachePath(dir.filePath("b.png"), 128);
    QDir().mkpath(QFileInfo(entry).absolutePath());
    MakeFile(entry, 10);

    EditCommand("Rotate Right")->trigger();

    TPixelGraphic r;
    r.LoadFromFile(Native(dir.filePath("a.jpg")));
    EXPECT_EQ(r.GetWidth(), 16);
    EXPECT_EQ(r.GetHeight(), 32);
    r.LoadFromFile(Native(dir.filePath("b.png")));
    ASSERT_EQ(r.GetWidth(), 2);
    ASSERT_EQ(r.GetHeight(), 3);
    MakePicture(p, 3, 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(r.GetPixelColor(x, y), p.GetPixelColor(y, 1 - x)) << x << "," << y;
    r.LoadFromFile(Native(dir.filePath("c.gif")));
    ASSERT_EQ(r.GetWidth(), 2);
    EXPECT_LE(r.BitsPerPixel(), 8);
    // Still transparent green: the graphic control block's index names green
    // in the global colour table.
    const QByteArray gif = FileBytes(dir.filePath("c.gif"));
    const qsizetype gce = gif.indexOf(QByteArray("\x21\xF9\x04", 3));
    ASSERT_GT(gce, 0);
    EXPECT_TRUE(gif[gce + 3] & 1);
    const int index = uint8_t(gif[gce + 6]);
    EXPECT_EQ(gif.mid(13 + 3 * index, 3), QByteArray("\x00\xFF\x00", 3));
    EXPECT_EQ(r.GetPixelColor(1, 0), RGB(255, 0, 0)); // old (0, 0), top right now
    EXPECT_EQ(r.GetPixelColor(0, 3), RGB(0, 0, 255));

    // The read-only file is named and left as it was.
    EXPECT_EQ(FileBytes(dir.filePath("d.jpg")), readOnly);
    const QStringList messages = prompts->Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("d.jpg: the file is read-only")) << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains("a.jpg"));

    // The list shows the new sizes, the selection stays, the preview reloads
    // the file it shows, the cache entry is gone.
    for (int row = 0; row < form->SLV1->Count(); ++row)
        EXPECT_EQ(form->SLV1->Model()->Item(row).size,
                  QFileInfo(dir.filePath(form->SLV1->Caption(row))).size());
    EXPECT_EQ(form->SLV1->SelCount(), 4);
    EXPECT_TRUE(shown.contains(dir.filePath("a.jpg"))) << shown.join("|").toStdString();
    EXPECT_FALSE(QFile::exists(entry));
}

TEST_F(TurnCommands, InexactJpegAsksBeforeTrimmingAndFormatsWithoutWriterAreNamed) {
    TPixelGraphic p;
    MakePicture(p, 33, 17);
    p.SaveToFile(Native(dir.filePath("odd.jpg")));
    const QByteArray before = FileBytes(dir.filePath("odd.jpg"));
    // No writer for PCX: a file of that name is left alone.
    MakePicture(p, 4, 4);
    p.SaveToFile(Native(dir.filePath("e.bmp")));
    QFile::rename(dir.filePath("e.bmp"), dir.filePath("e.pcx"));
    ListAndSelectAll();

    prompts->buttonAnswers = {QMessageBox::No, QMessageBox::Ok};
    EditCommand("Rotate Left")->trigger();
    EXPECT_EQ(FileBytes(dir.filePath("odd.jpg")), before);
    QStringList m = prompts->Messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_TRUE(m[0].contains("odd.jpg")) << m[0].toStdString();
    EXPECT_TRUE(m[1].contains("odd.jpg: not turned")) << m[1].toStdString();
    EXPECT_TRUE(m[1].contains("e.pcx: there is no writer for pcx files")) << m[1].toStdString();

    prompts->asked.clear();
    prompts->buttonAnswers = {QMessageBox::Yes, QMessageBox::Ok};
    EditCommand("Rotate Left")->trigger();
    TPixelGraphic r;
    r.LoadFromFile(Native(dir.filePath("odd.jpg")));
    EXPECT_EQ(r.GetWidth(), 17);  // rows untouched by a left turn
    EXPECT_EQ(r.GetHeight(), 32); // the partial column dropped
    m = prompts->Messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_FALSE(m[1].contains("odd.jpg"));
}

TEST_F(TurnCommands, CancelStopsBeforeTheNextFile) {
    TPixelGraphic p;
    QList<QByteArray> before;
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) {
        MakePicture(p, 16, 32);
        p.SaveToFile(Native(dir.filePath(name)));
        before << FileBytes(dir.filePath(name));
    }
    ListAndSelectAll();
    // Cancel once the progress window is up (it shows after a moment); the
    // timer belongs to the form, so it cannot outlive this test.
    auto* canceller = new QTimer(form.get());
    QObject::connect(canceller, &QTimer::timeout, form.get(), [this] {
        for (QProgressDialog* d : form->findChildren<QProgressDialog*>()) d->cancel();
    });
    canceller->start(0);
    EditCommand("Flip Horizontal")->trigger();
    EXPECT_TRUE(prompts->Messages().isEmpty());
    int turned = 0;
    for (int i = 0; i < 3; ++i) turned += FileBytes(dir.filePath(QString("%1.jpg").arg(i + 1))) != before[i];
    EXPECT_LT(turned, 3);
}

} // namespace

namespace {

TEST_F(TurnCommands, CtrlRAndCtrlLTurnTheSelectedFile) {
    TPixelGraphic p;
    MakePicture(p, 32, 16);
    p.SaveToFile(Native(dir.filePath("k.jpg")));
    ListAndSelectAll();
    form->activateWindow();
    form->SLV1->setFocus();
    QTest::keyClick(form->SLV1, Qt::Key_R, Qt::ControlModifier);
    TPixelGraphic r;
    r.LoadFromFile(Native(dir.filePath("k.jpg")));
    EXPECT_EQ(r.GetWidth(), 16);
    QTest::keyClick(form->SLV1, Qt::Key_L, Qt::ControlModifier);
    r.LoadFromFile(Native(dir.filePath("k.jpg")));
    EXPECT_EQ(r.GetWidth(), 32);
    EXPECT_TRUE(prompts->Messages().isEmpty());
}

} // namespace
