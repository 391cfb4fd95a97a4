#pragma once
// tavtool convert's lossless JPEG path (--lossless, --trim) and --auto-orient
// for pictures that are decoded.

#include <memory>
#include <string>

class TPixelGraphic;
struct TToolArgs;

// Turns, flips and crops IN (a JPEG) into OUT (a JPEG) on the stored blocks,
// in one transform made of the editing switches in their order; throws
// TUsageError for switches that would need the pixels decoded.
int RunLosslessConvert(const TToolArgs& a);

// Turns a decoded picture upright by the EXIF orientation of `fileName`.
void AutoOrient(std::unique_ptr<TPixelGraphic>& picture, const std::string& fileName);
