// Reading a camera JPEG's EXIF block from disk, as the EXIF window does on
// every selection change while it is open. Goal: under 50 µs per file.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../tests/meta/exif_blocks.h"
#include "meta/exif/exiffile.h"

namespace {

// A block shaped like a camera's: IFD0 with the usual tags, the thumbnail
// IFD1, an Exif IFD of thirty-odd tags and a maker note of `noteBytes`.
std::vector<uint8_t> CameraJpeg(size_t noteBytes) {
    TTestBlock t(true);
    std::vector<TTestField> ifd0 = {
        TTestBlock::Ascii(271, "Canon"),         TTestBlock::Ascii(272, "Canon EOS 5D Mark IV"),
        t.Short(274, 1),                         t.Rational(282, 72, 1),
        t.Rational(283, 72, 1),                  t.Short(296, 2),
        TTestBlock::Ascii(305, "Firmware 1.2.3"), TTestBlock::Ascii(306, "2024:03:09 13:05:40"),
        TTestBlock::Ascii(315, "Someone"),       TTestBlock::Ascii(33432, "Copyright holder"),
        t.Short(531, 2),                         t.Long(34665, 0)};
    std::vector<TTestField> ifd1 = {t.Short(259, 6), t.Rational(282, 72, 1), t.Rational(283, 72, 1),
                                    t.Short(296, 2), t.Long(513, 9000), t.Long(514, 12000)};
    std::vector<TTestField> exif = {
        t.Rational(33434, 1, 250), t.Rational(33437, 56, 10), t.Short(34850, 3), t.Short(34855, 400),
        TTestBlock::Undefined(36864, {48, 50, 51, 48}), TTestBlock::Ascii(36867, "2024:03:09 13:05:40"),
        TTestBlock::Ascii(36868, "2024:03:09 13:05:40"), TTestBlock::Undefined(37121, {1, 2, 3, 0}),
        t.Rational(37377, 524288, 65536), t.Rational(37378, 327680, 65536),
        t.Rational(37380, 0, 1, 10), t.Rational(37381, 262144, 65536), t.Short(37383, 5),
        t.Short(37385, 16), t.Rational(37386, 50, 1),
        TTestBlock::Undefined(37500, std::vector<uint8_t>(noteBytes, 0x5A)),
        TTestBlock::Undefined(37510, std::vector<uint8_t>(264, 0)), TTestBlock::Ascii(37521, "00"),
        TTestBlock::Ascii(37522, "00"), TTestBlock::Undefined(40960, {48, 49, 48, 48}),
        t.Short(40961, 1), t.Long(40962, 6720), t.Long(40963, 4480), t.Long(40965, 0),
        t.Rational(41486, 6720000, 1469), t.Rational(41487, 4480000, 979), t.Short(41488, 2),
        t.Short(41495, 2), TTestBlock::Undefined(41728, {3}), TTestBlock::Undefined(41729, {1})};
    return InJpegSegment(t.Build({ifd0, ifd1}, {exif}));
}

void ReadCameraJpeg(benchmark::State& state) {
    const auto bytes = CameraJpeg(size_t(state.range(0)));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_exif_" + std::to_string(state.range(0)) + ".jpg"))
            .string();
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    size_t rows = 0;
    for (auto _ : state) {
        rows = ReadExifFileRows(path).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
    std::filesystem::remove(path);
}
// Without a maker note, with a typical one (8 KiB) and with a large one (64 KiB).
BENCHMARK(ReadCameraJpeg)->Arg(0)->Arg(8 << 10)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
