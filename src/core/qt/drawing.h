#pragma once
// Drawing a picture into any QPainter: the store's rows are wrapped in a
// QImage without copying (1, 8 and 24 bits) and drawn upside down, since the
// store keeps its bottom row first. Only the part of the picture that lands
// inside the painter's clip is touched; 4-bit pictures, which Qt cannot read,
// have just that part unpacked to 8 bits.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QVector>

#include "core/pixelgraphic.h"

// The store's colour table: ColorCount entries, entry i = palette entry i,
// or entry 0 past the palette; all black for an empty palette.
QVector<QRgb> PGColorTable(const TPixelGraphic& picture);

// The store as a QImage over the same memory, bottom row first. Null for an
// empty or 4-bit picture. Valid only while the picture's store stays.
QImage PGWrapRows(const TPixelGraphic& picture);

// Fills `out` (Format_RGB32, area's size) with the part `area` of the
// picture as it appears stretched to PW x PH without smoothing, mirrored as
// asked: each device pixel shows the picture pixel under its centre.
void PGSampleRGB32(const TPixelGraphic& picture, QImage& out, const QRect& area, int PW, int PH,
                   bool flipHorizontal, bool flipVertical);

// Stretches the whole picture into `rect` without smoothing, mirrored when
// asked. Nothing happens for an empty picture or an empty rectangle.
// `forceBackground` is kept for callers that realise palettes elsewhere; Qt
// devices need no palette realisation.
void DrawToDC(const TPixelGraphic& picture, QPainter& painter, const QRect& rect,
              bool forceBackground = false, bool flipHorizontal = false, bool flipVertical = false,
              QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver);

// The framework's drawing entry point: DrawToDC forced to the background.
inline void Draw(const TPixelGraphic& picture, QPainter& painter, const QRect& rect) {
    DrawToDC(picture, painter, rect, true, false, false, painter.compositionMode());
}
