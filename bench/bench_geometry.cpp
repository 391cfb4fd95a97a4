// The editor's geometry and correction commands on a 6000 x 4000 24-bit
// photo-like picture: crop, posterize and radial adjustment (rotation is in
// bench_pixeltransfer).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/pixelgraphic.h"
#include "processing/geometryops.h"
#include "processing/radial.h"

namespace {

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

void BM_Crop(benchmark::State& state) {
    const TPixelGraphic& src = Photo();
    for (auto _ : state) {
        auto c = CropPicture(src, {1000, 1000, 3000, 2000});
        benchmark::DoNotOptimize(c->ScanLine(0));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 3000 * 2000);
}
BENCHMARK(BM_Crop)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Posterize(benchmark::State& state) {
    TPixelGraphic& src = const_cast<TPixelGraphic&>(Photo());
    for (auto _ : state) {
        auto p = PosterizePicture(src);
        benchmark::DoNotOptimize(p->ScanLine(0));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_Posterize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Radial(benchmark::State& state) {
    const TPixelGraphic& src = Photo();
    for (auto _ : state) {
        auto r = RadialAdjust(src, TRadialCoefficients{});
        benchmark::DoNotOptimize(r->ScanLine(0));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_Radial)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
