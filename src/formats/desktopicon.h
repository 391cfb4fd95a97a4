#pragma once
// Icons as the desktop shows them, for the browser's preview: every image
// kind in use today (1, 4, 8, 24 and 32 bits with masks or alpha, and
// PNG-compressed images, sizes up to 256), the largest size with the greatest
// depth chosen, transparent pixels composited over a background colour.
// The library's icon reader keeps its own, narrower rules for its callers.

#include <cstdint>

#include "core/types.h"

class TStream;
class TPixelGraphic;

// Loads the icon or cursor file in `stream` into `picture` as a 24-bit
// picture composited over `background`. False, with the picture untouched,
// when the data is not an icon directory or none of its images can be read.
bool LoadDesktopIcon(TStream& stream, TRGB background, TPixelGraphic& picture);
