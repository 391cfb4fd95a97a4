// Where tavtool's command line meets the process-wide writer options and the
// formats that save through an export of their own.

#include "cli/tavtool_options.h"

void ApplyWriterOptions(const TToolArgs& a) {
    // The JPEG writer's process-wide quality and progression are set here
    // once the JPEG unit provides them.
    (void)a;
}

bool SaveThroughExport(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                       std::FILE* err) {
    (void)picture;
    (void)outName;
    (void)a;
    (void)err;
    return false;
}
