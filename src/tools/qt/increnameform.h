#pragma once
// "Incremental File Rename": a list of files renamed to one common name with
// a running number. The rules live in tools/increname.h; this window holds
// the list, the two edits and the file drops.

#include <QListWidget>
#include <QWidget>

#include "browser/handover.h"

class QLineEdit;
class QMenu;
class QPushButton;

// The file list: full paths, several selectable; takes names dragged from
// our file lists and files dropped from other programs.
class TIncRenameList : public QListWidget {
    Q_OBJECT
  public:
    explicit TIncRenameList(QWidget* parent = nullptr);

  signals:
    void Dropped(const QMimeData* data);

  protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
};

class TfrmIncRename : public QWidget, public TToolHandOver {
    Q_OBJECT
  public:
    explicit TfrmIncRename(QWidget* parent = nullptr);

    TIncRenameList* FileList;
    QLineEdit* NewName;
    QLineEdit* Number;
    QPushButton* RenameBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;
    QMenu* PopupMenu;

    // The main window's folder and selection: the list is emptied and, when
    // more than one file is selected, filled with them; the window shows.
    void TakeHandOver(const QString& folder, const QStringList& files) override;

    // The list as it stands, top to bottom.
    QStringList Lines() const;
    // Appends the names of a drag (our lists, or files from other programs).
    void DropFiles(const QMimeData* data);
    // "Import Current Directory": every file of the browser's list.
    void ImportCurrentDirectory();
    void DeleteSelected();
    // Puts the list in natural order ("pic 2" before "pic 10"); the files are
    // numbered in the order the list shows.
    void SortByName();
    // "Rename": asks, renames, shows the outcome in the list, refreshes the
    // browser's list.
    void Rename();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
};

// True for a name whose extension is one of the picture types a drop takes.
bool IsIncRenameDropType(const QString& name);
