#pragma once
// The convolution filter dialogs: two sliders (standard deviation or radius
// in hundredths, strength in percent) and a recipe of TConvFilter. No
// preview. Every setter clamps and reconfigures the dialog's filter.

#include "processing/convfilter.h"
#include "processing/qt/filterdialog.h"

class TConvFilterDialog : public TFilterDialog {
  public:
    TDistributionShape DistributionShape() const { return shape_; }
    void SetDistributionShape(TDistributionShape s);
    long double StdDeviation() const { return sliders_[0].position / 100.0L; }
    // Clamped to the slider (0.40..1.30, or the radius's 0.50..5.00) and
    // kept in hundredths; a value that is no number is ignored.
    void SetStdDeviation(long double x);
    int Percent() const { return sliders_[1].position; }
    void SetPercent(int p);
    bool UseDistance() const { return useDistance_; }
    void SetUseDistance(bool v);
    std::string ValueText(int slider) const override;

  protected:
    // Slider 1 from lo to hi hundredths at default d1; slider 2 from p0 to p1
    // percent in steps of `tick` at default d2.
    TConvFilterDialog(TDistributionShape shape, int lo, int hi, int tick1, int d1, int p0, int p1,
                      int tick2, int d2, int captionWidth);
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TConvFilter>();
    }
    void SetSliderCaptions(int caption, int slider1);

    TDistributionShape shape_;
    bool useDistance_ = true;
};

class TSharpenFilterDialog : public TConvFilterDialog {
  public:
    TSharpenFilterDialog() : TConvFilterDialog(dsGaussian, 40, 130, 10, 75, 10, 100, 10, 50, 75) {
        Init();
    }

  protected:
    void LoadCaptions() override { SetSliderCaptions(74, 72); }
    void UpdateFilter(TPGFilter& f) const override;
};

class TDetailFilterDialog : public TConvFilterDialog {
  public:
    TDetailFilterDialog() : TConvFilterDialog(dsGaussian, 40, 130, 10, 75, 10, 100, 10, 75, 75) {
        Init();
    }

  protected:
    void LoadCaptions() override { SetSliderCaptions(75, 72); }
    void UpdateFilter(TPGFilter& f) const override;
};

class TSmoothFilterDialog : public TConvFilterDialog {
  public:
    TSmoothFilterDialog() : TConvFilterDialog(dsGaussian, 40, 130, 10, 130, 10, 100, 10, 100, 75) {
        Init();
    }

  protected:
    void LoadCaptions() override { SetSliderCaptions(76, 72); }
    void UpdateFilter(TPGFilter& f) const override;
};

class TContourFilterDialog : public TConvFilterDialog {
  public:
    TContourFilterDialog();
    bool BlackBk() const { return radioChecked_[1]; }
    void SetBlackBk(bool v);

  protected:
    void LoadCaptions() override;
    void UpdateFilter(TPGFilter& f) const override;
};

class TBlurFilterDialog : public TConvFilterDialog {
  public:
    TBlurFilterDialog() : TConvFilterDialog(dsGaussian, 50, 500, 50, 250, 10, 100, 10, 100, 50) {
        Init();
    }
    long double Radius() const { return StdDeviation(); }
    void SetRadius(long double x) { SetStdDeviation(x); }

  protected:
    void LoadCaptions() override { SetSliderCaptions(78, 77); }
    void UpdateFilter(TPGFilter& f) const override;
};
