#include "cli/tavtool_options.h"
#include "core/pixelgraphic.h"

std::unique_ptr<TPixelGraphic> Resample(TPixelGraphic& source, int width, int height,
                                        TStretchMode mode) {
    auto scaled = std::make_unique<TPixelGraphic>();
    scaled->SetFormat(width, height, pg24Bit);
    scaled->SetStretchMode(mode);
    scaled->StretchCopy(0, 0, width, height, source, 0, 0, source.GetWidth(), source.GetHeight());
    return scaled;
}
