#pragma once
// Red-eye reduction: strongly red pixels inside the circle inscribed in a
// region become black. The window works on a 24-bit copy of the selected
// region and builds each preview from a fresh copy, so changes never add up.

#include <memory>

#include "processing/geometryops.h"

class TPixelGraphic;

// The three thresholds; the slider at v gives 100 - v, v + 100, v + 100.
struct TRedEyeLimits {
    int red = 100, green = 100, blue = 100;
};
constexpr int kRedEyeMinAmount = -50, kRedEyeMaxAmount = 80;
TRedEyeLimits RedEyeLimitsFor(int amount);

// A 24-bit copy of `rect` intersected with the picture; null when nothing of
// it lies on the picture.
std::unique_ptr<TPixelGraphic> RedEyeRegion(const TPixelGraphic& source, const TPGRect& rect);

// In place on a 24-bit region of w x h: every pixel within (w div 2 when
// w < h, else h div 2) of (w div 2, h div 2) with red > red limit, green <
// green limit and blue < blue limit becomes black.
void ReduceRedEye(TPixelGraphic& region, const TRedEyeLimits& limits);

// The whole source with the reduction applied to `rect` (intersected): the
// command without the window. Null when the rectangle misses the picture.
std::unique_ptr<TPixelGraphic> RedEyePicture(const TPixelGraphic& source, const TPGRect& rect,
                                             const TRedEyeLimits& limits);
