#pragma once
// The preview pane of the main window: its four display controls, the load
// that shows a file (run from the event loop after ShowInPreview asks for
// it), fitting to the pane, next and previous with wrap-around, the slide
// show, "Auto Zoom", "Zoom In (+)" / "Zoom Out (-)" and the window's keys.

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "browser/preloader.h"
#include "core/pixelgraphic.h"

class QItemSelection;
class QLabel;
class QTimer;
class TForm1;
class TPGImage;
class TImageBox;
class TGIFImage;
class TAVIPlayer;

class TPreview : public QObject {
    Q_OBJECT
  public:
    explicit TPreview(TForm1* form);
    ~TPreview() override;

    TPGImage* PGImage1;
    TImageBox* Image1;
    TGIFImage* GIFImage1;
    TAVIPlayer* AVIPlay1;
    QTimer* Timer1;
    // Says in the pane why a file cannot be shown (the reader's message).
    QLabel* PreviewMessage;

    // Type of the file shown last: up to three characters of its extension,
    // upper-cased ("JPG", "GIF", ...).
    QString PreviewType;
    // The file is shown by GIFImage1 (a GIF or an animated WebP file).
    bool ShowsAnimation() const { return animation_; }
    // The path last shown because of a list selection.
    QString LastShownName;

    // Queues one load of the form's PendingFile (the program's TLoadFile):
    // the load runs from the event loop, after the caller has returned.
    // Requests that pile up before it runs are served by one load of the
    // file asked for last.
    void RequestLoad();
    bool LoadQueued() const { return loadQueued_; }
    // The load itself.
    void LoadPending();

    void FitToPane();
    // True while a picture larger than the pane is shown at its own size
    // ("Zoom Out (-)"), scrolled inside the pane.
    bool ShowsActualSize() const { return actualSize_; }
    // Sizes the shown control by the load's rule for the pane as it is now:
    // fitted when the picture is larger than the pane or "Auto Zoom" is
    // down, else at its own size (a clip in its box).
    void PlaceShown();
    // The file the last load read, as file-system bytes.
    const QByteArray& ShownPath() const { return loadedPath_; }
    // Empties the pane and the status bar's file panels when the file shown
    // is no longer there (deleted, renamed or moved away).
    void ClearIfGone();
    void NextImage();
    void PreviousImage();
    // "Slide Show" pressed or released.
    void SlideShowToggled(bool down);
    void StopSlideShow();
    // "Auto Zoom" pressed or released.
    void AutoZoomToggled(bool down);
    void ZoomIn();
    void ZoomOut();
    // The display control of the type shown, visible or not.
    QWidget* ControlFor(const QString& type) const;
    // The visible display control, or null.
    QWidget* ShownControl() const;

    // A JPEG fitted to the pane is shown first from a decode reduced on load
    // and then from the whole picture, decoded on the worker, in the same
    // place and size. True while the reduced one is shown.
    bool ShowsFirstLook() const { return firstLook_; }
    // Whatever needs the real pixels calls this first: the whole picture
    // replaces the reduced one now (waiting for the worker, or loading it).
    void EnsureFullPicture();

    TPreloader& Preloader() { return *preloader_; }
    // True while the neighbours of the last load are still to be asked for.
    bool PreloadPending() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void HideAll();
    // A load that failed: the pane says why (`reason`: the reader's message).
    void LoadFailed(const QString& name, const QString& reason);
    QSize LoadInto(const QByteArray& path);
    void SizePicture(QWidget* control, QSize content);
    QSize ContentSize() const;
    void SelectionChanged();
    void ShowSelectedAgain();
    void SlideTick();
    void PreloadNeighbours(const QByteArray& shownNative);
    bool HandleKey(int key, Qt::KeyboardModifiers mods);
    TPreloadSettings LoadSettings() const;
    // The reduce hint of a first look at `path` in the pane as it is now
    // (0: none); `full` gets the file's size.
    int FirstLookHint(const QByteArray& path, QSize& full) const;
    void ShowFullPicture(bool wait);

    TForm1* f_;
    bool loadQueued_ = false;
    QByteArray loadedPath_;      // the file the last load read (file-system bytes)
    QByteArray lastShownNative_; // LastShownName as bytes
    std::unique_ptr<TPreloader> preloader_;
    // After a load: the neighbours to decode next and the picture the load
    // replaced, both handed to the worker once the event loop is idle.
    QTimer* aheadTimer_ = nullptr;
    QByteArray aheadPath_;
    std::unique_ptr<TPixelGraphic> retired_;
    // The first look shown: the file's size, and its name for the worker.
    bool firstLook_ = false;
    bool animation_ = false; // GIFImage1 shows the file (GIF, animated WebP)
    // "Zoom Out (-)" on a picture larger than the pane: shown at its own
    // size, scrolled inside a control of the pane's size.
    bool actualSize_ = false;
    void LeaveActualSize();
    QSize fullSize_;
    QString firstLookPath_;
    // A metafile shown: its own size from the header, and the load-size
    // hint it was last played with (0: at its own size). It is played at
    // the size the pane shows it at and again when the pane grows.
    QSize metaFullSize_;
    int metaHint_ = 0;
    QTimer* metaTimer_ = nullptr;
    int MetafileHint() const;
    void PlayMetafile(const QByteArray& path);
};
