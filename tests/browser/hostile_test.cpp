// The browser against hostile names, files and settings: a folder of names
// with markup, names that are no valid text, FIFOs, device links, files that
// vanish or turn into something else after the listing, unreadable folders,
// and settings with absurd values, run through the list, the preview and
// the status bar of a real main window.

#include <QAction>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <thread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../support/rawnames.h"
#include "../support/sample_files.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/startup.h"
#include "browser/toolwindows.h"
#include "fixtures.h"
#include "formats/library.h"
#include "platform/plaintext.h"
#include "platform/safeopen.h"
#include "support/scriptedprompts.h"
#include "view/pgimage.h"

namespace {

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A picture saved under a name of any bytes.
void SaveQuadAs(const QTemporaryDir& dir, const QByteArray& name, int w, int h) {
    const QString plain = dir.filePath("plain-for-rename.bmp");
    samples::SaveQuad(plain, w, h);
    const QByteArray target = NativePathOf(dir.path()) + '/' + name;
    ASSERT_EQ(::rename(NativePathOf(plain).constData(), target.constData()), 0) << name.data();
}

QByteArray In(const QTemporaryDir& dir, const QByteArray& name) {
    return NativePathOf(dir.path()) + '/' + name;
}

int RowOf(TFileListView* list, const QByteArray& rawName) {
    for (int r = 0; r < list->Count(); ++r)
        if (list->Model()->Item(r).rawName == rawName) return r;
    return -1;
}

class Hostile : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        ClearSettings();
        ShowSettingsResets(nullptr); // nothing left from another test
        prompts->asked.clear();
        ViewAllFiles = false;
    }
    void TearDown() override { QDir::setCurrent(QDir::tempPath()); }
    TScopedPrompts prompts;
};

// A shown main window listing `folder`.
struct TBrowser {
    std::unique_ptr<TForm1> form;
    explicit TBrowser(const QString& folder) {
        WriteSetting("Directory", folder);
        form = std::make_unique<TForm1>();
        form->resize(900, 600);
        form->show();
        Settle();
    }
    ~TBrowser() {
        form->close();
        form.reset();
    }
    TForm1* operator->() const { return form.get(); }
    // Selects `row` alone, as a click does, and lets the load run.
    void Select(int row) {
        TFileListView* l = form->SLV1;
        const QModelIndex i = l->model()->index(row, 0);
        l->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
        Settle();
    }
};

} // namespace

// Every row of a hostile folder goes through the list, the preview and the
// status bar: each shows its own file or fails at once, the name panel
// names the selected file as written (never as markup) or nothing, and no
// open blocks.
TEST_F(Hostile, FolderOfHostileNamesAndFiles) {
    QTemporaryDir dir;
    // "z" is what Qt would load for <img src=z>: a FIFO, which would block
    // the window for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("z")).constData(), 0600), 0);
    SaveQuadAs(dir, "<img src=z>.bmp", 11, 7);
    SaveQuadAs(dir, "<h1>BIG.bmp", 12, 7);
    // Three names that all display as "\uFFFD.bmp".
    SaveQuadAs(dir, "\xff.bmp", 21, 5);
    SaveQuadAs(dir, "\xfe.bmp", 22, 5);
    SaveQuadAs(dir, "\xef\xbf\xbd.bmp", 23, 5);
    SaveQuadAs(dir, "-style=odd.bmp", 13, 7);
    // Listed now, something else by the time they are selected.
    for (const char* n : {"tofifo.bmp", "todevice.bmp", "vanishes.bmp", "truncated.bmp"})
        SaveQuadAs(dir, n, 30, 30);
    MakeFile(dir.filePath("empty.bmp"), 0);
    // Never listed: not regular files.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(dir.filePath("zero.bmp")).constData()), 0);

    TBrowser b(dir.path());
    TFileListView* list = b->SLV1;
    ASSERT_EQ(list->Count(), 11);
    EXPECT_EQ(RowOf(list, "fifo.bmp"), -1);
    EXPECT_EQ(RowOf(list, "zero.bmp"), -1);
    const int barHeight = b->SB1->height();

    // Turn the files listed as pictures into what they are not any more.
    const auto at = [&](const char* n) { return In(dir, n); };
    ASSERT_EQ(::unlink(at("tofifo.bmp").constData()), 0);
    ASSERT_EQ(::mkfifo(at("tofifo.bmp").constData(), 0600), 0);
    ASSERT_EQ(::unlink(at("todevice.bmp").constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", at("todevice.bmp").constData()), 0);
    ASSERT_EQ(::unlink(at("vanishes.bmp").constData()), 0);
    ASSERT_EQ(::truncate(at("truncated.bmp").constData(), 60), 0);

    struct Case {
        QByteArray raw;
        QString shownName; // the name panel's name; empty: the load fails
        int width;
    };
    const Case cases[] = {
        {"<img src=z>.bmp", "<img src=z>.bmp", 11},
        {"<h1>BIG.bmp", "<h1>BIG.bmp", 12},
        {"\xff.bmp", QString(QChar(0xFFFD)) + ".bmp", 21},
        {"\xfe.bmp", QString(QChar(0xFFFD)) + ".bmp", 22},
        {"\xef\xbf\xbd.bmp", QString(QChar(0xFFFD)) + ".bmp", 23},
        {"-style=odd.bmp", "-style=odd.bmp", 13},
        {"tofifo.bmp", "", 0},
        {"todevice.bmp", "", 0},
        {"vanishes.bmp", "", 0},
        {"truncated.bmp", "", 0},
        {"empty.bmp", "", 0},
    };
    for (const Case& c : cases) {
        // Each case after a good picture: a failure must not leave that
        // picture's name in the panel.
        b.Select(RowOf(list, "<h1>BIG.bmp"));
        const int row = RowOf(list, c.raw);
        ASSERT_GE(row, 0) << c.raw.data();
        EXPECT_EQ(list->Caption(row), DisplayPath(c.raw));
        b.Select(row);
        EXPECT_EQ(b->PendingNative, at(c.raw.constData())) << c.raw.data();
        EXPECT_FALSE(b->ALed1->Lit());
        TPGImage* pg = b->Preview->PGImage1;
        if (c.width) {
            EXPECT_FALSE(pg->isHidden()) << c.raw.data();
            // Its own file, not another one that displays alike.
            EXPECT_EQ(pg->ImageWidth(), c.width) << c.raw.data();
            EXPECT_EQ(
                b->SB1->PanelText(3),
                QString(" %1  (%2 x %3)").arg(c.shownName).arg(c.width).arg(pg->ImageHeight()));
        } else {
            EXPECT_EQ(b->Preview->ShownControl(), nullptr) << c.raw.data();
            EXPECT_EQ(b->SB1->PanelText(3), "") << c.raw.data();
        }
    }
    // Markup stays text: the panels are plain and the bar kept its height.
    for (int i = 0; i < b->SB1->PanelCount(); ++i)
        EXPECT_EQ(b->SB1->PanelLabel(i)->textFormat(), Qt::PlainText);
    EXPECT_EQ(b->SB1->height(), barHeight);
    EXPECT_TRUE(prompts->Messages().isEmpty()) << prompts->Messages().join("|").toStdString();

    // Next Image steps through every file, the changed ones too.
    for (int i = 0; i < list->Count() + 1; ++i) {
        b->Command("NextImageButton")->trigger();
        Settle();
        EXPECT_FALSE(b->ALed1->Lit());
    }
    RemoveRawEntries(dir.path());
}

// No label of the main window or of a tool window reads markup.
TEST_F(Hostile, EveryLabelIsPlainText) {
    TBrowser b(QDir::tempPath());
    EXPECT_EQ(RichTextLabels(b.form.get()), QStringList{});
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    for (QWidget* w : tools.Windows())
        EXPECT_EQ(RichTextLabels(w), QStringList{}) << w->objectName().toStdString();
    SetToolWindows(nullptr);
    // The helpers themselves.
    QLabel l;
    l.setText("<b>x</b>");
    EXPECT_EQ(RichTextLabels(&l).size(), 1);
    MakeLabelsPlainText(&l);
    EXPECT_TRUE(RichTextLabels(&l).isEmpty());
    QLabel rich;
    MarkRichText(&rich);
    EXPECT_TRUE(RichTextLabels(&rich).isEmpty());
    EXPECT_EQ(PlainToolTip("<h1>a&b.jpg"), "<p style='white-space:pre'>&lt;h1&gt;a&amp;b.jpg</p>");
}

// Absurd stored sizes: the window comes up inside the screen, the panes
// inside the window, and one box names the file and every setting reset.
TEST_F(Hostile, AbsurdSettingsAreFittedAndReportedOnce) {
    WriteSetting("Width", "99999999");
    WriteSetting("Height", "99999999");
    WriteSetting("Left", "-99999999");
    WriteSetting("Top", "2147483647");
    WriteSetting("LeftWidth", "99999999");
    WriteSetting("LeftHeight", "99999999");
    const char* bad[] = {"Deletions", "BG Color"};
    for (const char* n : bad)
        WriteSetting(n, "xx");
    // Values of a megabyte: read as too long, never quoted whole.
    WriteSetting("Seconds", QString(1 << 20, 'x'));
    WriteSetting("Directory", QString(1 << 20, 'x'));
    TForm1 f;
    f.show();
    Settle();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.frameGeometry()))
        << f.x() << "," << f.y() << " " << f.frameGeometry().width() << "x"
        << f.frameGeometry().height() << " in " << screen.width() << "x" << screen.height();
    EXPECT_GT(f.RightMain->width(), 20);
    EXPECT_GT(f.LeftBottom->height(), 10);
    EXPECT_EQ(f.Seconds->value(), 4);
    const QStringList m = prompts->Messages();
    ASSERT_EQ(m.size(), 1) << m.join("|").toStdString();
    EXPECT_TRUE(m[0].startsWith("'xx' is not a valid integer value")) << m[0].toStdString();
    EXPECT_TRUE(m[0].contains(SettingsFilePath()));
    for (const char* n : {"Deletions", "BG Color", "Seconds", "Directory", "Width"})
        EXPECT_EQ(m[0].contains(n), QString(n) != "Width") << n << ": " << m[0].toStdString();
    EXPECT_LT(m[0].size(), 1000);
    f.close();
    // What the window saved is what it showed.
    EXPECT_LE(ReadSetting("Width", "").toInt(), screen.width());
    EXPECT_LE(ReadSetting("LeftWidth", "").toInt(), screen.width());
}

// Names that are no valid text on the command line: a file opens itself; a
// folder cannot stand in the tree and is refused with a message rather than
// opening its parent.
TEST_F(Hostile, CommandLineNamesAreBytes) {
    QTemporaryDir dir;
    SaveQuadAs(dir, "\xff.bmp", 21, 5);
    SaveQuadAs(dir, "\xef\xbf\xbd.bmp", 23, 5);
    ASSERT_EQ(::mkdir(In(dir, "\xff"
                              "dir")
                          .constData(),
                      0755),
              0);
    {
        TForm1 f;
        f.SetNativeArgs({In(dir, "\xff.bmp")});
        f.show();
        Settle();
        EXPECT_EQ(f.ListedFolder(), dir.path());
        EXPECT_EQ(f.PendingNative, In(dir, "\xff.bmp"));
        EXPECT_EQ(f.Preview->PGImage1->ImageWidth(), 21);
        f.close();
    }
    EXPECT_TRUE(prompts->Messages().isEmpty());
    {
        TForm1 f;
        f.SetNativeArgs({In(dir, "\xff"
                                 "dir")});
        f.show();
        Settle();
        EXPECT_NE(f.ListedFolder(), dir.path());
        ASSERT_EQ(prompts->Messages().size(), 1);
        EXPECT_TRUE(prompts->Messages()[0].contains("cannot be opened"));
        f.close();
    }
    // A FIFO named on the command line is refused at once (an open of it
    // would wait for a writer for ever), and the window is usable.
    prompts->asked.clear();
    ASSERT_EQ(::mkfifo(In(dir, "y.jpg").constData(), 0600), 0);
    {
        TForm1 f;
        f.SetNativeArgs({In(dir, "y.jpg")});
        f.show();
        Settle();
        EXPECT_EQ(f.ListedFolder(), dir.path());
        EXPECT_EQ(f.Preview->ShownControl(), nullptr);
        EXPECT_FALSE(f.ALed1->Lit());
        EXPECT_EQ(f.SB1->PanelText(3), "");
        f.close();
    }
    RemoveRawEntries(dir.path());
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    struct Case {
        std::vector<const char*> argv;
        int qtArgc;
        QList<QByteArray> after;
    } cases[] = {
        {{"tavirlo", "a.jpg"}, 2, {}},
        {{"tavirlo", "--", "-style=odd.jpg"}, 1, {"-style=odd.jpg"}},
        {{"tavirlo", "-platform", "xcb", "--", "--", "-x"}, 3, {"--", "-x"}},
        {{"tavirlo"}, 1, {}},
    };
    for (const Case& c : cases) {
        const TCommandLine cl = SplitCommandLine(int(c.argv.size()), c.argv.data());
        EXPECT_EQ(cl.qtArgc, c.qtArgc);
        EXPECT_EQ(cl.afterDashes, c.after);
        EXPECT_EQ(FileArguments(cl.qtArgc, c.argv.data(), cl).size(),
                  cl.qtArgc - 1 + c.after.size());
    }
}

// A folder that cannot be listed says so on selection, and its readable
// file given on the command line still shows. Root reads every folder: the
// end-to-end run covers this as an unprivileged user.
TEST_F(Hostile, UnreadableFolderSaysSo) {
    if (::geteuid() == 0) GTEST_SKIP() << "needs an unprivileged user (run as root)";
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("locked");
    const QString locked = dir.filePath("locked");
    samples::SaveQuad(locked + "/in.bmp", 9, 9);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0300), 0); // enter, not list
    {
        TBrowser b(dir.path());
        ASSERT_TRUE(b->STV1->SelectFolder(locked));
        Settle();
        ASSERT_EQ(prompts->Messages().size(), 1);
        EXPECT_TRUE(prompts->Messages()[0].endsWith(": Permission denied"));
        EXPECT_EQ(b->SLV1->Count(), 0);
    }
    prompts->asked.clear();
    {
        TForm1 f(QStringList{locked + "/in.bmp"});
        f.show();
        Settle();
        EXPECT_EQ(f.SLV1->Count(), 0);
        EXPECT_EQ(f.Preview->PGImage1->ImageWidth(), 9);
        f.close();
    }
    ::chmod(QFile::encodeName(locked).constData(), 0700);
}

// Keyboard steps in the folder tree keep the current folder selected and
// in view, also when the background loading loses its row.
TEST_F(Hostile, FolderTreeKeysKeepTheCurrentFolder) {
    QTemporaryDir root;
    QDir d(root.path());
    // One folder per level on the way down (the first child is then the
    // same before and after the model sorts), siblings at the bottom.
    for (const char* p : {"a/b/c/d", "a/b/c2"})
        d.mkpath(p);
    TBrowser b(root.path());
    TFolderTree* t = b->STV1;
    t->setFocus();
    auto expectHeld = [&](const QString& path, const char* step) {
        // The model may still be loading and sorting on a busy machine: give
        // the view time to bring the row back into sight.
        QElapsedTimer settle;
        settle.start();
        auto inSight = [&] {
            const QModelIndex c = t->currentIndex();
            return c.isValid() && t->selectionModel()->isSelected(c) &&
                   t->viewport()->rect().intersects(t->visualRect(c));
        };
        while (settle.elapsed() < 5000 && !inSight())
            QTest::qWait(20);
        const QModelIndex c = t->currentIndex();
        ASSERT_TRUE(c.isValid()) << step;
        EXPECT_EQ(t->SelectedFolder(), path) << step;
        EXPECT_TRUE(t->selectionModel()->isSelected(c)) << step;
        EXPECT_TRUE(t->viewport()->rect().intersects(t->visualRect(c))) << step;
        EXPECT_EQ(b->ListedFolder(), path) << step;
    };
    // Right opens a folder, a second Right steps into its first child.
    const QString a = root.filePath("a"), ab = a + "/b", abc = ab + "/c";
    const std::pair<Qt::Key, QString> steps[] = {
        {Qt::Key_Right, root.path()}, {Qt::Key_Right, a},  {Qt::Key_Right, a},
        {Qt::Key_Right, ab},          {Qt::Key_Right, ab}, {Qt::Key_Right, abc}};
    int n = 0;
    for (const auto& [key, path] : steps) {
        QTest::keyClick(t, key);
        // Let the folders load (and sort) in the background; a busy machine
        // may take a while.
        QElapsedTimer wait;
        wait.start();
        do
            QTest::qWait(50);
        while (wait.elapsed() < 5000 && t->currentIndex().isValid() && t->isExpanded(t->currentIndex()) &&
               t->model()->rowCount(t->currentIndex()) == 0);
        QTest::qWait(100);
        expectHeld(path, QString("step %1").arg(n++).toLatin1().constData());
    }
    // The row is lost under the view (what background loading did to it):
    // the next step still starts from the current folder, not from "/".
    t->selectionModel()->clearCurrentIndex();
    t->selectionModel()->clearSelection();
    QTest::keyClick(t, Qt::Key_Up);
    QTest::qWait(50);
    expectHeld(ab, "Up after the row was lost");
}

// Folders coming and going beside the listed one (temporary folders of
// other programs) never move the tree to another folder nor list the folder
// again under the user's selection.
TEST_F(Hostile, FoldersComingAndGoingBesideTheListedOneChangeNothing) {
    // In the system's temporary folder, where other programs make and remove
    // folders as fast as they can.
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        const QString base = QDir::tempPath() + "/churn-" + QString::number(::getpid()) + "-";
        for (int i = 0; !stop; ++i) {
            const std::string n = (base + QString::number(i % 50)).toStdString();
            ::mkdir(n.c_str(), 0755);
            const std::string f = n + "/f";
            ::close(::open(f.c_str(), O_WRONLY | O_CREAT, 0644));
            ::unlink(f.c_str());
            ::rmdir(n.c_str());
        }
    });
    QTemporaryDir other;
    samples::SaveQuad(other.filePath("a.bmp"), 20, 10);
    samples::SaveQuad(other.filePath("b.bmp"), 20, 10);
    TBrowser b(other.path());
    QAction* next = b->Command("NextImageButton");
    for (int i = 0; i < 3; ++i) {
        next->trigger();
        Settle();
    }
    int failures = 0;
    for (int round = 0; round < 10 && !failures; ++round) {
        // A folder new to the tree, listed; its one file stepped onto twice.
        QTemporaryDir listed;
        const QString m = listed.path();
        samples::SaveQuad(m + "/one.bmp", 20, 10);
        b->OpenFolder(m);
        for (int i = 0; i < 2; ++i) {
            next->trigger();
            Settle();
        }
        QTest::qWait(100);
        // The list is never filled again nor with another folder; the
        // tree's highlight may be moved by its model for a moment, and
        // comes back.
        QElapsedTimer back;
        back.start();
        while (b->STV1->SelectedFolder() != m && back.elapsed() < 2000)
            QTest::qWait(10);
        if (b->STV1->SelectedFolder() != m || b->ListedFolder() != m ||
            b->SLV1->SelectedNames() != QStringList{"one.bmp"})
            ++failures;
        EXPECT_EQ(b->STV1->SelectedFolder(), m) << "round " << round;
        EXPECT_EQ(b->ListedFolder(), m) << "round " << round;
        EXPECT_EQ(b->SLV1->SelectedNames(), QStringList{"one.bmp"}) << "round " << round;
        b->OpenFolder(other.path());
    }
    stop = true;
    churn.join();
}
