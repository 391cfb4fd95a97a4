// Nearest-colour lookups per palette identity and pixel writes over a
// 24-megapixel picture.

#include <benchmark/benchmark.h>

#include <vector>

#include "core/pixelgraphic.h"

namespace {

std::vector<TRGB> RandomColors(size_t n) {
    std::vector<TRGB> v(n);
    uint32_t seed = 7;
    for (auto& c : v) c = TRGB((seed = seed * 1664525u + 1013904223u) >> 8) & 0xFFFFFF;
    return v;
}

void BM_NearestPaletteIndex(benchmark::State& state) {
    const auto ident = TPaletteIdent(state.range(0));
    TPixelGraphic g;
    g.SetFormat(1, 1, pg8Bit);
    if (ident == pUnknown) {
        // An arbitrary 236-colour palette: the colour-cache path.
        auto pal = RandomColors(236);
        g.SetPaletteCount(236);
        for (int i = 0; i < 236; ++i) g.SetPaletteEntry(i, pal[size_t(i)]);
    } else {
        g.SetPaletteIdent(ident);
    }
    const auto colors = RandomColors(1 << 16);
    for (auto _ : state) {
        int sum = 0;
        for (TRGB c : colors) sum += g.NearestPaletteIndex(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(colors.size()));
}
BENCHMARK(BM_NearestPaletteIndex)
    ->ArgName("ident")
    ->Arg(pBlackWhite)
    ->Arg(pSysGray4)
    ->Arg(pSys16)
    ->Arg(pGray16)
    ->Arg(pGray236)
    ->Arg(pGray256)
    ->Arg(pSpecial125)
    ->Arg(pSpecial216)
    ->Arg(pSpecial252)
    ->Arg(pUnknown);

void BM_SetPixelColor24(benchmark::State& state) {
    TPixelGraphic g;
    g.SetFormat(6000, 4000, pg24Bit);
    for (auto _ : state) {
        for (int y = 0; y < 4000; ++y)
            for (int x = 0; x < 6000; ++x) g.SetPixelColor(x, y, RGB(x, y, x + y));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_SetPixelColor24)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
