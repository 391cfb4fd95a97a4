// Drawn icons: made at the size and device pixel ratio asked for.

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>

#include "browser/drawnicon.h"

TEST(DrawnIcon, IsDrawnForTheDevicePixelsAskedFor) {
    // Design units alternate black and nothing: drawn, not enlarged, each
    // unit is exactly `ratio` device pixels of solid black or nothing.
    const QIcon icon = DrawnIcon([](QPainter& p) {
        for (int x = 0; x < 24; x += 2)
            p.fillRect(QRectF(x, 0, 1, 24), Qt::black);
    });
    for (qreal ratio : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE(ratio);
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            const QPixmap pm = icon.pixmap(QSize(24, 24), ratio, mode);
            EXPECT_EQ(pm.devicePixelRatio(), ratio);
            const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(img.size(), QSize(24, 24) * ratio);
            if (mode == QIcon::Disabled) continue; // the style's look
            for (int x = 0; x < img.width(); ++x)
                ASSERT_EQ(qAlpha(img.pixel(x, 5)), int(x / ratio) % 2 ? 0 : 255) << x;
        }
    }
}
