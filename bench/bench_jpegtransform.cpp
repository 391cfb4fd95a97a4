// Lossless quarter turns of camera-sized JPEGs against jpegtran run as a
// program: one 24 MP file through the library (safe save included), and a
// batch of 12 MP files through the browser's per-file turn, against as many
// jpegtran runs. The goals: at most 1.05 x jpegtran for the single file and
// 1.2 x for the batch.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>

#include "bench_support.h"
#include "browser/turncommands.h"
#include "formats/jpegtransform.h"
#include "formats/library.h"

namespace {

QTemporaryDir& Scratch() {
    static QTemporaryDir dir;
    return dir;
}

std::string Path(const QString& name) { return QFile::encodeName(Scratch().filePath(name)).toStdString(); }

const std::string& Photo24() {
    static const std::string p = [] {
        InitImageLibrary();
        SaveBandsWithGrain(Scratch().filePath("24mp.jpg"), 6000, 4000, 11);
        return Path("24mp.jpg");
    }();
    return p;
}

void Jpegtran(const std::string& args) {
    if (std::system(("jpegtran " + args + " >/dev/null 2>&1").c_str()) != 0) std::abort();
}

void BM_QuarterTurn24MP(benchmark::State& state) {
    const std::string src = Photo24(), out = Path("turned.jpg");
    TJpegTransform t;
    t.turn = TJpegTurn::Rotate90;
    for (auto _ : state) JpegTransformFile(src, out, t);
}
BENCHMARK(BM_QuarterTurn24MP)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_JpegtranQuarterTurn24MP(benchmark::State& state) {
    const std::string src = Photo24(), out = Path("jpegtran.jpg");
    for (auto _ : state) Jpegtran("-perfect -copy all -rotate 90 -outfile '" + out + "' '" + src + "'");
}
BENCHMARK(BM_JpegtranQuarterTurn24MP)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The batch: `state.range(0)` 12 MP photos turned in place, one after the
// other as the browser's command does.
std::vector<std::string> Batch(int n) {
    InitImageLibrary();
    SaveBandsWithGrain(Scratch().filePath("12mp.jpg"), 4032, 3024, 12); // whole 16-pixel blocks
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        const QString name = QString("batch%1.jpg").arg(i);
        if (!QFile::exists(Scratch().filePath(name))) QFile::copy(Scratch().filePath("12mp.jpg"), Scratch().filePath(name));
        files.push_back(Path(name));
    }
    return files;
}

void BM_BrowserTurns12MP(benchmark::State& state) {
    const std::vector<std::string> files = Batch(int(state.range(0)));
    for (auto _ : state)
        for (const std::string& f : files)
            if (TurnFile(f, TFileTurn::RotateRight, false).outcome != TTurnFileResult::Turned) std::abort();
}
BENCHMARK(BM_BrowserTurns12MP)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_JpegtranTurns12MP(benchmark::State& state) {
    const std::vector<std::string> files = Batch(int(state.range(0)));
    const std::string tmp = Path("jpegtran12.jpg");
    for (auto _ : state)
        for (const std::string& f : files) Jpegtran("-perfect -copy all -rotate 90 -outfile '" + tmp + "' '" + f + "'");
}
BENCHMARK(BM_JpegtranTurns12MP)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
