#pragma once
// TPGImage: the control that shows one picture. A scroll area holding the
// paint box TPicBox, whose size is the size the picture is shown at and whose
// position is the picture's position; the control computes both from the
// picture, its own size and its stretch rule, paints the picture (tiled and
// mirrored when asked) under the paint box and fills the rest with its colour.
// The control owns the picture it shows.

#include <QColor>
#include <QCursor>
#include <QPointer>
#include <QScrollArea>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pixelgraphic.h"
#include "view/picbox.h"
#include "view/selection.h"
#include "view/tilecache.h"
#include "view/viewtypes.h"

class QMenu;

using TPGINewAutoSizeEvent =
    std::function<void(TObject* Sender, int PGImageWidth, int PGImageHeight)>;

class TPGImage : public QScrollArea, public TObject {
  public:
    explicit TPGImage(QWidget* parent = nullptr);
    ~TPGImage() override;

    // ---- the picture
    // Loads picture `imageIndex` of a file. On failure the control keeps the
    // picture it had (and its FileName) and the error passes on.
    void LoadFromFileIndex(const std::string& fileName, int imageIndex);
    void LoadFromFile(const std::string& fileName) { LoadFromFileIndex(fileName, 0); }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { LoadFromFile(fileName); }
    void SaveToFile(const std::string& fileName);
    // The picture, still owned by the control (the worker is stopped first).
    TPixelGraphic* PixelGraphic();
    // The picture without stopping the worker: for its size and format only.
    // Pixel changes go through PixelGraphic(), which stops the worker first.
    TPixelGraphic* CurrentPixelGraphic() const { return picture_.get(); }
    // Shows a copy of `picture` (none for null).
    void AssignPixelGraphic(const TPixelGraphic* picture);
    // Shows `picture` itself; the control becomes its owner.
    void TakePixelGraphic(std::unique_ptr<TPixelGraphic> picture);
    void TakePixelGraphic(TPixelGraphic* picture) {
        TakePixelGraphic(std::unique_ptr<TPixelGraphic>(picture));
    }
    // Shows a picture read from `fileName` elsewhere (decoded ahead of time),
    // leaving the control as LoadFromFile of that file would. Returns the
    // picture shown before, for the caller to free where it costs nothing.
    std::unique_ptr<TPixelGraphic> TakeLoadedPixelGraphic(std::unique_ptr<TPixelGraphic> picture,
                                                          const std::string& fileName);
    // A copy for the caller to own (null without a picture).
    std::unique_ptr<TPixelGraphic> CopyPixelGraphic();
    bool IsEmpty() const { return !picture_; }
    TPicBox* PicBox() const { return picBox_; }

    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    // Picture pixels per device pixel: at 1 (actual size) one picture pixel
    // fills one pixel of the screen, whatever the screen's device pixel ratio.
    long double EffectiveZoom() const { return effectiveZoom_; }
    // Device pixels per logical pixel of the screen the control is on, as the
    // last arrangement saw it; a change (another screen, another scale)
    // rearranges the control and remakes what it draws.
    qreal DeviceRatio() const { return dpr_; }
    // The size the picture is drawn at, in device pixels. The paint box is
    // this size in logical pixels, rounded up.
    QSize DevicePaintSize() const { return QSize(paintDW_, paintDH_); }
    int BoxToImageX(int x) const;
    int BoxToImageY(int y) const;
    int ImageToBoxX(int x) const;
    int ImageToBoxY(int y) const;

    void Rearrange(bool force);

    // ---- properties
    TActionMode ActionMode() const { return actionMode_; }
    void SetActionMode(TActionMode m);
    bool Allow24BitStretch() const { return allow24BitStretch_; }
    void SetAllow24BitStretch(bool v) { SetRebuild(allow24BitStretch_, v); }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v) { SetRebuild(autoSize_, v); }
    int AutoSizeMaxWidth() const { return autoSizeMaxWidth_; }
    void SetAutoSizeMaxWidth(int v) { SetAutoSizeBound(autoSizeMaxWidth_, v); }
    int AutoSizeMaxHeight() const { return autoSizeMaxHeight_; }
    void SetAutoSizeMaxHeight(int v) { SetAutoSizeBound(autoSizeMaxHeight_, v); }
    int AutoSizeMinWidth() const { return autoSizeMinWidth_; }
    void SetAutoSizeMinWidth(int v) { SetAutoSizeBound(autoSizeMinWidth_, v); }
    int AutoSizeMinHeight() const { return autoSizeMinHeight_; }
    void SetAutoSizeMinHeight(int v) { SetAutoSizeBound(autoSizeMinHeight_, v); }
    TRGB BackGroundColor() const { return backGroundColor_; }
    void SetBackGroundColor(TRGB c) { backGroundColor_ = c; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle b);
    bool Center() const { return center_; }
    void SetCenter(bool v);
    // The control's own colour, which fills what the picture does not cover.
    QColor Color() const { return color_; }
    void SetColor(const QColor& c);
    bool Dither() const { return dither_; }
    void SetDither(bool v) { SetRebuild(dither_, v); }
    uint8_t DitherErrorLimit() const { return ditherErrorLimit_; }
    void SetDitherErrorLimit(uint8_t v) { SetDitherOption(ditherErrorLimit_, v); }
    bool DitherErrorLimitAuto() const { return ditherErrorLimitAuto_; }
    void SetDitherErrorLimitAuto(bool v) { SetDitherOption(ditherErrorLimitAuto_, v); }
    bool DitherErrorLimitSoft() const { return ditherErrorLimitSoft_; }
    void SetDitherErrorLimitSoft(bool v) { SetDitherOption(ditherErrorLimitSoft_, v); }
    bool FlipHorizontal() const { return flipHorizontal_; }
    void SetFlipHorizontal(bool v) { SetRepaint(flipHorizontal_, v); }
    bool FlipVertical() const { return flipVertical_; }
    void SetFlipVertical(bool v) { SetRepaint(flipVertical_, v); }
    bool KeepOldPaintPixelGraphic() const { return keepOldPaintPixelGraphic_; }
    void SetKeepOldPaintPixelGraphic(bool v) { keepOldPaintPixelGraphic_ = v; }
    TPaletteIdent Palette8BitSys24BitGraphic() const { return palette8BitSys24BitGraphic_; }
    // Only pBlackWhite .. pOptimized252Sys16; other values raise
    // std::out_of_range and change nothing.
    void SetPalette8BitSys24BitGraphic(TPaletteIdent p);
    TPaletteIdent Palette8BitSys8BitGraphic() const { return palette8BitSys8BitGraphic_; }
    // Only pBlackWhite .. pSource; other values raise std::out_of_range.
    void SetPalette8BitSys8BitGraphic(TPaletteIdent p);
    QColor PicBoxColor() const { return picBox_->Color(); }
    void SetPicBoxColor(const QColor& c);
    QCursor PicBoxCursor() const { return picBoxCursor_; }
    void SetPicBoxCursor(const QCursor& c);
    QString PicBoxHint() const { return picBox_->toolTip(); }
    void SetPicBoxHint(const QString& h) { picBox_->setToolTip(h); }
    QMenu* PicBoxPopupMenu() const { return picBoxPopupMenu_; }
    void SetPicBoxPopupMenu(QMenu* m);
    int PicBoxTag() const { return picBox_->Tag(); }
    void SetPicBoxTag(int t) { picBox_->SetTag(t); }
    QColor PicBoxFrameColor() const { return picBoxFrameColor_; }
    void SetPicBoxFrameColor(const QColor& c);
    bool Progress5Clocks() const { return progress5Clocks_; }
    void SetProgress5Clocks(bool v) { progress5Clocks_ = v; }
    QColor ProgressClockBkColor() const { return progressClockBkColor_; }
    void SetProgressClockBkColor(const QColor& c) { progressClockBkColor_ = c; }
    QColor ProgressClockLineColor() const { return progressClockLineColor_; }
    void SetProgressClockLineColor(const QColor& c) { progressClockLineColor_ = c; }
    bool ProgressClockVisible() const { return progressClockVisible_; }
    void SetProgressClockVisible(bool v) { progressClockVisible_ = v; }
    bool RGBWeighting() const { return rgbWeighting_; }
    void SetRGBWeighting(bool v) { SetRebuild(rgbWeighting_, v); }
    bool RearrangeAlways() const { return rearrangeAlways_; }
    void SetRearrangeAlways(bool v) { rearrangeAlways_ = v; }
    bool ReduceOnLoad() const { return reduceOnLoad_; }
    void SetReduceOnLoad(bool v) { reduceOnLoad_ = v; }
    bool ShowHourGlass() const { return showHourGlass_; }
    void SetShowHourGlass(bool v) { showHourGlass_ = v; }
    TStretch Stretch() const { return stretch_; }
    void SetStretch(TStretch s);
    TStretchMode StretchMode() const { return stretchMode_; }
    void SetStretchMode(TStretchMode m) { SetRebuild(stretchMode_, m); }
    TTiling Tiling() const { return tiling_; }
    void SetTiling(TTiling t) { SetRepaint(tiling_, t); }
    bool UseThread() const { return useThread_; }
    void SetUseThread(bool v);
    TPGWarningAction ReadWarningAction() const { return readWarningAction_; }
    void SetReadWarningAction(TPGWarningAction a) { readWarningAction_ = a; }
    TPGWarningAction SaveColorResWarningAction() const { return saveColorResWarningAction_; }
    void SetSaveColorResWarningAction(TPGWarningAction a) { saveColorResWarningAction_ = a; }
    long double ZoomFactor() const { return zoomFactor_; }
    void SetZoomFactor(long double z);

    // ---- selection
    // The selection rectangle, kept in picture pixels. Tools (the editor's
    // crop, red-eye) use it like this:
    //   view->SetActionMode(amMoveResizeCreateSelection);   // or amCreateSelection
    //   view->OnSelectionMade = [&](TObject*) { use(view->SelectionRect()); };
    //   view->SetSelectionBounds(l, t, w, h); view->SetSelection(true);
    // SelectionRect() is QRect(left, top, width, height): its right edge is
    // x() + width(), never right(). Bounds persist while Selection is off and
    // across picture changes. OnSelectionChange fires once for each change of
    // Selection or of the bounds (never for equal bounds); OnSelectionMade
    // when a selection drag (move, create or resize) ends. A moved selection
    // may lie partly outside the picture (one pixel always stays over it):
    // intersect it with the picture before using its pixels.
    bool Selection() const { return selection_; }
    void SetSelection(bool v);
    QRect SelectionRect() const { return QRect(selLeft_, selTop_, selWidth_, selHeight_); }
    // The selection in paint-box pixels: from (L, T) to (R, B), R and B
    // excluded.
    QRect SelectionBoxRect() const;
    // Stores the bounds as given (no clamping: callers keep them sensible),
    // repaints the strips around the old and new frame and fires
    // OnSelectionChange; nothing happens when all four are unchanged.
    void SetSelectionBounds(int left, int top, int width, int height);
    // The bounds of a rectangle as SelectionRect() gives it: left r.x(),
    // top r.y(), width r.width(), height r.height().
    void SetSelectionRect(const QRect& r) {
        SetSelectionBounds(r.x(), r.y(), r.width(), r.height());
    }
    int SelectionLeft() const { return selLeft_; }
    void SetSelectionLeft(int v) { SetSelectionBounds(v, selTop_, selWidth_, selHeight_); }
    int SelectionTop() const { return selTop_; }
    void SetSelectionTop(int v) { SetSelectionBounds(selLeft_, v, selWidth_, selHeight_); }
    int SelectionWidth() const { return selWidth_; }
    void SetSelectionWidth(int v) { SetSelectionBounds(selLeft_, selTop_, v, selHeight_); }
    int SelectionHeight() const { return selHeight_; }
    void SetSelectionHeight(int v) { SetSelectionBounds(selLeft_, selTop_, selWidth_, v); }
    QColor SelectionColor1() const { return selectionColor1_; }
    void SetSelectionColor1(const QColor& c);
    QColor SelectionColor2() const { return selectionColor2_; }
    void SetSelectionColor2(const QColor& c);
    // Drag state: 0 none, 1 panning, 2 moving the selection, 3 creating it,
    // 4 to 11 resizing by the handle top-left, top-middle, top-right,
    // middle-left, middle-right, bottom-left, bottom-middle, bottom-right.
    int DragState() const { return dragState_; }
    // Phase of the frame's stripes (0 to 7), advanced every 50 ms.
    int SelectionPhase() const { return phase_; }
    // One animation step, as the timer does it.
    void AnimateSelection();
    // One auto-scroll step, as the timer does it during a selection drag.
    void AutoScrollStep();
    bool SelectionTimerActive() const;
    bool AutoScrollTimerActive() const;

    // ---- events
    TPGINewAutoSizeEvent OnNewAutoSize;
    TNotifyEvent OnPaint, OnPainting, OnPixelGraphicChange, OnZoomFactorChange;
    TPGProgressEvent OnPixelGraphicProgress;
    TNotifyEvent OnPixelGraphicProgressStart, OnPixelGraphicProgressEnd;
    TNotifyEvent OnSelectionChange, OnSelectionMade;
    std::function<void(TObject* Sender, QCursor& cursor)> OnSetCursor;

    // The paint box's events under their control names.
    TPGMouseEvent& PicBoxOnMouseDown() { return picBox_->OnMouseDown; }
    TPGMouseEvent& PicBoxOnMouseMove() { return picBox_->OnMouseMove; }
    TPGMouseEvent& PicBoxOnMouseUp() { return picBox_->OnMouseUp; }
    TPGNotify& PicBoxOnClick() { return picBox_->OnClick; }
    TPGNotify& PicBoxOnDblClick() { return picBox_->OnDblClick; }
    TPGNotify& PicBoxOnPaint() { return picBox_->OnPaint; }
    TPGSetCursorEvent& PicBoxOnSetCursor() { return picBox_->OnSetCursor; }
    // Drop handlers; call PicBox()->UpdateAcceptDrops() after setting them.
    TPGDragOverEvent& PicBoxOnDragOver() { return picBox_->OnDragOver; }
    TPGDragDropEvent& PicBoxOnDragDrop() { return picBox_->OnDragDrop; }

    // Progress of the display preparation: draws the clocks while a picture is
    // being prepared; step 0 ends it.
    void SetDisplayProgress(int step, int percent);

    // ---- display conversion
    // Whether the paint picture is drawn instead of the picture; starts
    // making it when needed. Every paint asks.
    bool NeedsPaintPixelGraphic();
    // The converted picture drawn instead of the picture (null when none).
    const TPixelGraphic* PaintPixelGraphic() const { return paintPicture_.get(); }
    bool PaintStale() const { return paintStale_; }
    // A paint picture job is running or its result has not arrived yet.
    bool PaintJobPending() const { return jobPending_; }
    // Step and percentage of the running job (step 0 when none).
    int DisplayStep() const { return displayStep_; }
    int DisplayPercent() const { return displayPercent_; }
    // The screen depth the conversion works for (see platform/screendepth.h).
    int DisplayDepth() const;
    // Fires when a paint picture is delivered (tests and benchmarks wait on it).
    TNotifyEvent OnPaintPixelGraphicReady;
    // The picture as the screen shows it: a copy converted from the
    // picture's ICC profile to the display's when colour management is on
    // and the picture carries a usable profile, else the picture itself.
    // Made once per picture change; the picture is never touched.
    TPixelGraphic* ShownPixelGraphic();
    // The display profile or the colour management preference changed.
    void ColourSettingsChanged();

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;
    void customEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

    // The display conversion's steps, named as the control's own.
    bool NeedsPaintPicture() { return NeedsPaintPixelGraphic(); }
    // Stops the worker and waits for it; its late results are dropped.
    void StopWorker();
    void MarkPaintPictureStale() { paintStale_ = true; }
    // Drops the paint picture for a new picture: kept (stale) until the new
    // one arrives with KeepOldPaintPixelGraphic and UseThread, else freed.
    void DropPaintPicture();
    // The picture painting draws: the paint picture when one is needed (it
    // may be missing while it is being made), else the picture.
    TPixelGraphic* PictureToDraw();

  private:
    void MakePaintPicture();
    void PaintDelivered(std::unique_ptr<TPixelGraphic> pg);
    void DisplayProgress(int step, int percent);
    void ScreenDepthChanged();
    // Selection and mouse work.
    void InstallPicBoxHandlers();
    void SelMouseDown(Qt::MouseButton button, const QPointF& at);
    void SelMouseMove(const QPointF& at);
    void SelMouseUp(Qt::MouseButton button);
    void ApplyDragRule(const QPointF& p);
    void EndDrag(bool made);
    void PaintSelection(QPainter& p);
    // Repaints the frame's pixels only.
    void UpdateFrame();
    void InvalidateSelectionStrips();
    QRegion FrameRegion() const;
    bool PictureFitsView() const;
    void UpdateCursor(const QPoint& viewportPos);
    QRect SelBox64Clipped() const;
    // The selection's edges in device pixels from the picture's corner.
    TPGSelBox SelDeviceBox() const;
    // The logical paint-box rectangle covering a rectangle in device pixels
    // from the picture's corner.
    QRect DeviceToBoxCover(const QRect& d) const;
    void PictureChanged();
    void ConnectPicture(TPixelGraphic& pg);
    void SetBounds(const QSize& size);
    int Border() const { return frameWidth(); }
    int VScrollWidth() const;
    int HScrollHeight() const;
    void PaintContainer(QPainter& p, const QRect& exposed);
    // Logical and device pixels of this control's screen. ToDevice and
    // ToLogical round a position down; ToLogicalCover gives the logical
    // extent that covers a device extent.
    int ToDevice(int v) const;
    int ToLogical(int v) const;
    int ToLogicalCover(int v) const;
    // The picture's rectangle in device pixels of the viewport.
    QRect DevicePaintRect() const;
    // The picture pixel under a paint-box position (logical, fractions kept).
    QPoint PictureAt(const QPointF& boxPos) const;
    // Rearranges when the screen's device pixel ratio is not the one the
    // arrangement was made for.
    void FollowDeviceRatio();

    template <class T> void SetRebuild(T& field, T v) {
        if (field == v) return;
        field = v;
        PictureChanged();
    }
    template <class T> void SetRepaint(T& field, T v) {
        if (field == v) return;
        field = v;
        viewport()->update();
    }
    template <class T> void SetDitherOption(T& field, T v) {
        if (field == v) return;
        field = v;
        if (dither_) PictureChanged();
    }
    void SetAutoSizeBound(int& field, int v) {
        if (field == v) return;
        field = v;
        if (autoSize_) PictureChanged();
    }

    std::unique_ptr<TPixelGraphic> picture_;
    TPicBox* picBox_ = nullptr;
    TPGTileCache tiles_;
    std::string fileName_;
    int imageWidth_ = 0, imageHeight_ = 0;
    long double effectiveZoom_ = 1.0L;
    bool arranging_ = false;
    // The arrangement in content coordinates (before scrolling).
    int boxLeft_ = 0, boxTop_ = 0, paintW_ = 0, paintH_ = 0;
    // The paint size in device pixels, and the ratio it was made for.
    int paintDW_ = 0, paintDH_ = 0;
    qreal dpr_ = 1.0;
    int displayStep_ = 0, displayPercent_ = 0;

    // Display conversion.
    std::unique_ptr<TPixelGraphic> colourPicture_; // see ShownPixelGraphic
    bool colourChecked_ = false;
    std::unique_ptr<TPixelGraphic> paintPicture_;
    bool paintStale_ = true;
    QSize lastPaintSize_{-1, -1};
    std::unique_ptr<class TCreatePaintPGThread> worker_;
    uint64_t generation_ = 0;
    bool jobPending_ = false, jobFailed_ = false;
    int lastDepth_ = 0;

    // Selection and mouse work.
    int selLeft_ = 0, selTop_ = 0, selWidth_ = 1, selHeight_ = 1;
    int dragState_ = 0;
    QPoint dragStart_;           // paint-box pixels
    QPoint dragOffset_, anchor_; // picture pixels
    QPoint lastMove_;            // last pointer seen in a drag, viewport pixels
    int phase_ = 0;
    class QTimer* selectionTimer_ = nullptr;
    class QTimer* autoScrollTimer_ = nullptr;
    std::vector<QImage> stripes_; // the eight stripe patterns, made on first use
    QCursor picBoxCursor_;
    QPointer<QWidget> watchedWindow_;

    TActionMode actionMode_ = amMoveImage;
    bool allow24BitStretch_ = false;
    bool autoSize_ = false;
    int autoSizeMaxWidth_ = 2147483647, autoSizeMaxHeight_ = 2147483647;
    int autoSizeMinWidth_ = 0, autoSizeMinHeight_ = 0;
    TRGB backGroundColor_ = 0;
    TBorderStyle borderStyle_ = bsSingle;
    bool center_ = false;
    QColor color_;
    bool dither_ = true;
    uint8_t ditherErrorLimit_ = 32;
    bool ditherErrorLimitAuto_ = true, ditherErrorLimitSoft_ = true;
    bool flipHorizontal_ = false, flipVertical_ = false;
    bool keepOldPaintPixelGraphic_ = false;
    TPaletteIdent palette8BitSys24BitGraphic_ = pOptimized252Sys16;
    TPaletteIdent palette8BitSys8BitGraphic_ = pOptimized252Sys16;
    QMenu* picBoxPopupMenu_ = nullptr;
    QColor picBoxFrameColor_;
    bool progress5Clocks_ = true;
    QColor progressClockBkColor_, progressClockLineColor_;
    bool progressClockVisible_ = true;
    bool rgbWeighting_ = true;
    bool rearrangeAlways_ = false;
    bool reduceOnLoad_ = false;
    bool selection_ = false;
    QColor selectionColor1_{Qt::white}, selectionColor2_{Qt::red};
    bool showHourGlass_ = true;
    TStretch stretch_ = sNeverKAR;
    TStretchMode stretchMode_ = smFast;
    TTiling tiling_ = tNone;
    bool useThread_ = true;
    TPGWarningAction readWarningAction_ = pgwaOKCancelBox;
    TPGWarningAction saveColorResWarningAction_ = pgwaOKCancelBox;
    long double zoomFactor_ = 1.0L;
};
