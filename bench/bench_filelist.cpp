// Filling the browser's file list for a folder of 10,000 files, side by side
// with `ls -l` on the same folder (the same work: read the folder, stat each
// entry, format the rows). The ls run is one process start per iteration,
// which is part of what a user waits for with ls too.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

#include "browser/filelist.h"
#include "browser/statusbar.h"
#include "bench_window.h"

namespace {

constexpr int kFiles = 10000;

QString Folder() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        const char* ext[] = {"jpg", "JPG", "png", "gif", "bmp", "tif", "txt", "dat"};
        for (int i = 0; i < kFiles; ++i) {
            QFile f(dir.filePath(QString("photo_%1.%2").arg(i, 5, 10, QChar('0')).arg(ext[i % 8])));
            if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(i % 4096, 'x'));
        }
        made = true;
    }
    return dir.path();
}

void BM_FillFileList(benchmark::State& state) {
    const QString folder = Folder();
    TFileListView list;
    TPanelStatusBar sb({{25, Qt::AlignLeft}, {80, Qt::AlignHCenter}});
    ViewAllFiles = state.range(0) != 0;
    const QString mask = FileMaskFromTypes("1111111111");
    for (auto _ : state) {
        FillFileList(&list, folder, &sb, mask);
        list.SortItems();
    }
    state.counters["files"] = list.Count();
    ViewAllFiles = false;
}
BENCHMARK(BM_FillFileList)->Arg(0)->Arg(1)->ArgName("all")->Unit(benchmark::kMillisecond);

// Fill, sort by time, and draw the first screen of rows, as the window does.
void BM_FillSortByTimeAndShow(benchmark::State& state) {
    const QString folder = Folder();
    TFileListView list;
    list.resize(400, 600);
    list.show();
    ViewAllFiles = true;
    list.SortColumn = 3;
    for (auto _ : state) {
        FillFileList(&list, folder, nullptr, "");
        list.SortItems();
        list.repaint();
    }
    ViewAllFiles = false;
}
BENCHMARK(BM_FillSortByTimeAndShow)->Unit(benchmark::kMillisecond);

void BM_LsL(benchmark::State& state) {
    const std::string cmd = "ls -l '" + Folder().toStdString() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("ls failed");
}
BENCHMARK(BM_LsL)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
