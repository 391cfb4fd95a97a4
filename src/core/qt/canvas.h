#pragma once
// TPGCanvas: the drawing surface of one picture, a QPainter on a 32-bit
// QImage that mirrors the picture's pixels. Drawing goes into the image;
// "flushing" writes it back into the picture's store (palette pictures through
// NearestPaletteIndex, keeping the index of every pixel whose colour did not
// change). The picture flushes before any direct pixel access and releases
// the canvas before a change of format or palette, so the next drawing starts
// from the current pixels and colour table.

#include <QImage>
#include <QPainter>
#include <functional>
#include <memory>

#include "core/pixelgraphic.h"

class TPGCanvas : public TPGCanvasBase {
  public:
    explicit TPGCanvas(TPixelGraphic& picture) : picture_(picture) {}
    ~TPGCanvas() override;
    TPGCanvas(const TPGCanvas&) = delete;
    TPGCanvas& operator=(const TPGCanvas&) = delete;

    // The painter to draw with, valid until the picture's next direct pixel
    // access (which flushes) or change of format or palette. Null for an
    // empty picture.
    QPainter* Painter();
    // Runs `draw` on the painter, then tells the picture it changed (as each
    // drawing call of a canvas does), so views showing it follow.
    void Draw(const std::function<void(QPainter&)>& draw);

    void Flush() override;
    void ReleaseHandle() override;
    bool HasHandle() const { return bool(painter_); }

  private:
    void CreateHandle();
    void WriteBack();

    TPixelGraphic& picture_;
    QImage image_;
    std::unique_ptr<QPainter> painter_;
};

// Makes every picture's Canvas() a TPGCanvas. Idempotent; the view and the
// program call it at start.
void InstallPGCanvas();

// The picture's canvas as a TPGCanvas (installs the factory when needed).
TPGCanvas* PGCanvas(TPixelGraphic& picture);
