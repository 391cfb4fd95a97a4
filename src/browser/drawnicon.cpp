#include "browser/drawnicon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

namespace {

class TDrawnIconEngine : public QIconEngine {
  public:
    TDrawnIconEngine(std::function<void(QPainter&)> draw, int design)
        : draw_(std::move(draw)), design_(design) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal r = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size() * r, mode, state, r));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels (QIcon::pixmap passes the logical size
    // times `scale`).
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State,
                         qreal scale) override {
        // Square; drawn from the design at that size.
        const int side = std::min(size.width(), size.height());
        if (side <= 0) return QPixmap();
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            p.scale(qreal(side) / design_, qreal(side) / design_);
            draw_(p);
        }
        if (mode == QIcon::Disabled && qApp) {
            QStyleOption opt;
            opt.palette = QApplication::palette();
            pm = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pm, &opt);
        }
        pm.setDevicePixelRatio(scale);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QIconEngine* clone() const override { return new TDrawnIconEngine(draw_, design_); }

  private:
    std::function<void(QPainter&)> draw_;
    int design_;
};

} // namespace

QIcon DrawnIcon(std::function<void(QPainter&)> draw, int design) {
    return QIcon(new TDrawnIconEngine(std::move(draw), design));
}
