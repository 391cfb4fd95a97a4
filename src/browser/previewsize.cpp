#include "browser/previewsize.h"

#include <algorithm>
#include <cmath>

int64_t RoundDivEven(int64_t n, int64_t d) {
    const int64_t q = n / d, r = n % d;
    if (2 * r > d || (2 * r == d && (q & 1))) return q + 1;
    return q;
}

namespace {
int AtLeastOne(int64_t v) {
    return int(std::clamp<int64_t>(v, 1, INT32_MAX));
}
} // namespace

QSize FitToPaneSize(QSize content, QSize pane) {
    const int64_t cw = content.width(), ch = content.height();
    if (cw <= 0 || ch <= 0) return {};
    const int64_t pw = std::max(0, pane.width()), ph = std::max(0, pane.height());
    // p >= r with p = ph / pw and r = ch / cw, compared exactly in integers
    // (a pane of no width counts as infinitely tall).
    if (ph * cw >= ch * pw) {
        const int64_t w = std::max<int64_t>(1, pw - 8);
        return {AtLeastOne(w), AtLeastOne(RoundDivEven(ch * w, cw))};
    }
    const int64_t h = std::max<int64_t>(1, ph - 8);
    return {AtLeastOne(RoundDivEven(h * cw, ch)), AtLeastOne(h)};
}

QSize ClipBoxSize(QSize frame, QSize pane) {
    const int64_t fw = std::max(0, frame.width()), fh = std::max(0, frame.height());
    if (pane.width() - 8 >= fw && pane.height() - 8 >= fh) return {AtLeastOne(fw), AtLeastOne(fh)};
    if (fw == 0 || fh == 0) return {AtLeastOne(fw ? 145 : 1), AtLeastOne(fh ? 145 : 1)};
    // r = fh / fw; r > 1 means a tall frame: 145 high, width round(145 / r).
    if (fh > fw) return {AtLeastOne(RoundDivEven(145 * fw, fh)), 145};
    return {145, AtLeastOne(RoundDivEven(145 * fh, fw))};
}

int FirstLookReduce(QSize picture, QSize fitted) {
    const int64_t pw = picture.width(), ph = picture.height();
    const int64_t fw = fitted.width(), fh = fitted.height();
    if (fw <= 0 || fh <= 0 || 2 * fw > pw || 2 * fh > ph) return 0;
    for (int64_t d : {8, 4, 2}) {
        const int64_t w = (pw + d - 1) / d, h = (ph + d - 1) / d;
        if (w >= fw && h >= fh) return int(std::min(w, h));
    }
    return 0;
}

int MetafilePlayHint(QSize picture, QSize shown, double pixelRatio) {
    if (picture.isEmpty() || shown.isEmpty()) return 0;
    const double ratio = pixelRatio > 0 ? pixelRatio : 1;
    // The played picture keeps the file's aspect, so its shorter side maps
    // to the shown size's matching side.
    const bool wide = picture.width() >= picture.height();
    const double side = std::ceil((wide ? shown.height() : shown.width()) * ratio);
    const int own = std::min(picture.width(), picture.height());
    if (!(side < own)) return 0;
    return std::max(1, int(side));
}
