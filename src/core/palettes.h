#pragma once
// The library's standard palettes and the tables that make nearest-colour
// lookups in them cheap.

#include <array>
#include <cstdint>
#include <vector>

#include "core/types.h"

// The 16 system colours in their fixed order.
extern const std::array<TRGB, 16> Sys16Palette;
// The fixed 252-colour table.
extern const std::array<TRGB, 252> Special252Palette;

// The palette SetPaletteIdent installs for `p`; empty for pNone, pTrueColor,
// and for the identities whose entries are kept (pUnknown, pOptimized252Sys16,
// pSource).
std::vector<TRGB> StandardPalette(TPaletteIdent p);

// Squared RGB distance.
inline int ColorDistance2(TRGB a, TRGB b) {
    int dr = GetRValue(a) - GetRValue(b), dg = GetGValue(a) - GetGValue(b),
        db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

// Closed-form and table lookups of NearestPaletteIndex for the fixed palettes.
int NearestSys16(TRGB c);
int NearestSpecial252(TRGB c);
int NearestGray236(int w);
// Exact nearest entry (lowest index on a tie) by a full search.
int NearestBySearch(const TRGB* palette, int count, TRGB c);
