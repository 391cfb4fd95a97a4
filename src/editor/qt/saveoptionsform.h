#pragma once
// TfrmFileSaveOptions, "File Save Options": edits the image library's
// process-wide reader and writer options (editor/saveoptions.h). OK checks
// every field first and stores all options or none; a bad field says why,
// takes the focus and the dialog stays open. Cancel stores nothing. The
// options are shared by every writer of the process: open this dialog on the
// windows' thread only.

#include <QDialog>

#include "editor/saveoptions.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;

class TfrmFileSaveOptions : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmFileSaveOptions(QWidget* parent = nullptr);

    // Fills every control from the library's current options.
    void LoadOptions();
    // Validates and stores; false (nothing stored) on a bad field.
    bool StoreOptions();

    void accept() override;

  private:
    QRadioButton* Radio(const char* name, const QString& text);
    QRadioButton *JPEGRIntFastRB, *JPEGRIntPreciseRB, *JPEGRFloatRB;
    QRadioButton *JPEGWIntFastRB, *JPEGWIntPreciseRB, *JPEGWFloatRB;
    QSlider* tbImageQuality;
    QCheckBox* JPEGWProgressiveCB;
    QRadioButton *PXMBinaryRB, *PXMASCIIRB;
    QRadioButton *TIFFCompNoneRB, *TIFFCompPackBitsRB, *TIFFCompLZWRB, *TIFFCompDeflateRB;
    QRadioButton *TIFFRGBRB, *TIFFCMYKRB;
    QRadioButton *TIFFBlackIsZeroRB, *TIFFWhiteIsZeroRB;
    QRadioButton *TIFFByteOrderIRB, *TIFFByteOrderMRB;
    QRadioButton *TIFFResNoneRB, *TIFFResInchRB, *TIFFResCentimeterRB;
    QLineEdit *TIFFResHorizNEdit, *TIFFResHorizDEdit, *TIFFResVertNEdit, *TIFFResVertDEdit;
    QSpinBox *WebPQualitySpin, *AVIFQualitySpin, *AVIFSpeedSpin;
    QCheckBox* WebPLosslessCB;
    QCheckBox *WriteGammaCB, *GammaCorrectionOnReadCB;
    QLineEdit* ScreenGammaEdit;
};
