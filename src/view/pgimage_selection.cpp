// The view control's selection rectangle and mouse work: the animated frame
// with its handles, dragging to pan, to create, move and resize the
// selection, auto-scrolling while a selection drag leaves the view, and the
// cursor that shows what a drag would do.

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "view/cursors.h"
#include "view/pgimage.h"
#include "view/selection.h"

namespace {
int64_t ToBox(int64_t v, int paint, int image) {
    if (image == 0) return 0;
    const __int128 r = __int128(v) * paint / image;
    return int64_t(r);
}
} // namespace

void TPGImage::InstallPicBoxHandlers() {
    // The event's own position keeps the fractions a pointer on a scaled
    // screen has; a call from elsewhere has only the whole pixels.
    const auto at = [this](int x, int y) {
        const QPointF f = picBox_->EventPosition();
        return f.toPoint() == QPoint(x, y) ? f : QPointF(x, y);
    };
    picBox_->InternalMouseDown = [this, at](TObject*, Qt::MouseButton b, Qt::KeyboardModifiers,
                                            int x, int y) { SelMouseDown(b, at(x, y)); };
    picBox_->InternalMouseMove = [this, at](TObject*, Qt::MouseButton, Qt::KeyboardModifiers,
                                            int x, int y) { SelMouseMove(at(x, y)); };
    picBox_->InternalMouseUp = [this](TObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int,
                                      int) { SelMouseUp(b); };
    picBox_->InternalPaint = [this](TObject*, QPainter& p) { PaintSelection(p); };
    picBox_->InternalEnter = [this] {
        UpdateCursor(picBox_->mapFromGlobal(QCursor::pos()) + picBox_->pos());
    };
    viewport()->setMouseTracking(true);
    picBoxCursor_ = picBox_->cursor();
}

// ---- bounds

QRect TPGImage::SelectionBoxRect() const {
    const QRect r = SelBox64Clipped();
    return r;
}

TPGSelBox TPGImage::SelDeviceBox() const {
    return TPGSelBox{ToBox(selLeft_, paintDW_, imageWidth_), ToBox(selTop_, paintDH_, imageHeight_),
                     ToBox(int64_t(selLeft_) + selWidth_, paintDW_, imageWidth_),
                     ToBox(int64_t(selTop_) + selHeight_, paintDH_, imageHeight_)};
}

QRect TPGImage::DeviceToBoxCover(const QRect& d) const {
    if (dpr_ == 1.0 || d.isEmpty()) return d;
    const QRect Pd = DevicePaintRect();
    const QPoint at = picBox_->pos();
    const int x0 = int(std::floor((Pd.x() + d.x()) / dpr_ + 1e-9)) - at.x();
    const int y0 = int(std::floor((Pd.y() + d.y()) / dpr_ + 1e-9)) - at.y();
    const int x1 = int(std::ceil((Pd.x() + d.x() + d.width()) / dpr_ - 1e-9)) - at.x();
    const int y1 = int(std::ceil((Pd.y() + d.y() + d.height()) / dpr_ - 1e-9)) - at.y();
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QRect TPGImage::SelBox64Clipped() const {
    // The device edges in whole logical pixels (rounded down).
    const TPGSelBox d = SelDeviceBox();
    const auto logical = [this](int64_t v) {
        return dpr_ == 1.0 ? v : int64_t(std::floor(static_cast<long double>(v) / dpr_ + 1e-9L));
    };
    const int64_t L = logical(d.L), T = logical(d.T), R = logical(d.R), B = logical(d.B);
    auto c = [](int64_t v) {
        return int(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2 - 1));
    };
    return QRect(QPoint(c(L), c(T)), QPoint(c(R) - 1, c(B) - 1));
}

static TPGSelBox SelBoxOf(const TPGImage& v) {
    const QRect r = v.SelectionBoxRect();
    return TPGSelBox{r.x(), r.y(), int64_t(r.x()) + r.width(), int64_t(r.y()) + r.height()};
}

void TPGImage::InvalidateSelectionStrips() {
    // A frame placed in device pixels may reach one logical pixel further.
    const int e = (actionMode_ == amMoveResizeCreateSelection ? 8 : 1) + (dpr_ == 1.0 ? 0 : 1);
    // Paint-box rectangle moved by the paint box's position, clipped to the
    // client area.
    TPGSelBox b = SelBoxOf(*this);
    const QPoint at = picBox_->pos();
    b.L += at.x();
    b.R += at.x();
    b.T += at.y();
    b.B += at.y();
    for (const QRect& r : PGSelectionStrips(b, e, viewport()->rect()))
        if (!r.isEmpty()) viewport()->update(r);
}

void TPGImage::SetSelectionBounds(int left, int top, int width, int height) {
    if (left == selLeft_ && top == selTop_ && width == selWidth_ && height == selHeight_) return;
    if (selection_) InvalidateSelectionStrips();
    selLeft_ = left;
    selTop_ = top;
    selWidth_ = width;
    selHeight_ = height;
    if (selection_) InvalidateSelectionStrips();
    if (OnSelectionChange) OnSelectionChange(this);
}

void TPGImage::SetSelection(bool v) {
    if (v == selection_) return;
    selection_ = v;
    if (v && !selectionTimer_) {
        selectionTimer_ = new QTimer(this);
        QObject::connect(selectionTimer_, &QTimer::timeout, this, [this] { AnimateSelection(); });
        selectionTimer_->start(50);
    } else if (!v) {
        delete selectionTimer_;
        selectionTimer_ = nullptr;
    }
    picBox_->update();
    if (OnSelectionChange) OnSelectionChange(this);
}

void TPGImage::SetSelectionColor1(const QColor& c) {
    if (c == selectionColor1_) return;
    selectionColor1_ = c;
    stripes_.clear();
    picBox_->update();
}

void TPGImage::SetSelectionColor2(const QColor& c) {
    if (c == selectionColor2_) return;
    selectionColor2_ = c;
    stripes_.clear();
    picBox_->update();
}

bool TPGImage::SelectionTimerActive() const {
    return selectionTimer_ != nullptr;
}
bool TPGImage::AutoScrollTimerActive() const {
    return autoScrollTimer_ != nullptr;
}

void TPGImage::SetActionMode(TActionMode m) {
    if (m == actionMode_) return;
    actionMode_ = m;
    viewport()->update();
}

void TPGImage::SetPicBoxCursor(const QCursor& c) {
    picBoxCursor_ = c;
    picBox_->setCursor(c);
}

// ---- the frame

QRegion TPGImage::FrameRegion() const {
    // In device pixels from the picture's corner: the frame is one screen
    // pixel wide and lies on the picture pixels' edges at any ratio.
    const TPGSelBox b = SelDeviceBox();
    const QRect clip(0, 0, paintDW_, paintDH_);
    QRegion r;
    auto add = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        // The outline of [x0, x1) x [y0, y1).
        r += PGClipRect(x0, y0, x1, y0 + 1, clip);
        r += PGClipRect(x0, y1 - 1, x1, y1, clip);
        r += PGClipRect(x0, y0, x0 + 1, y1, clip);
        r += PGClipRect(x1 - 1, y0, x1, y1, clip);
    };
    add(b.L - 1, b.T - 1, b.R + 1, b.B + 1);
    if (actionMode_ == amMoveResizeCreateSelection) {
        // The handles keep their logical size and place; their outlines
        // are one device pixel.
        const TPGSelBox lb = SelBoxOf(*this);
        const QRect Pd = DevicePaintRect();
        const QPoint at = picBox_->pos();
        const auto dx = [&](int64_t v) {
            return dpr_ == 1.0 ? v
                               : int64_t(std::floor((v + at.x()) * dpr_ + 1e-9)) - Pd.x();
        };
        const auto dy = [&](int64_t v) {
            return dpr_ == 1.0 ? v
                               : int64_t(std::floor((v + at.y()) * dpr_ + 1e-9)) - Pd.y();
        };
        for (int h = 0; h < 8; ++h) {
            const TPGSquare s = PGHandleSquare(lb, h);
            add(dx(s.x0), dy(s.y0), dx(s.x1), dy(s.y1));
        }
    }
    return r;
}

void TPGImage::PaintSelection(QPainter& p) {
    if (!selection_) return;
    if (stripes_.empty())
        for (int i = 0; i < 8; ++i)
            stripes_.push_back(PGStripePattern(selectionColor1_, selectionColor2_, i));
    const TPGSelBox b = SelDeviceBox();
    // Drawn in device pixels from the picture's corner (which may lie inside
    // a logical pixel of the paint box at a fractional ratio).
    if (dpr_ != 1.0) {
        const QRect Pd = DevicePaintRect();
        const QPoint at = picBox_->pos();
        p.setWorldTransform(QTransform(1 / dpr_, 0, 0, 1 / dpr_, Pd.x() / dpr_ - at.x(),
                                       Pd.y() / dpr_ - at.y()));
    }
    // The pattern starts at the paint box's origin; the index shifts it so
    // the stripes travel with the frame.
    const QBrush brush(stripes_[size_t(PGStripeIndex(phase_, b.L, b.T))]);
    p.setBrushOrigin(0, 0);
    for (const QRect& r : FrameRegion())
        p.fillRect(r, brush);
    p.resetTransform();
}

void TPGImage::UpdateFrame() {
    QRegion logical;
    for (const QRect& r : FrameRegion())
        logical += DeviceToBoxCover(r);
    picBox_->update(logical);
}

void TPGImage::AnimateSelection() {
    phase_ = (phase_ + 1) % 8;
    if (!selection_) return;
    // Only the frame: the picture beneath repaints from its tiles.
    UpdateFrame();
}

// ---- mouse

bool TPGImage::PictureFitsView() const {
    const bool fitsH =
        viewport()->width() >= paintW_ || horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOn;
    const bool fitsV =
        viewport()->height() >= paintH_ || verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOn;
    return fitsH && fitsV;
}

void TPGImage::SelMouseDown(Qt::MouseButton button, const QPointF& at) {
    if (button != Qt::LeftButton || dragState_ != dsNone) return;
    const QPoint p = at.toPoint();
    QPoint q = PictureAt(at);
    q.setX(std::clamp(q.x(), 0, std::max(imageWidth_ - 1, 0)));
    q.setY(std::clamp(q.y(), 0, std::max(imageHeight_ - 1, 0)));
    const TPGSelBox box = SelBoxOf(*this);
    const TActionMode m = actionMode_;
    const bool inside = selection_ && PGInsideSelection(box, p);
    lastMove_ = picBox_->pos() + p;
    dragStart_ = p;
    if ((m == amMoveResizeCreateSelection || m == amMoveSelection ||
         m == amMoveSelectionMoveImage) &&
        inside) {
        dragState_ = dsMove;
        dragOffset_ = q - QPoint(selLeft_, selTop_);
    } else if ((m == amMoveImage || m == amMoveSelectionMoveImage) && !PictureFitsView()) {
        dragState_ = dsPan;
        if (!QApplication::overrideCursor()) {
            QCursor c = PGPanningCursor();
            if (PicBoxOnSetCursor()) PicBoxOnSetCursor()(picBox_, c);
            picBox_->setCursor(c);
        }
    } else {
        const int h = m == amMoveResizeCreateSelection && selection_ ? PGHandleAt(box, p) : -1;
        const TPGSelBounds cur{selLeft_, selTop_, selWidth_, selHeight_};
        if (h >= 0) {
            dragState_ = dsTopLeft + h;
            dragOffset_ = PGHandleOffset(dragState_, cur, q);
        } else if (m == amMoveResizeCreateSelection || m == amCreateSelection) {
            dragState_ = dsCreate;
            SetSelection(true);
            anchor_ = q;
            ApplyDragRule(at);
        }
    }
    if (dragState_ == dsNone) return;
    // A drag that loses the pointer (the window deactivated, a popup) never
    // sees the button go up; watching the window ends it all the same.
    watchedWindow_ = window();
    if (watchedWindow_) watchedWindow_->installEventFilter(this);
    if (dragState_ >= dsMove && !autoScrollTimer_) {
        autoScrollTimer_ = new QTimer(this);
        QObject::connect(autoScrollTimer_, &QTimer::timeout, this, [this] { AutoScrollStep(); });
        autoScrollTimer_->start(50);
    }
}

void TPGImage::ApplyDragRule(const QPointF& p) {
    const QPoint q = PictureAt(p);
    const TPGSelBounds cur{selLeft_, selTop_, selWidth_, selHeight_};
    const TPGSelBounds n =
        PGDragRule(dragState_, cur, q, dragOffset_, anchor_, imageWidth_, imageHeight_);
    SetSelectionBounds(n.left, n.top, n.width, n.height);
}

void TPGImage::SelMouseMove(const QPointF& at) {
    const int x = at.toPoint().x(), y = at.toPoint().y();
    lastMove_ = picBox_->pos() + QPoint(x, y);
    if (dragState_ != dsNone && !(picBox_->Buttons() & Qt::LeftButton)) {
        // The release went elsewhere.
        EndDrag(true);
    } else if (dragState_ == dsPan) {
        QScrollBar* h = horizontalScrollBar();
        QScrollBar* v = verticalScrollBar();
        const int h0 = h->value(), v0 = v->value();
        h->setValue(
            int(std::clamp<int64_t>(int64_t(h0) + dragStart_.x() - x, INT32_MIN, INT32_MAX)));
        v->setValue(
            int(std::clamp<int64_t>(int64_t(v0) + dragStart_.y() - y, INT32_MIN, INT32_MAX)));
        // The grabbed point stays under the pointer.
        dragStart_ = QPoint(x + h->value() - h0, y + v->value() - v0);
    } else if (dragState_ >= dsMove) {
        ApplyDragRule(at);
    }
    UpdateCursor(lastMove_);
}

void TPGImage::SelMouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton || dragState_ == dsNone) return;
    EndDrag(true);
}

void TPGImage::EndDrag(bool made) {
    const int state = dragState_;
    dragState_ = dsNone;
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    watchedWindow_ = nullptr;
    delete autoScrollTimer_;
    autoScrollTimer_ = nullptr;
    if (state >= dsMove && made) {
        SetSelection(true);
        if (OnSelectionMade) OnSelectionMade(this);
    }
    if (state == dsPan) picBox_->setCursor(picBoxCursor_);
}

void TPGImage::AutoScrollStep() {
    if (dragState_ < dsMove) return;
    const QPoint pt = lastMove_;
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const int h0 = h->value(), v0 = v->value();
    if (pt.x() < 0 && h->value() > 0) h->setValue(h->value() - 5);
    if (pt.y() < 0 && v->value() > 0) v->setValue(v->value() - 5);
    if (pt.x() >= viewport()->width() && h->value() < h->maximum()) h->setValue(h->value() + 5);
    if (pt.y() >= viewport()->height() && v->value() < v->maximum()) v->setValue(v->value() + 5);
    // The edge follows while the mouse rests outside the view.
    if (h->value() != h0 || v->value() != v0) ApplyDragRule(QPointF(pt - picBox_->pos()));
}

bool TPGImage::eventFilter(QObject* watched, QEvent* e) {
    if (watched == watchedWindow_ && dragState_ != dsNone &&
        (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::Hide))
        EndDrag(true);
    return QScrollArea::eventFilter(watched, e);
}

void TPGImage::hideEvent(QHideEvent* e) {
    if (dragState_ != dsNone) EndDrag(true);
    QScrollArea::hideEvent(e);
}

// ---- cursor

void TPGImage::UpdateCursor(const QPoint& viewportPos) {
    if (QApplication::overrideCursor()) return; // the screen-wide cursor shows
    const QRect P = picBox_->geometry();
    if (dragState_ == dsNone && !P.contains(viewportPos)) {
        QCursor c = cursor();
        if (OnSetCursor) OnSetCursor(this, c);
        viewport()->setCursor(c);
        return;
    }
    const QPoint p = viewportPos - P.topLeft();
    const TPGSelBox box = SelBoxOf(*this);
    TPGCursorInputs in;
    in.mode = actionMode_;
    in.overflows = !PictureFitsView();
    in.panning = dragState_ == dsPan;
    in.selection = selection_;
    in.inside = selection_ && PGInsideSelection(box, p);
    in.handle = selection_ ? PGHandleAt(box, p) : -1;
    QCursor c = picBoxCursor_;
    switch (PGCursorFor(in)) {
    case TPGCursorKind::Inherited:
        break;
    case TPGCursorKind::Pan:
        c = PGPanCursor();
        break;
    case TPGCursorKind::Panning:
        c = PGPanningCursor();
        break;
    case TPGCursorKind::CreateSelection:
        c = PGCreateSelectionCursor();
        break;
    case TPGCursorKind::MoveSelection:
        c = PGMoveSelectionCursor();
        break;
    case TPGCursorKind::SizeVer:
        c = QCursor(Qt::SizeVerCursor);
        break;
    case TPGCursorKind::SizeHor:
        c = QCursor(Qt::SizeHorCursor);
        break;
    case TPGCursorKind::SizeFDiag:
        c = QCursor(Qt::SizeFDiagCursor);
        break;
    case TPGCursorKind::SizeBDiag:
        c = QCursor(Qt::SizeBDiagCursor);
        break;
    }
    if (PicBoxOnSetCursor()) PicBoxOnSetCursor()(picBox_, c);
    picBox_->setCursor(c);
}

bool TPGImage::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::Enter || e->type() == QEvent::MouseMove) {
        const QPoint pos = e->type() == QEvent::MouseMove
                               ? static_cast<QMouseEvent*>(e)->position().toPoint()
                               : viewport()->mapFromGlobal(QCursor::pos());
        UpdateCursor(pos);
    }
    return QScrollArea::viewportEvent(e);
}
