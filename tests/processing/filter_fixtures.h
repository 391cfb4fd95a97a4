#pragma once
// Pictures for the filter tests, built in code.

#include <cstdint>
#include <memory>

#include "core/pixelgraphic.h"

// A width x height 24-bit picture of pseudo-random colours (fixed seed).
inline std::unique_ptr<TPixelGraphic> RandomPicture(int w, int h, uint32_t seed = 1) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            p->SetPixel(x, y, TRGB(seed >> 8) & 0xFFFFFF);
        }
    return p;
}

inline std::unique_ptr<TPixelGraphic> UniformPicture(int w, int h, TRGB c) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->SetPixel(x, y, c);
    return p;
}

// An 8-bit picture with `n` distinct palette entries and pixels (x + 3y) mod n.
inline std::unique_ptr<TPixelGraphic> PalettePicture(int w, int h, int n = 256) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, pg8Bit);
    p->SetPaletteCount(n);
    for (int i = 0; i < n; ++i)
        p->SetPaletteEntry(i, RGB(17 * i + 5, 255 - 13 * i, (97 * i) & 255));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->SetPixel(x, y, (x + 3 * y) % n);
    return p;
}

inline bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y)) return false;
    return true;
}
