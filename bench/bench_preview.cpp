// Next-image latency of the browser's preview over a folder of 12-megapixel
// JPEGs (4000 x 3000): from "Next Image" to the picture shown and painted in
// the pane, with the neighbours decoded ahead on the worker thread and
// without. Between steps the worker is given the time a person looks at a
// picture (the wait is not timed). Runs offscreen.

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "browser/mainform.h"
#include "browser/preview.h"
#include "core/pixelgraphic.h"
#include "formats/library.h"
#include "view/pgimage.h"

namespace {

constexpr int kW = 4000, kH = 3000, kFiles = 6;

// A folder of photo-like JPEGs, made once.
const QString& Folder() {
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int f = 0; f < kFiles; ++f) {
            TPixelGraphic pg;
            pg.SetFormat(kW, kH, pg24Bit);
            uint32_t seed = 12345u + uint32_t(f);
            for (int y = 0; y < kH; ++y) {
                uint8_t* row = pg.ScanLine(y);
                for (int x = 0; x < kW; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    const int n = int(seed >> 28); // a little grain
                    row[3 * x] = uint8_t((x / 16 + f * 40 + n) & 255);
                    row[3 * x + 1] = uint8_t((y / 12 + n) & 255);
                    row[3 * x + 2] = uint8_t(((x + y) / 20 + n) & 255);
                }
            }
            pg.SaveToFile(
                QFile::encodeName(dir.filePath(QString("photo%1.jpg").arg(f))).toStdString());
        }
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitImageLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
