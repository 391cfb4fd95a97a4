// Resampling, palette optimisation, dithered conversion and rotation of a
// 6000 x 4000 24-bit photo-like picture.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/optpalette.h"
#include "core/pixelgraphic.h"

namespace {

// Smooth gradients with some texture and noise, like a photograph: many
// distinct colours, few of them far apart.
const TPixelGraphic& Photo() {
    static std::unique_ptr<TPixelGraphic> g = [] {
        auto p = std::make_unique<TPixelGraphic>();
        p->SetFormat(6000, 4000, pg24Bit);
        uint32_t seed = 12345;
        for (int y = 0; y < 4000; ++y) {
            uint8_t* row = p->ScanLine(y);
            for (int x = 0; x < 6000; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int n = int(seed >> 28) - 8;
                const double t = std::sin(x * 0.002) * std::cos(y * 0.003);
                auto ch = [n](double v) { return uint8_t(std::clamp(int(v) + n, 0, 255)); };
                row[x * 3 + 0] = ch(128 + 100 * t);
                row[x * 3 + 1] = ch(x * 200.0 / 6000 + 30 * std::sin(y * 0.01));
                row[x * 3 + 2] = ch(y * 255.0 / 4000);
            }
        }
        return p;
    }();
    return *g;
}

void BM_StretchCopy(benchmark::State& state) {
    TPixelGraphic& src = const_cast<TPixelGraphic&>(Photo());
    TPixelGraphic dst;
    dst.SetFormat(2000, 1333, pg24Bit);
    dst.SetStretchMode(TStretchMode(state.range(0)));
    for (auto _ : state)
        dst.CopyFrom(src);
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_StretchCopy)
    ->ArgName("mode")
    ->Arg(smFast)
    ->Arg(smMedium)
    ->Arg(smPrecise)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BuildOptimizedPalette252(benchmark::State& state) {
    TPixelGraphic& src = const_cast<TPixelGraphic&>(Photo());
    TPixelGraphic dst;
    dst.SetFormat(1, 1, pg8Bit);
    for (auto _ : state)
        BuildOptimizedPalette(dst, src, 252, true);
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_BuildOptimizedPalette252)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole conversion a save or the editor does: palette, then the
// dithered copy into an 8-bit picture.
void BM_CopyFrom252Dithered(benchmark::State& state) {
    TPixelGraphic& src = const_cast<TPixelGraphic&>(Photo());
    TPixelGraphic dst;
    dst.SetFormat(6000, 4000, pg8Bit);
    for (auto _ : state) {
        BuildOptimizedPalette(dst, src, 252, true);
        dst.CopyFrom(src);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_CopyFrom252Dithered)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Rotate(benchmark::State& state) {
    TPixelGraphic& src = const_cast<TPixelGraphic&>(Photo());
    for (auto _ : state) {
        TPixelGraphic dst;
        dst.Rotate(src, (long double)state.range(0), true);
        benchmark::DoNotOptimize(dst.ScanLine(0));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_Rotate)
    ->ArgName("degrees")
    ->Arg(90)
    ->Arg(33)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
