#include "platform/windowplace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

QRect StoredWindowRect(long long left, long long top, long long width, long long height) {
    constexpr long long kFar = 1 << 24, kWide = 1 << 20;
    return QRect(int(std::clamp(left, -kFar, kFar)), int(std::clamp(top, -kFar, kFar)),
                 int(std::clamp(width, 0LL, kWide)), int(std::clamp(height, 0LL, kWide)));
}

QRect FitWindowRect(const QRect& wanted, const QRect& available, QSize minimum, QSize fallbackMax) {
    // 64-bit on the way: stored numbers near INT_MAX must not wrap.
    const QSize cap = available.isEmpty() ? fallbackMax : available.size();
    auto fit = [](long long v, int lo, int hi) {
        lo = std::min(lo, hi);
        return int(std::clamp<long long>(v, lo, hi));
    };
    const int w = fit(wanted.width(), minimum.width(), cap.width());
    const int h = fit(wanted.height(), minimum.height(), cap.height());
    if (available.isEmpty()) return {wanted.topLeft(), QSize(w, h)};
    const int x =
        fit(wanted.x(), available.left(), int(available.left() + (long long)available.width() - w));
    const int y =
        fit(wanted.y(), available.top(), int(available.top() + (long long)available.height() - h));
    return {x, y, w, h};
}

QRect FirstWindowRect(const QRect& available, QSize minimum) {
    if (available.isEmpty()) return {QPoint(0, 0), minimum};
    const int w =
        std::min(available.width(), std::max(minimum.width(), available.width() * 7 / 10));
    const int h =
        std::min(available.height(), std::max(minimum.height(), available.height() * 7 / 10));
    return {available.left() + (available.width() - w) / 2,
            available.top() + (available.height() - h) / 2, w, h};
}

int FitSplitterPos(int pos, int total, int minFirst, int minSecond) {
    if (total <= 0) return std::max(0, std::min(pos, minFirst));
    const int hi = std::max(0, total - minSecond);
    const int lo = std::min(minFirst, hi);
    return std::clamp(pos, lo, hi);
}

QRect AvailableAreaFor(const QRect& r) {
    QRect best;
    long long bestArea = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect a = s->availableGeometry();
        const QRect hit = a.intersected(r);
        const long long area = (long long)hit.width() * hit.height();
        if (area > bestArea) bestArea = area, best = a;
    }
    if (best.isEmpty() && QGuiApplication::primaryScreen())
        best = QGuiApplication::primaryScreen()->availableGeometry();
    return best;
}

void CentreOnScreen(QWidget* w) {
    QScreen* s = w->screen();
    if (!s && w->parentWidget()) s = w->parentWidget()->screen();
    if (!s) s = QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    // Room for the frame the window manager adds (title bar and edges),
    // which is not known before the window is first mapped.
    const int top = std::max(0, w->geometry().top() - w->frameGeometry().top());
    const int titleRoom = top > 0 ? top : w->style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    const QSize most(area.width() - 8, area.height() - titleRoom - 8);
    QSize size = w->size();
    if (size.width() > most.width() || size.height() > most.height()) {
        size = size.boundedTo(most).expandedTo(w->minimumSize());
        if (w->minimumSize() != w->maximumSize()) w->resize(size);
    }
    const int x = area.left() + std::max(0, (area.width() - w->width()) / 2);
    // (A window's position is its frame's.)
    const int y = area.top() + std::max(0, (area.height() - titleRoom - w->height()) / 2);
    w->move(x, y);
}

void PlaceOnScreen(QWidget* w) {
    // Once: later showings keep where the user put the window.
    if (w->property("tavPlaced").toBool()) return;
    w->setProperty("tavPlaced", true);
    CentreOnScreen(w);
}
