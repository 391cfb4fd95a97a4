#pragma once
// The browser's main window: folder tree and file list on the left, the
// preview pane on the right, toolbar, menus and a five-panel status bar. It
// restores its size, panes, slide-show delay and preview colour from the
// settings store when created and writes them back when it closes.

#include <QMainWindow>
#include <QSet>
#include <QStringList>
#include <array>
#include <functional>
#include <map>

#include "browser/browsercontext.h"
#include "browser/commandids.h"
#include "browser/filelist.h"
#include "browser/foldertree.h"
#include "browser/statusbar.h"

class QSpinBox;
class QSplitter;
class QToolBar;
class QMenu;
class QFrame;
class TPreview;

// A menu caption as commands are known by: without its accelerator marks
// and the keys shown after a tab ("&Delete File\tDel" -> "Delete File").
QString PlainCaption(const QString& text);

class TForm1 : public QMainWindow, public TBrowserContext {
    Q_OBJECT
  public:
    // `args` are the command-line arguments after the program name.
    explicit TForm1(const QStringList& args = {}, QWidget* parent = nullptr);
    // The command-line arguments as the file system's bytes (the program's
    // start passes them so; names that are no valid text stay exact). Call
    // before the window is first shown.
    void SetNativeArgs(const QList<QByteArray>& args) { nativeArgs_ = args; }
    ~TForm1() override;

    // Controls, named as the rest of the program knows them.
    QToolBar* ToolBar1;
    QSplitter* Splitter1;
    QWidget* LeftMain;
    QSplitter* Splitter2;
    QWidget* LeftTop;
    QWidget* LeftBottom;
    TFolderTree* STV1;
    TFileListView* SLV1;
    QFrame* RightMain;
    TPanelStatusBar* SB1;
    TLed* ALed1;
    QSpinBox* Seconds;
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;

    // Window state.
    QString FileMask;
    QString PendingFile;      // for display: invalid bytes show as U+FFFD
    QByteArray PendingNative; // the file the load opens, as file-system bytes
    int DeletionMode = 0;
    bool ConfirmDeletions = true;
    bool ColorChanged = false;
    QStringList BookmarkList;

    // The folder the file list shows; every command joins names with it.
    QString ListedFolder() const override { return SLV1->ListedFolder(); }

    // What tool windows ask of the browser (TBrowserContext).
    QStringList ListedNames() const override;
    QStringList SelectedNames() const override { return SLV1->SelectedNames(); }
    QByteArray SelectRow(int row) override;
    QMetaObject::Connection WatchSelection(QObject* receiver,
                                           std::function<void()> onChange) override;
    QString ListFileMask() const override { return FileMask; }
    TDeletionSettings Deletion() const override { return {ConfirmDeletions, DeletionMode == 1}; }
    QWidget* Window() override { return this; }

    // The preview pane: display controls, navigation, slide show.
    TPreview* Preview = nullptr;
    // Shows `fileName` in the preview pane: PendingFile is set and a load is
    // queued; it runs from the event loop. A hook, when set, sees every
    // request first (tests and windows that follow the preview).
    void ShowInPreview(const QString& fileName) override;
    // The same for a file named by its file-system bytes (a list row's
    // NativePath): the load opens exactly that file.
    void ShowNativeInPreview(const QByteArray& nativePath) override;
    using TPreviewHook = std::function<void(TForm1*, const QString&)>;
    static void SetPreviewHook(TPreviewHook hook);
    // Fits the shown picture to the preview pane.
    void FitToPane();

    // Lists `folder` (tree selection, fill, sort). False, with the list
    // unchanged, when the folder cannot be listed.
    bool OpenFolder(const QString& folder) override;
    // Shows the file `nativePath` (absolute, file-system bytes) the way a
    // click on it does: its folder selected in the tree and listed anew, the
    // file the one selected row, and shown in the preview. A file the list
    // does not hold (another type, gone) is still shown, with no row
    // selected, so no command acts on a file other than the one in view.
    void ShowFileInBrowser(const QByteArray& nativePath);
    // "Refresh List (F5)".
    void RefreshList() override;
    // "View All Files".
    void SetViewAllFiles(bool on);
    // "Set Color...": the colour dialog through the prompts service.
    void ChooseBackgroundColor();
    // The preview colour as a stored value (red in the low byte), or -1 for
    // the pane's own colour.
    int BackgroundColorValue() const;

    // Enables the commands whose tool window exists for real.
    void UpdateToolCommands();
    // A command by its id: the first of its actions, or all of them (a
    // command may stand in a menu and in a pop-up).
    QAction* Command(TCommandId id) const;
    const QList<QAction*>& Commands(TCommandId id) const;
    // A command by its tool-bar name or its menu caption without accelerator
    // marks (for checks that click through the menus as a user reads them).
    QAction* Command(const QString& key) const;
    // Runs `run` when any action of the command is triggered, and makes them
    // available.
    void OnCommand(TCommandId id, const std::function<void()>& run,
                   Qt::ConnectionType type = Qt::AutoConnection);

    // When set, closing the window ends the program.
    bool QuitOnClose = false;

    // Enables the list's commands for the current selection.
    void UpdatePopupMenu1();
    // Marks a command as built: menu commands are enabled, the pop-up's
    // follow the selection (UpdatePopupMenu1).
    void MakeAvailable(QAction* a);

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void BuildLayout();
    void BuildToolBar();
    void BuildMenus();
    void BuildPopups();
    void ReadSettings();
    void FirstShow();
    void SaveSettings();
    void ShowTool(const QString& className);
    int ReadIntSetting(const QString& name, const QString& def);
    QAction* Add(QMenu* menu, TCommandId id, bool available = false);
    // A sub-menu of a menu bar or a menu, known by its id.
    QMenu* AddMenu(QWidget* parent, TCommandId id);
    // `byName`: also found by Command(key).
    void Register(TCommandId id, QAction* a, bool byName = true);

    // Lists `folder`; a folder that cannot be listed says why in a box.
    bool ListFolderOrSay(const QString& folder);
    // Selects `folder` in the tree without listing it again.
    void SelectInTree(const QString& folder);

    QList<QByteArray> nativeArgs_;
    QByteArray startFolder_; // the current folder at start: relative arguments mean it
    bool firstShown_ = false;
    int leftWidth_ = 180;
    int leftHeight_ = 120;
    bool placeStored_ = true; // false: no saved window place, the first size is the screen's
    QAction* viewAll_ = nullptr;
    std::map<QString, QAction*> commands_;
    std::array<QList<QAction*>, size_t(TCommandId::Count)> byId_;
    // Command -> tool window class it shows.
    std::vector<std::pair<QAction*, QString>> toolCommands_;
    QSet<QAction*> needOne_, needSome_, available_;
};
