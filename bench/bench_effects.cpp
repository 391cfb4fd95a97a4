// The editor's effects on a 6000 x 4000 buffer, and the copies between the
// picture and the effect buffers around them.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "core/pixelgraphic.h"
#include "processing/effects.h"

namespace {

TPixelGraphic& Photo() {
    static std::unique_ptr<TPixelGraphic> g = [] {
        auto p = std::make_unique<TPixelGraphic>();
        p->SetFormat(6000, 4000, pg24Bit);
        for (int y = 0; y < 4000; ++y) {
            uint8_t* row = p->ScanLine(y);
            for (int x = 0; x < 6000; ++x) {
                row[3 * x] = uint8_t(128 + 100 * std::sin(x * 0.002));
                row[3 * x + 1] = uint8_t(x * 200 / 6000);
                row[3 * x + 2] = uint8_t(y * 255 / 4000);
            }
        }
        return p;
    }();
    return *g;
}

const TFastBMP& Source() {
    static TFastBMP f(Photo());
    return f;
}

void BM_PictureToBuffer(benchmark::State& state) {
    for (auto _ : state) {
        TFastBMP f(Photo());
        benchmark::DoNotOptimize(f.Bits());
    }
}
BENCHMARK(BM_PictureToBuffer)->Unit(benchmark::kMillisecond);

void BM_BufferToPicture(benchmark::State& state) {
    TPixelGraphic out;
    for (auto _ : state)
        Source().AssignTo(out);
}
BENCHMARK(BM_BufferToPicture)->Unit(benchmark::kMillisecond);

template <class F> void RunInPlace(benchmark::State& state, F effect) {
    TFastBMP work(Source().Width(), Source().Height());
    for (auto _ : state) {
        state.PauseTiming();
        work.CopyBitsFrom(Source());
        state.ResumeTiming();
        effect(work);
    }
}

void BM_Emboss(benchmark::State& state) {
    RunInPlace(state, [](TFastBMP& f) { FastEmboss(f); });
}
BENCHMARK(BM_Emboss)->Unit(benchmark::kMillisecond);

void BM_Mosaic10(benchmark::State& state) {
    RunInPlace(state, [](TFastBMP& f) { FastMosaic(f, 10, 10); });
}
BENCHMARK(BM_Mosaic10)->Unit(benchmark::kMillisecond);

void BM_ColorNoise(benchmark::State& state) {
    TPGRandom r;
    RunInPlace(state, [&](TFastBMP& f) { FastColorNoise(f, 40, r); });
}
BENCHMARK(BM_ColorNoise)->Unit(benchmark::kMillisecond);

void BM_MonoNoise(benchmark::State& state) {
    TPGRandom r;
    RunInPlace(state, [&](TFastBMP& f) { FastMonoNoise(f, 40, r); });
}
BENCHMARK(BM_MonoNoise)->Unit(benchmark::kMillisecond);

template <class F> void RunTwoBuffers(benchmark::State& state, F effect) {
    TFastBMP dest(Source().Width(), Source().Height());
    for (auto _ : state)
        effect(Source(), dest);
}

void BM_Spray(benchmark::State& state) {
    TPGRandom r;
    RunTwoBuffers(state, [&](const TFastBMP& s, TFastBMP& d) { FastSpray(s, d, 5, r); });
}
BENCHMARK(BM_Spray)->Unit(benchmark::kMillisecond);

void BM_Fisheye(benchmark::State& state) {
    RunTwoBuffers(state, [](const TFastBMP& s, TFastBMP& d) { FastFisheye(s, d, 1.0f); });
}
BENCHMARK(BM_Fisheye)->Unit(benchmark::kMillisecond);

void BM_Swirl(benchmark::State& state) {
    RunTwoBuffers(state, [](const TFastBMP& s, TFastBMP& d) { FastSwirl(s, d, 100.0f); });
}
BENCHMARK(BM_Swirl)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
