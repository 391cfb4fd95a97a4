// Where tavtool's command line meets the process-wide writer options and the
// formats that save through an export of their own.

#include "cli/tavtool_options.h"
#include "formats/jpeg.h"

void ApplyWriterOptions(const TToolArgs& a) {
    // The JPEG writer reads its process-wide options when it runs.
    if (a.quality >= 0) JPEGQuality = a.quality;
    if (a.progressive) JPEGProgressive = true;
}

bool SaveThroughExport(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                       std::FILE* err) {
    (void)picture;
    (void)outName;
    (void)a;
    (void)err;
    return false;
}
