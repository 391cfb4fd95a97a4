#pragma once
// A picture stored inside other data (a window's saved state): a 4-byte
// little-endian length, then a whole BMP file of that length.

#include "core/pixelgraphic.h"

class TStream;

void WriteData(TPixelGraphic& picture, TStream& stream);

// Reads what WriteData wrote and leaves the stream just after it. A length
// past the end of the data, or a BMP that does not load, raises and leaves
// the picture as it was.
void ReadData(TPixelGraphic& picture, TStream& stream);
