// Colour management on a 24 MP photo-like picture (6000 x 4000) tagged with
// an Adobe RGB profile: the display conversion against the JPEG decode of the
// same picture, and what an untagged picture costs (a look at its profile).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/colour.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "formats/library.h"

namespace {

constexpr int kW = 6000, kH = 4000;

std::vector<uint8_t> Profile() {
    std::ifstream f("/usr/share/color/icc/colord/AdobeRGB1998.icc", std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void Fill(TPixelGraphic& g) {
    g.SetFormat(kW, kH, pg24Bit);
    uint32_t seed = 1;
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < kW; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = int(seed >> 28) - 8;
            row[3 * x] = uint8_t(std::clamp(x / 24 + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(y / 16 + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp((x + y) / 40 + grain, 0, 255));
        }
    }
}

void BM_JpegDecode24MP(benchmark::State& state) {
    InitImageLibrary();
    static const std::vector<uint8_t> file = [] {
        TPixelGraphic g;
        Fill(g);
        g.SetICCProfile(Profile());
        TMemoryStream s;
        TJPGFileFormatWriter().Write(s, g);
        return s.Data();
    }();
    for (auto _ : state) {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
        TJPGFileFormatReader().Read(s, g, 0);
        benchmark::DoNotOptimize(g.Bits());
    }
}

void BM_DisplayConversion24MP(benchmark::State& state) {
    TPixelGraphic g;
    Fill(g);
    const std::vector<uint8_t> icc = Profile();
    for (auto _ : state) {
        state.PauseTiming();
        g.SetICCProfile(icc); // the conversion leaves the picture untagged
        state.ResumeTiming();
        if (!PGConvertColours(g, TPGColourTarget::Display)) state.SkipWithError("not converted");
        benchmark::DoNotOptimize(g.Bits());
    }
}

void BM_UntaggedPicture24MP(benchmark::State& state) {
    TPixelGraphic g;
    Fill(g);
    for (auto _ : state)
        benchmark::DoNotOptimize(PGConvertColours(g, TPGColourTarget::Display));
}

BENCHMARK(BM_JpegDecode24MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DisplayConversion24MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UntaggedPicture24MP)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
