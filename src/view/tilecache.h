#pragma once
// The view's display tiles: the picture as it appears at the current paint
// size (stretched without smoothing, mirrored when asked), in 32-bit tiles of
// 128 x 128 made the first time a tile is exposed and kept for later paints,
// so a repaint or a scroll is a copy of ready pixels. Only tiles that are
// exposed are ever made; the least recently used go beyond a memory budget.
// Sizes and positions are in device pixels: on a screen with a device pixel
// ratio the tiles carry that ratio and land on whole device pixels, so one
// tile pixel is one screen pixel and neighbouring tiles meet without seams.
// The owner calls Invalidate whenever the picture changes.

#include <QImage>
#include <QRect>
#include <cstdint>
#include <unordered_map>

#include "core/pixelgraphic.h"

class QPainter;

class TPGTileCache {
  public:
    static constexpr int kTile = 128;

    explicit TPGTileCache(int64_t budgetBytes = 64LL << 20) : budget_(budgetBytes) {}

    void Invalidate();

    // Draws `picture` stretched to P's size at P's position, mirrored as
    // asked, touching only the part inside `exposed`. P and `exposed` are in
    // device pixels of a painter whose device has `ratio` device pixels per
    // logical one.
    void Draw(QPainter& painter, const TPixelGraphic& picture, const QRect& P, bool flipH,
              bool flipV, const QRect& exposed, qreal ratio = 1.0);

    int64_t BytesHeld() const { return bytes_; }
    int TilesMade() const { return tilesMade_; }

  private:
    struct Entry {
        QImage image;
        uint64_t lastUse = 0;
    };
    const QImage& Tile(const TPixelGraphic& pg, int tx, int ty, bool flipH, bool flipV);
    void Evict();

    // What the tiles were made for; any difference drops them all.
    const TPixelGraphic* picture_ = nullptr;
    uint64_t paletteRevision_ = 0;
    int pw_ = -1, ph_ = -1, w_ = -1, h_ = -1;
    qreal ratio_ = 1.0;
    TPGPixelFormat format_ = pg24Bit;

    std::unordered_map<uint64_t, Entry> tiles_;
    int64_t budget_;
    int64_t bytes_ = 0;
    uint64_t clock_ = 0;
    int tilesMade_ = 0;
};
