#include "editor/qt/saveoptionsform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/dialogbuttons.h"
#include "platform/prompts.h"

namespace {

// A titled box holding a row of exclusive radio buttons.
QGroupBox* RadioBox(const QString& title, std::initializer_list<QRadioButton*> buttons,
                    QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* l = new QHBoxLayout(box);
    auto* g = new QButtonGroup(box);
    for (QRadioButton* b : buttons) {
        l->addWidget(b);
        g->addButton(b);
    }
    l->addStretch();
    return box;
}

QLineEdit* Edit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaximumWidth(90);
    return e;
}

} // namespace

QRadioButton* TfrmFileSaveOptions::Radio(const char* name, const QString& text) {
    auto* b = new QRadioButton(text, this);
    b->setObjectName(name);
    return b;
}

TfrmFileSaveOptions::TfrmFileSaveOptions(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmFileSaveOptions");
    setWindowTitle("File Save Options");
    auto* main = new QVBoxLayout(this);

    // PBM, PGM, PPM
    PXMBinaryRB = Radio("PXMBinaryRB", "Write binary");
    PXMASCIIRB = Radio("PXMASCIIRB", "Write ASCII");
    auto* pxm = RadioBox("PBM, PGM, PPM", {PXMBinaryRB, PXMASCIIRB}, this);
    main->addWidget(pxm);

    // TIF
    auto* tif = new QGroupBox("TIF", this);
    auto* tl = new QGridLayout(tif);
    TIFFCompNoneRB = Radio("TIFFCompNoneRB", "None");
    TIFFCompPackBitsRB = Radio("TIFFCompPackBitsRB", "PackBits");
    TIFFCompLZWRB = Radio("TIFFCompLZWRB", "LZW");
    TIFFCompDeflateRB = Radio("TIFFCompDeflateRB", "Deflate");
    tl->addWidget(RadioBox("Write compression",
                           {TIFFCompNoneRB, TIFFCompPackBitsRB, TIFFCompLZWRB, TIFFCompDeflateRB}, tif),
                  0, 0);
    TIFFRGBRB = Radio("TIFFRGBRB", "RGB");
    TIFFCMYKRB = Radio("TIFFCMYKRB", "CMYK");
    tl->addWidget(RadioBox("Write true color as ", {TIFFRGBRB, TIFFCMYKRB}, tif), 0, 1);
    TIFFBlackIsZeroRB = Radio("TIFFBlackIsZeroRB", "BlackIsZero");
    TIFFWhiteIsZeroRB = Radio("TIFFWhiteIsZeroRB", "WhiteIsZero");
    tl->addWidget(RadioBox("Grayscale (2, 16, 256)", {TIFFBlackIsZeroRB, TIFFWhiteIsZeroRB}, tif),
                  1, 0);
    TIFFByteOrderIRB = Radio("TIFFByteOrderIRB", "I");
    TIFFByteOrderMRB = Radio("TIFFByteOrderMRB", "M");
    tl->addWidget(RadioBox("Byte order", {TIFFByteOrderIRB, TIFFByteOrderMRB}, tif), 1, 1);
    TIFFResNoneRB = Radio("TIFFResNoneRB", "No unit");
    TIFFResInchRB = Radio("TIFFResInchRB", "Inch");
    TIFFResCentimeterRB = Radio("TIFFResCentimeterRB", "Centimeter");
    auto* res = RadioBox("Resolution", {TIFFResNoneRB, TIFFResInchRB, TIFFResCentimeterRB}, tif);
    auto* rl = new QGridLayout;
    TIFFResHorizNEdit = Edit("TIFFResHorizNEdit", res);
    TIFFResHorizDEdit = Edit("TIFFResHorizDEdit", res);
    TIFFResVertNEdit = Edit("TIFFResVertNEdit", res);
    TIFFResVertDEdit = Edit("TIFFResVertDEdit", res);
    rl->addWidget(new QLabel("Horiz.:", res), 0, 0);
    rl->addWidget(TIFFResHorizNEdit, 0, 1);
    rl->addWidget(new QLabel("/", res), 0, 2);
    rl->addWidget(TIFFResHorizDEdit, 0, 3);
    rl->addWidget(new QLabel("Vert.:", res), 1, 0);
    rl->addWidget(TIFFResVertNEdit, 1, 1);
    rl->addWidget(new QLabel("/", res), 1, 2);
    rl->addWidget(TIFFResVertDEdit, 1, 3);
    static_cast<QHBoxLayout*>(res->layout())->addLayout(rl);
    tl->addWidget(res, 2, 0, 1, 2);
    main->addWidget(tif);

    // JPG
    auto* jpg = new QGroupBox("JPG", this);
    auto* jl = new QGridLayout(jpg);
    JPEGRIntFastRB = Radio("JPEGRIntFastRB", "Integer, fast");
    JPEGRIntPreciseRB = Radio("JPEGRIntPreciseRB", "Integer, precise");
    JPEGRFloatRB = Radio("JPEGRFloatRB", "Floating point");
    jl->addWidget(RadioBox("Read", {JPEGRIntFastRB, JPEGRIntPreciseRB, JPEGRFloatRB}, jpg), 0, 0);
    JPEGWIntFastRB = Radio("JPEGWIntFastRB", "Integer, fast");
    JPEGWIntPreciseRB = Radio("JPEGWIntPreciseRB", "Integer, precise");
    JPEGWFloatRB = Radio("JPEGWFloatRB", "Floating point");
    jl->addWidget(RadioBox("Write", {JPEGWIntFastRB, JPEGWIntPreciseRB, JPEGWFloatRB}, jpg), 1, 0);
    auto* quality = new QGroupBox("Image Quality", jpg);
    auto* ql = new QHBoxLayout(quality);
    tbImageQuality = new QSlider(Qt::Horizontal, quality);
    tbImageQuality->setObjectName("tbImageQuality");
    tbImageQuality->setRange(1, 100);
    ql->addWidget(new QLabel("Lowest", quality));
    ql->addWidget(tbImageQuality, 1);
    ql->addWidget(new QLabel("Highest", quality));
    jl->addWidget(quality, 2, 0);
    JPEGWProgressiveCB = new QCheckBox("Progressive", jpg);
    JPEGWProgressiveCB->setObjectName("JPEGWProgressiveCB");
    jl->addWidget(JPEGWProgressiveCB, 3, 0);
    main->addWidget(jpg);

    // WebP and AVIF
    auto* modern = new QGroupBox("WEBP, AVIF", this);
    auto* ml = new QGridLayout(modern);
    auto spin = [&](const char* name, int lo, int hi) {
        auto* b = new QSpinBox(modern);
        b->setObjectName(name);
        b->setRange(lo, hi);
        return b;
    };
    WebPQualitySpin = spin("WebPQualitySpin", 1, 100);
    WebPLosslessCB = new QCheckBox("Lossless", modern);
    WebPLosslessCB->setObjectName("WebPLosslessCB");
    AVIFQualitySpin = spin("AVIFQualitySpin", 1, 100);
    AVIFSpeedSpin = spin("AVIFSpeedSpin", 0, 10);
    ml->addWidget(new QLabel("WebP quality", modern), 0, 0);
    ml->addWidget(WebPQualitySpin, 0, 1);
    ml->addWidget(WebPLosslessCB, 0, 2);
    ml->addWidget(new QLabel("AVIF quality", modern), 1, 0);
    ml->addWidget(AVIFQualitySpin, 1, 1);
    ml->addWidget(new QLabel("Speed", modern), 1, 2);
    ml->addWidget(AVIFSpeedSpin, 1, 3);
    main->addWidget(modern);

    // General
    auto* gen = new QGroupBox("General", this);
    auto* gl = new QGridLayout(gen);
    WriteGammaCB = new QCheckBox("Write Gamma", gen);
    WriteGammaCB->setObjectName("WriteGammaCB");
    GammaCorrectionOnReadCB = new QCheckBox("Gamma correction on read", gen);
    GammaCorrectionOnReadCB->setObjectName("GammaCorrectionOnReadCB");
    ScreenGammaEdit = Edit("ScreenGammaEdit", gen);
    gl->addWidget(WriteGammaCB, 0, 0);
    gl->addWidget(GammaCorrectionOnReadCB, 0, 1);
    gl->addWidget(new QLabel("Screen Gamma", gen), 1, 0);
    gl->addWidget(ScreenGammaEdit, 1, 1);
    main->addWidget(gen);

    main->addLayout(OkCancelRow(this));
    LoadOptions();
}

void TfrmFileSaveOptions::LoadOptions() {
    const TSaveOptions o = CurrentSaveOptions();
    (o.jpegReadMethod == 1   ? JPEGRIntFastRB
     : o.jpegReadMethod == 2 ? JPEGRFloatRB
                             : JPEGRIntPreciseRB)
        ->setChecked(true);
    (o.jpegWriteMethod == 1   ? JPEGWIntFastRB
     : o.jpegWriteMethod == 0 ? JPEGWIntPreciseRB
                              : JPEGWFloatRB)
        ->setChecked(true);
    tbImageQuality->setValue(o.jpegQuality);
    JPEGWProgressiveCB->setChecked(o.jpegProgressive);
    (o.pxmWriteBinary ? PXMBinaryRB : PXMASCIIRB)->setChecked(true);
    (o.tiffCompression == 32773 ? TIFFCompPackBitsRB
     : o.tiffCompression == 5   ? TIFFCompLZWRB
     : o.tiffCompression == 8   ? TIFFCompDeflateRB
                                : TIFFCompNoneRB)
        ->setChecked(true);
    (o.tiffWriteCMYK ? TIFFCMYKRB : TIFFRGBRB)->setChecked(true);
    (o.tiffWhiteIsZero ? TIFFWhiteIsZeroRB : TIFFBlackIsZeroRB)->setChecked(true);
    (o.tiffMotorolaOrder ? TIFFByteOrderMRB : TIFFByteOrderIRB)->setChecked(true);
    (o.tiffResolutionUnit == 0   ? TIFFResNoneRB
     : o.tiffResolutionUnit == 2 ? TIFFResCentimeterRB
                                 : TIFFResInchRB)
        ->setChecked(true);
    TIFFResHorizNEdit->setText(QString::number(o.tiffResolutionX.Numerator));
    TIFFResHorizDEdit->setText(QString::number(o.tiffResolutionX.Denominator));
    TIFFResVertNEdit->setText(QString::number(o.tiffResolutionY.Numerator));
    TIFFResVertDEdit->setText(QString::number(o.tiffResolutionY.Denominator));
    WebPQualitySpin->setValue(o.webpQuality);
    WebPLosslessCB->setChecked(o.webpLossless);
    AVIFQualitySpin->setValue(o.avifQuality);
    AVIFSpeedSpin->setValue(o.avifSpeed);
    WriteGammaCB->setChecked(o.writeGamma);
    GammaCorrectionOnReadCB->setChecked(o.gammaCorrection);
    ScreenGammaEdit->setText(GammaText(o.displayGamma));
}

bool TfrmFileSaveOptions::StoreOptions() {
    TSaveOptions o = CurrentSaveOptions();
    const QString texts[5] = {TIFFResHorizNEdit->text(), TIFFResHorizDEdit->text(),
                              TIFFResVertNEdit->text(), TIFFResVertDEdit->text(),
                              ScreenGammaEdit->text()};
    int field = 0;
    if (const auto error = ParseSaveOptionTexts(texts, o, field)) {
        QLineEdit* edits[5] = {TIFFResHorizNEdit, TIFFResHorizDEdit, TIFFResVertNEdit,
                               TIFFResVertDEdit, ScreenGammaEdit};
        ShowMessage(*error, this);
        edits[field]->setFocus();
        edits[field]->selectAll();
        return false;
    }
    o.jpegReadMethod = JPEGRIntFastRB->isChecked() ? 1 : JPEGRFloatRB->isChecked() ? 2 : 0;
    o.jpegWriteMethod = JPEGWIntFastRB->isChecked() ? 1 : JPEGWIntPreciseRB->isChecked() ? 0 : 2;
    o.jpegQuality = tbImageQuality->value();
    o.jpegProgressive = JPEGWProgressiveCB->isChecked();
    o.pxmWriteBinary = PXMBinaryRB->isChecked();
    o.tiffCompression = TIFFCompPackBitsRB->isChecked() ? 32773
                        : TIFFCompLZWRB->isChecked()    ? 5
                        : TIFFCompDeflateRB->isChecked() ? 8
                                                         : 1;
    o.tiffWriteCMYK = TIFFCMYKRB->isChecked();
    o.tiffWhiteIsZero = TIFFWhiteIsZeroRB->isChecked();
    o.tiffMotorolaOrder = TIFFByteOrderMRB->isChecked();
    o.tiffResolutionUnit = TIFFResNoneRB->isChecked()         ? 0
                           : TIFFResCentimeterRB->isChecked() ? 2
                                                              : 1;
    o.webpQuality = WebPQualitySpin->value();
    o.webpLossless = WebPLosslessCB->isChecked();
    o.avifQuality = AVIFQualitySpin->value();
    o.avifSpeed = AVIFSpeedSpin->value();
    o.writeGamma = WriteGammaCB->isChecked();
    o.gammaCorrection = GammaCorrectionOnReadCB->isChecked();
    StoreSaveOptions(o);
    return true;
}

void TfrmFileSaveOptions::accept() {
    if (StoreOptions()) QDialog::accept();
}
