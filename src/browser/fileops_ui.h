#pragma once
// The main window's file operations: deleting the selected files, renaming
// one, its attributes, adding and deleting folders, and files dropped onto
// the window from other programs. Each runs on the window it is given and
// reports every failure in a message box through the prompts service.

#include <QString>
#include <QStringList>

class QWidget;
class TForm1;
class QMimeData;

// Connects the commands ("Delete File", "Rename File...", "File
// Attributes...", "Add Folder...", "Delete Folder", ...) and accepts drops.
void InstallFileOperations(TForm1& f);

void DeleteSelectedFiles(TForm1& f);
void RenameSelectedFile(TForm1& f);
void EditFileAttributes(TForm1& f);
// The attributes dialog for `name` in `folder` ("Read Only" is the one that
// changes anything), as the browser and the mover show it.
void AskFileAttributes(QWidget* parent, const QString& folder, const QString& name);
void AddFolder(TForm1& f);
void DeleteFolder(TForm1& f);

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
