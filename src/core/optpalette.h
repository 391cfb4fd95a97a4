#pragma once
// Palette optimisation: median cut for 24-bit sources, octree for palette
// sources, optionally followed by the 16 system colours.

class TPixelGraphic;

// Gives `dest` (whose pixel format the caller has set) a palette of at most
// `n` colours chosen for the pixels of `source`.
void BuildOptimizedPalette(TPixelGraphic& dest, TPixelGraphic& source, int n, bool withSystemColors);
