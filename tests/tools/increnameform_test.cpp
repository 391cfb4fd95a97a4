#include "tools/qt/increnameform.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

#include "browser/filelist.h"
#include "browser/mainform.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "tools_fixtures.h"

namespace {

class IncRenameForm : public ::testing::Test {
  protected:
    QString P(const QString& name) const { return tmp_.path() + '/' + name; }
    void Make(const QStringList& names) {
        for (const QString& n : names)
            WriteFile(P(n), n.toUtf8());
    }
    void SetLines(const QStringList& lines) {
        w_.FileList->clear();
        w_.FileList->addItems(lines);
    }
    QTemporaryDir tmp_;
    TScopedPrompts prompts_;
    TfrmIncRename w_;
};

} // namespace

TEST_F(IncRenameForm, LooksAsTheUsersKnowIt) {
    EXPECT_EQ(w_.windowTitle(), "Incremental File Rename");
    EXPECT_EQ(w_.size(), QSize(457, 468));
    EXPECT_TRUE(w_.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w_.NewName->text(), "NewName");
    EXPECT_EQ(w_.Number->text(), "001");
    QStringList menu;
    for (QAction* a : w_.PopupMenu->actions())
        menu << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(menu, QStringList({"Clear All", "Delete Selected", "Sort by Name", "-",
                                 "Import Current Directory", "-", "Close"}));
}

// The table of a run: extensions as written, no extension, a taken name
// (marked, the stranger byte-identical, the next file the next number), a
// marked line marked again, the list rewritten with the outcome.
TEST_F(IncRenameForm, RenameAsksThenRenamesEveryLine) {
    Make({"IMG_7.jpg", "b.JPG", "noext", "c.png", "Trip_003"});
    SetLines({P("IMG_7.jpg"), P("b.JPG"), P("noext"), "ERROR * " + P("x.jpg"), P("c.png")});
    w_.NewName->setText("Trip");
    prompts_->buttonAnswers = {QMessageBox::Yes};
    w_.Rename();
    // The question says beforehand which lines the run will not rename.
    EXPECT_EQ(prompts_->Messages(),
              QStringList({"Ready to rename 5 files.  Proceed?\n\n2 of them cannot be renamed:\n" +
                           P("noext") + " -> Trip_003: File exists\nERROR * " + P("x.jpg") +
                           ": not a file name"}));
    EXPECT_EQ(w_.Lines(),
              QStringList({P("Trip_001.jpg"), P("Trip_002.JPG"), "ERROR * " + P("noext"),
                           "ERROR * ERROR * " + P("x.jpg"), P("Trip_005.png")}));
    EXPECT_EQ(ReadFile(P("Trip_003")), "Trip_003");
    EXPECT_EQ(ReadFile(P("noext")), "noext");
    EXPECT_EQ(Snapshot(tmp_.path()).keys(),
              QStringList({"Trip_001.jpg", "Trip_002.JPG", "Trip_003", "Trip_005.png", "noext"}));

    // A rerun keeps every line: the renamed ones have their names already.
    const auto before = Snapshot(tmp_.path());
    prompts_->buttonAnswers = {QMessageBox::Yes};
    w_.Rename();
    EXPECT_EQ(w_.Lines()[0], P("Trip_001.jpg"));
    EXPECT_EQ(w_.Lines()[4], P("Trip_005.png"));
    EXPECT_EQ(Snapshot(tmp_.path()), before);
}

TEST_F(IncRenameForm, NoOrAnEmptyNumberChangesNothing) {
    Make({"a.jpg", "b.jpg"});
    SetLines({P("a.jpg"), P("b.jpg")});
    const auto before = Snapshot(tmp_.path());
    prompts_->buttonAnswers = {QMessageBox::No};
    w_.Rename();
    EXPECT_EQ(Snapshot(tmp_.path()), before);

    w_.Number->clear();
    prompts_->buttonAnswers = {QMessageBox::Yes};
    w_.Rename();
    EXPECT_EQ(prompts_->Messages().last(), "'' is not a valid integer value");
    EXPECT_EQ(Snapshot(tmp_.path()), before);
    EXPECT_EQ(w_.Lines(), QStringList({P("a.jpg"), P("b.jpg")}));
}

TEST_F(IncRenameForm, EditsRefuseSlashesAndNonDigits) {
    w_.show();
    w_.NewName->clear();
    QTest::keyClicks(w_.NewName, "../a/b");
    EXPECT_EQ(w_.NewName->text(), "..ab");
    QApplication::clipboard()->setText("../x");
    w_.NewName->clear();
    w_.NewName->paste();
    EXPECT_FALSE(w_.NewName->text().contains('/'));

    w_.Number->clear();
    QTest::keyClicks(w_.Number, "12a-34567");
    EXPECT_EQ(w_.Number->text(), "12345");
}

// Names dragged from any of our lists join the folder the drag carries
// (a list with tag 0 too); only picture types are taken; a name that is
// not a plain name is refused with the message.
TEST_F(IncRenameForm, DropsUseThePayloadsFolder) {
    TFileDrag drag{0, tmp_.path(), {"x.jpg", "notes.txt", "y.Tga", "../z.jpg", "noext"}, {}};
    std::unique_ptr<QMimeData> mime(EncodeFileDrag(drag));
    emit w_.FileList->Dropped(mime.get()); // what the list's drop handler hands on
    EXPECT_EQ(w_.Lines(), QStringList({P("x.jpg"), P("y.Tga")}));
    EXPECT_EQ(prompts_->Messages(), QStringList({"Can't edit " + P("../z.jpg")}));
}

TEST_F(IncRenameForm, HandOverImportAndRefresh) {
    w_.TakeHandOver(tmp_.path(), {P("one.jpg")});
    EXPECT_TRUE(w_.isVisible());
    EXPECT_TRUE(w_.Lines().isEmpty()); // one file is not a run
    w_.TakeHandOver(tmp_.path(), {P("b.jpg"), P("a.jpg")});
    EXPECT_EQ(w_.Lines(), QStringList({P("b.jpg"), P("a.jpg")}));
    w_.FileList->item(0)->setSelected(true);
    w_.DeleteSelected();
    EXPECT_EQ(w_.Lines(), QStringList({P("a.jpg")}));

    QFile::remove(SettingsFilePath());
    Make({"a.jpg", "b.gif", "c.txt"});
    TForm1 form;
    form.show(); // the first show reads the file mask
    QCoreApplication::processEvents();
    ASSERT_TRUE(form.OpenFolder(tmp_.path()));
    ASSERT_EQ(form.SLV1->Count(), 2); // a.jpg and b.gif
    SetLines({});
    w_.ImportCurrentDirectory();
    QStringList listed;
    for (int i = 0; i < form.SLV1->Count(); ++i)
        listed << P(form.SLV1->Caption(i));
    EXPECT_EQ(w_.Lines(), listed);

    // After a run the browser lists the new names.
    SetLines({P("a.jpg")});
    w_.NewName->setText("N");
    prompts_->buttonAnswers = {QMessageBox::Yes};
    w_.Rename();
    QStringList after;
    for (int i = 0; i < form.SLV1->Count(); ++i)
        after << form.SLV1->Caption(i);
    EXPECT_TRUE(after.contains("N_001.jpg"));
    EXPECT_FALSE(after.contains("a.jpg"));
}

// "Sort by Name" puts the list in natural order, and the numbers follow it.
TEST_F(IncRenameForm, NaturalOrderNumbersAsShown) {
    Make({"pic 10.jpg", "pic 2.jpg", "Pic 1.jpg"});
    SetLines({P("pic 10.jpg"), P("pic 2.jpg"), P("Pic 1.jpg")});
    w_.SortByName();
    EXPECT_EQ(w_.Lines(), QStringList({P("Pic 1.jpg"), P("pic 2.jpg"), P("pic 10.jpg")}));
    w_.NewName->setText("n");
    w_.Number->setText("1");
    prompts_->buttonAnswers = {QMessageBox::Yes};
    w_.Rename();
    EXPECT_EQ(ReadFile(P("n_1.jpg")), "Pic 1.jpg");
    EXPECT_EQ(ReadFile(P("n_2.jpg")), "pic 2.jpg");
    EXPECT_EQ(ReadFile(P("n_3.jpg")), "pic 10.jpg");
}
