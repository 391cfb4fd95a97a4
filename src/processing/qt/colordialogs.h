#pragma once
// The colour filter dialogs with their published values. Every setter clamps
// and reconfigures the dialog's filter.

#include "processing/colorfilters.h"
#include "processing/qt/filterdialog.h"

// Three sliders, each a table of the filter.
class TXXXFilterDialog : public TPreviewFilterDialog {
  protected:
    TXXXFilterDialog();
    // Slider i, clamped, reconfiguring when it changes.
    void SetValue(int i, int v);
    int Value(int i) const { return sliders_[size_t(i)].position; }
    void UpdateFilter(TPGFilter& f) const override;
    // The three-table captions: caption entry, then the sliders' entries.
    void SetCaptions(int caption, int s1, int s2, int s3);
    virtual bool HueFirst() const { return false; }

  public:
    std::string ValueText(int slider) const override;
};

class TRGBFilterDialog : public TXXXFilterDialog {
  public:
    TRGBFilterDialog() { Init(); }
    int Red() const { return Value(0); }
    void SetRed(int v) { SetValue(0, v); }
    int Green() const { return Value(1); }
    void SetGreen(int v) { SetValue(1, v); }
    int Blue() const { return Value(2); }
    void SetBlue(int v) { SetValue(2, v); }

  protected:
    void LoadCaptions() override { SetCaptions(44, 45, 46, 47); }
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TRGBFilter>();
    }
};

class TCMYFilterDialog : public TXXXFilterDialog {
  public:
    TCMYFilterDialog() { Init(); }
    int Cyan() const { return Value(0); }
    void SetCyan(int v) { SetValue(0, v); }
    int Magenta() const { return Value(1); }
    void SetMagenta(int v) { SetValue(1, v); }
    int Yellow() const { return Value(2); }
    void SetYellow(int v) { SetValue(2, v); }

  protected:
    void LoadCaptions() override { SetCaptions(48, 49, 50, 51); }
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TCMYFilter>();
    }
};

class TYCbCrFilterDialog : public TXXXFilterDialog {
  public:
    TYCbCrFilterDialog() { Init(); }
    int Y() const { return Value(0); }
    void SetY(int v) { SetValue(0, v); }
    int Cb() const { return Value(1); }
    void SetCb(int v) { SetValue(1, v); }
    int Cr() const { return Value(2); }
    void SetCr(int v) { SetValue(2, v); }

  protected:
    void LoadCaptions() override { SetCaptions(52, 53, 54, 55); }
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TYCbCrFilter>();
    }
};

class THLSFilterDialog : public TXXXFilterDialog {
  public:
    THLSFilterDialog() { Init(); }
    int H() const { return Value(0); }
    void SetH(int v) { SetValue(0, v); }
    int L() const { return Value(1); }
    void SetL(int v) { SetValue(1, v); }
    int S() const { return Value(2); }
    void SetS(int v) { SetValue(2, v); }

  protected:
    bool HueFirst() const override { return true; }
    void LoadCaptions() override { SetCaptions(56, 57, 58, 59); }
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<THLSFilter>();
    }
};

class THSVFilterDialog : public TXXXFilterDialog {
  public:
    THSVFilterDialog() { Init(); }
    int H() const { return Value(0); }
    void SetH(int v) { SetValue(0, v); }
    int S() const { return Value(1); }
    void SetS(int v) { SetValue(1, v); }
    int V() const { return Value(2); }
    void SetV(int v) { SetValue(2, v); }

  protected:
    bool HueFirst() const override { return true; }
    void LoadCaptions() override { SetCaptions(60, 57, 59, 61); }
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<THSVFilter>();
    }
};

class TBCGFilterDialog : public TPreviewFilterDialog {
  public:
    TBCGFilterDialog();
    int Brightness() const { return sliders_[0].position; }
    void SetBrightness(int v);
    // Factors 0.2..5 kept as slider positions; read back to two decimals.
    // A value that is no number is ignored.
    long double Contrast() const;
    void SetContrast(long double x);
    long double Gamma() const;
    void SetGamma(long double x);
    bool UseY() const { return radioChecked_[1]; }
    void SetUseY(bool v);
    std::string ValueText(int slider) const override;

  protected:
    void LoadCaptions() override;
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TBCGFilter>();
    }
    void UpdateFilter(TPGFilter& f) const override;
};

class TGrayScaleFilterDialog : public TPreviewFilterDialog {
  public:
    TGrayScaleFilterDialog();
    bool RGBWeighting() const { return checked_; }
    void SetRGBWeighting(bool v);

  protected:
    void LoadCaptions() override;
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TGrayScaleFilter>();
    }
    void UpdateFilter(TPGFilter& f) const override;
};

class TNegativeFilterDialog : public TPreviewFilterDialog {
  public:
    TNegativeFilterDialog() { Init(); }

  protected:
    void LoadCaptions() override;
    std::unique_ptr<TPGFilter> CreateFilter() const override {
        return std::make_unique<TNegativeFilter>();
    }
    void UpdateFilter(TPGFilter&) const override {}
};
