#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>
#include <unistd.h>

#include "browser/browsercontext.h"
#include "browser/commandids.h"
#include "browser/macros.h"
#include "browser/macroserver.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "fixtures.h"
#include "platform/paths.h"
#include "support/scriptedprompts.h"
#include "platform/windowplace.h"

namespace {

// One run of the main window: created, shown (first-show work runs), and
// closed when the test says so or at the end of the scope.
struct TRun {
    std::unique_ptr<TForm1> form;
    explicit TRun(const QStringList& args = {}) : form(std::make_unique<TForm1>(args)) {
        form->show();
        QCoreApplication::processEvents();
    }
    void Close() {
        if (form) form->close();
        form.reset();
    }
    ~TRun() { Close(); }
    TForm1* operator->() const { return form.get(); }
};

QStringList ListNames(const TForm1& f) {
    QStringList r;
    for (int i = 0; i < f.SLV1->Count(); ++i)
        r << f.SLV1->Caption(i);
    return r;
}

class MainForm : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        ViewAllFiles = false;
    }
    TScopedPrompts prompts;
};

} // namespace

TEST_F(MainForm, FirstStartUsesTheDefaults) {
    TRun r;
    EXPECT_EQ(r->windowTitle(), "Tavirlo 7.8 by Ambertide Software");
    // No saved place: about 70 % of the screen (never below the old
    // default size where the screen allows), centred.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect place = FirstWindowRect(screen, QSize(620, 460));
    EXPECT_EQ(QRect(r->pos(), r->size()), place);
    EXPECT_NEAR(place.center().x(), screen.center().x(), 1);
    EXPECT_GE(r->LeftMain->width(), 180);
    EXPECT_GE(r->LeftTop->height(), 120);
    EXPECT_EQ(r->Seconds->value(), 4);
    EXPECT_EQ(r->DeletionMode, 0);
    EXPECT_TRUE(r->ConfirmDeletions);
    EXPECT_FALSE(r->ColorChanged);
    EXPECT_EQ(r->FileMask, "*.jpg;*.jpeg;*.jpe;*.jfif;*.jif;*.gif;*.bmp;*.dib;*.rle;*.ico;*.wmf;*.emf;*.avi;"
                           "*.pcx;*.png;*.tga;*.tif;*.tiff;*.pbm;*.pgm;*.ppm;*.pnm;*.webp;*.avif;*.heic;*.heif;*.jxl;");
    EXPECT_EQ(r->ListedFolder(), QDir::homePath()); // "Directory" defaults to home
    EXPECT_EQ(r->BackgroundColorValue(), (QPalette().color(QPalette::Window).red()) |
                                             (QPalette().color(QPalette::Window).green() << 8) |
                                             (QPalette().color(QPalette::Window).blue() << 16));
    EXPECT_TRUE(prompts->asked.empty());

    // The controls other windows and the tests find by name.
    for (const char* name :
         {"ToolBar1", "LeftMain", "LeftTop", "LeftBottom", "STV1", "SLV1", "RightMain", "SB1",
          "ALed1", "Splitter1", "Splitter2", "Seconds", "PopupMenu1", "PopupMenu2"})
        EXPECT_NE(r->findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(r->SB1->PanelCount(), 5);
    const std::pair<const char*, const char*> hints[] = {
        {"PreviousImageButton", "Previous Image"},
        {"NextImageButton", "Next Image"},
        {"TavirloBtn", "Slide Show"},
        {"MoveButton", "TavMover"},
        {"tbAcquire", "Image Editor / Acquire Images from a Scanner"},
        {"tbPhotoAlbum", "TavAlbums"},
        {"ToolButton1", "TavConverter"},
        {"SearchButton", "Search Engine"},
        {"tbThumbTav", "Thumbnail Explorer"},
        {"ToolButton5", "ThumbTav Creator"},
        {"SetColor", "Set Background Color"},
        {"AutoZoom", "Auto Zoom"},
        {"CopyClipButton", "Copy To Clipboard"}};
    QStringList order;
    for (QAction* a : r->ToolBar1->actions())
        if (!a->objectName().isEmpty()) order << a->objectName();
    QStringList expected;
    for (const auto& [name, hint] : hints) {
        expected << name;
        QAction* a = r->Command(name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->toolTip(), hint);
    }
    EXPECT_EQ(order, expected);
    QStringList menus;
    for (QAction* a : r->menuBar()->actions())
        menus << PlainCaption(a->text());
    EXPECT_EQ(menus, (QStringList{"File", "Edit", "Bookmarks", "Tools", "Help"}));
    // Without their windows the tool commands are there but cannot be used.
    EXPECT_FALSE(r->Command("MoveButton")->isEnabled());
    EXPECT_FALSE(r->Command("TavMover")->isEnabled());
    EXPECT_TRUE(r->Command("Set Color...")->isEnabled());
    EXPECT_FALSE(r->Command("Search For Help On...")->isVisible());
}

TEST(WindowPlace, FirstWindowIsSeventyPercentOfTheScreenCentred) {
    struct TCase {
        QRect area;
        QRect expected;
    };
    const TCase cases[] = {
        {{0, 0, 1920, 1080}, {288, 162, 1344, 756}},
        {{100, 30, 1000, 700}, {250, 135, 700, 490}},
        {{0, 0, 800, 600}, {90, 70, 620, 460}}, // never below the minimum...
        {{0, 0, 600, 400}, {0, 0, 600, 400}},   // ...unless the screen is smaller
        {{}, {0, 0, 620, 460}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FirstWindowRect(c.area, {620, 460}), c.expected) << c.area.width();
}

TEST(MenuCaptions, PlainCaptionDropsAcceleratorsAndShownKeys) {
    const std::pair<const char*, const char*> cases[] = {
        {"&Delete File\tDel", "Delete File"},
        {"Tav&Mover", "TavMover"},
        {"Fish && &Chips", "Fish & Chips"},
        {"Plain", "Plain"},
        {"&", ""},
    };
    for (const auto& [text, plain] : cases)
        EXPECT_EQ(PlainCaption(text), plain) << text;
}

// Every menu and command of the main window opens from the keyboard: each
// menu's captions have an accelerator letter of their own, and the keys
// that run a command stand beside it.
TEST_F(MainForm, EveryMenuAndCommandHasAnAcceleratorAndShowsItsKeys) {
    TRun r;
    QList<QMenu*> menus;
    for (QAction* a : r->menuBar()->actions())
        if (a->menu()) menus << a->menu();
    menus << r->PopupMenu1 << r->PopupMenu2;
    for (int i = 0; i < menus.size(); ++i)
        for (QAction* a : menus[i]->actions())
            if (a->menu() && !menus.contains(a->menu())) menus << a->menu();
    auto mnemonic = [](const QString& text) -> QChar {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&') continue;
            if (text[i + 1] != '&') return text[i + 1].toUpper();
            ++i;
        }
        return {};
    };
    QStringList topLetters;
    for (QAction* a : r->menuBar()->actions())
        topLetters << mnemonic(a->text());
    EXPECT_EQ(topLetters, (QStringList{"F", "E", "B", "T", "H"}));
    for (QMenu* m : menus) {
        QSet<QChar> letters;
        for (QAction* a : m->actions()) {
            // Bookmarked folders are the user's own names, numbered by no one.
            if (a->isSeparator() || !a->data().toString().isEmpty()) continue;
            const QChar c = mnemonic(a->text());
            EXPECT_FALSE(c.isNull()) << a->text().toStdString();
            if (!a->isVisible()) continue;
            EXPECT_FALSE(letters.contains(c)) << a->text().toStdString();
            letters << c;
        }
    }
    // The keys are shown with their commands.
    const std::pair<const char*, const char*> keys[] = {
        {"Delete File", "Del"},
        {"Rename File...", "F2"},
        {"Search Files...", "F3"},
        {"In Tavirlo", "F8"},
        {"Open Tavirlo Editor", "F8"},
        {"Contents", "F1"},
        {"Quit", "Ctrl+Q"},
        {"Copy to clipboard", "Ctrl+C"},
        {"Add Bookmark", "Ctrl+D"},
        {"Print Directory Listings", "Ctrl+P"},
        {"Refresh List (F5)", "F5"},
    };
    for (const auto& [command, key] : keys) {
        QAction* a = r->Command(command);
        ASSERT_NE(a, nullptr) << command;
        const QString shown =
            a->text().section('\t', 1) + a->shortcut().toString(QKeySequence::PortableText);
        EXPECT_EQ(shown, key) << command;
    }
    // Alt+F opens the File menu.
    r->activateWindow();
    QTest::keyClick(r.form.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(r->menuBar()->actions()[0]->menu()->isVisible(), 2000);
    r->menuBar()->actions()[0]->menu()->close();
    // Ctrl+Q ends the window like "Quit".
    QTest::keyClick(r.form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(r->isVisible());
}

TEST_F(MainForm, CloseAndReopenRestoresTheWindow) {
    QTemporaryDir pics;
    MakeFile(pics.filePath("a.jpg"), 1);
    {
        TRun r;
        r->move(30, 40);
        r->resize(700, 500);
        QCoreApplication::processEvents();
        r->Splitter1->setSizes({250, 447});
        r->Splitter2->setSizes({150, 200});
        r->Seconds->setValue(17);
        ASSERT_TRUE(r->OpenFolder(pics.path()));
        prompts->colorAnswers = {QColor(10, 20, 30)};
        r->ChooseBackgroundColor();
        EXPECT_TRUE(r->ColorChanged);
        r.Close();
    }
    EXPECT_EQ(ReadSetting("BG Color", ""), QString::number(10 | 20 << 8 | 30 << 16));
    EXPECT_EQ(ReadSetting("Directory", ""), pics.path());
    {
        TRun r;
        EXPECT_EQ(r->pos(), QPoint(30, 40));
        EXPECT_EQ(r->size(), QSize(700, 500));
        EXPECT_EQ(r->LeftMain->width(), 250);
        EXPECT_EQ(r->LeftTop->height(), 150);
        EXPECT_EQ(r->Seconds->value(), 17);
        EXPECT_EQ(r->ListedFolder(), pics.path());
        EXPECT_EQ(r->STV1->SelectedFolder(), pics.path());
        EXPECT_EQ(ListNames(*r.form), QStringList{"a.jpg"});
        EXPECT_EQ(r->RightMain->palette().color(QPalette::Window), QColor(10, 20, 30));
        EXPECT_FALSE(r->ColorChanged);
        // A cancelled colour dialog changes nothing.
        r->ChooseBackgroundColor();
        EXPECT_FALSE(r->ColorChanged);
        WriteSetting("BG Color", "255"); // changed meanwhile by someone else
        r.Close();
    }
    // This run did not change the colour, so it did not write it.
    EXPECT_EQ(ReadSetting("BG Color", ""), "255");
}

TEST_F(MainForm, BadStoredValuesAreReportedAndTheRestStillApplies) {
    struct Case {
        const char* name;
        const char* value;
        const char* message; // empty: no message
    };
    const Case cases[] = {
        {"Deletions", "x", "'x' is not a valid integer value"},
        {"Left", "12abc", "'12abc' is not a valid integer value"},
        {"Width", "", "'' is not a valid integer value"},
        {"LeftHeight", "1e3", "'1e3' is not a valid integer value"},
        {"BG Color", "red", "'red' is not a valid integer value"},
        {"Seconds", "500", ""}, // clamped, not a conversion
        {"Seconds", "abc", ""},
    };
    for (const Case& c : cases) {
        ClearSettings();
        prompts->asked.clear();
        WriteSetting(c.name, c.value);
        // Later settings must still be applied after the bad one.
        WriteSetting("Confirm Deletions", "0");
        WriteSetting("Height", "300");
        if (QString(c.name) != "BG Color") WriteSetting("BG Color", "65280");
        TRun r;
        // One box: the conversion text, the file and the setting reset.
        const QStringList m = prompts->Messages();
        if (*c.message) {
            ASSERT_EQ(m.size(), 1) << c.name;
            EXPECT_TRUE(m[0].startsWith(QString(c.message) + "\n")) << m[0].toStdString();
            EXPECT_TRUE(m[0].contains(SettingsFilePath())) << c.name;
            EXPECT_TRUE(m[0].endsWith(c.name)) << m[0].toStdString();
        } else {
            EXPECT_TRUE(m.isEmpty()) << c.name;
        }
        EXPECT_FALSE(r->ConfirmDeletions) << c.name;
        EXPECT_EQ(r->height(), 300) << c.name;
        if (QString(c.name) != "BG Color") {
            EXPECT_EQ(r->RightMain->palette().color(QPalette::Window), QColor(0, 255, 0));
        }
        EXPECT_EQ(r->width(), 620);
        EXPECT_GE(r->Seconds->value(), 1);
        EXPECT_LE(r->Seconds->value(), 60);
        EXPECT_FALSE(r->FileMask.isEmpty()) << c.name; // first show ran
    }
}

TEST_F(MainForm, APositionOffEveryScreenComesBack) {
    WriteSetting("Left", "-5000");
    WriteSetting("Top", "9000");
    TRun r;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(r->pos()));
    EXPECT_EQ(r->size(), QSize(620, 460));
}

TEST_F(MainForm, CommandLineFileOpensItsFolderAndShowsIt) {
    QTemporaryDir pics, other;
    MakeFile(pics.filePath("a.jpg"), 1);
    MakeFile(pics.filePath("b.png"), 1);
    MakeFile(other.filePath("o.gif"), 1);
    WriteSetting("Directory", other.path());
    QStringList shown;
    TForm1::SetPreviewHook([&](TForm1*, const QString& f) { shown << f; });

    // A relative argument is taken against the folder we started in.
    QDir::setCurrent(pics.path());
    {
        TRun r({"a.jpg"});
        EXPECT_EQ(r->ListedFolder(), pics.path());
        EXPECT_EQ(ListNames(*r.form), (QStringList{"a.jpg", "b.png"}));
        EXPECT_EQ(r->PendingFile, pics.filePath("a.jpg"));
        // Shown and selected: the commands act on the file in view.
        EXPECT_EQ(r->SLV1->SelectedNames(), QStringList{"a.jpg"});
        EXPECT_EQ(r->STV1->SelectedFolder(), pics.path());
    }
    EXPECT_EQ(shown, QStringList{pics.filePath("a.jpg")});
    {
        TRun r({pics.path()}); // a folder opens itself, not its parent
        EXPECT_EQ(r->ListedFolder(), pics.path());
        EXPECT_EQ(r->SLV1->Count(), 2);
        EXPECT_TRUE(r->PendingFile.isEmpty());
        // The tree shows it too, so refreshing, the tools and the folder
        // saved at the end all mean this folder.
        EXPECT_EQ(r->STV1->SelectedFolder(), pics.path());
        MakeFile(pics.filePath("c.gif"), 1);
        QTest::keyClick(r.form.get(), Qt::Key_F5);
        EXPECT_EQ(r->ListedFolder(), pics.path());
        EXPECT_EQ(r->SB1->PanelText(1), "3 files");
        QFile::remove(pics.filePath("c.gif"));
        r.Close();
        EXPECT_EQ(ReadSetting("Directory", ""), pics.path());
    }
    {
        // A hidden folder has no node in the tree: the tree selects nothing
        // rather than "/", and refreshing lists the folder shown.
        const QString hidden = pics.filePath(".hidden");
        QDir().mkpath(hidden);
        MakeFile(hidden + "/h.jpg", 1);
        TRun r({hidden});
        EXPECT_EQ(r->ListedFolder(), hidden);
        EXPECT_NE(r->STV1->SelectedFolder(), "/");
        r->RefreshList();
        EXPECT_EQ(ListNames(*r.form), QStringList{"h.jpg"});
        r.Close();
        EXPECT_EQ(ReadSetting("Directory", ""), hidden);
    }
    WriteSetting("Directory", other.path()); // the run above saved its own folder
    {
        TRun r({pics.filePath("a.jpg"), pics.filePath("b.png")}); // two: both ignored
        EXPECT_EQ(r->ListedFolder(), other.path());
        EXPECT_TRUE(r->PendingFile.isEmpty());
    }
    WriteSetting("Directory", other.filePath("gone"));
    {
        TRun r; // a saved folder that no longer exists is passed over
        EXPECT_EQ(r->SLV1->Count(), 0);
        EXPECT_TRUE(r->ListedFolder().isEmpty());
    }
    TForm1::SetPreviewHook(nullptr);
    EXPECT_EQ(shown.size(), 1);
}

// `tavirlo --open FILE` reaching the running program: the tree, the list
// and its selection follow the file, so Delete asks about the file in view.
TEST_F(MainForm, AnOpenedFileIsTheSelectedOneInItsFolder) {
    QTemporaryDir first, second;
    MakeFile(first.filePath("circle.bmp"), 1);
    MakeFile(second.filePath("a.png"), 1);
    MakeFile(second.filePath("b.png"), 1);
    MakeFile(second.filePath("notes.txt"), 1);
    QStringList shown;
    TForm1::SetPreviewHook([&](TForm1*, const QString& f) { shown << f; });
    WriteSetting("Directory", first.path());
    TRun r;
    r->SLV1->selectionModel()->select(r->SLV1->Model()->index(0, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(r->SLV1->SelectedNames(), QStringList{"circle.bmp"});
    shown.clear();

    ShowOpenMacros(r.form.get(), {OpenMacroFor(second.filePath("b.png"))});
    EXPECT_EQ(r->ListedFolder(), second.path());
    EXPECT_EQ(r->STV1->SelectedFolder(), second.path());
    EXPECT_EQ(r->SLV1->SelectedNames(), QStringList{"b.png"});
    EXPECT_EQ(r->PendingFile, second.filePath("b.png"));
    EXPECT_EQ(shown, QStringList{second.filePath("b.png")});

    // Opened again after the user moved on: shown and selected again.
    r->SLV1->selectionModel()->select(r->SLV1->Model()->index(0, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    QCoreApplication::processEvents();
    ShowOpenMacros(r.form.get(), {OpenMacroFor(second.filePath("b.png"))});
    EXPECT_EQ(r->SLV1->SelectedNames(), QStringList{"b.png"});
    EXPECT_EQ(r->PendingFile, second.filePath("b.png"));

    // A file the list does not hold is shown with no row selected: no
    // command can act on another file.
    ShowOpenMacros(r.form.get(), {OpenMacroFor(second.filePath("notes.txt"))});
    EXPECT_EQ(r->SLV1->SelCount(), 0);
    EXPECT_EQ(r->PendingFile, second.filePath("notes.txt"));
    prompts->asked.clear();
    r->Command("Delete File")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts->Messages(), QStringList{"You need to click on a file name first"});
    TForm1::SetPreviewHook(nullptr);
}

TEST_F(MainForm, RefreshViewAllAndAFolderThatFailsToList) {
    QTemporaryDir pics;
    MakeFile(pics.filePath("a.jpg"), 1);
    MakeFile(pics.filePath("n.txt"), 1);
    WriteSetting("Directory", pics.path());
    TRun r;
    EXPECT_EQ(r->SB1->PanelText(1), "1 file");
    r->SLV1->ColumnClick(2);
    r->SLV1->ColumnClick(2); // type, descending
    MakeFile(pics.filePath("b.gif"), 1);
    QTest::keyClick(r.form.get(), Qt::Key_F5);
    EXPECT_EQ(r->SLV1->SortColumn, 0);
    EXPECT_FALSE(r->SLV1->SortAscending); // the direction is kept
    EXPECT_EQ(ListNames(*r.form), (QStringList{"b.gif", "a.jpg"}));

    r->SetViewAllFiles(true);
    EXPECT_EQ(r->SLV1->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Name (All)");
    EXPECT_EQ(r->SB1->PanelText(1), "3 files");
    r->Command("View All Files")->trigger();
    EXPECT_FALSE(ViewAllFiles);
    EXPECT_EQ(r->SLV1->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Name (Images)");
    EXPECT_EQ(r->SB1->PanelText(1), "2 files");

    // The tree still holds a folder that has gone meanwhile: selecting it
    // or refreshing it leaves the list, and the folder its names belong
    // to, as they were.
    const QString sub = pics.filePath("sub");
    QDir(pics.path()).mkdir("sub");
    {
        const QSignalBlocker block(r->STV1);
        ASSERT_TRUE(r->STV1->SelectFolder(sub));
        r->STV1->SelectFolder(pics.path());
    }
    QDir(pics.path()).rmdir("sub");
    if (!r->STV1->SelectFolder(sub)) GTEST_SKIP() << "the tree already dropped the folder";
    EXPECT_EQ(r->ListedFolder(), pics.path());
    EXPECT_EQ(ListNames(*r.form), (QStringList{"b.gif", "a.jpg"}));
    r->RefreshList();
    EXPECT_EQ(prompts->Messages().size(), 1);
    EXPECT_EQ(r->ListedFolder(), pics.path());
    EXPECT_EQ(ListNames(*r.form), (QStringList{"b.gif", "a.jpg"}));
}

TEST_F(MainForm, ToolWindowsAreCreatedHiddenInOrderAndEnableTheirCommands) {
    TToolWindows::RegisterFactory("TfSearch", [] {
        auto* w = new QWidget(nullptr, Qt::Window);
        w->setWindowTitle("File Search");
        return w;
    });
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    ASSERT_EQ(tools.Windows().size(), ToolWindowOrder().size());
    EXPECT_EQ(ToolWindowOrder().size(), 31u);
    for (size_t i = 0; i < tools.Windows().size(); ++i) {
        QWidget* w = tools.Windows()[i];
        EXPECT_EQ(w->objectName(), ToolWindowOrder()[i].className);
        EXPECT_EQ(w->windowTitle(), ToolWindowOrder()[i].caption);
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(tools.Windows().front()->objectName(), "TfSelectFiles");
    EXPECT_EQ(tools.Windows().back()->objectName(), "TfrmEXIF");
    EXPECT_TRUE(tools.IsReal("TfSearch"));
    EXPECT_FALSE(tools.IsReal("TfSelectFiles"));
    {
        TRun r;
        for (const char* c : {"SearchButton", "Search Files...", "TavSearch"})
            EXPECT_TRUE(r->Command(c)->isEnabled()) << c;
        EXPECT_FALSE(r->Command("TavMover")->isEnabled());
        r->Command("TavSearch")->trigger();
        EXPECT_TRUE(tools.Find("TfSearch")->isVisible());
    }
    SetToolWindows(nullptr);
}

// Every command is built under its id, and commands that stand in two menus
// are found in both.
TEST_F(MainForm, CommandsAreFoundByTheirIds) {
    TForm1 form;
    for (int i = 0; i < int(TCommandId::Count); ++i) {
        const TCommandId id = TCommandId(i);
        ASSERT_FALSE(form.Commands(id).isEmpty()) << CommandCaption(id);
        for (QAction* a : form.Commands(id)) EXPECT_EQ(a->text(), CommandCaption(id));
    }
    for (TCommandId id : {TCommandId::FileAttributes, TCommandId::RotateLeft,
                          TCommandId::ApplyExifOrientation})
        EXPECT_EQ(form.Commands(id).size(), 2) << CommandCaption(id);
    EXPECT_EQ(form.Command(TCommandId::BookmarksMenu)->menu()->title(), "&Bookmarks");
    EXPECT_EQ(form.Command(TCommandId::AutoZoom), form.Command("AutoZoom"));
}

// What tool windows see of the browser: its list, its selection and the
// changes to it, its settings; with no browser, the stored defaults.
TEST_F(MainForm, ToolWindowsAskTheBrowserContext) {
    QTemporaryDir dir;
    for (const char* n : {"b.png", "a.png", "note.txt"}) {
        QFile f(dir.filePath(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        TRun r;
        TBrowserContext* b = Browser();
        ASSERT_EQ(b, static_cast<TBrowserContext*>(r.form.get()));
        EXPECT_EQ(b->Window(), r.form.get());
        ASSERT_TRUE(b->OpenFolder(dir.path()));
        EXPECT_EQ(b->ListedNames(), QStringList({"a.png", "b.png"}));
        QObject receiver;
        int changes = 0;
        b->WatchSelection(&receiver, [&] { ++changes; });
        EXPECT_EQ(b->SelectRow(1), QFile::encodeName(dir.filePath("b.png")));
        EXPECT_EQ(b->SelectedNames(), QStringList({"b.png"}));
        EXPECT_GT(changes, 0);
        EXPECT_EQ(b->SelectRow(2), QByteArray());
        EXPECT_TRUE(b->SelectedNames().isEmpty());
        r->ConfirmDeletions = false;
        r->DeletionMode = 1;
        EXPECT_FALSE(BrowserDeletion().Confirm);
        EXPECT_TRUE(BrowserDeletion().Permanent);
        r->FileMask = "*.png;";
        EXPECT_EQ(BrowserFileMask(), "*.png;");
    }
    EXPECT_EQ(Browser(), nullptr);
    EXPECT_TRUE(BrowserDeletion().Confirm);
    EXPECT_FALSE(BrowserDeletion().Permanent);
    EXPECT_EQ(BrowserFileMask(), BuildFileMask());
}
