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

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "tools/converter.h"
#include "tools/qt/convertform.h"

namespace {

const QString& Source() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath("photo.bmp");
    if (!QFile::exists(path)) {
        TPixelGraphic pg;
        pg.SetFormat(3000, 2000, pg24Bit);
        uint32_t seed = 5;
        for (int y = 0; y < 2000; ++y) {
            uint8_t* row = pg.ScanLine(y);
            for (int x = 0; x < 3 * 3000; ++x) {
                seed = seed * 1664525u + 1013904223u;
                row[x] = uint8_t((x / 40 + y / 30 + int(seed >> 28)) & 255);
            }
        }
        pg.SaveToFile(QFile::encodeName(path).toStdString());
    }
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitImageLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
