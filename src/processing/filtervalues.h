#pragma once
// The filter dialogs' values and how they configure their filters, as plain
// functions: the dialogs, tavtool and the tests share them.

#include <string>

#include "processing/colorfilters.h"

// Percent sliders keep -100..100.
int ClampPercent(int v);
// Hue sliders wrap into -180..180 by whole turns.
int WrapHue(int h);
// Contrast and gamma live as a slider position p in -100..100 meaning the
// factor 5^(p / 100): the position of a factor (clamped to 0.2..5 first), the
// factor of a position, and the factor as the dialog reads it back (two
// decimals).
int FactorPosition(long double x);
long double PositionFactor(int p);
long double PositionFactorRounded(int p);

// Tables of the RGB, CMY and YCbCr dialogs: entry i of table j is
// clamp(i + (v_j x 255) div 100).
void SetPercentTables(TXXXFilter& f, int v1, int v2, int v3);
// Tables of the HLS and HSV dialogs: the first shifts hue by (h x 256) div 360
// entries round the circle, the others as above.
void SetHueTables(TXXXFilter& f, int h, int v2, int v3);
// Brightness, contrast position, gamma position and the "Y" choice.
void SetBCGValues(TBCGFilter& f, int brightness, int contrastPos, int gammaPos, bool useY);

// Value labels: "+25%", "±0%", "-40%"; "+90°"; and factors "1.00".
std::string PercentText(int v);
std::string DegreeText(int v);
std::string FactorText(long double f);

// The preview's picture size: a picture inside the box keeps its size, a
// larger one is fitted with its aspect ratio kept (Round of the scaled side),
// an empty one gives 0 x 0.
void PreviewFitSize(int w, int h, int box, int& pw, int& ph);
