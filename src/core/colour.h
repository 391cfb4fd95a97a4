#pragma once
// Colour management: converting a picture from the ICC profile it carries
// (TPixelGraphic::ICCProfile) to sRGB - what untagged pictures, thumbnails,
// printing and the web assume - or to the display's profile.
//
// A profile is hostile input like the rest of a file: one past
// kPGMaxProfileBytes, one lcms cannot open, or one that is no RGB or grey
// input profile is ignored, and the picture stays as its numbers say. An
// untagged picture costs nothing. Transforms are made once per (profile,
// target) pair and kept; the rows are converted in bands on worker threads
// (PGFilterThreads).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TPixelGraphic;

enum class TPGColourTarget { sRGB, Display };

// Whether the windows show pictures colour managed ("Colour management" in
// the preferences). Only the window's thread changes it.
extern std::atomic<bool> ColourManagement;

// Profiles larger than this are not read.
constexpr size_t kPGMaxProfileBytes = size_t(4) << 20;

// True when pictures can be converted from `icc`: bounded in size, accepted
// by lcms, an RGB or grey profile usable as input.
bool PGUsableProfile(const std::vector<uint8_t>& icc);
// The profile's own description ("" when it has none or is unusable).
std::string PGProfileDescription(const std::vector<uint8_t>& icc);

// The display's profile; empty (or unusable) means sRGB. Set at start and
// when the screen changes; transforms made for an older one are dropped.
// Returns whether `icc` is used.
bool PGSetDisplayProfile(const std::vector<uint8_t>& icc);
// What the display conversion goes to, for the windows to name it.
std::string PGDisplayProfileDescription();

// True when converting `picture` to `target` changes it: it carries a
// usable profile of its kind (RGB for 24-bit and colour palettes, RGB or
// grey for grey palettes) whose transform to the target is no identity.
bool PGNeedsColourConversion(const TPixelGraphic& picture, TPGColourTarget target);

// Converts the picture in place from its profile to `target`: the pixels of
// a 24-bit picture, the palette of a palette picture (its indices stay).
// Afterwards the picture carries no profile (untagged means sRGB; a display
// conversion is for the screen only). False, with nothing changed, when
// there was nothing to convert.
bool PGConvertColours(TPixelGraphic& picture, TPGColourTarget target);
