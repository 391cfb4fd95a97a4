#include "editor/saveoptions.h"

#include <cmath>
#include <limits>

#include "core/options.h"
#include "formats/avif.h"
#include "formats/jpeg.h"
#include "formats/png.h"
#include "formats/pxm.h"
#include "formats/webp.h"

TSaveOptions CurrentSaveOptions() {
    TSaveOptions o;
    o.jpegReadMethod = JPEGReadMethod;
    o.jpegWriteMethod = JPEGWriteMethod;
    o.jpegQuality = JPEGQuality;
    o.jpegProgressive = JPEGProgressive;
    o.pxmWriteBinary = PxMWriteBinary;
    o.tiffCompression = TIFFCompression;
    o.tiffWriteCMYK = TIFFWriteCMYK;
    o.tiffWhiteIsZero = TIFFWhiteIsZero;
    o.tiffMotorolaOrder = TIFFMotorolaOrder;
    o.tiffResolutionUnit = TIFFResolutionUnit;
    o.tiffResolutionX = TIFFResolutionX;
    o.tiffResolutionY = TIFFResolutionY;
    o.webpQuality = WebPQuality;
    o.webpLossless = WebPLossless;
    o.avifQuality = AVIFQuality;
    o.avifSpeed = AVIFSpeed;
    o.writeGamma = WriteGamma;
    o.displayGamma = DisplayGamma;
    o.gammaCorrection = GammaCorrection;
    return o;
}

void StoreSaveOptions(const TSaveOptions& o) {
    JPEGReadMethod = o.jpegReadMethod;
    JPEGWriteMethod = o.jpegWriteMethod;
    JPEGQuality = o.jpegQuality;
    JPEGProgressive = o.jpegProgressive;
    PxMWriteBinary = o.pxmWriteBinary;
    TIFFCompression = o.tiffCompression;
    TIFFWriteCMYK = o.tiffWriteCMYK;
    TIFFWhiteIsZero = o.tiffWhiteIsZero;
    TIFFMotorolaOrder = o.tiffMotorolaOrder;
    TIFFResolutionUnit = o.tiffResolutionUnit;
    TIFFResolutionX = o.tiffResolutionX;
    TIFFResolutionY = o.tiffResolutionY;
    WebPQuality = o.webpQuality;
    WebPLossless = o.webpLossless;
    AVIFQuality = o.avifQuality;
    AVIFSpeed = o.avifSpeed;
    WriteGamma = o.writeGamma;
    DisplayGamma = o.displayGamma;
    GammaCorrection = o.gammaCorrection;
}

namespace {

// A resolution part: a whole number the TIFF rational holds (0 .. 2^32 - 1).
std::optional<uint32_t> RationalPart(const QString& s) {
    bool ok = false;
    const qulonglong v = s.trimmed().toULongLong(&ok);
    if (!ok || s.trimmed().startsWith('-') || s.trimmed().startsWith('+') ||
        v > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return uint32_t(v);
}

} // namespace

std::optional<QString> ParseSaveOptionTexts(const QString (&texts)[5], TSaveOptions& o,
                                            int& field) {
    uint32_t parts[4];
    for (int i = 0; i < 4; ++i) {
        const auto v = RationalPart(texts[i]);
        if (!v) {
            field = i;
            return "'" + texts[i] +
                   "' is not a valid resolution (a whole number from 0 to 4294967295)";
        }
        if ((i == 1 || i == 3) && *v == 0) {
            field = i;
            return QString("The denominator of a resolution must not be 0");
        }
        parts[i] = *v;
    }
    bool ok = false;
    // Decimal text with "." whatever the desktop's language says.
    const double g = texts[4].trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(g) || g <= 0) {
        field = 4;
        return "'" + texts[4] + "' is not a valid gamma (a number greater than 0)";
    }
    o.tiffResolutionX = {parts[0], parts[1]};
    o.tiffResolutionY = {parts[2], parts[3]};
    o.displayGamma = g;
    return std::nullopt;
}

QString GammaText(long double gamma) {
    return QString::number(double(gamma), 'g', 15);
}
