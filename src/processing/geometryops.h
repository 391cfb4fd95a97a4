#pragma once
// The editor's geometry commands as plain functions: each checks its numbers
// first, builds a new picture from the source and leaves the source alone, so
// a window can hand the result to its view (and keep the old picture as the
// undo copy) only when everything went well.

#include <cstdint>
#include <memory>

#include "core/types.h"

class TPixelGraphic;

// A rectangle in picture coordinates; empty when width or height is 0.
struct TPGRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The part of the rectangle (x, y, w, h) that lies on the picture. A
// selection may overhang the picture; only what is on it counts.
TPGRect IntersectWithPicture(const TPixelGraphic& picture, int64_t x, int64_t y, int64_t w,
                             int64_t h);

// The pixels of `rect` (intersected with the picture) in the source's pixel
// format and palette, raw values copied as they are (palette indices too, so
// duplicate entries keep their index). Null when nothing is left.
std::unique_ptr<TPixelGraphic> CropPicture(const TPixelGraphic& source, const TPGRect& rect);

// The angle the rotate dialog passes: counter-clockwise a turns clockwise by
// 360 - a (so 0 counter-clockwise gives 360, the picture unchanged).
long double DialogRotateAngle(long double angle, bool counterClockwise);

// The source turned clockwise by `angle` degrees onto a canvas of the turned
// bounds, in the source's format and palette (a grey picture stays grey).
// Right angles move every pixel as a whole. Raises on a non-finite angle.
std::unique_ptr<TPixelGraphic> RotatePicture(TPixelGraphic& source, long double angle);

// The other side of a picture of oldSide x oldOther when this side becomes
// newSide with its proportions kept: Round(newSide x oldOther / oldSide),
// ties to even, in 64 bits; 0 when oldSide is 0 or newSide is not positive.
int64_t ConstrainedSide(int64_t newSide, int64_t oldSide, int64_t oldOther);

// The source resampled to width x height (24-bit, the source's palette
// identity, precise stretching). Raises "Width = 0 or Height = 0" for a size
// below 1, and the picture's allocation error past the store cap.
std::unique_ptr<TPixelGraphic> ResizePicture(TPixelGraphic& source, int64_t width, int64_t height);

// Smallest border the border command accepts: the core paints the whole
// picture in the border colour below it.
constexpr int kMinBorderWidth = 2;

// The source with a border of `width` pixels blended toward `color`, along
// the edges or along the inscribed ellipse, in the source's format. Raises
// for a width below kMinBorderWidth.
std::unique_ptr<TPixelGraphic> BorderPicture(TPixelGraphic& source, int width, TRGB color,
                                             bool oval);

// The source in the 16-colour format with an optimised palette of 8 colours,
// without system colours, dithering or RGB weighting.
std::unique_ptr<TPixelGraphic> PosterizePicture(TPixelGraphic& source);
