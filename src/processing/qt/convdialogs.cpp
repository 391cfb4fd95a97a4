#include "processing/qt/convdialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/messages.h"

TConvFilterDialog::TConvFilterDialog(TDistributionShape shape, int lo, int hi, int tick1, int d1,
                                     int p0, int p1, int tick2, int d2, int captionWidth)
    : shape_(shape) {
    const int ranges[2][4] = {{lo, hi, tick1, d1}, {p0, p1, tick2, d2}};
    for (int i = 0; i < 2; ++i) {
        TSliderDesc& s = sliders_[size_t(i)];
        s.present = true;
        s.min = ranges[i][0], s.max = ranges[i][1], s.tick = ranges[i][2];
        s.neutral = s.position = ranges[i][3];
        s.captionWidth = captionWidth;
        s.valueWidth = 32;
    }
}

namespace {

std::string Hundredths(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d.%02d", v / 100, v % 100);
    return buf;
}

} // namespace

void TConvFilterDialog::SetSliderCaptions(int caption, int slider1) {
    caption_ = PGMessage(caption);
    TSliderDesc& a = sliders_[0];
    a.caption = PGMessage(slider1);
    a.minCaption = Hundredths(a.min), a.midCaption = "", a.maxCaption = Hundredths(a.max);
    TSliderDesc& b = sliders_[1];
    b.caption = PGMessage(73);
    b.minCaption = std::to_string(b.min) + "%", b.midCaption = "",
    b.maxCaption = std::to_string(b.max) + "%";
}

std::string TConvFilterDialog::ValueText(int slider) const {
    if (slider == 0) return Hundredths(sliders_[0].position);
    return std::to_string(sliders_[1].position) + "%";
}

void TConvFilterDialog::SetDistributionShape(TDistributionShape s) {
    if (s == shape_) return;
    shape_ = s;
    Reconfigure();
}

void TConvFilterDialog::SetUseDistance(bool v) {
    if (v == useDistance_) return;
    useDistance_ = v;
    Reconfigure();
}

void TConvFilterDialog::SetStdDeviation(long double x) {
    if (std::isnan(x)) return;
    const TSliderDesc& s = sliders_[0];
    x = std::clamp(x, s.min / 100.0L, s.max / 100.0L);
    sliders_[0].position = std::clamp(int(std::nearbyint(x * 100)), s.min, s.max);
    Reconfigure();
}

void TConvFilterDialog::SetPercent(int p) {
    sliders_[1].position = std::clamp(p, sliders_[1].min, sliders_[1].max);
    Reconfigure();
}

void TSharpenFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TConvFilter&>(f).MakeSharpen(shape_, useDistance_, Percent(), StdDeviation());
}

void TDetailFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TConvFilter&>(f).MakeDetail(shape_, useDistance_, Percent(), StdDeviation());
}

void TSmoothFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TConvFilter&>(f).MakeSmooth(shape_, useDistance_, Percent(), StdDeviation());
}

TContourFilterDialog::TContourFilterDialog()
    : TConvFilterDialog(dsRect, 40, 130, 10, 100, 100, 1000, 100, 100, 75) {
    radiosPresent_ = true;
    radioChecked_ = {true, false};
    Init();
}

void TContourFilterDialog::LoadCaptions() {
    SetSliderCaptions(79, 72);
    radioCaptions_ = {PGMessage(80), PGMessage(81)};
    radiosLabel_.clear();
}

void TContourFilterDialog::SetBlackBk(bool v) {
    radioChecked_ = {!v, v};
    Reconfigure();
}

void TContourFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TConvFilter&>(f).MakeContour(shape_, useDistance_, Percent(), StdDeviation(),
                                             !BlackBk());
}

void TBlurFilterDialog::UpdateFilter(TPGFilter& f) const {
    static_cast<TConvFilter&>(f).MakeBlur(Percent(), Radius());
}
