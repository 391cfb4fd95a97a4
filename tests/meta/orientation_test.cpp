// Turning pictures upright: the eight orientation values against
// ImageMagick's -auto-orient on TIFF files that carry them, and the
// properties preview turning only when the setting asks for it.

#include <gtest/gtest.h>

#include <QProcess>

#include "meta/exif/exiffile.h"
#include "meta/exif/orientation.h"
#include "meta/qt/fileprop.h"
#include "meta_fixtures.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "view/pgimage.h"

namespace {

bool Convert(const QStringList& args) {
    QProcess p;
    p.start("convert", args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::unique_ptr<TPixelGraphic> Load(const QString& path) {
    auto g = std::make_unique<TPixelGraphic>();
    g->LoadFromFile(path.toStdString());
    return g;
}

const char* const kOrientNames[] = {"", "TopLeft", "TopRight", "BottomRight", "BottomLeft",
                                    "LeftTop", "RightTop", "RightBottom", "LeftBottom"};

} // namespace

TEST(Orientation, AllEightValuesAgreeWithAutoOrient) {
    InitImageLibrary();
    QTemporaryDir dir;
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QString tif = dir.filePath(QString("o%1.tif").arg(o));
        const QString ppm = dir.filePath(QString("o%1.ppm").arg(o));
        // 5 x 3 pixels of noise: every flip and turn shows.
        ASSERT_TRUE(Convert({"-seed", "7", "-size", "5x3", "xc:gray", "+noise", "Random", "-depth", "8",
                         "-type", "TrueColor", "-compress", "none", "-orient", kOrientNames[o], tif}));
        ASSERT_TRUE(Convert({tif, "-auto-orient", "-depth", "8", ppm}));
        EXPECT_EQ(ExifOrientation(tif.toStdString()), o);
        auto ours = Load(tif);
        ASSERT_EQ(ours->GetWidth(), 5); // our reader gives the pixels as stored
        ApplyExifOrientation(ours, o);
        const auto want = Load(ppm);
        ASSERT_EQ(ours->GetWidth(), want->GetWidth());
        ASSERT_EQ(ours->GetHeight(), want->GetHeight());
        for (int y = 0; y < want->GetHeight(); ++y)
            for (int x = 0; x < want->GetWidth(); ++x)
                ASSERT_EQ(ours->GetPixelColor(x, y), want->GetPixelColor(x, y)) << x << "," << y;
    }
    // No block, a missing file, a value outside 1..8: as stored.
    WriteBytes(dir.filePath("plain.bin"), QByteArray(80, 'x'));
    EXPECT_EQ(ExifOrientation(dir.filePath("plain.bin").toStdString()), 1);
    EXPECT_EQ(ExifOrientation(dir.filePath("none.jpg").toStdString()), 1);
}

TEST(Orientation, PropertiesPreviewTurnsOnlyWhenAsked) {
    QTemporaryDir dir;
    const QString tif = dir.filePath("turned.tif");
    ASSERT_TRUE(Convert({"-size", "40x10", "xc:red", "-type", "TrueColor", "-depth", "8", "-compress", "none", "-orient", "RightTop", tif}));
    TScopedPrompts prompts;
    TfrmFileProp d;
    auto shownWidth = [&] {
        int w = 0;
        prompts->dialogAnswers.push_back([&](QDialog*) {
            w = d.Preview->ImageWidth();
            return int(QDialog::Accepted);
        });
        d.ShowFile(tif);
        return w;
    };
    WriteSetting("EXIF Orientation", "0");
    EXPECT_EQ(shownWidth(), 40);
    WriteSetting("EXIF Orientation", "1");
    EXPECT_EQ(shownWidth(), 10);
    WriteSetting("EXIF Orientation", "0");
}
