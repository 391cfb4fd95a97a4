#pragma once
// TfrmAcquire, "Tavirlo Image Editor": one picture in a view control with
// file, geometry, colour, filter and effect commands on it, undo and redo of
// several levels within a memory budget, saving, printing and screen
// capture. Created once at start and shown on demand; the main window hands
// it files to open for editing. What is edited lives in the document
// (editor/editordocument.h, with editor/undostep.h); the rules without
// widgets in editor/editorrules.h; the filter and effect commands in
// editor_filtercommands.h, which see the window only as TEditorCommandHost.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "browser/editfile.h"
#include "browser/handover.h"
#include "core/metadata.h"
#include "editor/qt/editorhost.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;
class QStatusBar;
class TPGImage;
class TPixelGraphic;

class TfrmAcquire : public QMainWindow,
                    public TToolHandOver,
                    public TToolEditFile,
                    public TEditorCommandHost {
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
    // The picture, its undo and redo levels, the modified flag, the file
    // name and the metadata; the members below forward to it.
    TEditorDocument& Document() override { return doc_; }
    const TEditorDocument& Document() const { return doc_; }
    // Begin-and-commit undo step for callers that change the picture right after.
    void SaveUndo(const QString& label);
    // One level back or forward; the current picture moves to the other stack.
    void Undo() { doc_.Undo(); }
    void Redo() { doc_.Redo(); }
    bool UndoAvailable() const { return doc_.UndoAvailable(); }
    bool RedoAvailable() const { return doc_.RedoAvailable(); }
    QString UndoCaption() const { return doc_.UndoCaption(); }
    QString RedoCaption() const { return doc_.RedoCaption(); }
    int UndoLevels() const { return doc_.UndoLevels(); }
    int RedoLevels() const { return doc_.RedoLevels(); }
    const TPixelGraphic* UndoCopy() const { return doc_.UndoCopy(); }
    void SetUndoBudget(int steps, int64_t bytes) { doc_.SetUndoBudget(steps, bytes); }
    static constexpr int kUndoSteps = TEditorDocument::kUndoSteps;
    static constexpr int64_t kUndoBytes = TEditorDocument::kUndoBytes;
    bool Modified() const { return doc_.Modified(); }
    void SetModified(bool m) { doc_.SetModified(m); }
    // Asks "Save changes to <name>?" when modified. False: the caller must
    // not replace the picture (Cancel, or Save As did not save).
    bool QueryUnsaved();
    const TPGMetadata& DocumentMetadata() const { return doc_.Metadata(); }
    // The file name the save dialog proposes.
    QString SaveFileName() const { return doc_.FileName(); }
    QString DocumentName() const { return doc_.DisplayName(); }

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
    void RunCommand(const std::function<void()>& body) override;

    // Status panel 1 as the gauge of a long filter: shown at the start, a
    // new percentage at most every 200 ms (repainted, no event pumping).
    void ProgressStart() override;
    void Progress(int step, int max) override;
    void ProgressEnd() override;

    // ---- the document's host
    TPixelGraphic* HostPicture() const override;
    TPixelGraphic* HostPictureForChange() override;
    std::unique_ptr<TPixelGraphic> HostCopyPicture() override;
    void HostShowPicture(std::unique_ptr<TPixelGraphic> picture) override;
    void HostLoadPicture(const std::string& fileName) override;
    void UndoStateChanged() override { UpdateUndoActions(); }
    TPGImage* View() override { return PGImage1; }
    QWidget* HostWindow() override { return this; }

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildMenus();
    void BuildToolBar();
    void PictureChanged();
    void UpdateUndoActions();
    bool acquiring_ = false;
    // Loads `path` at zoom 1.0 (the old zoom back when it fails).
    void LoadAtZoomOne(const QString& path);
    QString StartFolder() const;
    void SaveGeometry();

    TEditorDocument doc_{*this};
    QString startFolder_;
    qint64 lastGaugeMs_ = 0;
    QPointer<QWidget> watchedMain_;
};
