#pragma once
// The arithmetic of the image view control, free of widgets so it can be
// checked case by case: the paint size for a stretch rule, the paint box
// position, the automatic control size and the range of tiles to draw.

#include <QRect>
#include <QSize>

#include "view/viewtypes.h"

struct TPGPaintSize {
    int PW = 0, PH = 0;
    long double Z = 1.0L; // -1 when the axes are scaled differently
};

// imageW x imageH shown in an available area AW x AH; VS and HS are the
// widths of a vertical and a horizontal scroll bar.
TPGPaintSize PGPaintSize(int imageW, int imageH, int AW, int AH, int VS, int HS, TStretch stretch,
                         long double zoomFactor);

struct TPGPlacement {
    int left = 0, top = 0;
    bool hBar = false, vBar = false; // scroll bars the paint size needs
    int clientW = 0, clientH = 0;    // area left inside the bars
};

// Where the paint box goes and which scroll bars appear.
TPGPlacement PGPlacement(int PW, int PH, int AW, int AH, int VS, int HS, bool center);

// The automatic control size for a picture, bounded by min and max; B is the
// border thickness.
QSize PGAutoSize(int imageW, int imageH, int B, int VS, int HS, int minW, int minH, int maxW,
                 int maxH);

struct TPGTileRange {
    int firstCol = 0, lastCol = -1, firstRow = 0, lastRow = -1;
    bool IsEmpty() const { return lastCol < firstCol || lastRow < firstRow; }
};

// Tiles (column, row) of the paint box rectangle P needed to cover a client
// area of clientW x clientH. Without tiling only tile (0, 0); an empty P
// gives no tiles at all.
TPGTileRange PGTileRange(const QRect& P, int clientW, int clientH, TTiling tiling);

// Whether tile (i, j) is drawn mirrored horizontally / vertically.
bool PGTileFlipH(int i, TTiling tiling, bool flipHorizontal);
bool PGTileFlipV(int j, TTiling tiling, bool flipVertical);
