// The converter: where converted files go, the overwrite loop that never
// offers the source, failures that leave nothing half-written, and the
// window's options.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QCoreApplication>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"
#include "../formats/qt/metafile_builders.h"
#include "core/registry.h"
#include "support/scriptedprompts.h"
#include "tools/converter.h"
#include "tools/qt/convertform.h"
#include "tools_fixtures.h"
#include "view/pgimage.h"

namespace {

void SavePicture(const QString& path, int w, int h) {
    TPixelGraphic pg;
    pg.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pg.SetPixel(x, y, RGB(x * 9, y * 13, (x * y) & 255));
    pg.SaveToFile(QFile::encodeName(path).toStdString());
}

std::unique_ptr<TPixelGraphic> Load(const QString& path) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->LoadFromFile(QFile::encodeName(path).toStdString());
    return pg;
}

class Converter : public ::testing::Test {
  protected:
    void SetUp() override { InitImageLibrary(); }
    QString Path(const QString& n) const { return dir.filePath(n); }
    QTemporaryDir dir;
    TScopedPrompts prompts;
};

} // namespace

TEST(ConverterRules, TargetsAndFormats) {
    struct Case {
        const char *source, *ext, *target;
    } cases[] = {{"/p/beach.jpg", "png", "/p/beach.png"},
                 {"/p/a.b.jpg", "png", "/p/a.png"},
                 {"/p/My.Pics/a.jpg", "bmp", "/p/My.Pics/a.bmp"},
                 {"/p/noext", "png", "/p/noext.png"}};
    for (const Case& c : cases)
        EXPECT_EQ(ConvertTarget(c.source, c.ext), c.target) << c.source;
    EXPECT_EQ(ConvertRetryName("/p/beach.bmp"), "/p/!beach.bmp");
    const char* exts[] = {"bmp", "jpg", "tif", "png", "tga", "gif", "webp", "avif"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ConvertExtension(i), exts[i]);
}

TEST_F(Converter, OverwriteLoopNeverOffersTheSource) {
    SavePicture(Path("beach.png"), 30, 20);
    const QByteArray sourceBytes = ReadFile(Path("beach.png"));
    WriteFile(Path("beach.bmp"), "old");
    WriteFile(Path("!beach.bmp"), "old too");
    TfrmConvert w;
    ASSERT_TRUE(w.SetSource(Path("beach.png")));
    // Two "No": beach.bmp, then !beach.bmp, are kept; !!beach.bmp is written.
    prompts->buttonAnswers = {QMessageBox::No, QMessageBox::No};
    w.FormatList->setCurrentIndex(0);
    w.Convert();
    ASSERT_EQ(prompts->asked.size(), 2u);
    EXPECT_EQ(prompts->asked[0].text, Path("beach.bmp") + " exists. Overwrite?");
    EXPECT_EQ(w.Target(), Path("!!beach.bmp"));
    EXPECT_EQ(ReadFile(Path("beach.bmp")), "old");
    auto out = Load(Path("!!beach.bmp"));
    auto src = Load(Path("beach.png"));
    ASSERT_EQ(out->GetWidth(), 30);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(out->GetPixelColor(x, y), src->GetPixelColor(x, y));

    // PNG to PNG: the target would be the source itself: "!beach.png", unasked.
    prompts->asked.clear();
    w.FormatList->setCurrentIndex(3);
    w.Convert();
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_EQ(w.Target(), Path("!beach.png"));
    EXPECT_EQ(ReadFile(Path("beach.png")), sourceBytes);
}

TEST_F(Converter, FailuresLeaveNothingConvertedAndOptionsStay) {
    SavePicture(Path("a.jpg"), 40, 30);
    QDir().mkdir(Path("a.gif")); // the target is a folder: the write fails
    TfrmConvert w;
    ASSERT_TRUE(w.SetSource(Path("a.jpg")));
    prompts->buttonAnswers = {QMessageBox::Yes};
    w.FormatList->setCurrentIndex(5);
    w.Convert();
    EXPECT_EQ(prompts->Messages().last(), "Can't convert " + Path("a.jpg"));
    EXPECT_TRUE(w.Target().isEmpty());
    EXPECT_TRUE(w.PGImage2->IsEmpty());
    EXPECT_TRUE(QFileInfo(Path("a.gif")).isDir());

    // JPEG quality is the program's from then on.
    w.FormatList->setCurrentIndex(1);
    w.QualityBar->setValue(100);
    w.Convert();
    EXPECT_EQ(JPEGQuality.load(), 100);
    JPEGQuality = 80;

    // Resize mode: captions, and the picture must be fitted to be seen.
    w.SizeToFit->setChecked(false);
    w.MaintainOriginalSize->setChecked(false);
    EXPECT_EQ(w.windowTitle(), "TavConverter - ReSize Mode");
    EXPECT_TRUE(w.SizeToFit->isChecked());
    w.MaintainOriginalSize->setChecked(true);
    EXPECT_EQ(w.windowTitle(), "TavConverter - Original Size Mode");
}

TEST_F(Converter, ResizeModeWritesTheShownSizeAndGifHasAtMost252Colours) {
    SavePicture(Path("big.bmp"), 200, 100);
    TConvertOptions o;
    o.ext = "gif";
    o.originalSize = false;
    o.width = 100;
    o.height = 50;
    auto src = Load(Path("big.bmp"));
    ConvertToFile(*src, o, Path("small.gif"));
    auto out = Load(Path("small.gif"));
    EXPECT_EQ(out->GetWidth(), 100);
    EXPECT_EQ(out->GetHeight(), 50);
    std::set<TRGB> colours;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            colours.insert(out->GetPixelColor(x, y));
    EXPECT_LE(colours.size(), 252u);
}

// The window and `tavtool convert --to` share the conversion: the same
// source gives the same bytes in every format, at the original size and at
// the shown size with sharpening.
TEST_F(Converter, WindowFilesEqualTavtoolsByteForByte) {
    QDir().mkdir(Path("tool"));
    SavePicture(Path("a.png"), 300, 200);
    QFile::copy(Path("a.png"), Path("tool/a.png"));
    TfrmConvert w;
    w.resize(458, 335);
    ASSERT_TRUE(w.SetSource(Path("a.png")));
    w.QualityBar->setValue(75);
    const char* exts[] = {"bmp", "jpg", "tif", "png", "tga", "gif"};
    auto tavtool = [&](const QString& args) {
        const QString cmd = QString("cd '%1' && '%2' convert --to %3 a.png >/dev/null")
                                .arg(Path("tool"), TAVTOOL_PATH, args);
        return std::system(("LSAN_OPTIONS=detect_leaks=0 " + cmd).toLocal8Bit().constData());
    };
    for (int i = 0; i < 6; ++i) {
        w.FormatList->setCurrentIndex(i);
        w.Convert();
        // (PNG to PNG: "!a.png" on both sides, the source is never a target.)
        const QString name = QFileInfo(w.Target()).fileName();
        ASSERT_EQ(name, QString(i == 3 ? "!a." : "a.") + exts[i]);
        ASSERT_EQ(tavtool(QString(exts[i]) + " --quality 75"), 0);
        EXPECT_EQ(ReadFile(w.Target()), ReadFile(Path("tool/" + name))) << exts[i];
    }
    // Resize mode: the size the window shows, sharpened as "Auto Sharpen" says.
    w.MaintainOriginalSize->setChecked(false);
    const QSize shown = w.DisplaySize();
    ASSERT_TRUE(shown.width() < 300 && shown.width() > 0) << shown.width();
    QFile::remove(Path("a.tga"));
    QFile::remove(Path("tool/a.tga"));
    w.FormatList->setCurrentIndex(4);
    w.Convert();
    ASSERT_EQ(tavtool(QString("tga --size %1x%2%3")
                          .arg(shown.width())
                          .arg(shown.height())
                          .arg(w.AutoSharpen->isChecked() ? " --sharpen" : "")),
              0);
    ASSERT_EQ(w.Target(), Path("a.tga"));
    EXPECT_EQ(ReadFile(w.Target()), ReadFile(Path("tool/a.tga")));
    JPEGQuality = 80;
}

// At its first width the window keeps the format list in sight whatever the
// format; ReSize mode offers the size to write (the shown size until one is
// typed, proportions kept); of several files handed over the first is taken.
TEST_F(Converter, FormatListFitsSizeCanBeTypedFirstFileTaken) {
    SavePicture(Path("a.bmp"), 300, 200);
    SavePicture(Path("b.bmp"), 30, 20);
    TfrmConvert w;
    w.resize(458, 335);
    w.show();
    w.TakeHandOver(dir.path(), {Path("a.bmp"), Path("b.bmp")});
    EXPECT_EQ(w.Source(), Path("a.bmp"));
    for (int i = 0; i < w.FormatList->count(); ++i) {
        w.FormatList->setCurrentIndex(i);
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.FormatList->isVisible()) << i;
        const QRect r(w.FormatList->mapTo(&w, QPoint(0, 0)), w.FormatList->size());
        EXPECT_TRUE(w.rect().contains(r)) << i;
    }
    EXPECT_FALSE(w.SizeBar->isVisible());
    w.MaintainOriginalSize->setChecked(false);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.SizeBar->isVisible());
    EXPECT_EQ(QSize(w.NewWidth->value(), w.NewHeight->value()), w.DisplaySize());
    w.NewWidth->setValue(150);
    EXPECT_EQ(w.NewHeight->value(), 100);
    w.FormatList->setCurrentIndex(3); // PNG
    w.Convert();
    auto out = Load(w.Target());
    EXPECT_EQ(out->GetWidth(), 150);
    EXPECT_EQ(out->GetHeight(), 100);
}

// Resized output of a metafile is played at the size that covers the target,
// not at the file's nominal size; other files and the original size load
// whole, as before.
TEST_F(Converter, MetafilesArePlayedAtTheSizeTheResizeNeeds) {
    RegisterMetafileFormats();
    metatest::Emf e; // a red top half on a 3.2 m x 4.1 m frame
    e.Rec(39, metatest::I32s({1, 0, RGB(255, 0, 0), 0}))
        .Rec(37, metatest::I32s({1}))
        .Rec(37, metatest::I32s({0x80000008}))
        .Rec(43, metatest::I32s({0, 0, 320000, 205000}));
    const std::vector<uint8_t> bytes = e.Build(320000, 410000);
    const QString emf = Path("poster.emf");
    {
        QFile f(emf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    SavePicture(Path("plain.bmp"), 200, 100);
    const std::string emfName = QFile::encodeName(emf).toStdString();
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetFileImageInfo(emfName, 0, type, info));
    ASSERT_GT(info.Height, info.Width);

    TConvertOptions o;
    o.ext = "bmp";
    o.originalSize = false;
    o.width = 300;
    o.height = 200;
    // The width needs the larger scale: the shorter side is the width itself.
    EXPECT_EQ(ConvertLoadHint(emfName, o), 300);
    o.width = 100;
    o.height = 400;
    EXPECT_EQ(ConvertLoadHint(emfName, o),
              int(std::ceil(400.0 / info.Height * info.Width)));
    EXPECT_EQ(ConvertLoadHint(QFile::encodeName(Path("plain.bmp")).toStdString(), o), 0);
    EXPECT_EQ(ConvertLoadHint(QFile::encodeName(Path("missing.emf")).toStdString(), o), 0);
    o.width = 20000;
    o.height = 20000;
    EXPECT_EQ(ConvertLoadHint(emfName, o), 0); // larger than the file: played whole
    TConvertOptions whole;
    EXPECT_EQ(ConvertLoadHint(emfName, whole), 0);

    o.width = 300;
    o.height = 200;
    TPixelGraphic src;
    src.SetLoadSizeHint(ConvertLoadHint(emfName, o));
    src.LoadFromFile(emfName);
    EXPECT_EQ(src.GetWidth(), 300);
    ConvertToFile(src, o, Path("poster.bmp"));
    auto out = Load(Path("poster.bmp"));
    ASSERT_EQ(out->GetWidth(), 300);
    ASSERT_EQ(out->GetHeight(), 200);
    EXPECT_EQ(out->GetPixelColor(150, 20), RGB(255, 0, 0));
    EXPECT_EQ(out->GetPixelColor(150, 180), RGB(255, 255, 255));
}
