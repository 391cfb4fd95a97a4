#include "processing/colorres.h"

#include <charconv>

#include "core/exceptions.h"
#include "core/optpalette.h"
#include "core/pixelgraphic.h"

TPGPixelFormat ColorRezFormat(TColorRezChoice c) {
    if (c <= crzOptimized2) return pg1Bit;
    if (c <= crzOptimized16) return pg4Bit;
    if (c <= crzOptimized256) return pg8Bit;
    return pg24Bit;
}

TPaletteIdent ColorRezIdent(TColorRezChoice c) {
    switch (c) {
    case crzBlackWhite:
        return pBlackWhite;
    case crzGray4:
        return pGray4;
    case crzSysGray4:
        return pSysGray4;
    case crzGray16:
        return pGray16;
    case crzSys16:
        return pSys16;
    case crzGray236:
        return pGray236;
    case crzGray256:
        return pGray256;
    case crzSpecial125:
        return pSpecial125;
    case crzSpecial216:
        return pSpecial216;
    case crzSpecial252:
        return pSpecial252;
    case crzTrueColor:
        return pTrueColor;
    default:
        return pNone;
    }
}

bool ColorRezOptimized(TColorRezChoice c) {
    return c == crzOptimized2 || c == crzOptimized16 || c == crzOptimized256;
}

TColorRezChoice ColorRezDefault(TPGPixelFormat depth) {
    switch (depth) {
    case pg1Bit:
        return crzBlackWhite;
    case pg4Bit:
        return crzSys16;
    case pg8Bit:
        return crzOptimized256;
    default:
        return crzTrueColor;
    }
}

bool ParseColorCount(const std::string& text, int lo, int hi, int& count) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    const size_t e = text.find_last_not_of(" \t") + 1;
    int v = 0;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || v < lo || v > hi) return false;
    count = v;
    return true;
}

bool ColorRezCountsValid(const std::string& count4, const std::string& count8) {
    int n = 0;
    return ParseColorCount(count4, 2, 16, n) && ParseColorCount(count8, 2, 256, n);
}

std::unique_ptr<TPixelGraphic> ColorResolutionPicture(TPixelGraphic& source,
                                                      const TColorRezOptions& o) {
    if (o.choice > crzTrueColor) throw EPixelGraphic(PGMessage(36));
    const TPGPixelFormat format = ColorRezFormat(o.choice);
    auto n = std::make_unique<TPixelGraphic>();
    n->SetFormat(source.GetWidth(), source.GetHeight(), format);
    if (ColorRezOptimized(o.choice)) {
        const int most = PixelFormatColors(format);
        if (o.colors < 2 || o.colors > most) throw EPixelGraphic(PGMessage(36));
        BuildOptimizedPalette(*n, source, o.colors, o.choice == crzOptimized256 && o.systemColors);
    } else if (format != pg24Bit) {
        n->SetPaletteIdent(ColorRezIdent(o.choice));
    }
    n->SetDither(o.dither);
    n->SetRGBWeighting(o.rgbWeighting);
    n->CopyFrom(source);
    return n;
}
