#pragma once
// The editor's artistic effects on TFastBMP buffers. Noise and spray draw
// their numbers from the generator they are given, in a fixed order, so a
// generator seeded the same way gives the same picture. Fisheye and swirl
// compute in single precision and sample bilinearly with wrap-around.
// Source and destination of the two-buffer effects have the same size.

#include "processing/fastbmp.h"
#include "processing/pgrandom.h"

// blue, then green, then red of each pixel += Random(a) - a div 2, clamped.
void FastColorNoise(TFastBMP& bitmap, int amount, TPGRandom& random);
// One d = Random(a) - a div 2 per pixel added to every channel, clamped.
void FastMonoNoise(TFastBMP& bitmap, int amount, TPGRandom& random);
// Each destination pixel from a random source pixel at most c away, where
// c = Random(a) per pixel (then the x draw, then the y draw).
void FastSpray(const TFastBMP& source, TFastBMP& dest, int amount, TPGRandom& random);
// In place: (p + 255 - q) div 2 per channel, q the unchanged lower-right
// neighbour clamped to the picture.
void FastEmboss(TFastBMP& bitmap);
// Blocks of bw x bh from (0, 0), each the colour of its sample pixel;
// nothing when either size is 0 or less.
void FastMosaic(TFastBMP& bitmap, int blockWidth, int blockHeight);
// Magnifies the centre (amount 1.0: two times); the radius is amount x width.
void FastFisheye(const TFastBMP& source, TFastBMP& dest, float amount);
// Turns each point d from the centre by a quarter turn plus d / amount
// radians. Amount 0 leaves the picture as it is.
void FastSwirl(const TFastBMP& source, TFastBMP& dest, float amount);

// The bilinear sample with wrap-around at (sx, sy) into `bgr`; false (and
// nothing written) when the point is not finite.
bool SampleBilinear(const TFastBMP& source, float sx, float sy, uint8_t bgr[3]);
