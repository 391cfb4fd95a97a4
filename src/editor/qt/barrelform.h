#pragma once
// TfrmBarrel, "Radial Adjustment (Barrel Distortion)": the four coefficients
// (kept in the settings "RAOuter", "RAMiddle", "RAInner", "RAScaling"), the
// original picture and, after "Apply", the adjusted one. The editor puts a
// copy of its picture in with SetOriginal, runs the window modally and on OK
// takes Adjusted(). An adjusted picture survives Cancel only while the
// original is still the picture it was made from.

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TPGImage;
class TPixelGraphic;

class TfrmBarrel : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmBarrel(QWidget* parent = nullptr);
    ~TfrmBarrel() override; // writes the coefficients to the settings

    QLineEdit *eA, *eB, *eC, *eD;
    TPGImage* PGImage1 = nullptr; // "Original"
    TPGImage* PGImage2 = nullptr; // "Adjusted"
    QComboBox* cbView = nullptr;
    QPushButton *ApplyBtn, *OKBtn, *CancelBtn, *HelpBtn;
    QLabel* StatusText = nullptr;
    QProgressBar* Gauge = nullptr;

    // A copy of the editor's picture as the original.
    void SetOriginal(std::unique_ptr<TPixelGraphic> picture);
    // The adjusted picture, or null when there is none (or it is 0 x 0).
    const TPixelGraphic* Adjusted() const;
    void ClearAdjusted();
    // "Apply": the coefficients checked, then the adjustment with the gauge.
    void Apply();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void OriginalChanged();
};
