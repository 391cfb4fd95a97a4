#include "editor/saveoptions.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <cstring>

#include "core/options.h"
#include "editor/qt/saveoptionsform.h"
#include "editor_fixture.h"

namespace {

// The library's options back to their start values around each test.
class SaveOptions : public EditorTest {
  protected:
    SaveOptions() { StoreSaveOptions(TSaveOptions{}); }
    ~SaveOptions() override { StoreSaveOptions(TSaveOptions{}); }
    template <class T> static T* Get(QDialog* d, const char* name) {
        T* w = d->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static bool Same(const TSaveOptions& a, const TSaveOptions& b) {
        return a.jpegReadMethod == b.jpegReadMethod && a.jpegWriteMethod == b.jpegWriteMethod &&
               a.jpegQuality == b.jpegQuality && a.jpegProgressive == b.jpegProgressive &&
               a.pxmWriteBinary == b.pxmWriteBinary && a.tiffCompression == b.tiffCompression &&
               a.tiffWriteCMYK == b.tiffWriteCMYK && a.tiffWhiteIsZero == b.tiffWhiteIsZero &&
               a.tiffMotorolaOrder == b.tiffMotorolaOrder &&
               a.tiffResolutionUnit == b.tiffResolutionUnit &&
               a.tiffResolutionX.Numerator == b.tiffResolutionX.Numerator &&
               a.tiffResolutionX.Denominator == b.tiffResolutionX.Denominator &&
               a.tiffResolutionY.Numerator == b.tiffResolutionY.Numerator &&
               a.tiffResolutionY.Denominator == b.tiffResolutionY.Denominator &&
               a.webpQuality == b.webpQuality && a.webpLossless == b.webpLossless &&
               a.avifQuality == b.avifQuality && a.avifSpeed == b.avifSpeed &&
               a.writeGamma == b.writeGamma && a.displayGamma == b.displayGamma &&
               a.gammaCorrection == b.gammaCorrection;
    }
    // Runs "Save Options..." with `fill` changing the dialog, then OK.
    int RunDialog(std::function<void(QDialog*)> fill, bool ok = true) {
        prompts_->dialogAnswers.push_back([fill, ok](QDialog* d) {
            fill(d);
            if (!ok) return int(QDialog::Rejected);
            d->findChild<QPushButton*>("OKBtn")->click();
            return d->result();
        });
        Trigger("SaveOptions1");
        return 0;
    }
    static std::string Run(const QString& prog, const QStringList& args) {
        QProcess p;
        p.start(prog, args);
        p.waitForFinished(20000);
        return p.readAllStandardOutput().toStdString();
    }
};

TEST_F(SaveOptions, CancelAndABadFieldChangeNothing) {
    const TSaveOptions before = CurrentSaveOptions();
    RunDialog([](QDialog* d) { Get<QSlider>(d, "tbImageQuality")->setValue(5); }, false);
    EXPECT_TRUE(Same(CurrentSaveOptions(), before));
    // Quality and the first three resolution fields are fine, the fourth is not.
    RunDialog([&](QDialog* d) {
        Get<QSlider>(d, "tbImageQuality")->setValue(5);
        Get<QLineEdit>(d, "TIFFResHorizNEdit")->setText("150");
        Get<QLineEdit>(d, "TIFFResVertDEdit")->setText("x1");
    });
    EXPECT_TRUE(Same(CurrentSaveOptions(), before));
    EXPECT_EQ(prompts_->Messages().size(), 1);
}

TEST_F(SaveOptions, FieldChecks) {
    struct Case {
        QString texts[5];
        int badField; // -1: accepted
    } const cases[] = {
        {{"150", "1", "72", "2", "2.2"}, -1},
        {{"0", "1", "4294967295", "1", "0.5"}, -1},
        {{"-1", "1", "1", "1", "1.8"}, 0},
        {{"1", "0", "1", "1", "1.8"}, 1},
        {{"1", "1", "4294967296", "1", "1.8"}, 2},
        {{"1", "1", "1", "", "1.8"}, 3},
        {{"1", "1", "1", "1", "0"}, 4},
        {{"1", "1", "1", "1", "-1"}, 4},
        {{"1", "1", "1", "1", "nan"}, 4},
        {{"1", "1", "1", "1", "1e400"}, 4},
        {{"1", "1", "1", "1", "1,8"}, 4},
    };
    for (const Case& c : cases) {
        TSaveOptions o;
        int field = -1;
        const auto error = ParseSaveOptionTexts(c.texts, o, field);
        EXPECT_EQ(error.has_value(), c.badField >= 0) << c.texts[4].toStdString();
        if (error) {
            EXPECT_EQ(field, c.badField);
            EXPECT_EQ(o.displayGamma, TSaveOptions{}.displayGamma);
        }
    }
}

TEST_F(SaveOptions, OKStoresAndTheWritersFollow) {
    RunDialog([](QDialog* d) {
        Get<QRadioButton>(d, "TIFFCompPackBitsRB")->setChecked(true);
        Get<QSpinBox>(d, "WebPQualitySpin")->setValue(42);
        Get<QCheckBox>(d, "WebPLosslessCB")->setChecked(true);
        Get<QSpinBox>(d, "AVIFQualitySpin")->setValue(90);
        Get<QSpinBox>(d, "AVIFSpeedSpin")->setValue(9);
        Get<QRadioButton>(d, "TIFFByteOrderMRB")->setChecked(true);
        Get<QRadioButton>(d, "TIFFCMYKRB")->setChecked(true);
        Get<QRadioButton>(d, "TIFFResCentimeterRB")->setChecked(true);
        Get<QLineEdit>(d, "TIFFResHorizNEdit")->setText("150");
        Get<QLineEdit>(d, "TIFFResVertNEdit")->setText("150");
        Get<QRadioButton>(d, "PXMBinaryRB")->setChecked(true);
        Get<QSlider>(d, "tbImageQuality")->setValue(30);
        Get<QCheckBox>(d, "JPEGWProgressiveCB")->setChecked(true);
        Get<QCheckBox>(d, "WriteGammaCB")->setChecked(false);
        Get<QLineEdit>(d, "ScreenGammaEdit")->setText("2.2");
    });
    const TSaveOptions o = CurrentSaveOptions();
    EXPECT_EQ(o.jpegQuality, 30);
    EXPECT_EQ(o.webpQuality, 42);
    EXPECT_TRUE(o.webpLossless);
    EXPECT_EQ(o.avifQuality, 90);
    EXPECT_EQ(o.avifSpeed, 9);
    EXPECT_EQ(double(o.displayGamma), 2.2);
    Show(pg24Bit, 40, 30);
    for (const char* name : {"o.tif", "o.ppm", "o.jpg", "o.png"}) {
        prompts_->fileAnswers.push_back({Path(name)});
        Trigger("SaveAs1");
        ASSERT_TRUE(QFile::exists(Path(name))) << name;
    }
    const std::string tiff = Run("tiffinfo", {Path("o.tif")});
    EXPECT_NE(tiff.find("PackBits"), std::string::npos) << tiff;
    QFile tif(Path("o.tif"));
    ASSERT_TRUE(tif.open(QIODevice::ReadOnly));
    EXPECT_EQ(tif.read(2), "MM");                                 // big-endian
    EXPECT_NE(tiff.find("separated"), std::string::npos) << tiff; // CMYK
    EXPECT_NE(tiff.find("150, 150 pixels/cm"), std::string::npos) << tiff;
    QFile ppm(Path("o.ppm"));
    ASSERT_TRUE(ppm.open(QIODevice::ReadOnly));
    EXPECT_EQ(ppm.read(2), "P6");
    EXPECT_EQ(Run("identify", {"-format", "%Q", Path("o.jpg")}), "30");
    EXPECT_NE(Run("identify", {"-verbose", Path("o.jpg")}).find("Interlace: JPEG"),
              std::string::npos);
    EXPECT_EQ(Run("pngcheck", {"-v", Path("o.png")}).find("gAMA"), std::string::npos);
}

TEST_F(SaveOptions, GammaShownAsDecimalTextWithAPoint) {
    DisplayGamma = 2.5L;
    TfrmFileSaveOptions d;
    EXPECT_EQ(d.findChild<QLineEdit*>("ScreenGammaEdit")->text(), "2.5");
}

} // namespace
