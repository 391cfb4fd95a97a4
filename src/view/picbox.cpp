#include "view/picbox.h"

#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>

TPicBox::TPicBox(QWidget* parent) : QWidget(parent) {
    // Windowless in spirit: no background of its own, so the picture the
    // control paints underneath shows through.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    color_ = palette().color(QPalette::Window);
}

void TPicBox::paintEvent(QPaintEvent*) {
    if (!InternalPaint && !OnPaint) return;
    QPainter p(this);
    if (InternalPaint) InternalPaint(this, p);
    if (OnPaint) OnPaint(this);
}

void TPicBox::mousePressEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    eventPos_ = e->position();
    buttons_ = e->buttons();
    if (e->button() == Qt::LeftButton) pressed_ = true;
    if (InternalMouseDown) InternalMouseDown(this, e->button(), e->modifiers(), pt.x(), pt.y());
    if (OnMouseDown) OnMouseDown(this, e->button(), e->modifiers(), pt.x(), pt.y());
}

void TPicBox::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    eventPos_ = e->position();
    buttons_ = e->buttons();
    if (InternalMouseMove) InternalMouseMove(this, Qt::NoButton, e->modifiers(), pt.x(), pt.y());
    if (OnMouseMove) OnMouseMove(this, Qt::NoButton, e->modifiers(), pt.x(), pt.y());
}

void TPicBox::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    eventPos_ = e->position();
    buttons_ = e->buttons();
    if (OnMouseUp) OnMouseUp(this, e->button(), e->modifiers(), pt.x(), pt.y());
    if (InternalMouseUp) InternalMouseUp(this, e->button(), e->modifiers(), pt.x(), pt.y());
    if (e->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        if (rect().contains(pt) && OnClick) OnClick(this);
    }
}

void TPicBox::mouseDoubleClickEvent(QMouseEvent* e) {
    mousePressEvent(e);
    if (OnDblClick) OnDblClick(this);
}

void TPicBox::dragEnterEvent(QDragEnterEvent* e) { dragMoveEvent(e); }

void TPicBox::dragMoveEvent(QDragMoveEvent* e) {
    bool accept = bool(OnDragDrop);
    const QPoint pt = e->position().toPoint();
    if (OnDragOver) OnDragOver(this, e->source(), pt.x(), pt.y(), e->mimeData(), accept);
    if (accept)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TPicBox::dropEvent(QDropEvent* e) {
    const QPoint pt = e->position().toPoint();
    if (OnDragDrop) OnDragDrop(this, e->source(), pt.x(), pt.y(), e->mimeData());
    e->acceptProposedAction();
}

void TPicBox::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    if (InternalEnter) {
        InternalEnter();
        return;
    }
    if (!OnSetCursor) return;
    QCursor c = cursor();
    OnSetCursor(this, c);
    setCursor(c);
}
