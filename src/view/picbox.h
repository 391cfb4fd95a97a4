#pragma once
// TPicBox: the paint box inside the image view control. Its size is the
// paint size and its position the picture's position; the control draws the
// picture underneath it, the box itself only draws what goes on top (the
// selection frame) and passes mouse events on.

#include <QCursor>
#include <QWidget>
#include <functional>

#include "core/types.h"

class QMimeData;

using TPGMouseEvent = std::function<void(TObject* Sender, Qt::MouseButton Button,
                                         Qt::KeyboardModifiers Shift, int X, int Y)>;
using TPGNotify = std::function<void(TObject* Sender)>;
using TPGPaintHook = std::function<void(TObject* Sender, QPainter& painter)>;
// Drag and drop onto the paint box: Source is the widget the drag came from
// (null from other programs); DragOver sets Accept.
using TPGDragOverEvent = std::function<void(TObject* Sender, QObject* Source, int X, int Y,
                                            const QMimeData* Data, bool& Accept)>;
using TPGDragDropEvent =
    std::function<void(TObject* Sender, QObject* Source, int X, int Y, const QMimeData* Data)>;
// Lets the owner choose the cursor shown over the paint box.
using TPGSetCursorEvent = std::function<void(TObject* Sender, QCursor& Cursor)>;

class TPicBox : public QWidget, public TObject {
  public:
    explicit TPicBox(QWidget* parent);

    // The user's events.
    TPGMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;
    TPGNotify OnClick, OnDblClick, OnPaint;
    TPGDragOverEvent OnDragOver;
    TPGDragDropEvent OnDragDrop;
    TPGSetCursorEvent OnSetCursor;
    // Accepts drops once a drop handler is set.
    void UpdateAcceptDrops() { setAcceptDrops(bool(OnDragOver) || bool(OnDragDrop)); }
    // Handlers the view control installs: its own run before the user's on
    // mouse down and move, after the user's on mouse up; its paint (the
    // selection frame) before the user's.
    TPGMouseEvent InternalMouseDown, InternalMouseMove, InternalMouseUp;
    TPGPaintHook InternalPaint;
    // Replaces the cursor handling on entering when set.
    std::function<void()> InternalEnter;
    // Buttons held during the mouse event being handled.
    Qt::MouseButtons Buttons() const { return buttons_; }
    // The position of the mouse event being handled with its fractions (on a
    // screen with a device pixel ratio a pointer moves by device pixels,
    // finer than the whole logical pixels the events pass on).
    QPointF EventPosition() const { return eventPos_; }

    int Tag() const { return tag_; }
    void SetTag(int t) { tag_ = t; }
    QColor Color() const { return color_; }
    void SetColor(const QColor& c) { color_ = c; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void enterEvent(QEnterEvent* e) override;

  private:
    int tag_ = 0;
    QColor color_;
    bool pressed_ = false;
    Qt::MouseButtons buttons_;
    QPointF eventPos_;
};
