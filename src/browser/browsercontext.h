#pragma once
// What a tool window may ask of the browser: the folder and names its file
// list shows, its selection, showing a file in its preview, listing a folder
// anew, its file mask and its deletion settings. Tool windows go through this
// and never reach into the main window's widgets, so the browser's layout can
// change without them.

#include <QByteArray>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <functional>

class QObject;
class QWidget;

// How the browser deletes files ("Confirm deletions", "DeletionMode").
struct TDeletionSettings {
    bool Confirm = true;    // ask before each deletion
    bool Permanent = false; // unlink instead of moving to the desktop trash
};

class TBrowserContext {
  public:
    // The folder the file list shows (empty before any listing).
    virtual QString ListedFolder() const = 0;
    // The names the file list shows, in its order.
    virtual QStringList ListedNames() const = 0;
    // The names of the selected rows, in list order.
    virtual QStringList SelectedNames() const = 0;
    // Makes row `row` of ListedNames() the one selected row (current and
    // scrolled into view) and returns its file as file-system bytes; a row
    // outside the list clears the selection and returns nothing.
    virtual QByteArray SelectRow(int row) = 0;
    // Calls `onChange` (in `receiver`'s context) whenever the selection of
    // the file list changes.
    virtual QMetaObject::Connection WatchSelection(QObject* receiver,
                                                   std::function<void()> onChange) = 0;

    // Lists `folder` (tree selection, fill, sort). False, with the list
    // unchanged, when the folder cannot be listed.
    virtual bool OpenFolder(const QString& folder) = 0;
    // Lists the shown folder anew ("Refresh List").
    virtual void RefreshList() = 0;
    // Shows a file in the preview pane: by its name, or by its file-system
    // bytes (a name that is no valid text still opens that file).
    virtual void ShowInPreview(const QString& fileName) = 0;
    virtual void ShowNativeInPreview(const QByteArray& nativePath) = 0;

    // The pattern list ("*.jpg;*.jpeg;...") the file list shows.
    virtual QString ListFileMask() const = 0;
    virtual TDeletionSettings Deletion() const = 0;

    // The browser's window, as the parent windows stack above.
    virtual QWidget* Window() = 0;

  protected:
    ~TBrowserContext() = default;
};

// The running browser, or null (tests and tools running without one).
TBrowserContext* Browser();

// The browser's file mask, or the one the stored preferences build when no
// browser runs.
QString BrowserFileMask();
// The browser's deletion settings, or the defaults (confirm, to the trash).
TDeletionSettings BrowserDeletion();
