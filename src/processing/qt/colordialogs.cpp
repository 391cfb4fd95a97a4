#include "processing/qt/colordialogs.h"

#include <cmath>

#include "core/messages.h"
#include "processing/filtervalues.h"

namespace {

const std::string kPlusMinus = PGMessage(82), kDegree = PGMessage(83);

void PercentSlider(TSliderDesc& s, const std::string& caption) {
    s.present = true;
    s.min = -100, s.max = 100, s.tick = 10, s.neutral = 0;
    s.caption = caption;
    s.minCaption = "-100%", s.midCaption = kPlusMinus + "0%", s.maxCaption = "+100%";
}

void HueSlider(TSliderDesc& s, const std::string& caption) {
    s.present = true;
    s.min = -180, s.max = 180, s.tick = 15, s.neutral = 0;
    s.caption = caption;
    s.minCaption = "-180" + kDegree, s.midCaption = kPlusMinus + "0" + kDegree,
    s.maxCaption = "+180" + kDegree;
}

} // namespace

// ---- the three-table dialogs

TXXXFilterDialog::TXXXFilterDialog() {
    for (TSliderDesc& s : sliders_)
        s.captionWidth = 14;
}

void TXXXFilterDialog::SetCaptions(int caption, int s1, int s2, int s3) {
    caption_ = PGMessage(caption);
    const int ids[3] = {s1, s2, s3};
    for (int i = 0; i < 3; ++i) {
        const int pos = sliders_[size_t(i)].position;
        if (i == 0 && HueFirst())
            HueSlider(sliders_[0], PGMessage(ids[0]));
        else
            PercentSlider(sliders_[size_t(i)], PGMessage(ids[i]));
        sliders_[size_t(i)].position = pos;
    }
}

void TXXXFilterDialog::SetValue(int i, int v) {
    v = i == 0 && HueFirst() ? WrapHue(v) : ClampPercent(v);
    if (v == sliders_[size_t(i)].position) return;
    sliders_[size_t(i)].position = v;
    Reconfigure();
}

std::string TXXXFilterDialog::ValueText(int slider) const {
    const int v = sliders_[size_t(slider)].position;
    return slider == 0 && HueFirst() ? DegreeText(v) : PercentText(v);
}

void TXXXFilterDialog::UpdateFilter(TPGFilter& f) const {
    auto& t = static_cast<TXXXFilter&>(f);
    if (HueFirst())
        SetHueTables(t, Value(0), Value(1), Value(2));
    else
        SetPercentTables(t, Value(0), Value(1), Value(2));
}

// ---- brightness, contrast, gamma

TBCGFilterDialog::TBCGFilterDialog() {
    radiosPresent_ = true;
    radioChecked_ = {true, false};
    Init();
}

void TBCGFilterDialog::LoadCaptions() {
    caption_ = PGMessage(69);
    const int pos[3] = {sliders_[0].position, sliders_[1].position, sliders_[2].position};
    PercentSlider(sliders_[0], PGMessage(66));
    for (int i = 1; i < 3; ++i) {
        TSliderDesc& s = sliders_[size_t(i)];
        s.present = true;
        s.min = -100, s.max = 100, s.tick = 100, s.neutral = 0;
        s.caption = PGMessage(i == 1 ? 67 : 63);
        s.minCaption = "0.20", s.midCaption = "1.00", s.maxCaption = "5.00";
    }
    for (int i = 0; i < 3; ++i) {
        sliders_[size_t(i)].captionWidth = 55;
        sliders_[size_t(i)].position = pos[i];
    }
    radiosLabel_ = PGMessage(68);
    radioCaptions_ = {PGMessage(64), PGMessage(65)};
}

void TBCGFilterDialog::SetBrightness(int v) {
    sliders_[0].position = ClampPercent(v);
    Reconfigure();
}

long double TBCGFilterDialog::Contrast() const {
    return PositionFactorRounded(sliders_[1].position);
}
long double TBCGFilterDialog::Gamma() const {
    return PositionFactorRounded(sliders_[2].position);
}

void TBCGFilterDialog::SetContrast(long double x) {
    if (std::isnan(x)) return;
    sliders_[1].position = FactorPosition(x);
    Reconfigure();
}

void TBCGFilterDialog::SetGamma(long double x) {
    if (std::isnan(x)) return;
    sliders_[2].position = FactorPosition(x);
    Reconfigure();
}

void TBCGFilterDialog::SetUseY(bool v) {
    radioChecked_ = {!v, v};
    Reconfigure();
}

std::string TBCGFilterDialog::ValueText(int slider) const {
    if (slider == 0) return PercentText(sliders_[0].position);
    return FactorText(PositionFactor(sliders_[size_t(slider)].position));
}

void TBCGFilterDialog::UpdateFilter(TPGFilter& f) const {
    SetBCGValues(static_cast<TBCGFilter&>(f), sliders_[0].position, sliders_[1].position,
                 sliders_[2].position, radioChecked_[1]);
}

// ---- grey scale and negative

TGrayScaleFilterDialog::TGrayScaleFilterDialog() {
    checkPresent_ = true;
    checked_ = true;
    Init();
}

void TGrayScaleFilterDialog::LoadCaptions() {
    caption_ = PGMessage(70);
    checkCaption_ = PGMessage(71);
}

void TGrayScaleFilterDialog::SetRGBWeighting(bool v) {
    checked_ = v;
    Reconfigure();
}

void TGrayScaleFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TGrayScaleFilter&>(f).SetRGBWeighting(checked_);
}

void TNegativeFilterDialog::LoadCaptions() {
    caption_ = PGMessage(62);
}
