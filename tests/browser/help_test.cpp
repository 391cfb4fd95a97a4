// The help: its pages and links, the context table, the keyword search, the
// help window with F1 and the Help menu, and the about box.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>
#include <png.h>

#include "browser/about.h"
#include "browser/help.h"
#include "browser/helpwindow.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "fixtures.h"
#include "platform/prompts.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "platform/windowplace.h"

namespace {

QString PageHtml(const QString& page) {
    QFile f(HelpResourceFolder() + page);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool PageExists(const QString& page) {
    return QFile::exists(HelpResourceFolder() + page);
}

QStringList LinksOf(const QString& html) {
    static const QRegularExpression link(R"re((?:href|src)\s*=\s*"([^"]*)")re",
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList r;
    for (auto it = link.globalMatch(html); it.hasNext();)
        r << it.next().captured(1);
    return r;
}

} // namespace

TEST(HelpPages, EveryContextAndWindowOpensAPageThatExists) {
    QSet<QString> pages;
    for (const THelpTopic& t : HelpTopics()) {
        EXPECT_TRUE(PageExists(t.page)) << t.page;
        EXPECT_EQ(HelpPageForContext(t.context), t.page);
        EXPECT_FALSE(pages.contains(t.page)) << "two contexts for " << t.page;
        pages.insert(t.page);
        // The window list and the search show the title the page has.
        EXPECT_EQ(HelpPageTextFromHtml(t.page, PageHtml(t.page)).title, t.title) << t.page;
    }
    // The numbers the windows' Help buttons use each have their own page.
    for (int c : {130, 370, 380, 500, 560, 590, 600})
        EXPECT_NE(HelpPageForContext(c), HelpContentsPage()) << c;
    EXPECT_EQ(HelpPageForContext(500), "overview.html");
    for (int c : {0, -1, 131, 99999})
        EXPECT_EQ(HelpPageForContext(c), HelpContentsPage()) << c;
    // Every tool window has a page of its own for F1 (the about box aside).
    for (const TToolWindowInfo& w : ToolWindowOrder()) {
        if (QString(w.className) == "TfAbout") continue;
        EXPECT_NE(HelpContextForWindow(w.className), hcContents) << w.className;
    }
    EXPECT_EQ(HelpContextForWindow("TfNoSuchWindow"), hcContents);
    // No page lies in the resources without a place in the table.
    for (const QString& f : QDir(HelpResourceFolder()).entryList({"*.html"}))
        EXPECT_TRUE(pages.contains(f)) << f.toStdString() << " is not in the table";
}

TEST(HelpPages, EveryLinkResolvesAndTheContentsReachEveryPage) {
    QSet<QString> fromContents;
    for (const QString& l : LinksOf(PageHtml(HelpContentsPage())))
        fromContents.insert(l.section('#', 0, 0));
    for (const THelpTopic& t : HelpTopics()) {
        if (QString(t.page) != HelpContentsPage()) {
            EXPECT_TRUE(fromContents.contains(t.page)) << t.page << " is missing from the contents";
        }
        const QString html = PageHtml(t.page);
        for (const QString& link : LinksOf(html)) {
            const QUrl u(link);
            if (u.scheme() == "https" || u.scheme() == "mailto") continue;
            ASSERT_TRUE(u.scheme().isEmpty()) << t.page << ": " << link.toStdString();
            const QString file = u.path().isEmpty() ? QString(t.page) : u.path();
            EXPECT_TRUE(PageExists(file)) << t.page << " links to " << link.toStdString();
            if (u.hasFragment()) {
                EXPECT_TRUE(PageHtml(file).contains("id=\"" + u.fragment() + "\""))
                    << t.page << " links to " << link.toStdString();
            }
        }
    }
}

TEST(HelpSearch, FindsPagesByTheirWordsBestFirst) {
    const auto& index = HelpIndex();
    ASSERT_EQ(index.size(), HelpTopics().size());
    struct TCase {
        const char* query;
        const char* firstPage; // null: nothing found
    } cases[] = {
        {"barrel distortion", "radial.html"},
        {"Barrel", "radial.html"},
        {"renam number", "increname.html"}, // a word finds longer words
        {"TavMover", "mover.html"},
        {"trash thumbnail cache", "files.html"}, // every word must occur
        {"mimeapps", "preferences.html"},
        {"xyzzy", nullptr},
        {"barrel xyzzy", nullptr},
        {"  ;; ", nullptr},
    };
    for (const TCase& c : cases) {
        const auto hits = SearchHelpPages(index, c.query);
        if (!c.firstPage) {
            EXPECT_TRUE(hits.empty()) << c.query;
            continue;
        }
        ASSERT_FALSE(hits.empty()) << c.query;
        EXPECT_EQ(hits.front().page, c.firstPage) << c.query;
        for (size_t i = 1; i < hits.size(); ++i)
            EXPECT_GE(hits[i - 1].score, hits[i].score);
    }
}

class HelpWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        InstallHelpKeys();
    }
    void TearDown() override { delete HelpWindow(false); }
    THelpWindow* Shown() {
        THelpWindow* w = HelpWindow(false);
        return w && w->isVisible() ? w : nullptr;
    }
    TScopedPrompts prompts;
};

TEST_F(HelpWindowTest, ContextsOpenTheirPagesWithHistory) {
    ShowHelpContext(hcMover);
    THelpWindow* w = Shown();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->CurrentPage(), "mover.html");
    EXPECT_TRUE(w->HelpText->toPlainText().contains("TavMover"));
    EXPECT_TRUE(w->windowTitle().contains("TavMover"));
    ShowHelpContext(4242); // unknown: the contents
    EXPECT_EQ(w->CurrentPage(), "contents.html");
    ShowHelpContext(hcFeatureOverview);
    EXPECT_EQ(w->CurrentPage(), "overview.html");
    ASSERT_TRUE(w->BackAction->isEnabled());
    w->BackAction->trigger();
    EXPECT_EQ(w->CurrentPage(), "contents.html");
    w->BackAction->trigger();
    EXPECT_EQ(w->CurrentPage(), "mover.html");
    EXPECT_FALSE(w->BackAction->isEnabled());
    w->ForwardAction->trigger();
    EXPECT_EQ(w->CurrentPage(), "contents.html");
    // A link in the page is followed inside the window.
    w->HelpText->setSource(QUrl("editor.html"));
    EXPECT_EQ(w->CurrentPage(), "editor.html");
    EXPECT_TRUE(w->HelpText->toPlainText().contains("Undo"));
    // The contents list follows the page shown.
    ASSERT_NE(w->ContentsList->currentItem(), nullptr);
    EXPECT_EQ(w->ContentsList->currentItem()->text(0), "Image Editor");
    // Printing asks for the printer through the prompts; cancelled, nothing.
    w->PrintAction->trigger();
    ASSERT_EQ(prompts->asked.size(), 1u);
    EXPECT_EQ(prompts->asked[0].kind, "print");
}

TEST_F(HelpWindowTest, SearchOpensWithTheFieldFocusedAndListsThePages) {
    ShowHelpSearch();
    THelpWindow* w = Shown();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    EXPECT_EQ(w->Tabs->currentIndex(), 1);
    EXPECT_TRUE(w->SearchEdit->hasFocus());
    QTest::keyClicks(w->SearchEdit, "scanner");
    ASSERT_FALSE(w->SearchHits().empty());
    EXPECT_EQ(w->SearchHits().front().page, "acquire.html");
    EXPECT_EQ(w->SearchResults->count(), int(w->SearchHits().size()));
    QTest::keyClick(w->SearchEdit, Qt::Key_Return); // opens the best page
    EXPECT_EQ(w->CurrentPage(), "acquire.html");
    EXPECT_TRUE(w->HelpText->textCursor().selectedText().compare("scanner", Qt::CaseInsensitive) ==
                0);
    w->SearchEdit->setText("xyzzy");
    EXPECT_EQ(w->SearchResults->count(), 0);
    EXPECT_EQ(w->SearchStatus->text(), "No topics found.");
}

TEST_F(HelpWindowTest, F1OpensThePageOfTheWindowInUse) {
    {
        TForm1 form{QStringList()};
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.SLV1, Qt::Key_F1);
        ASSERT_NE(Shown(), nullptr);
        EXPECT_EQ(Shown()->CurrentPage(), "contents.html");
        // The Help menu's commands.
        form.Command("Feature Overview...")->trigger();
        EXPECT_EQ(Shown()->CurrentPage(), "overview.html");
        form.Command("How To Use Help...")->trigger();
        EXPECT_EQ(Shown()->CurrentPage(), "usinghelp.html");
        form.Command("Contents")->trigger();
        EXPECT_EQ(Shown()->CurrentPage(), "contents.html");
        Shown()->hide();
    }
    // A tool window, known by its class name; a part of one with its own page.
    QWidget tool(nullptr, Qt::Window);
    tool.setObjectName("TfrmBarrel");
    auto* edit = new QLineEdit(&tool);
    auto* part = new QWidget(&tool);
    auto* inPart = new QLineEdit(part);
    SetHelpContext(part, hcFilters);
    tool.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tool));
    QTest::keyClick(edit, Qt::Key_F1);
    ASSERT_NE(Shown(), nullptr);
    EXPECT_EQ(Shown()->CurrentPage(), "radial.html");
    EXPECT_EQ(HelpContextOf(inPart), hcFilters);
    QTest::keyClick(inPart, Qt::Key_F1);
    EXPECT_EQ(Shown()->CurrentPage(), HelpPageForContext(hcFilters));
    // F1 in the help window itself explains the help window.
    QTest::keyClick(Shown()->HelpText, Qt::Key_F1);
    EXPECT_EQ(Shown()->CurrentPage(), "usinghelp.html");
}

TEST_F(HelpWindowTest, HelpStaysUsableWhileAModalDialogRuns) {
    // While a modal dialog runs, only it and the windows it owns take input:
    // the help window must be one of them.
    QDialog dialog;
    dialog.setObjectName("TfrmIncRename");
    bool usable = false;
    QTimer::singleShot(0, &dialog, [&] {
        ShowHelpContext(hcIncrementalRename);
        THelpWindow* w = Shown();
        usable = w && w->CurrentPage() == "increname.html" && dialog.windowHandle() &&
                 w->windowHandle() &&
                 dialog.windowHandle()->isAncestorOf(w->windowHandle(), QWindow::IncludeTransients);
        dialog.reject();
    });
    dialog.exec(); // ended by the timer above
    EXPECT_TRUE(usable);
    // Afterwards the help window belongs to no dialog again.
    ShowHelpContents();
    ASSERT_NE(Shown(), nullptr);
    EXPECT_EQ(Shown()->parentWidget(), nullptr);
}

TEST_F(HelpWindowTest, ContactCommandsHideWithoutATableAndOpenWhatItSays) {
    std::vector<QUrl> opened;
    SetUrlOpener([&](const QUrl& u) {
        opened.push_back(u);
        return true;
    });
    const TContactLinks saved = SetContactLinks({});
    {
        TForm1 form{QStringList()};
        EXPECT_FALSE(form.Command("Go to our web site")->isVisible());
        EXPECT_FALSE(form.Command("email us")->isVisible());
    }
    SetContactLinks({"https://ambertide.example/tavirlo", "help@ambertide.example"});
    {
        TForm1 form{QStringList()};
        EXPECT_TRUE(form.Command("Go to our web site")->isVisible());
        form.Command("Go to our web site")->trigger();
        form.Command("email us")->trigger();
    }
    SetContactLinks(saved);
    SetUrlOpener({});
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl("https://ambertide.example/tavirlo"));
    EXPECT_EQ(opened[1].toString(), "mailto:help@ambertide.example");
    // Only web pages and plain addresses leave the program.
    EXPECT_FALSE(ContactWebUrl({"file:///etc/passwd", ""}).isValid());
    EXPECT_FALSE(ContactWebUrl({"javascript:alert(1)", ""}).isValid());
    EXPECT_FALSE(ContactMailUrl({"", "a@b.example?attach=/etc/passwd"}).isValid());
    EXPECT_FALSE(ContactMailUrl({"", "not an address"}).isValid());
}

TEST(About, ShowsTheVersionsAndIsARealToolWindow) {
    TfAbout about;
    EXPECT_EQ(about.windowTitle(), "About Tavirlo");
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(about.Version->text(), "Version 7.8");
    EXPECT_EQ(about.Maker->text(), "by Ambertide Software");
    EXPECT_TRUE(about.QtVersion->text().startsWith(QString("Qt ") + qVersion()));
    EXPECT_TRUE(
        about.PngVersion->text().startsWith(QString("libpng ") + png_get_libpng_ver(nullptr)));
    // Debian's libjpeg is libjpeg-turbo; its version is read from the library.
    EXPECT_TRUE(QRegularExpression(R"(^libjpeg-turbo \d+\.\d+\.\d+)")
                    .match(about.JpegVersion->text())
                    .hasMatch())
        << about.JpegVersion->text().toStdString();
    EXPECT_TRUE(about.Licences->text().contains("Independent JPEG Group"));
    EXPECT_EQ(about.DisplayProfile->text(), "Display profile: sRGB"); // no X11 profile here
    about.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(about.minimumSize(), about.maximumSize()); // fixed size

    RegisterHelpWindows();
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    EXPECT_TRUE(tools.IsReal("TfAbout"));
    EXPECT_NE(qobject_cast<TfAbout*>(tools.Find("TfAbout")), nullptr);
    {
        TForm1 form{QStringList()};
        EXPECT_TRUE(form.Command("About Tavirlo")->isEnabled());
    }
    SetToolWindows(nullptr);
}

// The help window opens where it was left, inside the screen of today.
TEST_F(HelpWindowTest, OpensWhereItWasLeft) {
    {
        THelpWindow w;
        w.show();
        w.setGeometry(120, 140, 640, 480);
        QCoreApplication::processEvents();
        w.hide();
    }
    THelpWindow again;
    EXPECT_EQ(again.geometry(), QRect(120, 140, 640, 480));
    // Numbers that no screen has are brought back into it; others are ignored.
    WriteSetting("HelpLeft", "-99999999999");
    WriteSetting("HelpWidth", "99999999999");
    THelpWindow far;
    const QRect area = AvailableAreaFor(far.geometry());
    if (!area.isEmpty()) {
        EXPECT_TRUE(area.contains(far.geometry()));
    }
    WriteSetting("HelpTop", "x");
    THelpWindow bad;
    EXPECT_EQ(bad.size(), QSize(880, 620));
}
