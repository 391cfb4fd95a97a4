#include "cli/tavtool_options.h"
#include "core/pixelgraphic.h"
#include "core/save_convert.h"

std::unique_ptr<TPixelGraphic> ReduceColors(TPixelGraphic& source, int colors) {
    const TPGColorResolution t = colors == 2 ? cr2Colors : colors == 16 ? cr16Colors : cr256Colors;
    return ConvertForSave(source, t);
}
