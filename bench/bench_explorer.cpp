// The thumbnail explorer on a folder of 1,000 twelve-megapixel JPEGs (hard
// links to one photo-like file): the time until every thumbnail is shown,
// the longest time the window's event loop was kept waiting meanwhile, and a
// revisit of the folder after another one (thumbnails from the cache).
// Runs offscreen; TAV_BENCH_EXPLORER_FILES changes the count.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "bench_support.h"

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "thumbs/qt/thumbnails.h"
#include "bench_window.h"

namespace {

int Files() {
    const QByteArray n = qgetenv("TAV_BENCH_EXPLORER_FILES");
    return n.isEmpty() ? 1000 : std::max(1, n.toInt());
}

const QString& Folder() {
    static QTemporaryDir dir(QDir::currentPath() + "/bench_explorer_XXXXXX");
    static bool made = false;
    if (!made) {
        const QString first = dir.filePath("p0000.jpg");
        SaveBandsWithGrain(first, 4000, 3000, 3);
        for (int i = 1; i < Files(); ++i)
            ::link(QFile::encodeName(first).constData(),
                   QFile::encodeName(dir.filePath(QString("p%1.jpg").arg(i, 4, 10, QChar('0'))))
                       .constData());
        made = true;
    }
    static const QString path = dir.path();
    return path;
}

// Waits until the window's run ends; `stall` gets the longest gap between
// two ticks of a 5 ms timer meanwhile (how long a click would have waited).
double WaitIdle(TfrmThumbnails& w, qint64& stall) {
    QElapsedTimer total, gap;
    total.start();
    gap.start();
    stall = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        stall = std::max(stall, gap.restart());
    });
    tick.start(5);
    while (w.Running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return double(total.elapsed());
}

void BM_ExplorerThousandPhotos(benchmark::State& state) {
    const QString folder = Folder();
    QTemporaryDir other;
    QFile::copy(folder + "/p0000.jpg", other.filePath("one.jpg"));
    for (auto _ : state) {
        TfrmThumbnails w;
        w.show();
        QCoreApplication::processEvents();
        qint64 stall = 0, revisitStall = 0;
        w.FolderChange(folder);
        w.ThumbnailsClick();
        const double first = WaitIdle(w, stall);
        w.FolderChange(other.path());
        w.ThumbnailsClick();
        qint64 ignored = 0;
        WaitIdle(w, ignored);
        QElapsedTimer revisit;
        revisit.start();
        w.FolderChange(folder);
        w.ThumbnailsClick();
        WaitIdle(w, revisitStall);
        state.counters["first_fill_s"] = first / 1000;
        state.counters["longest_stall_ms"] = double(std::max(stall, revisitStall));
        state.counters["revisit_s"] = double(revisit.elapsed()) / 1000;
        state.counters["thumbnails"] = w.ThumbnailCount();
    }
}
BENCHMARK(BM_ExplorerThousandPhotos)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv, true);
}
