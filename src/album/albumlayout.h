#pragma once
// The album's printed pages without widgets: the grid of cells on a page,
// the frame a picture takes in its cell, the picture turned by its rotation,
// and the picture resampled for the page at the chosen quality.

#include <QRect>
#include <QString>
#include <memory>
#include <vector>

class TPixelGraphic;

// Cells of R rows and C columns, row by row, inside the margins (device
// pixels). Empty for R or C below 1 or a page smaller than its margins.
std::vector<QRect> AlbumPageCells(QSize page, int left, int top, int right, int bottom, int rows,
                                  int columns);

// The picture's rectangle in `cell`: the cell less `border` on every side,
// keeping `ratio` (height / width), centred; sides rounded half to even.
// Empty when nothing is left (a border wider than the cell).
QRect AlbumFrameRect(const QRect& cell, double ratio, int border);

// The picture of `path` turned clockwise by `rotation` quarter turns, exact
// size; raises "Error Rotating Image" when it cannot be turned. `loadHint`
// (pixels, 0 none) lets a large JPEG be decoded reduced, both sides still at
// least that long.
std::unique_ptr<TPixelGraphic> AlbumRotatedPicture(const QString& path, int rotation,
                                                   int loadHint = 0);

// The picture resampled for a frame of `frame` device pixels at the printer's
// resolution: 150, 200 or 250 pixels per inch for quality 0, 1, 2 (fast
// stretching for 0). Null when a side would be 0.
std::unique_ptr<TPixelGraphic> AlbumResampled(TPixelGraphic& picture, QSize frame, int dpiX,
                                              int dpiY, int quality);
