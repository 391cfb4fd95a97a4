#pragma once
// Saving a picture as GIF the way the editor's export, the converter and
// tavtool do it: palette pictures are written as they are, anything else is
// first reduced to an 8-bit copy with an optimised palette (236 colours of
// the picture and the 16 system colours), dithered.

#include <memory>
#include <string>

#include "core/types.h"

class TPixelGraphic;

// True when the picture has more colours than a GIF holds, so the export
// reduces it (the editor tells the user so before it starts).
bool GIFExportNeedsReduction(const TPixelGraphic& picture);

// The picture the export writes: a copy of a palette picture, or the reduced
// 8-bit copy of a true-colour one.
std::unique_ptr<TPixelGraphic> GIFExportPicture(TPixelGraphic& picture);

// Builds the export picture and writes it with WriteGIFFile. Returns false
// with GIFErrorCode set when nothing was written.
bool ExportGIF(TPixelGraphic& picture, const std::string& fileName, bool interlaced,
               TRGB transparentColor, bool transparent);
