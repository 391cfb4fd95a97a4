#pragma once
// TfrmAcquire, "Tavirlo Image Editor": one picture in a view control with
// file, geometry, colour, filter and effect commands on it, undo and redo of
// several levels within a memory budget (see undostep.h), saving, printing and screen capture. Created once at
// start and shown on demand; the main window hands it files to open for
// editing. The rules without widgets live in editor/editorrules.h.

#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>

#include "browser/editfile.h"
#include "browser/handover.h"
#include "core/metadata.h"
#include "editor/qt/undostep.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;
class QStatusBar;
class TPGImage;
class TPixelGraphic;

class TfrmAcquire : public QMainWindow, public TToolHandOver, public TToolEditFile {
    Q_OBJECT
  public:
    explicit TfrmAcquire(QWidget* parent = nullptr);
    ~TfrmAcquire() override;

    TPGImage* PGImage1 = nullptr;
    QStatusBar* SB1 = nullptr;
    QLabel* SB1Panel0 = nullptr;      // "W X H"
    QProgressBar* SB1Gauge = nullptr; // panel 1 while a long filter runs
    QMenu* ImageMenu = nullptr;
    QMenu* FiltersMenu = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* Select1 = nullptr;
    QAction* Acquire1 = nullptr;
    QAction* tbAutoSize = nullptr;
    QAction* tbTile = nullptr;
    QAction* tbPointer = nullptr;
    QAction* tbZoom = nullptr;
    QAction* tbSelect = nullptr;

    // ---- offered to the rest of the program
    // Opens `path` for editing: zoom 1.0, load, save name, Undo reset, show.
    // Asks first when unsaved work would be lost. False (with "Can not edit "
    // shown) when the file cannot be read; the picture stays as it was.
    bool OpenForEditing(const QString& path);
    void TakeHandOver(const QString& folder, const QStringList& files) override;
    // The main window's "Edit with Tavirlo...": as OpenForEditing, but it
    // neither shows the window nor says anything (the main window does).
    bool EditFile(const QString& path) override;
    // The scanner entries, enabled by the main window when a source manager exists.
    void EnableScanner(bool enable);
    // "Acquire...": one picture from the scanner into the view (no undo copy).
    void AcquireImage();
    // Begin-and-commit undo step for callers that change the picture right after.
    void SaveUndo(const QString& label);
    // One level back or forward; the current picture moves to the other stack.
    void Undo();
    void Redo();
    bool UndoAvailable() const { return !undo_.empty(); }
    bool RedoAvailable() const { return !redo_.empty(); }
    // "Undo Rotate" / "Redo Rotate"; "Undo" / "Redo" when there is nothing.
    QString UndoCaption() const;
    QString RedoCaption() const;
    int UndoLevels() const { return int(undo_.size()); }
    int RedoLevels() const { return int(redo_.size()); }
    // The picture the next Undo brings back (null when none).
    const TPixelGraphic* UndoCopy() const {
        return undo_.empty() ? nullptr : undo_.back().picture.get();
    }
    // How much the stacks may keep: at most `steps` levels and `bytes` of
    // pictures together, whichever is reached first; the oldest levels go.
    // The most recent level is always kept.
    void SetUndoBudget(int steps, int64_t bytes);
    static constexpr int kUndoSteps = 10;
    static constexpr int64_t kUndoBytes = int64_t(1) << 30;
    // Unsaved changes: the picture is not the state last loaded or saved
    // (a picture undone back to that state is unchanged). A scanned or
    // captured picture is modified until saved.
    bool Modified() const { return state_ != savedState_; }
    void SetModified(bool m) { savedState_ = m ? kNeverSaved : state_; }
    // Asks "Save changes to <name>?" when modified. False: the caller must
    // not replace the picture (Cancel, or Save As did not save).
    bool QueryUnsaved();
    // The metadata blocks (EXIF, ICC profile, comments) of the file being
    // edited; Save As writes them with the picture.
    const TPGMetadata& DocumentMetadata() const { return documentMeta_; }
    // The file name the save dialog proposes.
    QString SaveFileName() const { return saveName_; }
    // The name questions use: the file's name, or "the picture" when unsaved.
    QString DocumentName() const;

    // ---- commands (menu entries and buttons call these)
    void FileNew();
    void FileOpen();
    bool FileSaveAs();
    void FileSaveOptions();
    void ExportGIF();
    void PrintPicture();
    void RotateBy(int degrees); // 90, 180 or 270 clockwise
    void FlipHorizontally();
    void FlipVertically();
    void Crop();
    void ScreenCapture();
    void ZoomClick(Qt::MouseButton button, int x, int y);
    void SetAutoSize(bool down);
    void SetTile(bool down);
    void SetPointer();
    void SetZoomTool(bool down);
    void SetSelectTool(bool down);
    // A drop of a file list or of URLs onto the picture.
    void DropFiles(const class QMimeData* data);
    // Opens `path` dropped on the picture: refused extensions and load
    // failures say "Can't edit ".
    void DropFile(const QString& path);

    // Runs `body` as one command: busy cursor, and every exception shown
    // through the prompts service instead of reaching the event loop.
    void RunCommand(const std::function<void()>& body);

    // Status panel 1 as the gauge of a long filter: shown at the start, a
    // new percentage at most every 200 ms (repainted, no event pumping).
    void ProgressStart();
    void Progress(int step, int max);
    void ProgressEnd();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    friend class TUndoStep;
    void BuildMenus();
    void BuildToolBar();
    void PictureChanged();
    void ResetUndo();
    void UpdateUndoActions();
    void TrimUndo();
    // A picture that came from outside the stacks (load, scan, capture).
    void NewPictureState();
    bool acquiring_ = false;
    void LoadIntoView(const QString& path);
    QString StartFolder() const;
    void SaveGeometry();

    std::deque<TEditorUndoEntry> undo_, redo_;
    int undoSteps_ = kUndoSteps;
    int64_t undoBytes_ = kUndoBytes;
    static constexpr uint64_t kNeverSaved = ~uint64_t(0);
    uint64_t state_ = 0, savedState_ = 0, nextState_ = 1;
    TPGMetadata documentMeta_;
    QString saveName_;
    QString startFolder_;
    qint64 lastGaugeMs_ = 0;
    QPointer<QWidget> watchedMain_;
};
