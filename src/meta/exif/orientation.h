#pragma once
// Turning a picture upright by the orientation its camera recorded (the
// EXIF orientation values 1 to 8: 1 as stored, 2 to 4 mirrored or turned
// half round, 5 to 8 with rows and columns swapped).

#include <memory>

#include "core/pixelgraphic.h"

// Applies `orientation` to `picture`; the flips work in place, the quarter
// turns replace the picture with a new one. The picture's metadata goes
// along, its EXIF Orientation set to 1 (upright). Values outside 2..8 change
// nothing.
void ApplyExifOrientation(std::unique_ptr<TPixelGraphic>& picture, int orientation);
