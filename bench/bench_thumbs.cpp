// Thumbnails and contact sheets: a 12-megapixel JPEG made into a 96 x 96
// square with and without shrink-on-load, a 100-cell sheet, and tiling a
// background over a 6000 x 4000 sheet.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "thumbs/sheet.h"
#include "thumbs/thumbmaker.h"

namespace {
QTemporaryDir& Scratch() {
    static QTemporaryDir d;
    return d;
}

// A 4000 x 3000 photo-like JPEG (gradients with grain), made once.
std::string PhotoJpeg() {
    static const std::string path = [] {
        InitImageLibrary();
        TPixelGraphic g;
        g.SetFormat(4000, 3000, pg24Bit);
        uint32_t seed = 7;
        for (int y = 0; y < 3000; ++y) {
            uint8_t* row = g.ScanLine(y);
            for (int x = 0; x < 4000; ++x) {
                seed = seed * 1103515245u + 12345u;
                const int grain = int(seed >> 28) - 8;
                row[3 * x] = uint8_t(std::clamp(x / 16 + grain, 0, 255));
                row[3 * x + 1] = uint8_t(std::clamp(y / 12 + grain, 0, 255));
                row[3 * x + 2] = uint8_t(std::clamp((x + y) / 28 + grain, 0, 255));
            }
        }
        const std::string p = Scratch().filePath("photo.jpg").toStdString();
        g.SaveToFile(p);
        return p;
    }();
    return path;
}

void BM_Thumb96(benchmark::State& state) {
    const std::string path = PhotoJpeg();
    TThumbOptions o;
    o.size = 96;
    o.fast = true;
    o.loadHint = state.range(0) ? 96 : 0;
    TPixelGraphic square;
    for (auto _ : state) {
        MakeThumbnail(path, o, square);
        benchmark::DoNotOptimize(square.ScanLine(0));
    }
}
BENCHMARK(BM_Thumb96)->Arg(0)->Arg(1)->ArgName("shrink")->Unit(benchmark::kMillisecond);

void BM_Sheet100(benchmark::State& state) {
    // 100 cells of 640 x 480 JPEGs (one file listed 100 times).
    InitImageLibrary();
    const QString small = Scratch().filePath("small.jpg");
    if (!QFile::exists(small)) {
        TPixelGraphic g;
        g.SetFormat(640, 480, pg24Bit);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                g.ScanLine(y)[3 * x + (x + y) % 3] = uint8_t(x ^ y);
        g.SaveToFile(small.toStdString());
    }
    QStringList files;
    for (int i = 0; i < 100; ++i)
        files << small;
    TSheetOptions o;
    o.autoSharpen = false;
    for (auto _ : state) {
        auto sheet = BuildSheet(files, o);
        benchmark::DoNotOptimize(sheet->ScanLine(0));
    }
}
BENCHMARK(BM_Sheet100)->Unit(benchmark::kMillisecond);

void BM_Tile(benchmark::State& state) {
    const int side = int(state.range(0));
    TPixelGraphic sheet, tile;
    sheet.SetFormat(6000, 4000, pg24Bit);
    tile.SetFormat(side, side, pg24Bit);
    tile.SetBackgroundColor(RGB(10, 200, 30));
    tile.Clear();
    for (auto _ : state) {
        TileOver(sheet, tile);
        benchmark::DoNotOptimize(sheet.ScanLine(0));
    }
}
BENCHMARK(BM_Tile)->Arg(1)->Arg(64)->ArgName("tile")->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    // Sheets draw file names: text needs the GUI side of Qt, offscreen here.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
