#pragma once
// tavtool's command-line options: one table of flags shared by its commands,
// so a format unit can add its own (and say which commands take them).

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/types.h"

class TPixelGraphic;

// An editing switch of convert, kept in command-line order.
struct TEditStep {
    std::string flag, value;
};

struct TToolArgs {
    std::vector<std::string> positional;
    int index = 0;
    int width = 0, height = 0; // --size; 0: keep the size, or (one side) the proportions
    TStretchMode stretch = smPrecise;
    int quality = -1; // -1: leave the JPEG, WebP and AVIF quality as it is
    bool progressive = false;
    // WebP output: lossless; JPEG to JPEG: turns, flips and a crop on the
    // stored blocks.
    bool lossless = false;
    std::optional<int> speed;  // AVIF output: encoder speed 0..10
    bool binary = false;       // PBM/PGM/PPM output: binary instead of plain text
    int colors = 0;            // 2, 16 or 256: reduce to an optimised palette; 0: keep
    bool interlace = false;    // GIF output: interlaced rows
    bool transparent = false;  // GIF output: mark `transparentColor`
    TRGB transparentColor = 0; // COLORREF
    // TIFF and PNG writer switches; unset ones leave the option as it is.
    std::optional<int> tiffCompression; // 1 none, 5 LZW, 8 Deflate, 32773 PackBits
    std::optional<bool> tiffMotorola;
    bool tiffCmyk = false;
    std::optional<int> tiffResolutionX, tiffResolutionY, tiffResolutionUnit; // unit 1 inch, 2 cm
    std::optional<bool> pngGamma;
    // The input's colour profile: "keep" it (formats that cannot carry one
    // get sRGB pixels), convert to "srgb" and drop it, or "strip" it as is.
    std::string profile = "keep";
    std::vector<TEditStep> edits; // crop, flips, rotate, depth, ... and --size, in order
    // Lossless JPEG work: dropping partial edge blocks (--trim); turning
    // upright by the EXIF orientation (--auto-orient).
    bool trim = false, autoOrient = false;
};

// Fills `a` from the arguments after the command name; on a mistake returns
// false with `problem` saying what was wrong.
bool ParseToolArgs(const std::string& command, const std::vector<std::string>& args, TToolArgs& a,
                   std::string& problem);

// Sets the process-wide writer options the arguments name (JPEG, PxM, TIFF
// and PNG).
void ApplyWriterOptions(const TToolArgs& a);

// Saves through a format's own export when it has one (GIF); returns false
// when the output goes through the registry's writers instead.
bool SaveThroughExport(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                       std::FILE* err);

// Saves `picture` as `outName` the way every command saves: through a
// format's own export when it has one, else through the registry, saying on
// `err` when the format cannot hold the colours and they are reduced.
void SavePicture(TPixelGraphic& picture, const std::string& outName, const TToolArgs& a,
                 std::FILE* err);

// A new 24-bit picture of width x height holding `source` resampled with `mode`.
std::unique_ptr<TPixelGraphic> Resample(TPixelGraphic& source, int width, int height,
                                        TStretchMode mode);

// A new picture holding `source` with an optimised palette of `colors` (2, 16
// or 256, the last being 252 optimised plus the 16 system colours), dithered:
// the conversion a save does when the format needs fewer colours.
std::unique_ptr<TPixelGraphic> ReduceColors(TPixelGraphic& source, int colors);
