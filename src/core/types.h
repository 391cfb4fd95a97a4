#pragma once
// Basic types of the image library: colours, pixel formats, palette identities
// and the option enumerations every part of the library shares.

#include <cstdint>

// A colour laid out like a Windows COLORREF: red in bits 0-7, green 8-15, blue 16-23.
using TRGB = int32_t;

constexpr TRGB RGB(int r, int g, int b) { return TRGB(r & 255) | (TRGB(g & 255) << 8) | (TRGB(b & 255) << 16); }
constexpr int GetRValue(TRGB c) { return c & 255; }
constexpr int GetGValue(TRGB c) { return (c >> 8) & 255; }
constexpr int GetBValue(TRGB c) { return (c >> 16) & 255; }

enum TPGPixelFormat : uint8_t { pg1Bit = 0, pg4Bit = 1, pg8Bit = 2, pg24Bit = 3 };

enum TPaletteIdent : uint8_t {
    pNone = 0,
    pTrueColor = 1,
    pUnknown = 2,
    pBlackWhite = 3,
    pSysGray4 = 4,
    pSys16 = 5,
    pGray4 = 6,
    pGray16 = 7,
    pGray236 = 8,
    pGray256 = 9,
    pSpecial125 = 10,
    pSpecial216 = 11,
    pSpecial252 = 12,
    pOptimized252Sys16 = 13,
    pSource = 14,
};

enum TPGWarningAction : uint8_t { pgwaIgnore = 0, pgwaOKBox = 1, pgwaOKCancelBox = 2, pgwaRaise = 3 };

enum TStretchMode : uint8_t { smFast = 0, smMedium = 1, smPrecise = 2 };

enum TPGColorResolution : uint8_t {
    crBlackWhite = 0,
    cr2Colors = 1,
    cr16Grays = 2,
    cr16SysColors = 3,
    cr16Colors = 4,
    cr256Grays = 5,
    cr256Colors = 6,
    cr16M = 7,
};

// Bits per pixel of each pixel format, and the largest palette it can carry.
constexpr int PixelFormatBits(TPGPixelFormat f) {
    return f == pg1Bit ? 1 : f == pg4Bit ? 4 : f == pg8Bit ? 8 : 24;
}
constexpr int PixelFormatColors(TPGPixelFormat f) {
    return f == pg1Bit ? 2 : f == pg4Bit ? 16 : f == pg8Bit ? 256 : 0;
}

// Stands in for the framework's root class, so event handlers can be told who
// sent them (a picture, a reader, a writer) without knowing the exact type.
class TObject {
public:
    virtual ~TObject() = default;
};
