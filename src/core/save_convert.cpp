#include "core/save_convert.h"

#include "core/exceptions.h"
#include "core/pixelgraphic.h"

// Interim: the pixel transfer (CopyFrom) and palette optimisation are not in
// the library yet, so a save that needs fewer or more colours than the
// picture has fails cleanly instead of writing something else.
std::unique_ptr<TPixelGraphic> ConvertForSave(TPixelGraphic& source, TPGColorResolution t) {
    (void)source;
    throw EPGCannotWriteColorRes(PGMessage(36) + " (" + PGMessage(8 + int(t)) + ")");
}
