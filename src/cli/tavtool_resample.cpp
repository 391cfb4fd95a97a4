#include "cli/tavtool_options.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"

// Interim until the library's resampling is in: --size fails cleanly.
std::unique_ptr<TPixelGraphic> Resample(TPixelGraphic& source, int width, int height,
                                        TStretchMode mode) {
    (void)source;
    (void)width;
    (void)height;
    (void)mode;
    throw EPixelGraphic(PGMessage(31, "StretchCopy"));
}
