// The file helpers against the system's own tools in the same run:
// copying a big file from memory (/dev/shm) to disk beside `cp`.
// TAV_BENCH_COPY_MB sets the copied size (1024 by default).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "core/fileops.h"

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

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(Source().c_str());
    return 0;
}
