// The file helpers against the system's own tools in the same run:
// copying a big file from memory (/dev/shm) to disk beside `cp`, and the
// browser permanently deleting 1,000 selected files beside `rm`.
// TAV_BENCH_COPY_MB sets the copied size (1024 by default).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "browser/fileops_ui.h"
#include "browser/filelist.h"
#include "browser/mainform.h"
#include "core/fileops.h"
#include "support/scriptedprompts.h"
#include "bench_window.h"

namespace {

std::int64_t CopyBytes() {
    const char* mb = std::getenv("TAV_BENCH_COPY_MB");
    return std::int64_t(mb ? std::atoi(mb) : 1024) * 1024 * 1024;
}

// The source in memory, made once.
std::string Source() {
    static std::string path;
    if (path.empty()) {
        path = "/dev/shm/tav_bench_copy_" + std::to_string(::getpid());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string chunk(1 << 20, '\0');
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = char(i * 7 + i / 4096);
        const std::int64_t total = CopyBytes();
        for (std::int64_t done = 0; done < total; done += std::int64_t(chunk.size()))
            if (::write(fd, chunk.data(), chunk.size()) < 0) break;
        ::close(fd);
    }
    return path;
}

std::string Target() {
    static QTemporaryDir dir(QDir::currentPath() + "/bench_copy_XXXXXX");
    return dir.filePath("copy.bin").toStdString();
}

void BM_CopyFileContents(benchmark::State& state) {
    const std::string src = Source(), dst = Target();
    for (auto _ : state) {
        ::unlink(dst.c_str());
        CopyFileContents(src, dst);
    }
    ::unlink(dst.c_str());
    state.SetBytesProcessed(state.iterations() * CopyBytes());
}
BENCHMARK(BM_CopyFileContents)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// cp also writes the whole file and, to be fair to our fsync, syncs it.
void BM_Cp(benchmark::State& state) {
    const std::string src = Source(), dst = Target();
    const std::string cmd = "cp '" + src + "' '" + dst + "' && sync '" + dst + "'";
    for (auto _ : state) {
        ::unlink(dst.c_str());
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("cp failed");
    }
    ::unlink(dst.c_str());
    state.SetBytesProcessed(state.iterations() * CopyBytes());
}
BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 1,000 small files in a fresh folder.
QString MakeThousand() {
    static QTemporaryDir dir(QDir::currentPath() + "/bench_delete_XXXXXX");
    for (int i = 0; i < 1000; ++i) {
        QFile f(dir.filePath(QString("photo_%1.jpg").arg(i, 4, 10, QChar('0'))));
        if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(100 + i, 'x'));
    }
    return dir.path();
}

// "Delete Files (Del)" with permanent deletion and no question: the status
// panel per file, events let through, the list filled again afterwards.
void BM_DeleteThousandFiles(benchmark::State& state) {
    // Boxes are answered, never waited on; any is an error of the run.
    TScopedPrompts prompts;
    TForm1 form;
    form.ConfirmDeletions = false;
    form.DeletionMode = 1;
    form.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = MakeThousand();
        form.OpenFolder(folder);
        QCoreApplication::processEvents();
        const int n = form.SLV1->Count();
        form.SLV1->selectionModel()->select(
            QItemSelection(form.SLV1->Model()->index(0, 0), form.SLV1->Model()->index(n - 1, 0)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        state.ResumeTiming();
        DeleteSelectedFiles(form);
        state.PauseTiming();
        if (!prompts->Messages().isEmpty()) {
            state.SkipWithError(prompts->Messages().join(" | ").toUtf8().constData());
            break;
        }
        if (!QDir(folder).isEmpty()) {
            state.SkipWithError("files left");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteThousandFiles)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_RmThousandFiles(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string cmd = "rm -f '" + MakeThousand().toStdString() + "'/*";
        state.ResumeTiming();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("rm failed");
    }
}
BENCHMARK(BM_RmThousandFiles)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The main window's settings and trash in a scratch home.
    const int rc = RunWindowBenchmarks(argc, argv, true);
    ::unlink(Source().c_str());
    return rc;
}
