#include "core/qt/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include <QPaintEngine>

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
// Source index of paint position p when S picture pixels span P paint pixels:
// the pixel under the centre of the paint pixel.
inline int SourceOf(int64_t p, int64_t S, int64_t P) {
    return int(((2 * p + 1) * S) / (2 * P));
}
} // namespace

void PGSampleRGB32(const TPixelGraphic& pg, QImage& img, const QRect& area, int pw, int ph,
                   bool flipH, bool flipV) {
    const int W = pg.GetWidth(), H = pg.GetHeight();
    if (pg.GetEmpty() || W <= 0 || H <= 0 || pw <= 0 || ph <= 0 || img.isNull()) return;
    const QVector<QRgb> table = pg.PixelFormat() == pg24Bit ? QVector<QRgb>() : PGColorTable(pg);
    const uint8_t* bits = pg.Bits();
    const int64_t rowBytes = pg.RowBytes();
    const int n = std::min(area.width(), img.width());
    // Source column of every output column, worked out once.
    std::vector<int> sx(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        const int p = area.left() + i;
        sx[size_t(i)] = SourceOf(flipH ? pw - 1 - p : p, W, pw);
    }
    for (int j = 0; j < std::min(area.height(), img.height()); ++j) {
        const int p = area.top() + j;
        const int y = SourceOf(flipV ? ph - 1 - p : p, H, ph);
        const uint8_t* s = bits + int64_t(H - 1 - y) * rowBytes; // bottom row first
        auto* d = reinterpret_cast<QRgb*>(img.scanLine(j));
        switch (pg.PixelFormat()) {
        case pg1Bit:
            for (int i = 0; i < n; ++i)
                d[i] = table[(s[sx[i] >> 3] >> (7 - (sx[i] & 7))) & 1];
            break;
        case pg4Bit:
            for (int i = 0; i < n; ++i)
                d[i] = table[sx[i] & 1 ? s[sx[i] >> 1] & 15 : s[sx[i] >> 1] >> 4];
            break;
        case pg8Bit:
            for (int i = 0; i < n; ++i)
                d[i] = table[s[sx[i]]];
            break;
        default:
            if (!flipH && n > 0 && sx[n - 1] - sx[0] == n - 1) {
                // 1:1 columns: a straight run of pixels.
                // Blue, green, red bytes read as one little-endian word are
                // the 32-bit pixel once the top byte is set; the last pixel is
                // read bytewise so no read passes the end of the store.
                const uint8_t* q = s + int64_t(sx[0]) * 3;
                for (int i = 0; i < n - 1; ++i, q += 3) {
                    uint32_t v;
                    std::memcpy(&v, q, 4);
                    d[i] = 0xFF000000u | v;
                }
                d[n - 1] = 0xFF000000u | (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
            } else {
                // A word read stays inside the store except at the very last
                // pixel of a row, which is read bytewise.
                for (int i = 0; i < n; ++i) {
                    const uint8_t* q = s + int64_t(sx[i]) * 3;
                    if (sx[i] < W - 1) {
                        uint32_t v;
                        std::memcpy(&v, q, 4);
                        d[i] = 0xFF000000u | v;
                    } else {
                        d[i] = 0xFF000000u | (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
                    }
                }
            }
        }
    }
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

    // On a pixel surface without scaling or rotation, the visible part is
    // sampled straight into a 32-bit image of its size: it costs what is
    // shown, whatever the zoom.
    const QTransform t = painter.combinedTransform();
    if (painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
        t.type() <= QTransform::TxTranslate && t.dx() == std::trunc(t.dx()) &&
        t.dy() == std::trunc(t.dy())) {
        const QRect area = vis.toAlignedRect() & rect;
        if (area.isEmpty()) return;
        QImage part(area.size(), QImage::Format_RGB32);
        if (part.isNull()) return;
        PGSampleRGB32(pg, part, area.translated(-rect.topLeft()), rect.width(), rect.height(),
                      flipH, flipV);
        painter.save();
        painter.setCompositionMode(mode);
        painter.drawImage(area.topLeft(), part);
        painter.restore();
        return;
    }
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
            for (int x = sx0; x < sx1; ++x)
                d[x - sx0] = x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15;
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
