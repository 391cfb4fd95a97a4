#pragma once
// The folder tree: every folder of the file system from "/", folders only.
// Windows need four things of it: the selected folder, selecting a folder by
// path, a signal when the selection changes, and re-reading the folders.

#include <QTreeView>

class QFileSystemModel;

class TFolderTree : public QTreeView {
    Q_OBJECT
  public:
    explicit TFolderTree(QWidget* parent = nullptr);

    // The selected folder's path, empty when nothing is selected.
    QString SelectedFolder() const;
    // Selects, expands to and scrolls to `path`; false, with nothing
    // selected, when the tree has no node for it (missing, or a hidden
    // folder).
    bool SelectFolder(const QString& path);
    // Re-reads the folders, keeping the selection where it still exists.
    void Refresh();

  signals:
    void FolderChanged(const QString& path);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Build();
    // Brings back the current folder when the model lost or moved its row
    // (folders load and sort in the background, rows come and go), selected
    // and in view, without listing it again.
    void KeepCurrent();
    QFileSystemModel* fs_ = nullptr;
    QString pendingPath_; // selected, waiting for its parents to load
    QString currentPath_; // the folder last made current
    bool restoring_ = false;
    // Inside a mouse or key event or SelectFolder: a new current folder is
    // chosen, not moved there by the model.
    int choosing_ = 0;
    struct TChoosing {
        int& n;
        explicit TChoosing(int& c) : n(c) { ++n; }
        ~TChoosing() { --n; }
        TChoosing(const TChoosing&) = delete;
        TChoosing& operator=(const TChoosing&) = delete;
    };
};
