#pragma once
// Colour resolution: the picture in 1, 4, 8 or 24 bits per pixel with one of
// the fixed palettes or an optimised one, mapped with or without error
// diffusion and RGB weighting. The rules of the colour resolution dialog
// (which choice goes with which depth, when OK is allowed) live here too, so
// the dialog and tavtool share them.

#include <memory>
#include <string>

#include "core/types.h"

class TPixelGraphic;

// The palette choices, by depth; crTrue is 24 bits (no palette).
enum TColorRezChoice : uint8_t {
    crzBlackWhite,   // 1 bit
    crzOptimized2,   // 1 bit, optimised 2 colours
    crzGray4,        // 4 bits
    crzSysGray4,     //
    crzGray16,       //
    crzSys16,        //
    crzOptimized16,  // 4 bits, optimised, count from the 4-bit edit
    crzGray236,      // 8 bits
    crzGray256,      //
    crzSpecial125,   //
    crzSpecial216,   //
    crzSpecial252,   //
    crzOptimized256, // 8 bits, optimised, count from the 8-bit edit, system colours optional
    crzTrueColor,    // 24 bits
};

// The pixel format of a choice.
TPGPixelFormat ColorRezFormat(TColorRezChoice choice);
// The fixed palette identity of a choice; pNone for the optimised ones and
// pTrueColor for 24 bits.
TPaletteIdent ColorRezIdent(TColorRezChoice choice);
bool ColorRezOptimized(TColorRezChoice choice);
// The depth's default choice (the one the dialog checks first).
TColorRezChoice ColorRezDefault(TPGPixelFormat depth);

struct TColorRezOptions {
    TColorRezChoice choice = crzTrueColor;
    int colors = 0;            // optimised choices: 2..2 (1 bit), 2..16, 2..256
    bool systemColors = false; // 8-bit optimised: add the 16 system colours
    bool dither = true;
    bool rgbWeighting = true;
};

// A colour count typed into the dialog: blanks around it are ignored, the
// rest must be a whole number from lo to hi.
bool ParseColorCount(const std::string& text, int lo, int hi, int& count);
// OK is enabled when both counts are valid (the 4-bit from 2 to 16, the
// 8-bit from 2 to 256), whichever choice is selected.
bool ColorRezCountsValid(const std::string& count4, const std::string& count8);

// The source converted; raises with the library's message when the options
// are invalid or the conversion fails (the source is never touched).
std::unique_ptr<TPixelGraphic> ColorResolutionPicture(TPixelGraphic& source,
                                                      const TColorRezOptions& options);
