#include "view/pgimage.h"

#include <QApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <cmath>
#include <stdexcept>

#include "core/exceptions.h"
#include "core/qt/canvas.h"
#include "core/qt/drawing.h"
#include "platform/displayprofile.h"
#include "platform/screendepth.h"
#include "platform/waitcursor.h"
#include "view/arrange.h"
#include "view/clocks.h"
#include "view/paintrules.h"
#include "view/paintworker.h"
#include "view/services.h"

TPGImage::TPGImage(QWidget* parent) : QScrollArea(parent) {
    InstallViewServices();
    // The control paints every pixel of its client area itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    color_ = palette().color(QPalette::Window);
    picBoxFrameColor_ = palette().color(QPalette::Dark);
    progressClockBkColor_ = palette().color(QPalette::Button);
    progressClockLineColor_ = palette().color(QPalette::Dark);
    picBox_ = new TPicBox(viewport());
    picBox_->setGeometry(0, 0, 0, 0);
    picBox_->show();
    InstallPicBoxHandlers();
    lastDepth_ = DisplayDepth();
    dpr_ = devicePixelRatioF();
    QObject::connect(&TScreenDepthNotifier::Instance(), &TScreenDepthNotifier::DepthChanged, this,
                     [this] { ScreenDepthChanged(); });
    QObject::connect(&TColourNotifier::Instance(), &TColourNotifier::ColourChanged, this,
                     [this] { ColourSettingsChanged(); });
    resize(100, 100);
}

TPGImage::~TPGImage() {
    // Here, not in a subclass: the worker reads the picture freed below.
    StopWorker();
    worker_.reset();
    paintPicture_.reset();
    colourPicture_.reset();
    picture_.reset();
}

// ---- picture

void TPGImage::LoadFromFileIndex(const std::string& fileName, int imageIndex) {
    TWaitCursor wait(showHourGlass_);
    StopWorker();
    const size_t slash = fileName.find_last_of('/');
    const std::string namePart = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    if (namePart.empty()) {
        StopWorker();
        DropPaintPicture();
        picture_.reset();
        fileName_.clear();
        PictureChanged();
        return;
    }
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetReadWarningAction(readWarningAction_);
    pg->SetBackgroundColor(backGroundColor_);
    pg->OnProgressStart = [this](TObject* s) {
        if (OnPixelGraphicProgressStart) OnPixelGraphicProgressStart(s);
    };
    pg->OnProgress = [this](TObject* s, int step, int max, bool& abort) {
        if (OnPixelGraphicProgress) OnPixelGraphicProgress(s, step, max, abort);
    };
    pg->OnProgressEnd = [this](TObject* s) {
        if (OnPixelGraphicProgressEnd) OnPixelGraphicProgressEnd(s);
    };
    // The new picture is read beside the current one: a file that fails to
    // load leaves the control showing what it showed (the editor relies on
    // this to never lose unsaved work), and the error passes on.
    pg->LoadFromFileIndex(fileName, imageIndex);
    // A warning box shown while reading runs the event loop, and a paint
    // there may have started a worker on the old picture.
    StopWorker();
    DropPaintPicture();
    picture_ = std::move(pg);
    ConnectPicture(*picture_);
    fileName_ = fileName;
    PictureChanged();
}

void TPGImage::SaveToFile(const std::string& fileName) {
    if (!picture_) throw EPGEmpty(PGMessage(16, "PixelGraphic"));
    StopWorker();
    picture_->SetSaveColorResWarningAction(saveColorResWarningAction_);
    picture_->SaveToFile(fileName);
    fileName_ = fileName;
}

TPixelGraphic* TPGImage::PixelGraphic() {
    StopWorker();
    return picture_.get();
}

void TPGImage::ConnectPicture(TPixelGraphic& pg) {
    pg.OnChange = [this](TObject*) { PictureChanged(); };
    pg.OnProgressStart = [this](TObject* s) {
        if (OnPixelGraphicProgressStart) OnPixelGraphicProgressStart(s);
    };
    pg.OnProgress = [this](TObject* s, int step, int max, bool& abort) {
        if (OnPixelGraphicProgress) OnPixelGraphicProgress(s, step, max, abort);
    };
    pg.OnProgressEnd = [this](TObject* s) {
        if (OnPixelGraphicProgressEnd) OnPixelGraphicProgressEnd(s);
    };
}

void TPGImage::AssignPixelGraphic(const TPixelGraphic* picture) {
    std::unique_ptr<TPixelGraphic> copy;
    if (picture) {
        // Copy first: a copy that fails leaves the control as it was.
        copy = std::make_unique<TPixelGraphic>();
        copy->Assign(picture);
    }
    TakePixelGraphic(std::move(copy));
}

void TPGImage::TakePixelGraphic(std::unique_ptr<TPixelGraphic> picture) {
    StopWorker();
    DropPaintPicture();
    if (picture.get() != picture_.get())
        picture_ = std::move(picture);
    else
        (void)picture.release(); // already ours
    if (picture_) ConnectPicture(*picture_);
    PictureChanged();
}

std::unique_ptr<TPixelGraphic> TPGImage::TakeLoadedPixelGraphic(std::unique_ptr<TPixelGraphic> picture,
                                                                const std::string& fileName) {
    StopWorker();
    DropPaintPicture();
    std::unique_ptr<TPixelGraphic> old = std::move(picture_);
    if (old) {
        old->OnChange = nullptr;
        old->OnProgressStart = nullptr;
        old->OnProgress = nullptr;
        old->OnProgressEnd = nullptr;
    }
    picture_ = std::move(picture);
    if (picture_) ConnectPicture(*picture_);
    fileName_ = fileName;
    PictureChanged();
    return old;
}

std::unique_ptr<TPixelGraphic> TPGImage::CopyPixelGraphic() {
    StopWorker();
    if (!picture_) return nullptr;
    auto copy = std::make_unique<TPixelGraphic>();
    copy->Assign(picture_.get());
    return copy;
}

// ---- coordinates

int TPGImage::BoxToImageX(int x) const {
    return paintDW_ ? int(int64_t(ToDevice(x)) * imageWidth_ / paintDW_) : 0;
}
int TPGImage::BoxToImageY(int y) const {
    return paintDH_ ? int(int64_t(ToDevice(y)) * imageHeight_ / paintDH_) : 0;
}
int TPGImage::ImageToBoxX(int x) const {
    return imageWidth_ ? ToLogical(int(int64_t(x) * paintDW_ / imageWidth_)) : 0;
}
int TPGImage::ImageToBoxY(int y) const {
    return imageHeight_ ? ToLogical(int(int64_t(y) * paintDH_ / imageHeight_)) : 0;
}

QPoint TPGImage::PictureAt(const QPointF& boxPos) const {
    // The device pixel under the position, then the picture pixel drawn there.
    const auto at = [this](qreal v, int paint, int image) {
        if (!paint) return 0;
        const int64_t d = int64_t(std::floor(v * dpr_ + 1e-9));
        return int(d * image / paint);
    };
    return QPoint(at(boxPos.x(), paintDW_, imageWidth_), at(boxPos.y(), paintDH_, imageHeight_));
}

// Small tolerances keep exact products (800 x 1.5) from landing a hair off
// a whole number; at ratio 1 all three give v unchanged.
int TPGImage::ToDevice(int v) const {
    return int(std::floor(v * dpr_ + 1e-9));
}
int TPGImage::ToLogical(int v) const {
    return int(std::floor(v / dpr_ + 1e-9));
}
int TPGImage::ToLogicalCover(int v) const {
    return int(std::ceil(v / dpr_ - 1e-9));
}

QRect TPGImage::DevicePaintRect() const {
    const QPoint at = picBox_->pos();
    return QRect(ToDevice(at.x()), ToDevice(at.y()), paintDW_, paintDH_);
}

void TPGImage::FollowDeviceRatio() {
    const qreal r = devicePixelRatioF();
    if (!(r > 0) || r == dpr_ || arranging_) return;
    Rearrange(true);
}

bool TPGImage::event(QEvent* e) {
    // Moved to another screen, or shown on one other than the one assumed.
    if (e->type() == QEvent::ScreenChangeInternal || e->type() == QEvent::Show)
        FollowDeviceRatio();
    return QScrollArea::event(e);
}

// ---- picture-changed sequence and arrangement

int TPGImage::VScrollWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}
int TPGImage::HScrollHeight() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void TPGImage::PictureChanged() {
    StopWorker();
    tiles_.Invalidate();
    colourChecked_ = false;
    colourPicture_.reset();
    imageWidth_ = picture_ ? picture_->GetWidth() : 0;
    imageHeight_ = picture_ ? picture_->GetHeight() : 0;
    const QSize s =
        PGAutoSize(imageWidth_, imageHeight_, Border(), VScrollWidth(), HScrollHeight(),
                   autoSizeMinWidth_, autoSizeMinHeight_, autoSizeMaxWidth_, autoSizeMaxHeight_);
    if (OnNewAutoSize) OnNewAutoSize(this, s.width(), s.height());
    MarkPaintPictureStale();
    if (autoSize_ && s != size())
        SetBounds(s);
    else
        Rearrange(false);
    if (OnPixelGraphicChange) OnPixelGraphicChange(this);
}

void TPGImage::SetBounds(const QSize& s) {
    // The paint box collapses first so the new size re-places it.
    paintW_ = paintH_ = paintDW_ = paintDH_ = boxLeft_ = boxTop_ = 0;
    picBox_->setGeometry(0, 0, 0, 0);
    resize(s);
    Rearrange(true);
}

void TPGImage::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    paintW_ = paintH_ = paintDW_ = paintDH_ = boxLeft_ = boxTop_ = 0;
    picBox_->setGeometry(0, 0, 0, 0);
    Rearrange(true);
}

void TPGImage::Rearrange(bool force) {
    const int B = Border(), VS = VScrollWidth(), HS = HScrollHeight();
    const int AW = width() - 2 * B, AH = height() - 2 * B;
    const qreal ratio = devicePixelRatioF();
    const bool newRatio = ratio > 0 && ratio != dpr_;
    if (newRatio) {
        dpr_ = ratio;
        tiles_.Invalidate();
        MarkPaintPictureStale();
    }
    // The paint size is worked out in device pixels: the picture is made for
    // the screen's own pixels, and 100 % is one picture pixel per device
    // pixel. The area is rounded down and the bars up, so the paint box (the
    // device size in logical pixels, rounded up) fits where it fits today.
    const auto areaD = [this](int v) { return int(std::floor(v * dpr_ + 1e-9)); };
    const auto barD = [this](int v) { return int(std::ceil(v * dpr_ - 1e-9)); };
    const TPGPaintSize ps = PGPaintSize(imageWidth_, imageHeight_, areaD(AW), areaD(AH), barD(VS),
                                        barD(HS), stretch_, zoomFactor_);
    const int PW = ToLogicalCover(ps.PW), PH = ToLogicalCover(ps.PH);
    if (ps.Z != effectiveZoom_) {
        effectiveZoom_ = ps.Z;
        if (OnZoomFactorChange) OnZoomFactorChange(this);
    }
    const TPGPlacement pl = PGPlacement(PW, PH, AW, AH, VS, HS, center_);
    // The scroll positions the arrangement wants.
    const int wantH = center_ && pl.hBar ? (PW - pl.clientW) / 2 : 0;
    const int wantV = center_ && pl.vBar ? (PH - pl.clientH) / 2 : 0;
    bool replace = PW != paintW_ || PH != paintH_ || ps.PW != paintDW_ || ps.PH != paintDH_ ||
                   newRatio;
    if (rearrangeAlways_ || force)
        replace = replace || pl.left != boxLeft_ || pl.top != boxTop_ ||
                  horizontalScrollBar()->value() != wantH || verticalScrollBar()->value() != wantV;
    if (!replace) {
        viewport()->update();
        return;
    }
    arranging_ = true;
    paintW_ = PW;
    paintH_ = PH;
    paintDW_ = ps.PW;
    paintDH_ = ps.PH;
    boxLeft_ = pl.left;
    boxTop_ = pl.top;
    setHorizontalScrollBarPolicy(pl.hBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(pl.vBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setValue(0);
    v->setValue(0);
    h->setRange(0, pl.hBar ? std::max(0, pl.left + PW - pl.clientW) : 0);
    v->setRange(0, pl.vBar ? std::max(0, pl.top + PH - pl.clientH) : 0);
    h->setPageStep(std::max(1, pl.clientW));
    v->setPageStep(std::max(1, pl.clientH));
    h->setSingleStep(std::max(1, pl.clientW / 20));
    v->setSingleStep(std::max(1, pl.clientH / 20));
    h->setValue(wantH);
    v->setValue(wantV);
    picBox_->setGeometry(boxLeft_ - h->value(), boxTop_ - v->value(), paintW_, paintH_);
    arranging_ = false;
    viewport()->update();
}

void TPGImage::scrollContentsBy(int dx, int dy) {
    if (arranging_) return;
    // Scrolling moves what is on screen, the paint box with it, and leaves
    // only the uncovered strip to paint. A step that is not a whole number
    // of device pixels (ratio 1.5, one logical pixel) cannot move pixels
    // without a seam: everything is painted again.
    const qreal fx = dx * dpr_, fy = dy * dpr_;
    if (fx != std::floor(fx) || fy != std::floor(fy))
        viewport()->update();
    else
        viewport()->scroll(dx, dy);
}

// ---- painting

void TPGImage::paintEvent(QPaintEvent* e) {
    if (arranging_) return;
    FollowDeviceRatio();
    QPainter p(viewport());
    PaintContainer(p, e->rect());
}

namespace {
// Fills a rectangle given in device pixels. At ratio 1 it is the plain
// integer fill; otherwise the logical rectangle whose corners fall on the
// device pixels' edges.
void FillDevice(QPainter& p, const QRect& d, const QColor& c, qreal ratio) {
    if (d.isEmpty()) return;
    if (ratio == 1.0)
        p.fillRect(d, c);
    else
        p.fillRect(QRectF(d.x() / ratio, d.y() / ratio, d.width() / ratio, d.height() / ratio), c);
}
} // namespace

void TPGImage::PaintContainer(QPainter& p, const QRect& exposedLogical) {
    // Deciding may deliver a paint picture made in place, and a reduction
    // taking the picture's place may move the paint box: decide first.
    TPixelGraphic* pic = PictureToDraw();
    const QRect P = picBox_->geometry();
    // The picture is placed in device pixels, so tiles and bands meet on
    // whole screen pixels at any ratio.
    const qreal r = dpr_;
    const QRect Pd = DevicePaintRect();
    const QRect clientL = viewport()->rect();
    const QRect client(0, 0, int(std::ceil(clientL.width() * r - 1e-9)),
                       int(std::ceil(clientL.height() * r - 1e-9)));
    const QRect exposed(QPoint(ToDevice(exposedLogical.left()), ToDevice(exposedLogical.top())),
                        QPoint(int(std::ceil((exposedLogical.right() + 1) * r - 1e-9)) - 1,
                               int(std::ceil((exposedLogical.bottom() + 1) * r - 1e-9)) - 1));
    if (OnPainting) OnPainting(this);
    bool drawable = pic && !pic->GetEmpty() && pic->GetWidth() > 0 && pic->GetHeight() > 0;
    const TPGTileRange tiles = PGTileRange(Pd, client.width(), client.height(), tiling_);
    if (tiles.IsEmpty()) drawable = false;
    if (tiling_ == tNone || !drawable) {
        // The bands of the client area around the paint box.
        const QRect in = Pd & client;
        if (in.isEmpty()) {
            FillDevice(p, client, color_, r);
        } else {
            FillDevice(p, QRect(0, 0, client.width(), in.top()), color_, r);
            FillDevice(p,
                       QRect(0, in.bottom() + 1, client.width(), client.height() - in.bottom() - 1),
                       color_, r);
            FillDevice(p, QRect(0, in.top(), in.left(), in.height()), color_, r);
            FillDevice(
                p, QRect(in.right() + 1, in.top(), client.width() - in.right() - 1, in.height()),
                color_, r);
        }
    }
    if (drawable) {
        bool first = true;
        for (int j = tiles.firstRow; j <= tiles.lastRow; ++j)
            for (int i = tiles.firstCol; i <= tiles.lastCol; ++i) {
                const QRect tile = Pd.translated(i * Pd.width(), j * Pd.height());
                if (!tile.intersects(exposed)) continue;
                // Palette realisation (a no-op here) happens on the first tile.
                pic->SetSkipPaletteRealize(!first);
                first = false;
                // What DrawToDC would draw, from display tiles made once.
                tiles_.Draw(p, *pic, tile, PGTileFlipH(i, tiling_, flipHorizontal_),
                            PGTileFlipV(j, tiling_, flipVertical_), exposed, r);
            }
        pic->SetSkipPaletteRealize(false);
    } else if (!P.isEmpty()) {
        p.setPen(picBoxFrameColor_);
        p.setBrush(picBox_->Color());
        p.drawRect(P.adjusted(0, 0, -1, -1));
        if (progressClockVisible_ && displayStep_ > 0)
            PGDrawProgressClocks(p, P, displayStep_, displayPercent_, progress5Clocks_,
                                 progressClockBkColor_, progressClockLineColor_);
    }
    if (OnPaint) OnPaint(this);
}

void TPGImage::SetDisplayProgress(int step, int percent) {
    displayStep_ = step;
    displayPercent_ = percent;
    viewport()->update(picBox_->geometry());
}

// ---- properties

void TPGImage::SetBorderStyle(TBorderStyle b) {
    if (b == borderStyle_) return;
    borderStyle_ = b;
    setFrameStyle(b == bsNone ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
    PictureChanged();
}

void TPGImage::SetCenter(bool v) {
    if (v == center_) return;
    center_ = v;
    Rearrange(true);
}

void TPGImage::SetColor(const QColor& c) {
    color_ = c;
    viewport()->update();
}

void TPGImage::SetPicBoxColor(const QColor& c) {
    picBox_->SetColor(c);
    viewport()->update();
}

void TPGImage::SetPicBoxFrameColor(const QColor& c) {
    picBoxFrameColor_ = c;
    viewport()->update();
}

void TPGImage::SetPicBoxPopupMenu(QMenu* m) {
    picBoxPopupMenu_ = m;
    picBox_->setContextMenuPolicy(m ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
    QObject::disconnect(picBox_, &QWidget::customContextMenuRequested, nullptr, nullptr);
    if (m)
        QObject::connect(picBox_, &QWidget::customContextMenuRequested, m,
                         [this, m](const QPoint& pt) { m->popup(picBox_->mapToGlobal(pt)); });
}

void TPGImage::SetStretch(TStretch s) {
    if (s == stretch_) return;
    stretch_ = s;
    Rearrange(true);
}

void TPGImage::SetPalette8BitSys24BitGraphic(TPaletteIdent p) {
    if (!PGValidPalette8BitSys24BitGraphic(p))
        throw std::out_of_range("Palette8BitSys24BitGraphic: pBlackWhite to pOptimized252Sys16");
    SetRebuild(palette8BitSys24BitGraphic_, p);
}

void TPGImage::SetPalette8BitSys8BitGraphic(TPaletteIdent p) {
    if (!PGValidPalette8BitSys8BitGraphic(p))
        throw std::out_of_range("Palette8BitSys8BitGraphic: pBlackWhite to pSource");
    SetRebuild(palette8BitSys8BitGraphic_, p);
}

void TPGImage::SetUseThread(bool v) {
    if (v == useThread_) return;
    StopWorker();
    useThread_ = v;
    MarkPaintPictureStale();
    viewport()->update();
}

void TPGImage::SetZoomFactor(long double z) {
    if (z == zoomFactor_) return;
    zoomFactor_ = z;
    Rearrange(true);
}
