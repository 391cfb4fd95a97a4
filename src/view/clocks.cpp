#include "view/clocks.h"

#include <QPainter>
#include <cmath>
#include <numbers>

TPGClockHands PGClockHands(int x, int y, int step, int percent) {
    const long double pi = std::numbers::pi_v<long double>;
    const long double a1 = percent * pi * 0.02L;
    const long double a2 = ((step - 1) * 2 * pi + a1) / 12;
    TPGClockHands h;
    h.centre = QPoint(x + 7, y + 7);
    h.hour = QPoint(h.centre.x() + int(std::nearbyint(std::sin(a2) * 6)),
                    h.centre.y() - int(std::nearbyint(std::cos(a2) * 6)));
    h.minute = QPoint(h.centre.x() + int(std::nearbyint(std::sin(a1) * 7)),
                      h.centre.y() - int(std::nearbyint(std::cos(a1) * 7)));
    return h;
}

void PGDrawProgressClocks(QPainter& p, const QRect& P, int step, int percent, bool fiveClocks,
                          const QColor& face, const QColor& line) {
    auto clock = [&](int x, int y) {
        p.setPen(line);
        p.setBrush(face);
        p.drawEllipse(QRect(x, y, 15, 15));
        const TPGClockHands h = PGClockHands(x, y, step, percent);
        p.drawLine(h.centre, h.hour);
        p.drawLine(h.centre, h.minute);
    };
    const int right = P.left() + P.width(), bottom = P.top() + P.height();
    if (P.width() > 20 && P.height() > 20)
        clock(P.left() + P.width() / 2 - 7, P.top() + P.height() / 2 - 7);
    if (fiveClocks && P.width() >= 101 && P.height() >= 101) {
        clock(P.left() + 5, P.top() + 5);
        clock(right - 20, P.top() + 5);
        clock(P.left() + 5, bottom - 20);
        clock(right - 20, bottom - 20);
    }
}
