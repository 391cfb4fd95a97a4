#pragma once
// Conversion between a picture and a QImage, the framework bitmap of this
// program. 1-bit pictures become Format_Mono, 4- and 8-bit pictures
// Format_Indexed8 with their palette (a 4-bit picture is tagged so it comes
// back as 4 bits), 24-bit pictures Format_RGB32.

#include <QImage>

#include "core/pixelgraphic.h"

// Text key of the tag that marks an Indexed8 image made from a 4-bit picture.
inline constexpr const char* kPGBitsPerPixelKey = "TavBitsPerPixel";

// Replaces the picture with the image's pixels and palette; Gamma becomes
// DisplayGamma, the palette is identified, and the picture reports the change.
// A null image empties the picture.
void AssignFromBitmap(TPixelGraphic& picture, const QImage& bitmap);

// Gives the bitmap a copy of the picture's pixels and palette (a null image
// for an empty picture).
void AssignToBitmap(const TPixelGraphic& picture, QImage& bitmap);
