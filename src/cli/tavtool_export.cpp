// Where tavtool's command line meets the process-wide writer options and the
// formats that save through an export of their own.

#include "cli/tavtool_options.h"
#include "formats/avif.h"
#include "formats/jpeg.h"
#include "formats/png.h"
#include "formats/pxm.h"
#include "formats/tiff.h"
#include "formats/webp.h"

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "formats/gifexport.h"
#include "formats/gifwrite.h"

void ApplyWriterOptions(const TToolArgs& a) {
    if (a.quality > 0) JPEGQuality = WebPQuality = AVIFQuality = a.quality;
    if (a.lossless) WebPLossless = true;
    if (a.speed) AVIFSpeed = *a.speed;
    if (a.progressive) JPEGProgressive = true;
    if (a.binary) PxMWriteBinary = true;
    if (a.tiffCompression) TIFFCompression = *a.tiffCompression;
    if (a.tiffMotorola) TIFFMotorolaOrder = *a.tiffMotorola;
    if (a.tiffCmyk) TIFFWriteCMYK = true;
    if (a.tiffResolutionUnit) {
        TIFFResolutionX = TPGRational{uint32_t(*a.tiffResolutionX), 1};
        TIFFResolutionY = TPGRational{uint32_t(*a.tiffResolutionY), 1};
        TIFFResolutionUnit = *a.tiffResolutionUnit;
    }
    if (a.pngGamma) WriteGamma = *a.pngGamma;
}

bool SaveThroughExport(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                       std::FILE* err) {
    if (FileExtensionHint(outName) != "gif") {
        if (a.interlace || a.transparent)
            throw EPixelGraphic("--interlace and --transparent apply to GIF output only");
        return false;
    }
    // The same export the editor and the converter use: palette pictures as
    // they are, true colour reduced to an optimised 8-bit copy first.
    const bool reduced = GIFExportNeedsReduction(picture);
    if (reduced) std::fputs("tavtool: GIF holds at most 256 colours; colours optimised\n", err);
    const std::unique_ptr<TPixelGraphic> copy = GIFExportPicture(picture);
    // The transparent colour names a colour of the input; after the
    // reduction its pixels carry the palette entry it was mapped to.
    TRGB transparentColor = a.transparentColor;
    if (reduced && a.transparent)
        transparentColor = copy->PaletteEntry(copy->NearestPaletteIndex(transparentColor));
    if (!WriteGIFFile(outName, *copy, a.interlace, transparentColor, a.transparent))
        throw EPixelGraphic("Error exporting GIF  (code " + std::to_string(GIFErrorCode) + ")");
    return true;
}

void SavePicture(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                 std::FILE* err) {
    if (SaveThroughExport(picture, outName, a, err)) return;
    // Say when the format cannot hold the colours and a reduction happens;
    // the library's own box is answered "go on".
    picture.IdentifyPalette();
    if (TFileFormatWriter* w = FindWriter(FileExtensionHint(outName))) {
        const TPGColorResolution b = ColorResolutionOf(picture);
        const TPGColorResolution t = SaveResolutionFor(b, *w);
        if (t != b)
            std::fprintf(err, "tavtool: %s cannot hold %s; saved with %s\n", w->Description.c_str(),
                         ColorResolutionText(b).c_str(), ColorResolutionText(t).c_str());
    }
    picture.SetSaveColorResWarningAction(pgwaIgnore);
    picture.SaveToFile(outName);
}
