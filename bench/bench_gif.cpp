// GIF encoding (colour mapping and LZW), decoding, and the whole export of a
// true-colour picture (optimised palette, dithering, encoding), in memory.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gif.h"
#include "formats/gifexport.h"
#include "formats/gifwrite.h"
#include "formats/library.h"

namespace {

constexpr int kW = 4000, kH = 3000; // 12 megapixels

// Smooth shading with grain, as in a photo.
void FillPhoto(TPixelGraphic& g) {
    g.SetFormat(kW, kH, pg24Bit);
    uint32_t seed = 1;
    for (int y = 0; y < kH; ++y) {
        uint8_t* p = g.ScanLine(y);
        for (int x = 0; x < kW; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 29) - 4;
            p[0] = uint8_t(std::clamp(int(128 + 100 * std::sin(x * 0.002)) + n, 0, 255));
            p[1] = uint8_t(std::clamp(int(128 + 100 * std::cos(y * 0.003)) + n, 0, 255));
            p[2] = uint8_t(std::clamp((x + y) * 255 / (kW + kH) + n, 0, 255));
        }
    }
}

TPixelGraphic& Photo() {
    static TPixelGraphic g;
    if (g.GetEmpty()) {
        InitImageLibrary();
        FillPhoto(g);
    }
    return g;
}

TPixelGraphic& Reduced() {
    static std::unique_ptr<TPixelGraphic> r = GIFExportPicture(Photo());
    return *r;
}

void BM_GifEncode8Bit(benchmark::State& state) {
    std::vector<uint8_t> out;
    Reduced(); // made before the clock runs
    for (auto _ : state) {
        EncodeGIF(Reduced(), false, 0, false, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
    state.counters["file_bytes"] = double(out.size());
}
BENCHMARK(BM_GifEncode8Bit)->Unit(benchmark::kMillisecond);

void BM_GifDecode8Bit(benchmark::State& state) {
    std::vector<uint8_t> file;
    EncodeGIF(Reduced(), false, 0, false, file);
    tGifFileFormatReader reader;
    for (auto _ : state) {
        TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
        TPixelGraphic g;
        reader.Read(s, g, 0);
        benchmark::DoNotOptimize(g.Bits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_GifDecode8Bit)->Unit(benchmark::kMillisecond);

// The whole export as tavtool and the editor run it, without the file write.
void BM_GifExportTrueColour(benchmark::State& state) {
    std::vector<uint8_t> out;
    for (auto _ : state) {
        const auto copy = GIFExportPicture(Photo());
        EncodeGIF(*copy, false, 0, false, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 3);
}
BENCHMARK(BM_GifExportTrueColour)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
