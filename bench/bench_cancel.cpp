// How soon a cancelled load returns. A worker decodes a 24-megapixel file
// (6000 x 4000) of each format through the registry; another thread asks it
// to stop at a random moment of the decode, the way the preloader and the
// thumbnail workers drop a job. Each iteration is one such abort; the time
// reported is from the request to the load's return (manual time), and
// the counters give the worst of the run and the uncancelled decode time.
// The goal is 50 ms at most for every reader.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gifwrite.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "formats/pxm.h"
#include "formats/tiff.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kW = 6000, kH = 4000;

// Smooth shading with grain, as in a photo: neither trivially compressible
// nor noise.
void FillPhoto(TPixelGraphic& g) {
    g.SetFormat(kW, kH, pg24Bit);
    uint32_t seed = 7;
    for (int y = 0; y < kH; ++y) {
        uint8_t* p = g.ScanLine(y);
        for (int x = 0; x < kW; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 29) - 4;
            p[0] = uint8_t(std::clamp(x / 24 + n, 0, 255));
            p[1] = uint8_t(std::clamp(y / 16 + n, 0, 255));
            p[2] = uint8_t(std::clamp((x + y) / 40 + n, 0, 255));
        }
    }
}

void FillPalette(TPixelGraphic& g) {
    g.SetFormat(kW, kH, pg8Bit);
    g.SetPaletteCount(256);
    for (int i = 0; i < 256; ++i)
        g.SetPaletteEntry(i, RGB(i, 255 - i, (i * 7) & 0xFF));
    for (int y = 0; y < kH; ++y) {
        uint8_t* p = g.ScanLine(y);
        for (int x = 0; x < kW; ++x)
            p[x] = uint8_t((x / 64 + y / 16 + (x * y) % 3) & 0xFF);
    }
}

void Put(std::vector<uint8_t>& b, uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// The library writes no RLE bitmaps: an 8-bit run-length BMP made here.
std::vector<uint8_t> Rle8Bmp() {
    std::vector<uint8_t> data;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW;) {
            const int run = std::min(64 - x % 64, kW - x);
            data.push_back(uint8_t(run));
            data.push_back(uint8_t((x / 64 + y / 16) & 0xFF));
            x += run;
        }
        data.push_back(0), data.push_back(0);
    }
    data.push_back(0), data.push_back(1);
    std::vector<uint8_t> b = {'B', 'M'};
    const uint32_t off = 14 + 40 + 1024;
    Put(b, off + data.size(), 4), Put(b, 0, 4), Put(b, off, 4);
    Put(b, 40, 4), Put(b, kW, 4), Put(b, kH, 4), Put(b, 1, 2), Put(b, 8, 2), Put(b, 1, 4);
    Put(b, data.size(), 4), Put(b, 2835, 4), Put(b, 2835, 4), Put(b, 256, 4), Put(b, 0, 4);
    for (int i = 0; i < 256; ++i)
        b.push_back(uint8_t(i)), b.push_back(uint8_t(255 - i)), b.push_back(uint8_t(i / 2)),
            b.push_back(0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// The library writes no PCX: a 24-bit three-plane run-length file made here.
std::vector<uint8_t> Pcx24(const TPixelGraphic& g) {
    std::vector<uint8_t> b = {10, 5, 1, 8};
    Put(b, 0, 2), Put(b, 0, 2), Put(b, kW - 1, 2), Put(b, kH - 1, 2), Put(b, 72, 2), Put(b, 72, 2);
    b.insert(b.end(), 48, 0);
    b.push_back(0), b.push_back(3);
    Put(b, kW, 2), Put(b, 1, 2);
    b.insert(b.end(), 128 - b.size(), 0);
    for (int y = 0; y < kH; ++y) {
        const uint8_t* row = g.ScanLine(y);
        for (int plane = 2; plane >= 0; --plane)
            for (int x = 0; x < kW; ++x) {
                const uint8_t v = row[3 * x + plane];
                if (v >= 0xC0) b.push_back(0xC1);
                b.push_back(v);
            }
    }
    return b;
}

std::vector<uint8_t> Saved(TPixelGraphic& g, const char* ext) {
    TMemoryStream m;
    g.SetSaveColorResWarningAction(pgwaIgnore);
    g.SaveToStreamExt(m, ext);
    return m.Data();
}

struct TCase {
    std::string name, ext;
    std::function<std::vector<uint8_t>()> make;
};

TPixelGraphic& Photo() {
    static TPixelGraphic g;
    if (g.GetEmpty()) FillPhoto(g);
    return g;
}

TPixelGraphic& Paletted() {
    static TPixelGraphic g;
    if (g.GetEmpty()) FillPalette(g);
    return g;
}

const std::vector<TCase>& Cases() {
    static const std::vector<TCase> cases = {
        {"jpeg_baseline", "jpg", [] { return Saved(Photo(), "jpg"); }},
        {"jpeg_progressive", "jpg",
         [] {
             JPEGProgressive = true;
             auto b = Saved(Photo(), "jpg");
             JPEGProgressive = false;
             return b;
         }},
        {"png_24bit", "png", [] { return Saved(Photo(), "png"); }},
        {"png_8bit", "png", [] { return Saved(Paletted(), "png"); }},
        {"bmp_24bit", "bmp", [] { return Saved(Photo(), "bmp"); }},
        {"bmp_rle8", "bmp", [] { return Rle8Bmp(); }},
        {"tiff_none", "tif", [] { return Saved(Photo(), "tif"); }},
        {"tiff_packbits", "tif",
         [] {
             TIFFCompression = 32773;
             auto b = Saved(Photo(), "tif");
             TIFFCompression = 1;
             return b;
         }},
        {"tga_24bit", "tga", [] { return Saved(Photo(), "tga"); }},
        {"ppm_ascii", "ppm", [] { return Saved(Photo(), "ppm"); }},
        {"ppm_binary", "ppm",
         [] {
             PxMWriteBinary = true;
             auto b = Saved(Photo(), "ppm");
             PxMWriteBinary = false;
             return b;
         }},
        {"gif_8bit", "gif",
         [] {
             std::vector<uint8_t> b;
             EncodeGIF(Paletted(), false, 0, false, b);
             return b;
         }},
        {"gif_interlaced", "gif",
         [] {
             std::vector<uint8_t> b;
             EncodeGIF(Paletted(), true, 0, false, b);
             return b;
         }},
        {"pcx_24bit", "pcx", [] { return Pcx24(Photo()); }},
    };
    return cases;
}

// Loads `file` on a worker; when `after` is set, asks it to stop that long
// after the start. Returns seconds from the request to the load's return
// (negative when the load was done before it was asked), or with no
// request the whole load's time.
double LoadOnWorker(const std::vector<uint8_t>& file, const std::string& ext,
                    const Clock::duration* after) {
    std::atomic<bool> cancel{false};
    Clock::time_point started, returned;
    std::atomic<bool> begun{false};
    std::thread worker([&] {
        TPixelGraphic g;
        g.OnProgress = [&](TObject*, int, int, bool& abort) {
            if (cancel.load(std::memory_order_relaxed)) abort = true;
        };
        TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
        started = Clock::now();
        begun = true;
        try {
            g.LoadFromStreamExt(s, ext, 0);
        } catch (...) {
        }
        returned = Clock::now();
        // Freeing the picture is the caller's affair, not part of returning.
    });
    if (!after) {
        worker.join();
        return std::chrono::duration<double>(returned - started).count();
    }
    while (!begun)
        std::this_thread::yield();
    std::this_thread::sleep_until(started + *after);
    const Clock::time_point asked = Clock::now();
    cancel = true;
    worker.join();
    return std::chrono::duration<double>(returned - asked).count();
}

void BM_Cancel(benchmark::State& state, const TCase& c) {
    InitImageLibrary();
    const std::vector<uint8_t> file = c.make();
    const double whole = LoadOnWorker(file, c.ext, nullptr);
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> when(0, 0.95 * whole);
    double worst = 0;
    for (auto _ : state) {
        double latency = -1;
        for (int attempt = 0; latency < 0 && attempt < 5; ++attempt) {
            const auto after = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(when(random) / (attempt + 1)));
            latency = LoadOnWorker(file, c.ext, &after);
        }
        latency = std::max(latency, 0.0);
        worst = std::max(worst, latency);
        state.SetIterationTime(latency);
    }
    state.counters["worst_ms"] = worst * 1000;
    state.counters["decode_ms"] = whole * 1000;
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    for (const TCase& c : Cases())
        benchmark::RegisterBenchmark(("BM_Cancel/" + c.name).c_str(),
                                     [&c](benchmark::State& s) { BM_Cancel(s, c); })
            ->UseManualTime()
            ->Iterations(20)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
