// The filters on a 6000 x 4000 photo-like picture: each colour filter on 24
// bits and through an 8-bit picture's palette, the convolution recipes at
// their largest dialog kernels, and the bevel.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "core/pixelgraphic.h"
#include "processing/bevel.h"
#include "processing/colorfilters.h"
#include "processing/convfilter.h"
#include "processing/filtervalues.h"

namespace {

std::unique_ptr<TPixelGraphic> MakePhoto(TPGPixelFormat format) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(6000, 4000, format);
    if (format == pg8Bit) {
        p->SetPaletteCount(256);
        for (int i = 0; i < 256; ++i)
            p->SetPaletteEntry(i, RGB(i, (i * 7) & 255, 255 - i));
    }
    uint32_t seed = 12345;
    for (int y = 0; y < 4000; ++y) {
        uint8_t* row = p->ScanLine(y);
        for (int x = 0; x < 6000; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8;
            const double t = std::sin(x * 0.002) * std::cos(y * 0.003);
            auto ch = [n](double v) { return uint8_t(std::clamp(int(v) + n, 0, 255)); };
            if (format == pg8Bit) {
                row[x] = ch(128 + 100 * t);
            } else {
                row[x * 3 + 0] = ch(128 + 100 * t);
                row[x * 3 + 1] = ch(x * 200.0 / 6000 + 30 * std::sin(y * 0.01));
                row[x * 3 + 2] = ch(y * 255.0 / 4000);
            }
        }
    }
    return p;
}

TPixelGraphic& Photo() {
    static auto p = MakePhoto(pg24Bit);
    return *p;
}

TPixelGraphic& PalettePhoto() {
    static auto p = MakePhoto(pg8Bit);
    return *p;
}

using TMaker = std::function<std::unique_ptr<TPGFilter>()>;

std::unique_ptr<TPGFilter> Colour(int kind) {
    switch (kind) {
    case 0:
        return std::make_unique<TNegativeFilter>();
    case 1:
        return std::make_unique<TGrayScaleFilter>();
    case 2: {
        auto f = std::make_unique<TBCGFilter>();
        SetBCGValues(*f, 20, 30, -20, false);
        return f;
    }
    case 3: {
        auto f = std::make_unique<TBCGFilter>();
        SetBCGValues(*f, 20, 30, -20, true);
        return f;
    }
    case 4: {
        auto f = std::make_unique<TRGBFilter>();
        SetPercentTables(*f, 20, -10, 30);
        return f;
    }
    case 5: {
        auto f = std::make_unique<TCMYFilter>();
        SetPercentTables(*f, 20, -10, 30);
        return f;
    }
    case 6: {
        auto f = std::make_unique<TYCbCrFilter>();
        SetPercentTables(*f, 20, -10, 30);
        return f;
    }
    case 7: {
        auto f = std::make_unique<THLSFilter>();
        SetHueTables(*f, 30, -10, 30);
        return f;
    }
    default: {
        auto f = std::make_unique<THSVFilter>();
        SetHueTables(*f, 30, -10, 30);
        return f;
    }
    }
}

const char* const kColourNames[] = {"negative", "grey",  "bcg", "bcg_y", "rgb",
                                    "cmy",      "ycbcr", "hls", "hsv"};

// In place on a 24-bit copy, as the editor does (the copy is made outside
// the timing).
void BM_Colour24(benchmark::State& state) {
    auto f = Colour(int(state.range(0)));
    state.SetLabel(kColourNames[state.range(0)]);
    TPixelGraphic work;
    for (auto _ : state) {
        state.PauseTiming();
        work.Assign(&Photo());
        state.ResumeTiming();
        work.ApplyFilter(*f, work);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_Colour24)->DenseRange(0, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

// Palette pictures: 256 entries through the filter, the pixels untouched.
void BM_ColourPalette(benchmark::State& state) {
    auto f = Colour(int(state.range(0)));
    state.SetLabel(kColourNames[state.range(0)]);
    TPixelGraphic& p = PalettePhoto();
    for (auto _ : state)
        p.ApplyFilter(*f, p);
}
BENCHMARK(BM_ColourPalette)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond)->UseRealTime();

void RunConv(benchmark::State& state, TConvFilter& f) {
    TPixelGraphic out;
    for (auto _ : state)
        out.ApplyFilter(f, Photo());
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}

void BM_Sharpen3x3(benchmark::State& state) {
    TConvFilter f;
    f.MakeSharpen(dsGaussian, true, 50, 0.75L);
    RunConv(state, f);
}
BENCHMARK(BM_Sharpen3x3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Smooth7x7(benchmark::State& state) {
    TConvFilter f;
    f.MakeSmooth(dsGaussian, true, 100, 1.30L);
    RunConv(state, f);
}
BENCHMARK(BM_Smooth7x7)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Blur11x11(benchmark::State& state) {
    TConvFilter f;
    f.MakeBlur(100, 5);
    RunConv(state, f);
}
BENCHMARK(BM_Blur11x11)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Contour3x3(benchmark::State& state) {
    TConvFilter f;
    f.MakeContour(dsRect, true, 100, 1, true);
    RunConv(state, f);
}
BENCHMARK(BM_Contour3x3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The editor's "3D Bevel": 3 x width div 100 rings.
void BM_Bevel(benchmark::State& state) {
    TPixelGraphic work;
    work.Assign(&Photo());
    for (auto _ : state)
        DrawBevel(work, 3 * 6000 / 100);
}
BENCHMARK(BM_Bevel)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
