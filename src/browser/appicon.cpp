#include "browser/appicon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage DrawTavirloIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0); // drawn on a 64 x 64 grid

    // A picture in a frame, tilted a little, on the program's amber tile.
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(252, 176, 64));
    tile.setColorAt(1, QColor(214, 110, 24));
    p.setPen(QPen(QColor(150, 70, 10), 1.2));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    p.save();
    p.translate(32, 33);
    p.rotate(-8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRect(QRectF(-21, -16, 44, 34)); // shadow
    p.setBrush(Qt::white);
    p.drawRect(QRectF(-23, -18, 44, 34)); // frame
    QLinearGradient sky(0, -15, 0, 12);
    sky.setColorAt(0, QColor(40, 110, 200));
    sky.setColorAt(1, QColor(150, 205, 245));
    p.setBrush(sky);
    const QRectF pic(-20, -15, 38, 28);
    p.drawRect(pic);
    p.setClipRect(pic);
    p.setBrush(QColor(255, 236, 120));
    p.drawEllipse(QPointF(8, -6), 4.5, 4.5); // sun
    QPainterPath hills;
    hills.moveTo(-21, 14);
    hills.lineTo(-10, -2);
    hills.lineTo(-3, 6);
    hills.lineTo(5, -3);
    hills.lineTo(19, 14);
    hills.closeSubpath();
    p.setBrush(QColor(46, 130, 70));
    p.drawPath(hills);
    p.restore();
    p.end();
    return img;
}

QIcon TavirloIcon() {
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128})
        drawn.addPixmap(QPixmap::fromImage(DrawTavirloIcon(size)));
    return QIcon::fromTheme(QStringLiteral("tavirlo"), drawn);
}
