#include "core/qt/drawing.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

QVector<QRgb> PGColorTable(const TPixelGraphic& pg) {
    const int colors = pg.ColorCount();
    QVector<QRgb> table(colors, qRgb(0, 0, 0));
    const auto& pal = pg.Palette();
    if (pal.empty()) return table;
    for (int i = 0; i < colors; ++i) {
        const TRGB c = pal[size_t(i < int(pal.size()) ? i : 0)];
        table[i] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
    return table;
}

QImage PGWrapRows(const TPixelGraphic& pg) {
    if (pg.GetEmpty() || pg.GetWidth() <= 0 || pg.GetHeight() <= 0) return {};
    const uchar* bits = pg.Bits();
    const qsizetype bpl = qsizetype(pg.RowBytes());
    QImage img;
    switch (pg.PixelFormat()) {
    case pg1Bit:
        img = QImage(bits, pg.GetWidth(), pg.GetHeight(), bpl, QImage::Format_Mono);
        img.setColorTable(PGColorTable(pg));
        break;
    case pg8Bit:
        img = QImage(bits, pg.GetWidth(), pg.GetHeight(), bpl, QImage::Format_Indexed8);
        img.setColorTable(PGColorTable(pg));
        break;
    case pg24Bit:
        img = QImage(bits, pg.GetWidth(), pg.GetHeight(), bpl, QImage::Format_BGR888);
        break;
    default:
        break;
    }
    return img;
}

namespace {
// The part of the painter's surface, in its logical coordinates, that can
// receive pixels.
QRectF VisibleArea(const QPainter& p, const QRect& rect) {
    QRectF vis = rect;
    if (p.hasClipping()) vis &= p.clipBoundingRect();
    if (const QPaintDevice* dev = p.device()) {
        bool ok = false;
        const QTransform inv = p.combinedTransform().inverted(&ok);
        if (ok) vis &= inv.mapRect(QRectF(0, 0, dev->width(), dev->height()));
    }
    return vis;
}
} // namespace

void DrawToDC(const TPixelGraphic& pg, QPainter& painter, const QRect& rect, bool forceBackground,
              bool flipH, bool flipV, QPainter::CompositionMode mode) {
    (void)forceBackground;
    const int W = pg.GetWidth(), H = pg.GetHeight();
    if (pg.GetEmpty() || W <= 0 || H <= 0 || rect.width() <= 0 || rect.height() <= 0) return;
    pg.FlushCanvas();
    const QRectF vis = VisibleArea(painter, rect);
    if (vis.isEmpty()) return;
    const long double rw = rect.width(), rh = rect.height();

    // Picture columns and rows that land in the visible area, one pixel of
    // margin for the sampler's rounding.
    long double a = (vis.left() - rect.left()) * W / rw, b = (vis.right() - rect.left()) * W / rw;
    if (flipH) std::tie(a, b) = std::pair(W - b, W - a);
    const int sx0 = std::max(0, int(std::floor(a)) - 1), sx1 = std::min(W, int(std::ceil(b)) + 1);
    a = (vis.top() - rect.top()) * H / rh, b = (vis.bottom() - rect.top()) * H / rh;
    if (flipV) std::tie(a, b) = std::pair(H - b, H - a);
    const int py0 = std::max(0, int(std::floor(a)) - 1), py1 = std::min(H, int(std::ceil(b)) + 1);
    if (sx0 >= sx1 || py0 >= py1) return;
    // In the store (and the wrapping image) the rows run bottom up.
    const int wy0 = H - py1, wy1 = H - py0;

    QImage img;
    QRectF source;
    if (pg.PixelFormat() == pg4Bit) {
        img = QImage(sx1 - sx0, wy1 - wy0, QImage::Format_Indexed8);
        if (img.isNull()) return;
        img.setColorTable(PGColorTable(pg));
        const uint8_t* bits = pg.Bits();
        for (int r = wy0; r < wy1; ++r) {
            const uint8_t* s = bits + int64_t(r) * pg.RowBytes();
            uchar* d = img.scanLine(r - wy0);
            for (int x = sx0; x < sx1; ++x) d[x - sx0] = x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15;
        }
        source = QRectF(0, 0, sx1 - sx0, wy1 - wy0);
    } else {
        img = PGWrapRows(pg);
        source = QRectF(sx0, wy0, sx1 - sx0, wy1 - wy0);
    }

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(mode);
    // Local space: x runs over the picture's columns and y over the store's
    // rows, scaled to the rectangle; the store's row 0 is the picture's bottom.
    painter.translate(rect.left() + (flipH ? rect.width() : 0),
                      rect.top() + (flipV ? 0 : rect.height()));
    painter.scale(double((flipH ? -rw : rw) / W), double((flipV ? rh : -rh) / H));
    painter.drawImage(QRectF(sx0, wy0, sx1 - sx0, wy1 - wy0), img, source);
    painter.restore();
}
