// Albums and publishing: a 10,000-entry album read from its file into the
// album window's list; one 12-megapixel photo-like JPEG published (Fit(2000)
// and Fit(96), sharpened) as the wizard does it. Runs offscreen.

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "bench_support.h"

#include <QFile>

#include "album/albumprint.h"
#include "album/file/albumfile.h"
#include "album/qt/albumform.h"
#include "album/webpublish.h"
#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "bench_window.h"

namespace {

const QString& Folder() {
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

void BM_OpenLargeAlbum(benchmark::State& state) {
    const QString path = Folder() + "/large.alb";
    TAlbum a;
    for (int i = 0; i < 10000; ++i)
        a.entries.push_back({"/photos/2026/trip/IMG_" + std::to_string(10000 + i) + ".JPG",
                             "Caption " + std::to_string(i), i & 3});
    std::string error;
    WriteAlbumFile(path.toStdString(), a, error);
    TfAlbum window;
    for (auto _ : state) {
        window.OpenFile(path);
        benchmark::DoNotOptimize(window.Entries().size());
    }
}
BENCHMARK(BM_OpenLargeAlbum)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PublishOnePhoto(benchmark::State& state) {
    const QString photo = Folder() + "/photo.jpg";
    SaveBandsWithGrain(photo, 4000, 3000, 99);
    TPublishSettings s;
    s.folder = Folder() + "/out";
    s.maxSize = 2000;
    std::vector<TAlbumEntry> entries = {{photo.toStdString(), "", 0}};
    for (auto _ : state) {
        const TPublishResult r = Publish(entries, s);
        benchmark::DoNotOptimize(r.written);
    }
}
BENCHMARK(BM_PublishOnePhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// One 6 x 6 page of 12-megapixel JPEGs (an A4 sheet at 1200 dpi) built at
// quality 0..2 (first argument), with and without shrink-on-load (second).
void BM_AlbumPage(benchmark::State& state) {
    const QString photo = Folder() + "/page.jpg";
    SaveBandsWithGrain(photo, 4000, 3000, 7);
    TAlbum album;
    album.header.rows = album.header.columns = 6;
    for (int i = 0; i < 36; ++i)
        album.entries.push_back({photo.toStdString(), "", 0});
    TAlbumPrintSetup setup;
    setup.paper = QSize(9921, 14031); // A4 at 1200 dpi
    setup.dpiX = setup.dpiY = 1200;
    setup.quality = int(state.range(0));
    setup.shrinkOnLoad = state.range(1) != 0;
    for (auto _ : state) {
        const std::vector<TAlbumFrame> frames = AlbumPrepareFrames(album, setup, nullptr, nullptr);
        benchmark::DoNotOptimize(frames.size());
    }
}
BENCHMARK(BM_AlbumPage)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"quality", "shrink"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
