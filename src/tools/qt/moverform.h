#pragma once
// TfSelectFiles, "TavMover": a second folder (the source) with its own tree,
// file list and small preview, from which files are moved or copied into the
// folder the browser shows. With "Auto Update" on it watches the source
// folder and selects and previews each file that arrives.

#include <QMainWindow>
#include <QHash>
#include <QStringList>

class QAction;
class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QTimer;
class TFolderTree;
class TAVIPlayer;
class TFileListView;
class TGIFImage;
class TImageBox;
class TLed;
class TPGImage;
class TPanelStatusBar;

class TfSelectFiles : public QMainWindow {
    Q_OBJECT
  public:
    explicit TfSelectFiles(QWidget* parent = nullptr);
    ~TfSelectFiles() override;

    TFolderTree* Tree = nullptr;
    TFileListView* List = nullptr;
    QCheckBox* AutoPreview = nullptr;
    QCheckBox* AutoUpdate = nullptr;
    QLabel* NameBox = nullptr;
    TPGImage* PGImage1 = nullptr;
    TGIFImage* GIFImage1 = nullptr;
    TImageBox* Image1 = nullptr;
    TAVIPlayer* AVIPlay1 = nullptr;
    TPanelStatusBar* StatusBar1 = nullptr;
    TLed* Light = nullptr;

    QString SourceFolder() const { return source_; }
    // Opens `folder` as the source (the tree follows); false when it is no
    // readable folder.
    bool OpenSource(const QString& folder);
    void Relist();

    // The commands.
    void MoveOrCopy(bool move);
    void DeleteFiles();
    void RenameFile();
    void FileAttributes();
    void ImageInfo();
    void LargeView();
    void Preview();
    void SelectAll();
    void SelectNone();
    void AddFolder();
    void DeleteFolder();
    void SaveDefaultPath();
    void SetAutoUpdate(bool on);
    // What the watcher's (coalesced) change report does: files whose size
    // and time have held still for SettleMs are listed (a new one selected
    // and previewed, a changed one previewed again when it is the one
    // shown); files still changing are left out and looked at again.
    void FolderChanged();
    int SettleMs = 600;

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void HidePreviews();
    QString SelectedPath() const;
    QStringList Names() const;
    void Snapshot();
    // A file's size and modification time, to the nanosecond.
    struct TFileState {
        qint64 size = -1, mtimeNs = 0;
        bool operator==(const TFileState&) const = default;
    };
    TFileState StateOf(const QByteArray& rawName) const;
    void ListSettled();

    QString source_;
    QStringList snapshot_;
    QHash<QString, TFileState> settled_; // as listed
    QHash<QString, std::pair<TFileState, qint64>> changing_; // last state, when first seen so
    QTimer* poll_ = nullptr; // looks again while files are changing
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* settle_ = nullptr;
    bool running_ = false;
};
