// The main window's file operations on real files: deleting to the trash
// and for good, renaming, attributes, folders and files dropped from other
// programs. Every prompt is answered by the test.

#include <QCheckBox>
#include <QDropEvent>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QStorageInfo>
#include <QTest>
#include <QUrl>
#include <cctype>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "browser/fileops_ui.h"
#include "browser/fileopsdialogs.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/trash.h"
#include "fixtures.h"
#include "platform/paths.h"
#include "support/scriptedprompts.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QStringList ListNames(const TForm1& f) {
    QStringList r;
    for (int i = 0; i < f.SLV1->Count(); ++i)
        r << f.SLV1->Caption(i);
    return r;
}

class FileOpsUi : public ::testing::Test {
  protected:
    void SetUp() override {
        ClearSettings();
        ViewAllFiles = false;
        // Beside the test's XDG data folder, so the trash is on the same disk.
        dir_ = QDir::homePath() + "/work_" +
               QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(dir_).removeRecursively();
        QDir().mkpath(dir_);
        for (const char* n : {"a.jpg", "b.jpg", "z.jpg"})
            WriteFile(dir_ + "/" + n, QByteArray("data of ") + n);
        form_ = std::make_unique<TForm1>();
        form_->show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(form_->OpenFolder(dir_));
    }
    void TearDown() override {
        SetTrashHook({});
        form_.reset();
        QDir(dir_).removeRecursively();
    }
    TForm1& F() { return *form_; }
    QString P(const QString& n) const { return dir_ + "/" + n; }
    void Select(const QStringList& names) {
        F().SLV1->ClearSelectionAll();
        for (int i = 0; i < F().SLV1->Count(); ++i)
            if (names.contains(F().SLV1->Caption(i)))
                F().SLV1->selectionModel()->select(F().SLV1->Model()->index(i, 0),
                                                   QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
    }
    // As the pop-up menu does when it opens: its commands follow the selection.
    QAction* Cmd(const char* c) {
        F().UpdatePopupMenu1();
        return F().Command(c);
    }
    // Runs a command as a click does: it starts once the click is delivered.
    void Run(const char* c) {
        Cmd(c)->trigger();
        QCoreApplication::processEvents();
    }

    TScopedPrompts prompts;
    QString dir_;
    std::unique_ptr<TForm1> form_;
};

} // namespace

TEST_F(FileOpsUi, DeleteAsksFirstAndNoKeepsEverything) {
    Run("Delete File");
    EXPECT_EQ(prompts->Messages(), QStringList{"You need to click on a file name first"});

    Select({"a.jpg"});
    prompts->buttonAnswers = {QMessageBox::No};
    Run("Delete File");
    Select({"a.jpg", "b.jpg"});
    prompts->buttonAnswers = {QMessageBox::No};
    F().UpdatePopupMenu1();
    ASSERT_TRUE(Cmd("Delete Files (Del)")->isEnabled());
    Run("Delete Files (Del)");
    EXPECT_EQ(prompts->Messages(), (QStringList{"You need to click on a file name first",
                                                "Delete file a.jpg?", "Delete selected files?"}));
    EXPECT_EQ(ListNames(F()), (QStringList{"a.jpg", "b.jpg", "z.jpg"}));
    EXPECT_TRUE(QFile::exists(P("a.jpg")) && QFile::exists(P("b.jpg")));
}

// A file the trash refuses stays where it is; the next one still goes.
TEST_F(FileOpsUi, TrashFailureIsReportedAndTheRestGoOn) {
    // A fresh account has no data folder yet; the trash must still be there.
    QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively();
    int calls = 0;
    SetTrashHook([&](const QString& p) {
        if (++calls > 1) return MoveToTrashNow(p);
        // Commands that arrive while the loop lets events run wait for it.
        DeleteSelectedFiles(F());
        RenameSelectedFile(F());
        MoveDroppedFiles(F(), {P("z.jpg")});
        return false;
    });
    F().PendingFile = P("a.jpg");
    Select({"a.jpg", "b.jpg"});
    prompts->buttonAnswers = {QMessageBox::Yes};
    Run("Delete Files (Del)");
    EXPECT_EQ(prompts->Messages(), (QStringList{"Delete selected files?",
                                                "Error moving " + P("a.jpg") + " to the trash"}));
    EXPECT_EQ(prompts->asked.size(), 2u); // no rename dialog either
    EXPECT_EQ(ReadAll(P("a.jpg")), "data of a.jpg");
    EXPECT_FALSE(QFile::exists(P("b.jpg")));
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
    EXPECT_EQ(ReadAll(trash + "/files/b.jpg"), "data of b.jpg");
    EXPECT_TRUE(QFile::exists(trash + "/info/b.jpg.trashinfo"));
    EXPECT_FALSE(QFileInfo::exists(P("files")));
    EXPECT_EQ(ListNames(F()), (QStringList{"a.jpg", "z.jpg"}));
    EXPECT_TRUE(F().PendingFile.isEmpty());
    EXPECT_EQ(F().SB1->PanelText(3), "");
    QFile::remove(trash + "/files/b.jpg");
    QFile::remove(trash + "/info/b.jpg.trashinfo");
}

// The trash entry names the file's old place as the desktop trash format
// says: percent-encoded, so that restoring puts back the very name.
TEST_F(FileOpsUi, TrashInfoPathIsPercentEncoded) {
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
    for (const QString& name : {QString("pct%41.png"), QString("a b#c?d&e.png"),
                               QString::fromUtf8("\xC3\xA9\n[x].png")}) {
        SCOPED_TRACE(name.toStdString());
        WriteFile(P(name), "x");
        ASSERT_TRUE(MoveToTrashNow(P(name)));
        QFile info(trash + "/info/" + name + ".trashinfo");
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        const QByteArray text = info.readAll();
        const QList<QByteArray> lines = text.split('\n');
        ASSERT_GE(lines.size(), 4);
        EXPECT_EQ(lines[0], "[Trash Info]");
        ASSERT_TRUE(lines[1].startsWith("Path="));
        const QByteArray path = lines[1].mid(5);
        // Nothing but unreserved characters, "/" and escapes.
        for (char c : path)
            EXPECT_TRUE(QByteArray("/%-._~").contains(c) || std::isalnum(uchar(c))) << c;
        EXPECT_EQ(QByteArray::fromPercentEncoding(path), QFile::encodeName(P(name)));
        EXPECT_TRUE(lines[2].startsWith("DeletionDate=20"));
        EXPECT_TRUE(text.endsWith('\n'));
        QFile::remove(trash + "/files/" + name);
        info.remove();
    }
    EXPECT_EQ(TrashInfoText("/p/pct%41.png", "2024-01-02T03:04:05"),
              "[Trash Info]\nPath=/p/pct%2541.png\nDeletionDate=2024-01-02T03:04:05\n");
}

// A deleted file no longer shows in the preview or the status bar, and the
// count says "file" for one.
TEST_F(FileOpsUi, ADeletedFileLeavesThePreviewAndTheCountFollows) {
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(P("p.png"), "PNG"));
    ASSERT_TRUE(img.save(P("q.png"), "PNG"));
    F().ConfirmDeletions = false;
    F().DeletionMode = 1; // for good: the trash of this test run stays empty
    F().RefreshList();
    Select({"p.png"});
    QTRY_VERIFY(F().Preview->ShownControl() != nullptr);
    EXPECT_TRUE(F().SB1->PanelText(3).contains("p.png"));
    Select({"p.png", "a.jpg", "b.jpg", "z.jpg"});
    Run("Delete File");
    EXPECT_EQ(ListNames(F()), QStringList{"q.png"});
    EXPECT_EQ(F().SB1->PanelText(1), "1 file");
    EXPECT_EQ(F().Preview->ShownControl(), nullptr);
    EXPECT_EQ(F().SB1->PanelText(3), "");
    EXPECT_EQ(F().SB1->PanelText(2), "");
}

TEST_F(FileOpsUi, PermanentDeleteReportsAFileThatCouldNotGo) {
    F().DeletionMode = 1;
    F().ConfirmDeletions = false;
    Select({"a.jpg", "b.jpg"});
    QFile::remove(P("a.jpg")); // gone behind the list's back
    Run("Delete File");
    EXPECT_EQ(prompts->Messages(), QStringList{"Error deleting " + P("a.jpg")});
    EXPECT_FALSE(QFile::exists(P("b.jpg")));
    EXPECT_FALSE(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/b.jpg"));
    EXPECT_EQ(ListNames(F()), QStringList{"z.jpg"});
}

TEST_F(FileOpsUi, RenameKeepsEveryOtherFileSafe) {
    QDir().mkpath(P("a")); // "a/b" must not move the file into it
    struct TCase {
        QString typed;
        QString message;   // empty: none
        QString renamedTo; // empty: a.jpg stays
    };
    const QString notAName = "\" is not a name (no \"/\", and not \".\" or \"..\")";
    const TCase cases[] = {
        {"", "Error changing name: the new name is empty", ""},
        {".", "Error changing name: \"." + notAName, ""},
        {"..", "Error changing name: \".." + notAName, ""},
        {"a/b", "Error changing name: \"a/b" + notAName, ""},
        {"../b", "Error changing name: \"../b" + notAName, ""},
        {"b.jpg", "Error changing name: a file named \"b.jpg\" already exists", ""},
        {"a", "Error changing name: a file named \"a\" already exists", ""},
        {"a.jpg", "", ""},
        {"zz.jpg", "", "zz.jpg"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        prompts->asked.clear();
        Select({"a.jpg"});
        prompts->dialogAnswers.push_back([&](QDialog* d) {
            auto* r = qobject_cast<TfRename*>(d);
            EXPECT_EQ(r->windowTitle(), "Rename File");
            EXPECT_EQ(r->lOldName->text(), "a.jpg");
            EXPECT_EQ(r->lOldName->textFormat(), Qt::PlainText);
            EXPECT_EQ(r->Edit1->text(), "a.jpg");
            r->Edit1->setText(c.typed);
            return int(QDialog::Accepted);
        });
        Run("Rename File...");
        EXPECT_EQ(prompts->Messages(),
                  c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        EXPECT_EQ(ReadAll(P("b.jpg")), "data of b.jpg");
        EXPECT_FALSE(QFile::exists(P("a/b")));
        EXPECT_FALSE(QFile::exists(dir_ + "/../b"));
        if (c.renamedTo.isEmpty()) {
            EXPECT_EQ(ReadAll(P("a.jpg")), "data of a.jpg");
        } else {
            EXPECT_FALSE(QFile::exists(P("a.jpg")));
            EXPECT_EQ(ReadAll(P(c.renamedTo)), "data of a.jpg");
            // Renamed in place: the list is not sorted again.
            EXPECT_EQ(ListNames(F()), (QStringList{c.renamedTo, "b.jpg", "z.jpg"}));
            EXPECT_EQ(F().SLV1->SelectedNames(), QStringList{c.renamedTo});
        }
    }
    // Cancel and a selection of two do nothing.
    Select({"zz.jpg"});
    Run("Rename File (F2)");
    Select({"zz.jpg", "b.jpg"});
    prompts->asked.clear();
    Run("Rename File...");
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_TRUE(QFile::exists(P("zz.jpg")));

    // Gone behind the list's back: said so, and nothing appears.
    Select({"zz.jpg"});
    QFile::remove(P("zz.jpg"));
    prompts->dialogAnswers.push_back([](QDialog* d) {
        qobject_cast<TfRename*>(d)->Edit1->setText("y.jpg");
        return int(QDialog::Accepted);
    });
    prompts->asked.clear();
    Run("Rename File...");
    EXPECT_EQ(prompts->Messages(), QStringList{"Error changing name: the file \"zz.jpg\" is gone"});
    EXPECT_FALSE(QFile::exists(P("y.jpg")));
    // Refused by the file system (as root the test cannot be refused).
    EXPECT_EQ(RenameErrorText(dir_, "a.jpg", "c.jpg", EACCES),
              "Error changing name: no permission to rename files in " + dir_);
    EXPECT_EQ(RenameErrorText(dir_ + "/gone", "a.jpg", "c.jpg", ENOENT),
              "Error changing name: the folder " + dir_ + "/gone is gone");
}

// The picture shown takes the new name in the status bar.
TEST_F(FileOpsUi, RenamingTheShownFileRenamesItInTheStatusBar) {
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(P("p.png"), "PNG"));
    F().RefreshList();
    Select({"p.png"});
    QTRY_VERIFY(F().SB1->PanelText(3).contains("p.png"));
    prompts->dialogAnswers.push_back([](QDialog* d) {
        qobject_cast<TfRename*>(d)->Edit1->setText("r.png");
        return int(QDialog::Accepted);
    });
    Run("Rename File (F2)");
    QTRY_VERIFY(F().SB1->PanelText(3).contains("r.png"));
    EXPECT_EQ(F().Preview->ShownPath(), QFile::encodeName(P("r.png")));
}

TEST_F(FileOpsUi, AttributesClearReadOnlyOnly) {
    ::chmod(QFile::encodeName(P("a.jpg")).constData(), 0444);
    Select({"a.jpg"});
    prompts->dialogAnswers.push_back([&](QDialog* d) {
        auto* a = qobject_cast<TFileAttrForm*>(d);
        EXPECT_EQ(a->windowTitle(), "File attributes");
        EXPECT_EQ(a->FileDirName->text(), "a.jpg");
        EXPECT_EQ(a->FilePathName->text(), dir_);
        EXPECT_FALSE(a->ChangeDate->text().isEmpty());
        EXPECT_TRUE(a->ReadOnly->isChecked());
        EXPECT_FALSE(a->Hidden->isEnabled() || a->System->isEnabled() || a->Archive->isEnabled());
        a->ReadOnly->setChecked(false);
        return int(QDialog::Accepted);
    });
    Run("File Attributes...");
    struct stat st {};
    ::stat(QFile::encodeName(P("a.jpg")).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    // Cancel writes nothing; no selection shows nothing.
    prompts->dialogAnswers.push_back([](QDialog* d) {
        qobject_cast<TFileAttrForm*>(d)->ReadOnly->setChecked(true);
        return int(QDialog::Rejected);
    });
    Run("File Attributes...");
    ::stat(QFile::encodeName(P("a.jpg")).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    F().SLV1->ClearSelectionAll();
    prompts->asked.clear();
    Run("File Attributes...");
    EXPECT_TRUE(prompts->asked.empty());
}

TEST_F(FileOpsUi, AddFolderMakesOneFolderInsideOnly) {
    auto answer = [&](const QString& name) {
        prompts->dialogAnswers.push_back([name, this](QDialog* d) {
            auto* a = qobject_cast<TfDirAdd*>(d);
            EXPECT_EQ(a->Label1->text(), dir_ + "/");
            EXPECT_EQ(a->NewFolder->text(), ""); // emptied on showing
            a->NewFolder->setText(name);
            return int(QDialog::Accepted);
        });
    };
    DirAddDialog()->NewFolder->setText("left over");
    answer("../outside");
    Run("Add Folder...");
    EXPECT_EQ(prompts->Messages(), QStringList{"Cannot create directory " + dir_ + "/../outside"});
    EXPECT_FALSE(QFileInfo::exists(dir_ + "/../outside"));
    answer("b.jpg");
    Run("Add Folder...");
    EXPECT_EQ(prompts->Messages().value(1), "Cannot create directory " + P("b.jpg"));
    EXPECT_EQ(ReadAll(P("b.jpg")), "data of b.jpg");

    answer("new");
    Run("Add Folder...");
    EXPECT_EQ(prompts->Messages().size(), 2);
    EXPECT_TRUE(QFileInfo(P("new")).isDir());
    EXPECT_EQ(F().ListedFolder(), P("new"));
    EXPECT_EQ(F().STV1->SelectedFolder(), P("new"));
}

TEST_F(FileOpsUi, DeleteFolderGoesToTheParentAndKeepsFiles) {
    QDir().mkpath(P("full"));
    WriteFile(P("full/x.jpg"), "x");
    QDir().mkpath(P("empty"));

    F().OpenFolder(P("full"));
    prompts->buttonAnswers = {QMessageBox::No};
    Run("Delete Folder");
    EXPECT_EQ(F().ListedFolder(), P("full"));

    prompts->buttonAnswers = {QMessageBox::Yes};
    Run("Delete Folder");
    EXPECT_EQ(prompts->Messages(),
              (QStringList{"Delete folder " + P("full") + "?", "Delete folder " + P("full") + "?",
                           "Directory can't be deleted - there might be files in it!"}));
    EXPECT_EQ(ReadAll(P("full/x.jpg")), "x");
    // Refused: the folder stays shown, in the tree and the list.
    EXPECT_EQ(F().ListedFolder(), P("full"));
    EXPECT_EQ(F().STV1->SelectedFolder(), P("full"));
    EXPECT_EQ(ListNames(F()), QStringList{"x.jpg"});

    F().OpenFolder(P("empty"));
    prompts->buttonAnswers = {QMessageBox::Yes};
    Run("Delete Folder");
    EXPECT_FALSE(QFileInfo::exists(P("empty")));
    EXPECT_EQ(F().ListedFolder(), dir_);
    EXPECT_EQ(F().STV1->SelectedFolder(), dir_);
    EXPECT_EQ(ListNames(F()), (QStringList{"a.jpg", "b.jpg", "z.jpg"}));

    // The root and the home folder are never offered, nor deleted when asked.
    for (const QString& folder : {QString("/"), QDir::homePath()}) {
        SCOPED_TRACE(folder.toStdString());
        ASSERT_TRUE(F().OpenFolder(folder));
        emit F().PopupMenu2->aboutToShow();
        EXPECT_FALSE(F().Command("Delete Folder")->isEnabled());
        prompts->asked.clear();
        DeleteFolder(F());
        EXPECT_TRUE(prompts->asked.empty());
        EXPECT_TRUE(QFileInfo(folder).isDir());
    }
    F().OpenFolder(dir_);
    emit F().PopupMenu2->aboutToShow();
    EXPECT_TRUE(F().Command("Delete Folder")->isEnabled());
}

TEST_F(FileOpsUi, DropsMoveNewFilesOnly) {
    const QString other = dir_ + "_other";
    QDir(other).removeRecursively();
    QDir().mkpath(other);
    WriteFile(other + "/b.jpg", "their b");    // a name the folder has
    WriteFile(other + "/m.jpg", "moved file"); // a new one
    QDir().mkpath(other + "/sub");             // a folder

    // Our own lists' drags are left to the tools; other programs' files are
    // taken as a copy so the dragging program never removes its file.
    QMimeData own;
    own.setData(kFileDragMime, "x");
    own.setUrls({QUrl::fromLocalFile(other + "/m.jpg")});
    EXPECT_TRUE(DroppedLocalFiles(&own).isEmpty());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(other + "/b.jpg"), QUrl::fromLocalFile(other + "/sub"),
                  QUrl::fromLocalFile(other + "/m.jpg"), QUrl("http://example.com/x.jpg")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(form_.get(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    QCoreApplication::processEvents();

    EXPECT_EQ(prompts->Messages(),
              (QStringList{
                  "file " + P("b.jpg") + " already exists. Select another directory before moving",
                  other + "/sub has a size of zero. This may be because it is not yet closed."}));
    EXPECT_EQ(ReadAll(other + "/b.jpg"), "their b");
    EXPECT_EQ(ReadAll(P("b.jpg")), "data of b.jpg");
    EXPECT_TRUE(QFileInfo(other + "/sub").isDir());
    EXPECT_FALSE(QFile::exists(other + "/m.jpg"));
    EXPECT_EQ(ReadAll(P("m.jpg")), "moved file");
    EXPECT_EQ(F().SLV1->SelectedNames(), QStringList{"m.jpg"});
    EXPECT_EQ(F().PendingFile, P("m.jpg"));
    EXPECT_EQ(F().SLV1->SortColumn, 0);
    QDir(other).removeRecursively();
}
