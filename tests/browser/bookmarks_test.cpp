// Folder bookmarks: the file's exact bytes, the menu, the editor, and
// bookmark files nobody should have to trust.

#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

#include "browser/bookmarks.h"
#include "browser/mainform.h"
#include "fixtures.h"
#include "support/scriptedprompts.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QMenu* Menu(TForm1& f) {
    for (QAction* a : f.menuBar()->actions())
        if (PlainCaption(a->text()) == "Bookmarks") return a->menu();
    return nullptr;
}

// The bookmark items after "Add Bookmark", "Edit Bookmarks..." and the
// separator: their folders.
QStringList Items(TForm1& f) {
    QStringList r;
    const QList<QAction*> all = Menu(f)->actions();
    for (int i = 3; i < all.size(); ++i)
        r << all[i]->data().toString();
    return r;
}

class Bookmarks : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        QFileInfo info(BookmarkFilePath());
        if (info.isDir())
            QDir(BookmarkFilePath()).removeRecursively();
        else
            QFile::remove(BookmarkFilePath());
        base_ = QDir::homePath() + "/bm";
        for (const char* d : {"one", "two", "three", "a&b"})
            QDir().mkpath(base_ + "/" + d);
    }
    void TearDown() override {
        QDir(base_).removeRecursively();
        QFile::remove(BookmarkFilePath());
    }
    std::unique_ptr<TForm1> Form() {
        auto f = std::make_unique<TForm1>();
        f->show();
        QCoreApplication::processEvents();
        return f;
    }
    QString B(const char* d) const { return base_ + "/" + d; }
    TScopedPrompts prompts;
    QString base_;
};

} // namespace

TEST_F(Bookmarks, AddWritesOneLineAndRefusesATwin) {
    auto f = Form();
    EXPECT_EQ(BookmarkFilePath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/Ambertide/bookmrks.dat");
    EXPECT_TRUE(Items(*f).isEmpty());
    f->OpenFolder(B("one"));
    f->Command("Add Bookmark")->trigger();
    EXPECT_EQ(ReadAll(BookmarkFilePath()), (B("one") + "\r\n").toUtf8());
    EXPECT_EQ(Items(*f), QStringList{B("one")});
    EXPECT_EQ(f->BookmarkList, QStringList{B("one")});

    f->Command("Add Bookmark")->trigger();
    EXPECT_EQ(prompts->Messages(), QStringList{B("one") + " is already bookmarked!"});
    EXPECT_EQ(ReadAll(BookmarkFilePath()), (B("one") + "\r\n").toUtf8());
    EXPECT_EQ(Items(*f), QStringList{B("one")});

    // The item opens its folder; a folder that is gone changes nothing.
    f->OpenFolder(B("two"));
    Menu(*f)->actions()[3]->trigger();
    EXPECT_EQ(f->ListedFolder(), B("one"));
    QDir(B("one")).removeRecursively();
    f->OpenFolder(B("two"));
    Menu(*f)->actions()[3]->trigger();
    EXPECT_EQ(f->ListedFolder(), B("two"));
}

TEST_F(Bookmarks, EditorReordersOnOkAndCancelKeepsAll) {
    const QByteArray file = (B("one") + "\r\n" + B("two") + "\r\n" + B("three") + "\r\n").toUtf8();
    WriteFile(BookmarkFilePath(), file);
    auto f = Form();
    EXPECT_EQ(Items(*f), (QStringList{B("one"), B("two"), B("three")}));

    // Delete everything, then Cancel: file and menu as they were.
    prompts->dialogAnswers.push_back([](QDialog* d) {
        auto* e = qobject_cast<TfBMEdit*>(d);
        EXPECT_EQ(e->windowTitle(), "Edit Bookmarks");
        EXPECT_EQ(e->ListBox1->currentRow(), 0);
        for (int i = 0; i < 4; ++i)
            e->Delete(); // the last one on an empty list does nothing
        EXPECT_EQ(e->ListBox1->count(), 0);
        return int(QDialog::Rejected);
    });
    f->Command("Edit Bookmarks...")->trigger();
    EXPECT_EQ(ReadAll(BookmarkFilePath()), file);
    EXPECT_EQ(Items(*f), (QStringList{B("one"), B("two"), B("three")}));

    // "two" up, "one" (now second) down past "three", OK.
    prompts->dialogAnswers.push_back([](QDialog* d) {
        auto* e = qobject_cast<TfBMEdit*>(d);
        EXPECT_EQ(e->ListBox1->count(), 3); // loaded afresh on showing
        e->ListBox1->setCurrentRow(1);
        e->Up();
        EXPECT_EQ(e->ListBox1->currentRow(), 0);
        e->Up(); // already first
        e->ListBox1->setCurrentRow(1);
        e->Down();
        EXPECT_EQ(e->ListBox1->currentRow(), 2);
        e->Down(); // already last
        return int(QDialog::Accepted);
    });
    f->Command("Edit Bookmarks...")->trigger();
    EXPECT_EQ(Items(*f), (QStringList{B("two"), B("three"), B("one")}));
    EXPECT_EQ(f->BookmarkList, (QStringList{B("two"), B("three"), B("one")}));
    EXPECT_EQ(ReadAll(BookmarkFilePath()),
              (B("two") + "\r\n" + B("three") + "\r\n" + B("one") + "\r\n").toUtf8());
    EXPECT_TRUE(prompts->Messages().isEmpty());
}

TEST_F(Bookmarks, HostileFilesReadSafely) {
    const QByteArray huge(5 * 1000 * 1000, 'x');
    struct TCase {
        const char* what;
        QByteArray data;
        QStringList folders;
    };
    const TCase cases[] = {
        {"CR only", "/a\r/b\r", {"/a", "/b"}},
        {"LF only", "/a\n/b", {"/a", "/b"}},
        {"BOM and blanks", "\xEF\xBB\xBF/a\r\n\r\n  \r\n/b\r\n", {"/a", "/b"}},
        {"invalid UTF-8", "/a\xFF\xFE\r\n/b\r\n", {QString::fromUtf8("/a\xFF\xFE"), "/b"}},
        {"NUL in a line", QByteArray("/a\0b\r\n/c\r\n", 10), {"/c"}},
        {"a 3 MB line", "/a\r\n" + huge.left(3000000) + "\r\n/b", {"/a", "/b"}},
        {"untidy paths", "/a//b/\r\n", {"/a/b"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(BookmarkFilePath(), c.data);
        QStringList got;
        EXPECT_EQ(ReadBookmarks(BookmarkFilePath(), got), TBookmarkRead::Ok);
        EXPECT_EQ(got, c.folders);
    }

    // More than is ever read: what was read is shown, but adding would cut
    // the file, so it is refused and the file kept.
    const QByteArray big = "/a\r\n" + huge + "\r\n/b\r\n";
    WriteFile(BookmarkFilePath(), big);
    QStringList got;
    EXPECT_EQ(ReadBookmarks(BookmarkFilePath(), got), TBookmarkRead::TooLarge);
    EXPECT_EQ(got, QStringList{"/a"});
    {
        auto f = Form();
        EXPECT_EQ(Items(*f), QStringList{"/a"});
        f->OpenFolder(B("one"));
        f->Command("Add Bookmark")->trigger();
        EXPECT_EQ(prompts->Messages(), QStringList{"Cannot open file " + BookmarkFilePath()});
        EXPECT_EQ(ReadAll(BookmarkFilePath()), big);
    }

    // "&" is a letter in the caption, not a shortcut; the item keeps the path.
    WriteFile(BookmarkFilePath(), (B("a&b") + "\r\n").toUtf8());
    auto f = Form();
    ASSERT_EQ(Items(*f), QStringList{B("a&b")});
    EXPECT_EQ(Menu(*f)->actions()[3]->text(), QString(B("a&b")).replace("&", "&&"));
    Menu(*f)->actions()[3]->trigger();
    EXPECT_EQ(f->ListedFolder(), B("a&b"));
}

// A bookmark file that exists but cannot be read is not empty: adding must
// not replace it.
TEST_F(Bookmarks, UnreadableFileIsNeverReplaced) {
    QDir().mkpath(BookmarkFilePath());
    auto f = Form();
    EXPECT_TRUE(Items(*f).isEmpty());
    f->OpenFolder(B("one"));
    f->Command("Add Bookmark")->trigger();
    EXPECT_EQ(prompts->Messages(), QStringList{"Cannot open file " + BookmarkFilePath()});
    EXPECT_TRUE(QFileInfo(BookmarkFilePath()).isDir());
    EXPECT_TRUE(Items(*f).isEmpty());

    prompts->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Accepted); });
    f->Command("Edit Bookmarks...")->trigger();
    EXPECT_EQ(prompts->Messages().size(), 2);
    EXPECT_TRUE(QFileInfo(BookmarkFilePath()).isDir());
    QDir(BookmarkFilePath()).removeRecursively();
}
