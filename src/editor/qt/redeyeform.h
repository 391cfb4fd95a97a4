#pragma once
// TfrmRedEyeReduction, "Red Eye Reduction": the selected eye area with the
// strongly red pixels of its inscribed circle blackened, live as the amount
// slider moves. Made once and kept: the amount and its limits stay between
// uses. The editor gives it a 24-bit copy of the selection, runs it modally
// and on OK applies Limits() to that area of its picture.

#include <QDialog>
#include <memory>

#include "processing/redeye.h"

class QSlider;
class QPushButton;
class TPGImage;

class TfrmRedEyeReduction : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmRedEyeReduction(QWidget* parent = nullptr);
    ~TfrmRedEyeReduction() override;

    QSlider* tbReductionAmount = nullptr;
    TPGImage* PGRedEye = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // The area to work on (a 24-bit copy); the preview is built from it.
    void SetRegion(std::unique_ptr<TPixelGraphic> region);
    TRedEyeLimits Limits() const { return limits_; }

  private:
    void RebuildPreview();

    std::unique_ptr<TPixelGraphic> region_;
    TRedEyeLimits limits_;
};
