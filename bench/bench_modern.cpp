// Decoding a 24-megapixel (6000 x 4000) file of each of today's formats and
// of an LZW TIFF, made once by the reference encoder from a photo-like
// picture, through our readers. bench/peers (PEERS_SECTION=modern) times the
// reference decoders on files made the same way.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/library.h"

namespace {

constexpr int kW = 6000, kH = 4000;

// The picture as a PNG (noise over smooth clouds), made once.
std::string Source() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "tav_bench_modern.png").string();
        if (!std::filesystem::exists(p))
            std::system(("convert -size 1500x1000 plasma:fractal -seed 4711 -resize 6000x4000! "
                         "-attenuate 0.4 +noise Gaussian -depth 8 -type TrueColor '" +
                         p + "' 2>/dev/null")
                            .c_str());
        return p;
    }();
    return path;
}

// The file made by `encode` (SRC and OUT stand for the paths), in memory.
std::vector<uint8_t> Encoded(const std::string& ext, std::string encode) {
    const std::string out = Source() + "." + ext;
    if (!std::filesystem::exists(out)) {
        encode.replace(encode.find("SRC"), 3, "'" + Source() + "'");
        encode.replace(encode.find("OUT"), 3, "'" + out + "'");
        std::system((encode + " >/dev/null 2>&1").c_str());
    }
    return std::filesystem::exists(out) ? ReadWholeFile(out) : std::vector<uint8_t>{};
}

void Decode(benchmark::State& state, const std::string& ext, const std::string& encode) {
    InitImageLibrary();
    const std::vector<uint8_t> file = Encoded(ext, encode);
    if (file.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    for (auto _ : state) {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
        g.LoadFromStreamExt(s, ext, 0);
        benchmark::DoNotOptimize(g.Bits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}

} // namespace

BENCHMARK_CAPTURE(Decode, webp, std::string("webp"), std::string("cwebp -quiet -q 80 SRC -o OUT"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Decode, avif, std::string("avif"), std::string("avifenc -s 9 -j 2 SRC OUT"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Decode, heic, std::string("heic"), std::string("heif-enc -q 80 SRC -o OUT"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Decode, jxl, std::string("jxl"), std::string("cjxl SRC OUT -d 1"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Decode, tif_lzw, std::string("tif"),
                  std::string("convert SRC -compress LZW OUT"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
