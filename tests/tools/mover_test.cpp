// The mover: moving and copying into the browser's folder without replacing
// anything, files still being written skipped, a move across file systems
// that leaves no source behind, Auto Update selecting what arrives, the
// window's fixed height, and deleting the way the browser does.

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "browser/filelist.h"
#include "browser/fileops_ui.h"
#include "browser/fileopsdialogs.h"
#include "browser/form1.h"
#include "browser/mainform.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"
#include "tools/qt/moverform.h"
#include "tools_fixtures.h"
#include "view/pgimage.h"

namespace {

class Mover : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        ViewAllFiles = true;
        form = std::make_unique<TForm1>();
        SetForm1(form.get());
        ASSERT_TRUE(form->OpenFolder(target.path()));
    }
    void TearDown() override {
        SetForm1(nullptr);
        ViewAllFiles = false;
    }
    void Select(TfSelectFiles& m, const QStringList& names) {
        m.List->ClearSelectionAll();
        for (int r = 0; r < m.List->Count(); ++r)
            if (names.contains(m.List->Caption(r)))
                m.List->selectionModel()->select(m.List->Model()->index(r, 0),
                                                 QItemSelectionModel::Select |
                                                     QItemSelectionModel::Rows);
    }
    QTemporaryDir source, target;
    TScopedPrompts prompts;
    std::unique_ptr<TForm1> form;
};

} // namespace

TEST_F(Mover, MoveAndCopyNeverReplaceAndSkipFilesBeingWritten) {
    WriteFile(source.filePath("a.jpg"), "new a");
    WriteFile(source.filePath("b.jpg"), "bee");
    WriteFile(source.filePath("c.jpg"), "");
    WriteFile(source.filePath("d.jpg"), "dee");
    WriteFile(target.filePath("a.jpg"), "old a");
    TfSelectFiles m;
    ASSERT_TRUE(m.OpenSource(source.path()));
    Select(m, {"a.jpg", "b.jpg", "c.jpg"});
    m.MoveOrCopy(true);
    const QStringList said = prompts->Messages();
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(said[0], "file " + target.filePath("a.jpg") +
                           " already exists. Select another directory before moving");
    EXPECT_EQ(said[1], source.filePath("c.jpg") +
                           " has a size of zero. This may be because it is not yet closed.");
    EXPECT_EQ(ReadFile(target.filePath("a.jpg")), "old a");
    EXPECT_EQ(ReadFile(source.filePath("a.jpg")), "new a");
    EXPECT_EQ(ReadFile(target.filePath("b.jpg")), "bee");
    EXPECT_FALSE(QFile::exists(source.filePath("b.jpg")));
    // The last file moved is the one the browser shows.
    EXPECT_EQ(form->SLV1->SelectedNames(), QStringList{"b.jpg"});

    // Copy keeps the source.
    Select(m, {"d.jpg"});
    m.MoveOrCopy(false);
    EXPECT_EQ(ReadFile(target.filePath("d.jpg")), "dee");
    EXPECT_EQ(ReadFile(source.filePath("d.jpg")), "dee");
}

TEST_F(Mover, MoveAcrossFileSystemsLeavesNoSource) {
    if (!QFileInfo("/dev/shm").isWritable()) GTEST_SKIP() << "no /dev/shm";
    QTemporaryDir shm("/dev/shm/tav_mover_XXXXXX");
    QByteArray big(3 << 20, 'x');
    WriteFile(shm.filePath("big.jpg"), big);
    TfSelectFiles m;
    ASSERT_TRUE(m.OpenSource(shm.path()));
    Select(m, {"big.jpg"});
    m.MoveOrCopy(true);
    EXPECT_TRUE(prompts->Messages().isEmpty());
    EXPECT_EQ(ReadFile(target.filePath("big.jpg")), big);
    EXPECT_FALSE(QFile::exists(shm.filePath("big.jpg")));
}

TEST_F(Mover, AutoUpdateSelectsAndPreviewsWhatArrives) {
    samples::SaveQuad(source.filePath("a.jpg"), 40, 30);
    TfSelectFiles m;
    m.show();
    ASSERT_TRUE(m.OpenSource(source.path()));
    EXPECT_EQ(m.height(), 386);
    m.resize(500, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.height(), 386);

    m.SetAutoUpdate(true);
    // A file that only grows is nothing new.
    WriteFile(source.filePath("a.jpg"), ReadFile(source.filePath("a.jpg")) + "more");
    m.FolderChanged();
    EXPECT_EQ(m.List->SelCount(), 0);
    samples::SaveQuad(source.filePath("b.jpg"), 40, 30);
    // The watcher reports it; the coalescing timer lists once.
    QTRY_COMPARE_WITH_TIMEOUT(m.List->SelectedNames(), QStringList{"b.jpg"}, 5000);
    EXPECT_EQ(m.NameBox->text(), "b.jpg");
    EXPECT_TRUE(m.PGImage1->isVisible());
    EXPECT_EQ(m.PGImage1->ImageWidth(), 40);
}

// A file still being written is neither listed nor previewed until its size
// and time hold still; a later rewrite of the shown file is shown again.
TEST_F(Mover, AutoUpdateWaitsForAFileToBeComplete) {
    const QString scratch = target.filePath("scratch.jpg");
    samples::SaveQuad(scratch, 64, 48);
    const QByteArray whole = ReadFile(scratch);
    QFile::remove(scratch);
    TfSelectFiles m;
    m.show();
    ASSERT_TRUE(m.OpenSource(source.path()));
    m.SetAutoUpdate(true);

    // A writer slower than any wait below, however loaded the machine: the
    // settling time is long while it writes and back to normal after.
    const int settle = m.SettleMs;
    m.SettleMs = 3600 * 1000;
    QFile f(source.filePath("new.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(whole.left(whole.size() / 2));
    f.flush();
    // Looked at again and again while the writer keeps going: not listed.
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(200);
        f.write(whole.mid(whole.size() / 2 + i, 1));
        f.flush();
        m.FolderChanged();
        EXPECT_EQ(m.List->Count(), 0);
        EXPECT_EQ(m.NameBox->text(), "") << i;
    }
    f.write(whole.mid(whole.size() / 2 + 4));
    f.close();
    m.SettleMs = settle;
    QTRY_COMPARE_WITH_TIMEOUT(m.List->SelectedNames(), QStringList{"new.jpg"}, 5000);
    EXPECT_EQ(m.List->Model()->Item(0).size, whole.size());
    EXPECT_EQ(m.PGImage1->ImageWidth(), 64);

    // Rewritten while shown: listed and previewed anew once complete.
    samples::SaveQuad(source.filePath("new.jpg"), 32, 20);
    QTRY_COMPARE_WITH_TIMEOUT(m.PGImage1->ImageWidth(), 32, 5000);
    EXPECT_EQ(m.List->SelectedNames(), QStringList{"new.jpg"});
    EXPECT_EQ(m.List->Model()->Item(0).size, QFileInfo(source.filePath("new.jpg")).size());
}

// Renaming onto a name that is taken says so, and changes nothing.
TEST_F(Mover, RenameOntoATakenNameSaysSo) {
    WriteFile(source.filePath("a.jpg"), "a");
    WriteFile(source.filePath("b.jpg"), "b");
    TfSelectFiles m;
    ASSERT_TRUE(m.OpenSource(source.path()));
    Select(m, {"a.jpg"});
    prompts->dialogAnswers.push_back([](QDialog* d) {
        static_cast<TfRename*>(d)->Edit1->setText("b.jpg");
        return int(QDialog::Accepted);
    });
    m.RenameFile();
    EXPECT_EQ(prompts->Messages(), QStringList{"Error changing name: b.jpg already exists"});
    EXPECT_EQ(ReadFile(source.filePath("a.jpg")), "a");
    EXPECT_EQ(ReadFile(source.filePath("b.jpg")), "b");
}

// Deleting lets events through, and while it runs no other file command
// starts, neither the mover's nor the browser's.
TEST_F(Mover, DeleteLetsEventsThroughAndHoldsOtherFileCommands) {
    WriteFile(source.filePath("a.jpg"), "a");
    WriteFile(source.filePath("b.jpg"), "b");
    WriteFile(target.filePath("x.jpg"), "x");
    form->ConfirmDeletions = false;
    form->DeletionMode = 1;
    form->RefreshList();
    form->SLV1->selectAll();
    TfSelectFiles m;
    ASSERT_TRUE(m.OpenSource(source.path()));
    Select(m, {"a.jpg", "b.jpg"});
    bool during = false;
    QTimer::singleShot(0, &m, [&] {
        during = true;
        m.DeleteFiles();
        m.MoveOrCopy(true);
        m.AddFolder();
        m.DeleteFolder();
        DeleteSelectedFiles(*form);
    });
    m.DeleteFiles();
    EXPECT_TRUE(during);
    EXPECT_FALSE(QFileInfo::exists(source.filePath("a.jpg")));
    EXPECT_FALSE(QFileInfo::exists(source.filePath("b.jpg")));
    EXPECT_EQ(ReadFile(target.filePath("x.jpg")), "x");
    EXPECT_FALSE(QFileInfo::exists(target.filePath("a.jpg")));
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_TRUE(QFileInfo(source.path()).isDir());
    EXPECT_EQ(m.List->Count(), 0);
}
