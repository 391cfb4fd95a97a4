#pragma once
// Small pictures built in code for the copying, resampling, rotation and
// palette tests.

#include <initializer_list>
#include <memory>
#include <vector>

#include "core/pixelgraphic.h"

// A 24-bit picture whose rows are given top first.
inline std::unique_ptr<TPixelGraphic> MakeRGB(int w, int h, const std::vector<TRGB>& pixels) {
    auto g = std::make_unique<TPixelGraphic>();
    g->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            g->SetPixel(x, y, pixels[size_t(y * w + x)]);
    return g;
}

// A 24-bit picture of one colour.
inline std::unique_ptr<TPixelGraphic> MakeFilled(int w, int h, TRGB c) {
    return MakeRGB(w, h, std::vector<TRGB>(size_t(w) * size_t(h), c));
}

// A palette picture with the given palette and raw pixel values.
inline std::unique_ptr<TPixelGraphic> MakeIndexed(TPGPixelFormat f, int w, int h,
                                                  const std::vector<TRGB>& palette,
                                                  const std::vector<int>& pixels) {
    auto g = std::make_unique<TPixelGraphic>();
    g->SetFormat(w, h, f);
    g->SetPaletteIdent(pUnknown);
    g->SetPaletteCount(int(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i)
        g->SetPaletteEntry(int(i), palette[i]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            g->SetPixel(x, y, pixels[size_t(y * w + x)]);
    return g;
}

// Every pixel's colour, rows top first.
inline std::vector<TRGB> Colors(const TPixelGraphic& g) {
    std::vector<TRGB> out;
    for (int y = 0; y < g.GetHeight(); ++y)
        for (int x = 0; x < g.GetWidth(); ++x)
            out.push_back(g.GetPixelColor(x, y));
    return out;
}

// Every pixel's raw value, rows top first.
inline std::vector<int> Values(const TPixelGraphic& g) {
    std::vector<int> out;
    for (int y = 0; y < g.GetHeight(); ++y)
        for (int x = 0; x < g.GetWidth(); ++x)
            out.push_back(g.GetPixel(x, y));
    return out;
}

// Counts the events a picture fires; optionally aborts at a given step.
struct TEventLog {
    int Starts = 0, Steps = 0, Ends = 0, Changes = 0;
    int AbortAt = -1;
    std::vector<std::pair<int, int>> StepMax;
    void Attach(TPixelGraphic& g) {
        g.OnProgressStart = [this](TObject*) { ++Starts; };
        g.OnProgressEnd = [this](TObject*) { ++Ends; };
        g.OnChange = [this](TObject*) { ++Changes; };
        g.OnProgress = [this](TObject*, int step, int max, bool& abort) {
            ++Steps;
            StepMax.emplace_back(step, max);
            if (step == AbortAt) abort = true;
        };
    }
};
