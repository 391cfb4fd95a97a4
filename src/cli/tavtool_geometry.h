#pragma once
// tavtool convert's editing switches (crop, flips, rotation, colour depth,
// posterize, border, red-eye, radial adjustment, resizing): checked when the
// command line is read, applied in the order given after loading.

#include <memory>
#include <string>

class TPixelGraphic;
struct TToolArgs;

// The editing switches, for the flag table: each takes a value unless named
// in kEditSwitchesWithoutValue.
extern const char* const kEditSwitches[];
bool EditSwitchHasValue(const std::string& flag);

// Checks the value of an editing switch and records the step; false when
// the value is not valid.
bool AddEditStep(TToolArgs& a, const std::string& flag, const std::string& value);

// Checks how the steps fit together (--palette with --depth); throws
// TUsageError on a mistake.
void CheckEditSteps(const TToolArgs& a);

// Runs the recorded steps on `picture`, each replacing it by its result.
std::unique_ptr<TPixelGraphic> RunEditSteps(std::unique_ptr<TPixelGraphic> picture,
                                            const TToolArgs& a);

// The value of --crop (WxH+X+Y) as a rectangle; false when it is not one.
struct TPGRect;
bool ParseCropValue(const std::string& value, TPGRect& rect);
// The value of --rotate in degrees; false when it is not a number.
bool ParseRotateValue(const std::string& value, long double& degrees);
