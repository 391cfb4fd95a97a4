// Scanning with SANE's test backend (a private configuration: no installed
// scanner joins in): Color at 600 dpi over 200 x 200 mm, a DIB of 4724 x
// 4724 pixels. The library's scan alone, and the editor's "Acquire..." (the
// DIB through a temporary BMP into the view), each with the peak resident
// memory it added as a multiple of the DIB. Runs offscreen; skipped where
// SANE is not installed.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "core/options.h"
#include "editor/qt/editorwindow.h"
#include "editor/qt/twain.h"
#include "editor/sanescan.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"
#include "view/pgimage.h"
#include "bench_window.h"

namespace {

const std::map<std::string, std::string> kOptions = {{"mode", "Color"},
                                                     {"resolution", "600"},
                                                     {"br-x", "200"},
                                                     {"br-y", "200"},
                                                     {"test-picture", "Color pattern"}};
constexpr double kDibBytes = double((4724 * 3 + 3) / 4 * 4) * 4724;

double PeakMB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024;
}

void BM_ScanLibrary(benchmark::State& state) {
    TSaneApi sane;
    if (!sane.Load()) {
        state.SkipWithError("no SANE");
        return;
    }
    const double before = PeakMB();
    for (auto _ : state) {
        std::vector<uint8_t> dib;
        std::string error;
        if (!sane.Scan("test:0", kOptions, PGMaxImageBytes, dib, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["peak_x_dib"] = (PeakMB() - before) * 1048576 / kDibBytes;
}
BENCHMARK(BM_ScanLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_EditorAcquire(benchmark::State& state) {
    TTwain& t = TTwain::Instance();
    if (!t.TwainIsPresent()) {
        state.SkipWithError("no SANE");
        return;
    }
    TScopedPrompts prompts;
    t.HideUI = true;
    t.Options = kOptions;
    TfrmAcquire editor;
    const double before = PeakMB();
    for (auto _ : state) {
        // The previous scan is not kept.
        prompts->buttonAnswers.push_back(QMessageBox::No);
        editor.AcquireImage();
        QStringList said = prompts->Messages();
        said.removeAll("Save changes to the picture?");
        if (!said.isEmpty()) {
            state.SkipWithError(said.join(" | ").toUtf8().constData());
            break;
        }
    }
    state.counters["peak_x_dib"] = (PeakMB() - before) * 1048576 / kDibBytes;
}
BENCHMARK(BM_EditorAcquire)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    // SANE's test backend alone.
    QTemporaryDir conf;
    QFile dll(conf.filePath("dll.conf"));
    if (dll.open(QIODevice::WriteOnly)) dll.write("test\n");
    dll.close();
    qputenv("SANE_CONFIG_DIR", conf.path().toUtf8());
    return RunWindowBenchmarks(argc, argv, true);
}
