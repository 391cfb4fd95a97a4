#pragma once
// The image library's process-wide reader and writer options as one value,
// so the save-options dialog fills its controls from a snapshot, checks every
// field and then stores all of them or none. The options are plain globals
// that every writer reads when it writes: change them only on the thread of
// the windows.

#include <QString>
#include <optional>

#include "formats/tiff.h"

struct TSaveOptions {
    int jpegReadMethod = 0;
    int jpegWriteMethod = 2;
    int jpegQuality = 80;
    bool jpegProgressive = false;
    bool pxmWriteBinary = false;
    int tiffCompression = 1;
    bool tiffWriteCMYK = false;
    bool tiffWhiteIsZero = false;
    bool tiffMotorolaOrder = false;
    int tiffResolutionUnit = 1;
    TPGRational tiffResolutionX{300, 1};
    TPGRational tiffResolutionY{300, 1};
    int webpQuality = 80;
    bool webpLossless = false;
    int avifQuality = 60;
    int avifSpeed = 6;
    bool writeGamma = true;
    long double displayGamma = 2.2L;
    bool gammaCorrection = true;
};

// The options as the library has them now.
TSaveOptions CurrentSaveOptions();
// Stores every option into the library.
void StoreSaveOptions(const TSaveOptions& o);

// The texts of the four resolution edits and the gamma edit, checked. On
// success `o` gets all five values; on failure `o` is untouched, `field` is
// the index of the first bad edit (0 horiz. numerator, 1 horiz. denominator,
// 2 vert. numerator, 3 vert. denominator, 4 gamma) and the message is returned.
std::optional<QString> ParseSaveOptionTexts(const QString (&texts)[5], TSaveOptions& o, int& field);

// The gamma as the edit shows it: decimal text with ".".
QString GammaText(long double gamma);
