// Latency of the browser's preview. Next image over a folder of 12-megapixel
// photo-like JPEGs (4000 x 3000): from "Next Image" to the picture shown and
// painted in the pane, with the neighbours decoded ahead on the worker thread
// and without; between steps the worker is given the time a person looks at
// a picture (the wait is not timed). A click on a 24-megapixel photo: first
// paint with and without the reduced first look, and the whole picture after
// it. Runs offscreen; QT_SCALE_FACTOR=2 gives a screen of device pixel ratio 2
// (the window keeps its logical size, the pictures are made for twice as many
// pixels each way).

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

#include "browser/mainform.h"
#include "browser/preview.h"
#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "view/pgimage.h"
#include "bench_window.h"

namespace {

constexpr int kW = 4000, kH = 3000, kFiles = 6;

// A photo-like picture: smooth gradients under a camera's grain (every
// channel its own noise, -12..11 levels as a sensor at a low sensitivity), so
// that the decoder does the work real photos give it: saved at quality 90,
// a 24-megapixel one takes about 9 MB, as camera files do.
void SavePhoto(const QString& path, int w, int h, uint32_t seed) {
    TPixelGraphic pg;
    pg.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pg.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const int grain = int(seed >> 27) * 3 / 4 - 12;
                const int base = c == 0   ? x * 200 / w
                                 : c == 1 ? y * 180 / h + 40
                                          : (x + y) * 120 / (w + h) + 60;
                row[3 * x + c] = uint8_t(std::clamp(base + grain, 0, 255));
            }
        }
    }
    const int quality = JPEGQuality;
    JPEGQuality = 90;
    pg.SaveToFile(QFile::encodeName(path).toStdString());
    JPEGQuality = quality;
}

// A folder of photo-like JPEGs, made once.
const QString& Folder() {
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int f = 0; f < kFiles; ++f)
            SavePhoto(dir.filePath(QString("photo%1.jpg").arg(f)), kW, kH, 12345u + uint32_t(f));
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

// Two 24-megapixel camera-like JPEGs, made once.
const QString& LargePhotos() {
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int f = 0; f < 2; ++f)
            SavePhoto(dir.filePath(QString("large%1.jpg").arg(f)), 6000, 4000, 777u + uint32_t(f));
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

void BM_NextImage(benchmark::State& state) {
    const bool preload = state.range(0) != 0;
    TForm1 form;
    form.resize(1280, 900);
    form.show();
    QApplication::processEvents();
    TPreview* pv = form.Preview;
    pv->Preloader().SetEnabled(preload);
    form.OpenFolder(Folder());
    QAction* next = form.Command("NextImageButton");
    auto show = [&] {
        next->trigger();
        while (pv->LoadQueued())
            QApplication::processEvents();
        pv->PGImage1->viewport()->repaint(); // shown means painted
    };
    show();
    for (auto _ : state) {
        state.PauseTiming();
        // The person looks at the picture: the event loop runs and the
        // worker decodes ahead.
        while (pv->PreloadPending())
            QApplication::processEvents();
        pv->Preloader().WaitIdle();
        state.ResumeTiming();
        show();
    }
    state.SetLabel(preload ? "decoded ahead" : "plain load");
}
BENCHMARK(BM_NextImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A click on a 24-megapixel photo in a 1280 x 900 window: the time to the
// first paint with the whole decode (0), to the first paint of the reduced
// first look (1), and to the whole picture painted after that first look (2).
void BM_ClickLargePhoto(benchmark::State& state) {
    const int mode = int(state.range(0));
    TForm1 form;
    form.resize(1280, 900);
    form.show();
    QApplication::processEvents();
    TPreview* pv = form.Preview;
    pv->Preloader().SetEnabled(mode != 0);
    const QString files[2] = {LargePhotos() + "/large0.jpg", LargePhotos() + "/large1.jpg"};
    int next = 0;
    auto click = [&] {
        form.ShowInPreview(files[next]);
        next ^= 1;
        while (pv->LoadQueued())
            QApplication::processEvents();
        pv->PGImage1->viewport()->repaint();
    };
    auto settle = [&] {
        while (pv->ShowsFirstLook() || pv->PreloadPending())
            QApplication::processEvents();
        pv->Preloader().WaitIdle();
    };
    click();
    settle();
    for (auto _ : state) {
        if (mode == 2) {
            click();
            while (pv->ShowsFirstLook())
                QApplication::processEvents(QEventLoop::AllEvents, 5);
            pv->PGImage1->viewport()->repaint();
        } else {
            click();
        }
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(QFileInfo(files[0]).size()) / 1e6;
    state.counters["ratio"] = pv->PGImage1->devicePixelRatioF();
    state.SetLabel(mode == 0   ? "whole decode, first paint"
                   : mode == 1 ? "first look, first paint"
                               : "first look, whole picture painted");
}
BENCHMARK(BM_ClickLargePhoto)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
