// BuildOptimizedPalette: a palette of at most N colours for a source picture.

#include "core/optpalette.h"

#include <algorithm>

#include "core/optpalette_parts.h"
#include "core/palettes.h"
#include "core/pixelgraphic.h"

void BuildOptimizedPalette(TPixelGraphic& dest, TPixelGraphic& source, int n,
                           bool withSystemColors) {
    dest.FlushCanvas();
    const int m = withSystemColors ? n - 16 : n;
    if (source.GetWidth() < 1 || source.GetHeight() < 1 || source.GetEmpty() || m < 1) {
        dest.SetPaletteIdent(pSys16);
        dest.SetPaletteCount(std::min(n, 16));
        return;
    }
    dest.SetPaletteCount(0);
    std::vector<TRGB> colors = source.PixelFormat() == pg24Bit ? MedianCutPalette(dest, source, m)
                                                               : OctreePalette(dest, source, m);
    // The system colours go last, so windows and icons drawn with them stay
    // exact; a palette never grows past 256 entries.
    const size_t limit = size_t(std::clamp(n, 0, 256));
    if (withSystemColors)
        for (size_t i = 0; i < Sys16Palette.size() && colors.size() < limit; ++i)
            colors.push_back(Sys16Palette[i]);
    if (colors.size() > 256) colors.resize(256);
    dest.SetPaletteCount(int(colors.size()));
    for (size_t i = 0; i < colors.size(); ++i)
        dest.SetPaletteEntry(int(i), colors[i]);
}
