// The converter: "Convert Now!" in the window (the picture shown, converted,
// the result shown) against what `tavtool convert --to` does for one file
// (read, convert); a 3000 x 2000 photo-like picture to JPEG and to PNG.
// Runs offscreen.

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "bench_support.h"

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "tools/converter.h"
#include "tools/qt/convertform.h"
#include "bench_window.h"

namespace {

const QString& Source() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath("photo.bmp");
    SaveBandsWithGrain(path, 3000, 2000, 5);
    return path;
}

const char* const kExts[] = {"bmp", "jpg", "tif", "png", "tga", "gif"};

void BM_ConvertNow(benchmark::State& state) {
    const QString source = Source();
    const QString target = ConvertTarget(source, kExts[state.range(0)]);
    TfrmConvert w;
    w.QualityBar->setValue(80);
    w.FormatList->setCurrentIndex(int(state.range(0)));
    for (auto _ : state) {
        QFile::remove(target);
        w.SetSource(source);
        w.Convert();
    }
    QFile::remove(target);
}
BENCHMARK(BM_ConvertNow)->Arg(1)->Arg(3)->ArgName("format")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TavtoolConvertTo(benchmark::State& state) {
    const QString source = Source();
    const QString target = ConvertTarget(source, kExts[state.range(0)]);
    TConvertOptions o;
    o.sharpen = false;
    o.ext = kExts[state.range(0)];
    JPEGQuality = 80;
    for (auto _ : state) {
        QFile::remove(target);
        TPixelGraphic picture;
        picture.SetReadWarningAction(pgwaIgnore);
        picture.LoadFromFile(QFile::encodeName(source).toStdString());
        ConvertToFile(picture, o, target);
    }
    QFile::remove(target);
}
BENCHMARK(BM_TavtoolConvertTo)->Arg(1)->Arg(3)->ArgName("format")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
