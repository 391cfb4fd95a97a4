#pragma once
// The thumbnail explorer: its own folder tree and one file list shown as a
// plain list, a details table or a grid of thumbnails made on worker threads.
// From here thumbnails are saved as files, pictures opened in a View Image
// window and the contact-sheet creator reached. Its list (tag 2) is a drag
// source for the other tools.

#include <QHash>
#include <QMainWindow>
#include <QPixmap>
#include <memory>
#include <vector>

#include "browser/handover.h"

class QAction;
class QListView;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QFileSystemWatcher;
class QTimer;
class TFileListView;
class TFolderTree;
class TPanelStatusBar;
class TThumbRun;
class TfrmSaveThumbnail;

class TfrmThumbnails : public QMainWindow, public TToolHandOver {
    Q_OBJECT
  public:
    explicit TfrmThumbnails(QWidget* parent = nullptr);
    ~TfrmThumbnails() override;

    void TakeHandOver(const QString& folder, const QStringList& files) override;

    enum TListStyle { lsList, lsDetails, lsIcon };
    TListStyle ListStyle() const { return style_; }
    void SetListStyle(TListStyle s);

    // The folder the list shows.
    QString CurrentFolder() const;
    // The explorer tree's selection changed to `folder`.
    void FolderChange(const QString& folder);
    // "Thumbnails", a size choice, "Refresh", Esc.
    void ThumbnailsClick();
    void ChooseSize(int size);
    void Refresh();
    void Esc();
    // Re-reads the listed folder (another tool changed it).
    void Refill();
    void MakeThumbnails();
    void SaveThumbnails();
    void ViewImage();
    void ImageProperties();
    // Enables the pop-up menu's commands for the selection.
    void UpdatePopupCommands();

    // The thumbnail made for a listed name in the current run (null when none).
    QPixmap ThumbnailOf(const QString& name) const { return thumbs_.value(name); }
    int ThumbnailCount() const { return int(thumbs_.size()); }
    bool Running() const { return bool(run_); }

    int ThumbSize = 64;
    bool Busy = false;
    QString LoadedFolder;
    bool FastLoad = true;
    quint64 Generation = 0;

    TFolderTree* STV1;
    TFileListView* LV1;
    QListView* IconView;
    QStackedWidget* Views;
    TPanelStatusBar* StatusBar1;
    QProgressBar* ProgressBar1;
    QAction *tbSave, *tbThumbTav, *tbList, *tbDetails, *tbThumbnails;
    QMenu* SizeMenu;
    std::vector<QAction*> SizeItems;
    QAction *FastLoad1, *LiveUpdate1;
    QMenu* PopupMenu1;
    QAction *ViewImage1, *ImageProperties1, *SaveAsThumbnail1, *Refresh1;
    TfrmSaveThumbnail* SaveDialog; // our own when the program has none registered

  protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void StopRun();
    // Tells the run which items are in view: those are made first.
    void PreferVisibleThumbs();
    void EndRun(bool completed);
    void ReapRuns();
    void ShowPopup(QWidget* view, const QPoint& pos);
    void SetListCommandsEnabled(bool on);
    void WatchFolder(const QString& folder);
    void FolderMayHaveChanged();
    QString SelectedPath() const;

    TListStyle style_ = lsDetails;
    QAction* progressAction_; // shows the progress bar on the toolbar
    std::unique_ptr<TThumbRun> run_;
    std::vector<std::unique_ptr<TThumbRun>> retired_;
    QStringList runNames_;
    int runDone_ = 0;
    QHash<QString, QPixmap> thumbs_;
    // Device pixels per logical pixel the running thumbnails are made for:
    // ThumbSize times this many pixels a side, shown in ThumbSize.
    qreal thumbRatio_ = 1.0;
    bool saving_ = false;
    QFileSystemWatcher* watcher_;
    QTimer* refillTimer_;
};
