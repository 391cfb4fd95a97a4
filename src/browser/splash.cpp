#include "browser/splash.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

TSplash::TSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("Splash");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(596, 147);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TSplash::ShowNow() {
    show();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // A zero timer fires only once the loop runs; it starts the real delay.
    QTimer::singleShot(0, this, [this] { QTimer::singleShot(kDelayMs, this, &QWidget::close); });
}

void TSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width(), height());
    g.setColorAt(0, QColor(20, 40, 90));
    g.setColorAt(1, QColor(120, 40, 110));
    p.fillRect(rect(), g);
    // A few "slides" in a fan, the program's trade.
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(70 + i * 28, 74);
        p.rotate(-18 + i * 18);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(QColor::fromHsv((200 + i * 50) % 360, 160, 230));
        p.drawRect(-28, -36, 56, 72);
        p.restore();
    }
    p.setPen(Qt::white);
    QFont f = font();
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(170, 20, 410, 60), Qt::AlignLeft | Qt::AlignVCenter, "Tavirlo 7.8");
    f.setPixelSize(18);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(172, 82, 410, 30), Qt::AlignLeft | Qt::AlignVCenter, "by Ambertide Software");
    p.setPen(QColor(255, 255, 255, 160));
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(QRect(172, 112, 410, 24), Qt::AlignLeft | Qt::AlignVCenter,
               "Browse, view, edit and publish your pictures");
}
