#include "formats/gifexport.h"

#include "core/colour.h"
#include "core/optpalette.h"
#include "core/pixelgraphic.h"
#include "formats/gifwrite.h"

bool GIFExportNeedsReduction(const TPixelGraphic& picture) {
    return picture.PixelFormat() == pg24Bit;
}

std::unique_ptr<TPixelGraphic> GIFExportPicture(TPixelGraphic& picture) {
    // GIF carries no profile: a tagged picture goes out in sRGB.
    if (PGNeedsColourConversion(picture, TPGColourTarget::sRGB)) {
        TPixelGraphic srgb;
        srgb.Assign(&picture);
        if (PGConvertColours(srgb, TPGColourTarget::sRGB)) return GIFExportPicture(srgb);
    }
    auto copy = std::make_unique<TPixelGraphic>();
    if (!GIFExportNeedsReduction(picture)) {
        copy->Assign(&picture);
        return copy;
    }
    copy->SetFormat(picture.GetWidth(), picture.GetHeight(), pg8Bit);
    BuildOptimizedPalette(*copy, picture, 252, true);
    copy->SetDither(true);
    copy->SetRGBWeighting(true);
    copy->CopyFrom(picture);
    return copy;
}

bool ExportGIF(TPixelGraphic& picture, const std::string& fileName, bool interlaced,
               TRGB transparentColor, bool transparent) {
    const std::unique_ptr<TPixelGraphic> copy = GIFExportPicture(picture);
    return WriteGIFFile(fileName, *copy, interlaced, transparentColor, transparent);
}
