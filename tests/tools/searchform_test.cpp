#include "tools/qt/searchform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "tools/qt/register.h"
#include "tools/qt/searchresults.h"
#include "tools_fixtures.h"

namespace {

class SearchForm : public ::testing::Test {
  protected:
    SearchForm() {
        for (const char* f : {"a.jpg", "sub/b.JPG", "sub/c.gif", ".hidden/d.jpg", "slow/e.jpg"})
            WriteFile(tmp_.path() + '/' + f, f);
        w_.SetDrives({{tmp_.path(), "test"}});
    }
    QStringList Results() const {
        QStringList r;
        for (int i = 0; i < w_.ResultModel->Count(); ++i)
            r << w_.ResultModel->Path(i).mid(tmp_.path().size() + 1);
        return r;
    }
    bool WaitEnd() {
        return QTest::qWaitFor([&] { return !w_.Running(); }, 10000);
    }
    // A walk that hangs in the folder "slow" until it is told to stop.
    void HoldInSlow() {
        w_.Seams.refuseOpen = [this](const QByteArray& f) {
            if (f.endsWith("/slow/")) {
                held_ = true;
                while (!w_.StopRequested())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        };
    }
    QTemporaryDir tmp_;
    TScopedPrompts prompts_;
    TfSearch w_;
    std::atomic<bool> held_{false};
};

} // namespace

TEST_F(SearchForm, FindListsSortedMatchesAndTheirCount) {
    EXPECT_EQ(w_.windowTitle(), "File Search");
    EXPECT_EQ(w_.size(), QSize(345, 399));
    EXPECT_EQ(w_.StatusPanel->text(), "Double click filename after a search to view the file");
    EXPECT_EQ(w_.StatusPanel->textFormat(), Qt::PlainText);
    EXPECT_TRUE(w_.DriveList->isEnabled());
    w_.AllDrives->setChecked(true);
    EXPECT_FALSE(w_.DriveList->isEnabled());
    w_.SelectedDrive->setChecked(true);

    w_.show();
    QTest::keyClick(w_.SearchFor, Qt::Key_Return); // Enter finds
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(Results(), QStringList({"a.jpg", "slow/e.jpg", "sub/b.JPG"}));
    EXPECT_EQ(w_.StatusPanel->text(), "3 files found - Double click filename to view.");
    EXPECT_TRUE(w_.FindBtn->isVisibleTo(&w_));
    EXPECT_FALSE(w_.StopBtn->isVisibleTo(&w_));
}

// Stop (and Esc) keep what was found and show its count; double-clicks do
// nothing while the search runs and show the file in the browser after.
TEST_F(SearchForm, StopEscAndDoubleClick) {
    QFile::remove(SettingsFilePath());
    TForm1 form;
    form.show(); // the first show reads the file mask
    QCoreApplication::processEvents();
    std::vector<QString> shown;
    TForm1::SetPreviewHook([&](TForm1*, const QString& f) { shown.push_back(f); });

    for (bool esc : {false, true}) {
        SCOPED_TRACE(esc ? "Esc" : "Stop");
        held_ = false;
        HoldInSlow();
        w_.show();
        w_.Find();
        ASSERT_TRUE(QTest::qWaitFor([&] { return held_ && w_.ResultModel->Count() >= 1; }, 10000));
        EXPECT_TRUE(w_.Running());
        EXPECT_TRUE(w_.StopBtn->isVisibleTo(&w_));
        w_.Find(); // a second Find while running is ignored
        w_.ResultActivated(0);
        EXPECT_TRUE(shown.empty());

        if (esc)
            QTest::keyClick(w_.Results, Qt::Key_Escape);
        else
            QTest::mouseClick(w_.StopBtn, Qt::LeftButton);
        EXPECT_FALSE(w_.Running());
        EXPECT_EQ(Results(), QStringList({"a.jpg"}));
        EXPECT_EQ(w_.StatusPanel->text(), "1 files found - Double click filename to view.");
    }

    w_.ResultActivated(0);
    // Selecting the item previews it already; the window asks once more.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), tmp_.path() + "/a.jpg");
    EXPECT_EQ(form.ListedFolder(), tmp_.path());
    EXPECT_EQ(form.SLV1->SelectedNames(), QStringList({"a.jpg"}));
    TForm1::SetPreviewHook(nullptr);
}

TEST_F(SearchForm, ADriveThatCannotBeSearched) {
    const QString gone = tmp_.path() + "/gone";
    w_.SetDrives({{gone, "gone"}, {tmp_.path() + "/sub", "sub"}});
    w_.DriveList->setCurrentIndex(0);
    w_.Find();
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(prompts_->Messages(), QStringList({gone + ": No such file or directory"}));
    EXPECT_EQ(w_.StatusPanel->text(), "0 files found - Double click filename to view.");

    // All Drives passes over it without a word.
    w_.AllDrives->setChecked(true);
    w_.Find();
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(prompts_->Messages().size(), 1);
    EXPECT_EQ(Results(), QStringList({"sub/b.JPG"}));
}

TEST_F(SearchForm, CapReachedKeepsWhatWasFound) {
    w_.Cap = 2;
    w_.Find();
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(prompts_->Messages(), QStringList({"Number of files exceeds list box capacity."}));
    EXPECT_EQ(w_.ResultModel->Count(), 2);
    EXPECT_EQ(w_.StatusPanel->text(), "2 files found - Double click filename to view.");
}

TEST_F(SearchForm, ClosingStopsTheSearch) {
    HoldInSlow();
    w_.show();
    w_.Find();
    ASSERT_TRUE(QTest::qWaitFor([&] { return held_.load(); }, 10000));
    w_.close();
    EXPECT_FALSE(w_.Running());
}

// Batches merge into one sorted list; the current row follows its path.
TEST(SearchResults, BatchesMergeInOrder) {
    TSearchResultModel m;
    m.AddBatch({"/b/x", "/a/y"});
    QPersistentModelIndex keep(m.index(1, 0)); // "/b/x"
    m.AddBatch({"/B/a", "/a/Z", "/c"});
    QStringList all;
    for (int i = 0; i < m.Count(); ++i)
        all << m.Path(i);
    EXPECT_EQ(all, QStringList({"/a/y", "/a/Z", "/B/a", "/b/x", "/c"}));
    EXPECT_EQ(keep.row(), 3);
}

TEST(ToolsWindows, RegisteredWindowsOpenFromTheMainWindow) {
    QFile::remove(SettingsFilePath());
    RegisterToolsWindows();
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    EXPECT_TRUE(tools.IsReal("TfSearch"));
    EXPECT_TRUE(tools.IsReal("TfrmIncRename"));
    EXPECT_NE(dynamic_cast<TToolHandOver*>(tools.Find("TfrmIncRename")), nullptr);
    {
        TForm1 form;
        form.show();
        EXPECT_TRUE(form.Command("Search Files...")->isEnabled());
        form.Command("TavSearch")->trigger();
        EXPECT_TRUE(tools.Find("TfSearch")->isVisible());
        form.close();
    }
    SetToolWindows(nullptr);
}
