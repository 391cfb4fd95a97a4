#pragma once
// The two colour reductions behind BuildOptimizedPalette. Each scans the
// source once (reporting progress through dest's OnProgress) and returns at
// most `m` colours.

#include <vector>

#include "core/types.h"

class TPixelGraphic;

// Median cut over a 32 x 64 x 32 histogram of a 24-bit source.
std::vector<TRGB> MedianCutPalette(TPixelGraphic& dest, const TPixelGraphic& source, int m);
// Octree over the palette colours a 1-, 4- or 8-bit source uses.
std::vector<TRGB> OctreePalette(TPixelGraphic& dest, const TPixelGraphic& source, int m);
