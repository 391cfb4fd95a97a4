// JPEG and PNG decoding and encoding in memory on a photo-like 3000 x 2000
// picture (smooth gradients with grain), through the readers and writers.

#include <benchmark/benchmark.h>

#include <algorithm>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "formats/png.h"

namespace {

constexpr int kW = 3000, kH = 2000;

void Fill(TPixelGraphic& g) {
    g.SetFormat(kW, kH, pg24Bit);
    uint32_t seed = 1;
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < kW; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = int(seed >> 28) - 8;
            row[3 * x] = uint8_t(std::clamp(x / 12 + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(y / 8 + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp((x + y) / 20 + grain, 0, 255));
        }
    }
}

template <class Writer> std::vector<uint8_t> Encoded() {
    InitImageLibrary();
    TPixelGraphic g;
    Fill(g);
    TMemoryStream s;
    Writer().Write(s, g);
    return s.Data();
}

template <class Reader> void Decode(benchmark::State& state, const std::vector<uint8_t>& file) {
    for (auto _ : state) {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
        Reader().Read(s, g, 0);
        benchmark::DoNotOptimize(g.Bits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 3);
}

template <class Writer> void Encode(benchmark::State& state) {
    InitImageLibrary();
    TPixelGraphic g;
    Fill(g);
    for (auto _ : state) {
        TMemoryStream s;
        Writer().Write(s, g);
        benchmark::DoNotOptimize(s.Data().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 3);
}

void BM_JpegDecodeIslow(benchmark::State& state) {
    static const std::vector<uint8_t> file = Encoded<TJPGFileFormatWriter>();
    Decode<TJPGFileFormatReader>(state, file);
}
void BM_JpegEncodeQ80Float(benchmark::State& state) {
    Encode<TJPGFileFormatWriter>(state);
}
void BM_PngDecode(benchmark::State& state) {
    static const std::vector<uint8_t> file = Encoded<TPNGFileFormatWriter>();
    Decode<TPNGFileFormatReader>(state, file);
}
void BM_PngEncode(benchmark::State& state) {
    Encode<TPNGFileFormatWriter>(state);
}

BENCHMARK(BM_JpegDecodeIslow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncodeQ80Float)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
