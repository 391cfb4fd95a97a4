#pragma once
// Error-diffusion state of a destination picture, allocated by BeginDither and
// freed by EndDither or the picture's destructor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TPGDitherState {
    // Two error rows of width + 2 cells of (red, green, blue) error sums;
    // cell x + 1 belongs to column x, cells 0 and width + 1 are margins.
    std::vector<int32_t> Current;
    std::vector<int32_t> Next;
    // ErrorLimit[-255..255], stored with an offset of 255.
    std::array<int32_t, 511> ErrorLimit{};
    bool Gray = false;
    // The picture is a plain TPixelGraphic, so its nearest-colour lookup can
    // be called directly instead of through the virtual table.
    bool PlainPicture = false;
    int Width = 0;
    int Row = 0;

    int32_t Limit(int e) const { return ErrorLimit[size_t(e + 255)]; }
};

// ClampTable[v] = v limited to 0..255, for v in -510..510: a colour channel
// plus a limited error, or a sum of two channels, never leaves that range.
extern const uint8_t* const ClampTable;
