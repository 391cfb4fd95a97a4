#include "browser/fileops_ui.h"

#include <QElapsedTimer>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/bookmarks.h"
#include "browser/fileopsdialogs.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/trash.h"
#include "core/fileops.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"

namespace {

bool g_running = false;

// Commands that change files wait while a delete loop lets events run: a
// second Delete or F2 would work on a list that is about to change.
struct TRunning {
    TRunning() { g_running = true; }
    ~TRunning() { g_running = false; }
};

std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The folder shown in the tree, where folders are added and deleted.
QString TreeFolder(const TForm1& f) {
    const QString s = f.STV1->SelectedFolder();
    return s.isEmpty() ? f.ListedFolder() : s;
}

void Refill(TForm1& f) {
    const QString folder = f.ListedFolder();
    if (folder.isEmpty()) return;
    try {
        FillFileList(f.SLV1, folder, f.SB1, f.FileMask);
    } catch (const std::exception&) {
        // The folder went away: the list keeps what it showed.
    }
    f.SLV1->SortItems();
}

void SelectRow(TForm1& f, int row) {
    const QModelIndex i = f.SLV1->Model()->index(row, 0);
    f.SLV1->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
}

QString UpperAZ(const QString& s) {
    QString r = s;
    for (QChar& c : r)
        if (c >= 'a' && c <= 'z') c = QChar(c.unicode() - 32);
    return r;
}

// Takes files dropped from other programs; drags between our own lists
// carry their own format and are left to the tools.
class TDropFilter : public QObject {
  public:
    explicit TDropFilter(TForm1* f) : QObject(f), f_(f) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o != f_) return false;
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* d = static_cast<QDropEvent*>(e);
            if (DroppedLocalFiles(d->mimeData()).isEmpty()) {
                d->ignore();
                return true;
            }
            // A copy for the other program: it must never delete its file
            // because of our move; we remove the source ourselves.
            d->setDropAction(Qt::CopyAction);
            d->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* d = static_cast<QDropEvent*>(e);
            const QStringList files = DroppedLocalFiles(d->mimeData());
            if (files.isEmpty()) {
                d->ignore();
                return true;
            }
            d->setDropAction(Qt::CopyAction);
            d->accept();
            // Message boxes must not run inside the drag's own loop.
            QMetaObject::invokeMethod(
                f_, [f = f_, files] { MoveDroppedFiles(*f, files); }, Qt::QueuedConnection);
            return true;
        }
        default:
            return false;
        }
    }

  private:
    TForm1* f_;
};

} // namespace

bool FileOperationRunning() {
    return g_running;
}

bool IsUndeletableFolder(const QString& folder) {
    if (folder.isEmpty()) return true;
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    return clean == "/" || clean == QDir::cleanPath(QDir::homePath()) ||
           QFileInfo(clean).canonicalFilePath() == QFileInfo(QDir::homePath()).canonicalFilePath();
}

QString RenameErrorText(const QString& folder, const QString& oldName, const QString& newName,
                        int err) {
    const QString head = QStringLiteral("Error changing name: ");
    if (newName.isEmpty()) return head + "the new name is empty";
    if (!IsPlainName(newName))
        return head + "\"" + newName + "\" is not a name (no \"/\", and not \".\" or \"..\")";
    switch (err) {
    case EEXIST:
    case ENOTEMPTY:
        return head + "a file named \"" + newName + "\" already exists";
    case ENOENT:
        if (!QFileInfo(folder).isDir()) return head + "the folder " + folder + " is gone";
        return head + "the file \"" + oldName + "\" is gone";
    case EACCES:
    case EPERM:
        return head + "no permission to rename files in " + folder;
    case EROFS:
        return head + folder + " is on a read-only disk";
    case ENAMETOOLONG:
        return head + "the new name is too long";
    default:
        return head + QString::fromStdString(FileErrorText(err));
    }
}

bool IsPlainName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains(QChar(0));
}

// ---- deleting files

std::optional<QStringList> DeleteFilesStep(const TDeleteFilesStep& step) {
    if (g_running) return std::nullopt;
    const QStringList& names = step.names;
    if (names.isEmpty()) {
        ShowMessage("You need to click on a file name first", step.parent);
        return std::nullopt;
    }
    if (step.confirm) {
        const QString q =
            names.size() == 1 ? "Delete file " + names[0] + "?" : QString("Delete selected files?");
        if (MessageDlg(q, QMessageBox::Information, QMessageBox::Yes | QMessageBox::No,
                       step.parent) != QMessageBox::Yes)
            return std::nullopt;
    }
    auto status = [&step](const QString& text) {
        if (step.status) step.status(text);
    };
    TRunning running;
    TWaitCursor wait;
    // The paths first: the window's list may change while events run below.
    const QString folder = AddBackslash(step.folder);
    QStringList paths;
    for (const QString& n : names)
        paths << folder + n;
    QStringList deleted;
    // Events go through every few milliseconds, not per file: the window
    // stays live without a repaint for each of a thousand names.
    QElapsedTimer pump;
    pump.start();
    bool first = true;
    for (const QString& path : paths) {
        status("Deleting " + path);
        if (first || pump.elapsed() >= 20) {
            QCoreApplication::processEvents();
            pump.restart();
            first = false;
        }
        if (step.permanent) {
            if (::unlink(Bytes(path).c_str()) != 0) {
                wait.Restore();
                ShowMessage("Error deleting " + path, step.parent);
                continue;
            }
        } else if (!DeleteToRecycleBin(path)) {
            wait.Restore();
            ShowMessage("Error moving " + path + " to the trash", step.parent);
            continue;
        }
        deleted << path;
    }
    status("Updating...");
    if (step.refresh) step.refresh();
    wait.Restore();
    status(QString());
    return deleted;
}

void DeleteSelectedFiles(TForm1& f) {
    if (g_running) return;
    TDeleteFilesStep step;
    step.parent = &f;
    step.folder = f.ListedFolder();
    step.names = f.SLV1->SelectedNames();
    step.confirm = f.ConfirmDeletions;
    step.permanent = f.DeletionMode == 1;
    step.status = [&f](const QString& text) { f.SB1->SetPanelText(3, text); };
    step.refresh = [&f] {
        f.PendingFile.clear();
        Refill(f);
    };
    if (!DeleteFilesStep(step)) return;
    // The picture of a deleted file does not stay on show as if it were there.
    f.Preview->ClearIfGone();
}

// ---- renaming

void RenameSelectedFile(TForm1& f) {
    if (g_running || f.SLV1->SelCount() != 1) return;
    const QString old = f.SLV1->SelectedNames().value(0);
    const int row = f.SLV1->selectionModel()->selectedRows().value(0).row();
    TfRename* d = RenameDialog();
    d->lOldName->setText(old);
    d->Edit1->setText(old);
    // Typing replaces the old name, as in every rename box.
    d->Edit1->selectAll();
    d->Edit1->setFocus();
    if (ExecDialog(d) != QDialog::Accepted) return;
    try {
        const QString name = d->Edit1->text();
        if (name == old) return;
        // "../x" or "a/b" would move the file elsewhere: one name only.
        if (!IsPlainName(name)) {
            ShowMessage(RenameErrorText(f.ListedFolder(), old, name, 0), &f);
            return;
        }
        const QString folder = AddBackslash(f.ListedFolder());
        const QByteArray oldNative = f.SLV1->NativePath(row);
        const bool shown = f.Preview->ShownPath() == oldNative;
        if (const int err = RenameNoReplace(Bytes(folder + old), Bytes(folder + name)); err != 0) {
            ShowMessage(RenameErrorText(f.ListedFolder(), old, name, err), &f);
            return;
        }
        // The item takes its new name where it stands; no new sort.
        std::vector<TFileItem> items = f.SLV1->Model()->Items();
        if (row >= 0 && row < int(items.size()) && items[row].name == old) {
            items[row].name = name;
            items[row].sortName = UpperAZ(name);
            f.SLV1->Model()->SetItems(std::move(items));
            SelectRow(f, row);
        } else {
            Refill(f);
        }
        // The preview and the status bar name the file by its new name.
        if (shown) f.ShowInPreview(folder + name);
    } catch (const std::exception&) {
        ShowMessage("Error renaming file", &f);
    }
}

// ---- attributes

void AskFileAttributes(QWidget* parent, const QString& folder, const QString& name) {
    if (g_running) return;
    const QString path = AddBackslash(folder) + name;
    const int attrs = FileAttributes(Bytes(path));
    if (attrs < 0) {
        ShowMessage("Cannot change attributes of " + path, parent);
        return;
    }
    TFileAttrForm* d = FileAttrDialog();
    d->FileDirName->setText(name);
    d->FilePathName->setText(folder);
    d->ChangeDate->setText(FileTimeText(FileChangeTime(Bytes(path))));
    d->ReadOnly->setChecked(attrs & faReadOnly);
    d->Archive->setChecked(attrs & faArchive);
    d->System->setChecked(attrs & faSysFile);
    d->Hidden->setChecked(attrs & faHidden);
    if (ExecDialog(d) != QDialog::Accepted) return;
    const bool readOnly = d->ReadOnly->isChecked();
    if (readOnly == bool(attrs & faReadOnly)) return;
    if (SetFileReadOnly(Bytes(path), readOnly) != 0)
        ShowMessage("Cannot change attributes of " + path, parent);
}

void EditFileAttributes(TForm1& f) {
    if (f.SLV1->SelCount() != 1) return;
    AskFileAttributes(&f, f.ListedFolder(), f.SLV1->SelectedNames().value(0));
}

// ---- folders

QString AddFolderStep(QWidget* parent, const QString& folder,
                      const std::function<void(const QString&)>& made) {
    if (g_running || folder.isEmpty()) return QString();
    TfDirAdd* d = DirAddDialog();
    d->Label1->setText(AddBackslash(folder));
    if (ExecDialog(d) != QDialog::Accepted || g_running) return QString();
    const QString name = d->NewFolder->text();
    const QString path = AddBackslash(folder) + name;
    TWaitCursor wait;
    if (!IsPlainName(name) || ::mkdir(Bytes(path).c_str(), 0777) != 0) {
        wait.Restore();
        MessageDlg("Cannot create directory " + path, QMessageBox::Warning, QMessageBox::Ok, parent);
        return QString();
    }
    if (made) made(path);
    return path;
}

void AddFolder(TForm1& f) {
    AddFolderStep(&f, TreeFolder(f), [&f](const QString& path) {
        f.STV1->Refresh();
        f.OpenFolder(path);
    });
}

bool DeleteFolderStep(QWidget* parent, const QString& folder, const std::function<void()>& leave,
                      const std::function<void(bool)>& after) {
    if (g_running || IsUndeletableFolder(folder)) return false;
    if (MessageDlg("Delete folder " + folder + "?", QMessageBox::Question,
                   QMessageBox::Yes | QMessageBox::No, parent) != QMessageBox::Yes ||
        g_running)
        return false;
    TRunning running;
    if (leave) leave();
    TWaitCursor wait;
    const bool ok = ::rmdir(Bytes(folder).c_str()) == 0;
    if (after) after(ok);
    wait.Restore();
    if (!ok) ShowMessage("Directory can't be deleted - there might be files in it!", parent);
    return ok;
}

void DeleteFolder(TForm1& f) {
    const QString folder = f.STV1->SelectedFolder();
    // Leave the folder first: the list and the current directory are in it.
    // The parent is where the user goes on from.
    DeleteFolderStep(
        &f, folder, [&f, &folder] { f.OpenFolder(QFileInfo(QDir::cleanPath(folder)).path()); },
        [&f, &folder](bool deleted) {
            f.STV1->Refresh();
            // A folder that stays is shown again, as it was.
            if (!deleted) f.OpenFolder(folder);
        });
}

// ---- drops

QStringList DroppedLocalFiles(const QMimeData* m) {
    QStringList r;
    if (!m || m->hasFormat(kFileDragMime) || !m->hasUrls()) return r;
    for (const QUrl& u : m->urls()) {
        if (!u.isLocalFile()) continue;
        QString p = QDir::cleanPath(u.toLocalFile());
        if (!p.isEmpty() && p != "/") r << p;
    }
    return r;
}

void MoveDroppedFiles(TForm1& f, const QStringList& paths) {
    if (g_running || f.ListedFolder().isEmpty()) return;
    TRunning running;
    const QString folder = AddBackslash(f.ListedFolder());
    QString lastName;
    TWaitCursor wait;
    for (const QString& source : paths) {
        const QString dest = folder + ExtractFileName(source);
        try {
            if (FileSizeOf(Bytes(dest)) >= 0) {
                wait.Restore();
                ShowMessage(
                    "file " + dest + " already exists. Select another directory before moving", &f);
            } else if (FileSizeOf(Bytes(source)) <= 0) {
                wait.Restore();
                ShowMessage(
                    source + " has a size of zero. This may be because it is not yet closed.", &f);
            } else {
                RelocateFile(Bytes(source), Bytes(dest));
                lastName = ExtractFileName(dest);
            }
        } catch (const std::exception&) {
            wait.Restore();
            ShowMessage("error moving file " + source, &f);
        }
    }
    wait.Restore();
    f.SLV1->SortColumn = 0;
    f.SLV1->SortAscending = true;
    Refill(f);
    if (lastName.isEmpty()) return;
    for (int row = 0; row < f.SLV1->Count(); ++row) {
        if (!f.SLV1->Caption(row).startsWith(lastName)) continue;
        SelectRow(f, row);
        f.SLV1->scrollTo(f.SLV1->Model()->index(row, 0), QAbstractItemView::EnsureVisible);
        f.ShowInPreview(folder + f.SLV1->Caption(row));
        break;
    }
}

// ---- wiring

void InstallFileOperations(TForm1& f) {
    // A command may stand in two menus ("File Attributes..." in the File
    // menu and the list's pop-up): both run it.
    auto on = [&f](TCommandId id, void (*run)(TForm1&)) {
        // Queued: a command started by a key opens its question or dialog
        // only once the key has been delivered. Run inside the key's
        // delivery, the key would go on to the main window after the dialog
        // closed and start the command a second time.
        f.OnCommand(id, [&f, run] { run(f); }, Qt::QueuedConnection);
    };
    on(TCommandId::DeleteFile, DeleteSelectedFiles);
    on(TCommandId::PopupDelete, DeleteSelectedFiles);
    on(TCommandId::RenameFile, RenameSelectedFile);
    on(TCommandId::PopupRename, RenameSelectedFile);
    on(TCommandId::FileAttributes, EditFileAttributes);
    on(TCommandId::AddFolder, AddFolder);
    on(TCommandId::DeleteFolder, DeleteFolder);
    f.setAcceptDrops(true);
    f.installEventFilter(new TDropFilter(&f));
    InstallBookmarks(f);
}
