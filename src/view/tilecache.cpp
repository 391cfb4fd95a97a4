#include "view/tilecache.h"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "core/qt/drawing.h"

void TPGTileCache::Invalidate() {
    tiles_.clear();
    bytes_ = 0;
    picture_ = nullptr;
}

namespace {
uint64_t Key(int tx, int ty, bool flipH, bool flipV) {
    return (uint64_t(uint32_t(tx)) << 34) | (uint64_t(uint32_t(ty)) << 2) | (flipH ? 2u : 0u) |
           (flipV ? 1u : 0u);
}
} // namespace

const QImage& TPGTileCache::Tile(const TPixelGraphic& pg, int tx, int ty, bool flipH, bool flipV) {
    Entry& e = tiles_[Key(tx, ty, flipH, flipV)];
    e.lastUse = clock_;
    if (e.image.isNull()) {
        const QRect area = QRect(tx * kTile, ty * kTile, kTile, kTile) & QRect(0, 0, pw_, ph_);
        e.image = QImage(area.size(), QImage::Format_RGB32);
        if (e.image.isNull()) return e.image;
        PGSampleRGB32(pg, e.image, area, pw_, ph_, flipH, flipV);
        e.image.setDevicePixelRatio(ratio_);
        bytes_ += e.image.sizeInBytes();
        ++tilesMade_;
    }
    return e.image;
}

void TPGTileCache::Evict() {
    // Tiles of the paint under way (lastUse == clock_) stay.
    while (bytes_ > budget_) {
        auto oldest = tiles_.end();
        for (auto it = tiles_.begin(); it != tiles_.end(); ++it)
            if (it->second.lastUse < clock_ &&
                (oldest == tiles_.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        if (oldest == tiles_.end()) return;
        bytes_ -= oldest->second.image.sizeInBytes();
        tiles_.erase(oldest);
    }
}

void TPGTileCache::Draw(QPainter& painter, const TPixelGraphic& pg, const QRect& P, bool flipH,
                        bool flipV, const QRect& exposed, qreal ratio) {
    if (pg.GetEmpty() || pg.GetWidth() <= 0 || pg.GetHeight() <= 0 || P.width() <= 0 ||
        P.height() <= 0)
        return;
    pg.FlushCanvas();
    if (&pg != picture_ || pg.PaletteRevision() != paletteRevision_ || P.width() != pw_ ||
        P.height() != ph_ || pg.GetWidth() != w_ || pg.GetHeight() != h_ ||
        pg.PixelFormat() != format_ || ratio != ratio_) {
        Invalidate();
        picture_ = &pg;
        paletteRevision_ = pg.PaletteRevision();
        pw_ = P.width();
        ph_ = P.height();
        w_ = pg.GetWidth();
        h_ = pg.GetHeight();
        format_ = pg.PixelFormat();
        ratio_ = ratio;
    }
    ++clock_;
    // Exposed part of P, in paint-box coordinates.
    const QRect vis = (exposed & P).translated(-P.topLeft());
    if (vis.isEmpty()) return;
    const int tx0 = vis.left() / kTile, tx1 = vis.right() / kTile;
    const int ty0 = vis.top() / kTile, ty1 = vis.bottom() / kTile;
    for (int ty = ty0; ty <= ty1; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) {
            const QImage& img = Tile(pg, tx, ty, flipH, flipV);
            if (img.isNull()) continue;
            // A tile carrying the ratio covers its device pixels exactly when
            // placed at its device position divided by the ratio.
            painter.drawImage(QPointF((P.left() + tx * kTile) / ratio, (P.top() + ty * kTile) / ratio),
                              img);
        }
    Evict();
}
