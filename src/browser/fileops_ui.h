#pragma once
// The main window's file operations: deleting the selected files, renaming
// one, its attributes, adding and deleting folders, and files dropped onto
// the window from other programs. Each runs on the window it is given and
// reports every failure in a message box through the prompts service.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;
class TForm1;
class QMimeData;

// Connects the commands ("Delete File", "Rename File...", "File
// Attributes...", "Add Folder...", "Delete Folder", ...) and accepts drops.
void InstallFileOperations(TForm1& f);

void DeleteSelectedFiles(TForm1& f);
void RenameSelectedFile(TForm1& f);
void EditFileAttributes(TForm1& f);
void AddFolder(TForm1& f);
void DeleteFolder(TForm1& f);

// The file commands as every window runs them (the browser, the mover, the
// converter): each waits while another file command lets events run,
// shows the wait cursor while it works and reports every failure to
// `parent` through the prompts service.

// Deleting files.
struct TDeleteFilesStep {
    QWidget* parent = nullptr;
    QString folder;
    QStringList names;
    // Ask first ("Delete file a.jpg?", "Delete selected files?").
    bool confirm = true;
    // Unlinked, else moved to the trash.
    bool permanent = false;
    // Shows the step's progress ("Deleting ...", "Updating...", then
    // nothing) where the window has a status line; may be empty.
    std::function<void(const QString&)> status;
    // Lists again what the deletion changed, still under the wait cursor;
    // may be empty.
    std::function<void()> refresh;
};
// Deletes the names one by one, letting events through every 20 ms so that
// the window stays live for a long list; a failure is reported and the rest
// go on. The paths that went, or nothing when the step did not run (another
// file command runs, no names ("You need to click on a file name first"),
// the question answered No).
std::optional<QStringList> DeleteFilesStep(const TDeleteFilesStep& step);

// The attributes dialog for `name` in `folder` ("Read Only" is the one that
// changes anything).
void AskFileAttributes(QWidget* parent, const QString& folder, const QString& name);

// Asks for a name in the "Add New Folder" dialog and makes that folder in
// `folder`; `made` then runs with its path, under the wait cursor (the
// window shows it). The new folder's path, empty when none was made.
QString AddFolderStep(QWidget* parent, const QString& folder,
                      const std::function<void(const QString&)>& made = {});

// Deleting an empty folder after asking: `leave` runs first (the window
// lists something else, as nothing may hold the folder), `after` once the
// folder went or stayed. The root and the home folder are never deleted.
// True when the folder was deleted.
bool DeleteFolderStep(QWidget* parent, const QString& folder, const std::function<void()>& leave,
                      const std::function<void(bool deleted)>& after = {});

// Moves `paths` (local files from another program) into the listed folder.
void MoveDroppedFiles(TForm1& f, const QStringList& paths);
// The local files a drop carries, or none when it is not a drop we take
// (our own lists' drags, remote URLs).
QStringList DroppedLocalFiles(const QMimeData* m);

// A new file or folder name typed by the user is one name in its folder:
// not empty, not "." or "..", no "/" and no NUL.
bool IsPlainName(const QString& name);

// The root and the home folder: never deleted, never offered for it.
bool IsUndeletableFolder(const QString& folder);

// Why a rename of `oldName` to `newName` in `folder` failed, as the message
// box says it: "Error changing name" and the reason (the name is taken or
// empty, the file is gone, no permission). `err` is the errno of the
// attempt, 0 when the new name was refused before trying.
QString RenameErrorText(const QString& folder, const QString& oldName, const QString& newName,
                        int err);

// True while a delete loop lets events run; commands wait for it.
bool FileOperationRunning();
