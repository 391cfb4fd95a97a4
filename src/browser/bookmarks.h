#pragma once
// Folder bookmarks: kept in "bookmrks.dat" in the settings folder, one
// folder per line (UTF-8, CR LF), in menu order, and shown as items at the
// end of the main window's "Bookmarks" menu.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;
class TForm1;

// $XDG_CONFIG_HOME/Ambertide/bookmrks.dat
QString BookmarkFilePath();

// The folders of a bookmark file's bytes: LF, CR LF or CR line ends, a
// leading byte-order mark, blank lines and lines longer than 4096 bytes
// skipped.
QStringList ParseBookmarks(const QByteArray& data);
QByteArray FormatBookmarks(const QStringList& folders);

enum class TBookmarkRead { Ok, Missing, Unreadable, TooLarge };
// Reads at most 4 MiB of `path`; a missing file is an empty list. `error`
// receives the reason when the file exists but cannot be read. A larger
// file gives the folders of its first 4 MiB and TooLarge: it is shown, but
// never written back, which would cut it.
TBookmarkRead ReadBookmarks(const QString& path, QStringList& folders, QString* error = nullptr);
// Replaces the file as a whole or not at all.
bool SaveBookmarks(const QString& path, const QStringList& folders, QString* error = nullptr);

// "Edit Bookmarks": reorder and delete entries.
class TfBMEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfBMEdit(QWidget* parent = nullptr);
    QListWidget* ListBox1;
    QStringList Entries() const;
    // The file existed but could not be read when the dialog was shown.
    bool LoadFailed() const { return loadFailed_; }
    QString LoadError() const { return loadError_; }

    void Up();
    void Down();
    void Delete();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    bool loadFailed_ = false;
    QString loadError_;
};

// Rebuilds the menu's bookmark items and BookmarkList from the file.
void RebuildBookmarkMenu(TForm1& f);
// "Add Bookmark": the folder shown in the tree.
void AddBookmark(TForm1& f);
// "Edit Bookmarks...".
void EditBookmarks(TForm1& f);
// Connects the menu's commands and builds its items (at window creation).
void InstallBookmarks(TForm1& f);
