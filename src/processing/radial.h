#pragma once
// Radial adjustment: corrects barrel (or pincushion) distortion with the
// polynomial r' = r (a r^3 + b r^2 + c r + d), r in units of half the
// picture's width, sampling the source bilinearly in double precision.

#include <functional>
#include <memory>
#include <string>

class TPixelGraphic;

struct TRadialCoefficients {
    double a = -0.02; // outer
    double b = 0;     // middle
    double c = 0;     // inner
    double d = 1;     // scaling
};

// The message for coefficients that are not numbers (or not finite).
extern const char* const kRadialInvalidValues;

// A coefficient as typed: blanks around it ignored, "." as the decimal
// point whatever the locale, and only finite numbers ("nan", "inf" and
// "1e400" are refused).
bool ParseRadialCoefficient(const std::string& text, double& value);
// All four, in the order a, b, c, d; false when any is refused.
bool ParseRadialCoefficients(const std::string& a, const std::string& b, const std::string& c,
                             const std::string& d, TRadialCoefficients& k);

// Called with the percentage done; returning true cancels.
using TRadialProgress = std::function<bool(int percent)>;

// The adjusted picture (24-bit, the source's size). Samples off the picture,
// and samples too far off or not finite, read the source's background; a
// picture one pixel wide comes back unchanged. Raises kRadialInvalidValues
// for a non-finite coefficient; returns null when cancelled.
std::unique_ptr<TPixelGraphic> RadialAdjust(const TPixelGraphic& source,
                                            const TRadialCoefficients& k,
                                            const TRadialProgress& progress = {});
