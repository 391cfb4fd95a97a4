#include "view/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A cursor picture: black shapes with a white outline on transparency, so it
// shows on light and dark pictures alike.
template <class Draw> QCursor MakeCursor(int hotX, int hotY, Draw draw) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    draw(path);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.end();
    return QCursor(pm, hotX, hotY);
}

void Hand(QPainterPath& path, bool closed) {
    const int fingerTop = closed ? 9 : 4;
    // Four fingers, a palm and a thumb.
    for (int i = 0; i < 4; ++i)
        path.addRoundedRect(
            QRectF(9 + i * 4, fingerTop + (i == 0 || i == 3 ? 2 : 0), 3, closed ? 5 : 10), 1.5,
            1.5);
    path.addRoundedRect(QRectF(9, 13, 15, 10), 3, 3);
    if (!closed) path.addRoundedRect(QRectF(5, 13, 4, 7), 1.5, 1.5);
}

void Arrow(QPainterPath& path, QPointF tip, QPointF dir) {
    const QPointF side(-dir.y(), dir.x());
    path.moveTo(tip);
    path.lineTo(tip - dir * 4 + side * 3);
    path.lineTo(tip - dir * 4 - side * 3);
    path.closeSubpath();
}

} // namespace

// Made once and kept for the whole run (never destroyed after the
// application object is gone).
const QCursor& PGPanCursor() {
    static const QCursor* c =
        new QCursor(MakeCursor(16, 12, [](QPainterPath& p) { Hand(p, false); }));
    return *c;
}

const QCursor& PGPanningCursor() {
    static const QCursor* c =
        new QCursor(MakeCursor(16, 12, [](QPainterPath& p) { Hand(p, true); }));
    return *c;
}

const QCursor& PGCreateSelectionCursor() {
    static const QCursor* c = new QCursor(MakeCursor(15, 15, [](QPainterPath& p) {
        p.moveTo(15, 3);
        p.lineTo(15, 12);
        p.moveTo(15, 18);
        p.lineTo(15, 27);
        p.moveTo(3, 15);
        p.lineTo(12, 15);
        p.moveTo(18, 15);
        p.lineTo(27, 15);
        p.addRect(QRectF(19, 19, 8, 6));
    }));
    return *c;
}

const QCursor& PGMoveSelectionCursor() {
    static const QCursor* c = new QCursor(MakeCursor(16, 15, [](QPainterPath& p) {
        p.moveTo(16, 4);
        p.lineTo(16, 26);
        p.moveTo(5, 15);
        p.lineTo(27, 15);
        Arrow(p, QPointF(16, 3), QPointF(0, -1));
        Arrow(p, QPointF(16, 27), QPointF(0, 1));
        Arrow(p, QPointF(4, 15), QPointF(-1, 0));
        Arrow(p, QPointF(28, 15), QPointF(1, 0));
    }));
    return *c;
}
