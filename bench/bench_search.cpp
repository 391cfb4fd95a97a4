// The file search on a generated tree of 100,000 files in 10,000 folders
// (warm cache), side by side with `find` doing the same walk: the walk as
// `tavtool search` runs it, the search window end to end (worker, batches
// merged into its sorted model, status updates), and find piped through sort.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdlib>

#include "tools/filesearch.h"
#include "tools/qt/searchform.h"
#include "tools/qt/searchresults.h"
#include "bench_window.h"

namespace {

constexpr int kFolders = 10000;
constexpr int kFilesPerFolder = 10;

// 100 top folders of 100 folders each; every folder holds ten files of
// which four are *.jpg in some case.
QString Tree() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        const char* ext[] = {"jpg", "JPG", "png", "gif", "Jpg", "tif", "txt", "jpg", "bmp", "dat"};
        for (int f = 0; f < kFolders; ++f) {
            const QString folder =
                dir.filePath(QString("top%1/sub%2").arg(f / 100, 3, 10, QChar('0')).arg(f % 100));
            QDir().mkpath(folder);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                QFile file(folder + QString("/img_%1.%2").arg(i).arg(ext[i]));
                file.open(QIODevice::WriteOnly);
            }
        }
        made = true;
    }
    return dir.path();
}

void BM_SearchWalk(benchmark::State& state) {
    const QByteArray root = QFile::encodeName(Tree());
    size_t n = 0;
    for (auto _ : state) {
        std::vector<QByteArray> found;
        TSearchWalk walk("*.jpg");
        walk.onFound = [&](QByteArray&& p) { found.push_back(std::move(p)); };
        walk.Walk(root);
        SortSearchResults(found);
        n = found.size();
    }
    state.counters["files"] = double(n);
}
BENCHMARK(BM_SearchWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchWindow(benchmark::State& state) {
    TfSearch w;
    w.SetDrives({{Tree(), "bench"}});
    w.show();
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&w, &TfSearch::SearchEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(0, &w, &TfSearch::Find);
        loop.exec();
    }
    state.counters["files"] = w.ResultModel->Count();
}
BENCHMARK(BM_SearchWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindSort(benchmark::State& state) {
    const std::string cmd = "find '" + Tree().toStdString() +
                            "' -xdev -name '.*' -prune -o -xtype f -iname '*.jpg' -print | "
                            "LC_ALL=C sort > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("find failed");
}
BENCHMARK(BM_FindSort)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
