#include "thumbs/thumbrules.h"
#include "formats/droptypes.h"

#include <QStringList>
#include <algorithm>

namespace {
// Trunc(a / b x S) with the quotient taken first, in floating point, never 0.
int ScaledSide(int a, int b, int S) {
    const double q = double(a) / double(b);
    return std::max(1, int(q * S));
}

TThumbPlace Fit(int W, int H, int S) {
    TThumbPlace p;
    if (H < W) {
        p.width = S;
        p.height = ScaledSide(H, W, S);
    } else {
        p.height = S;
        p.width = ScaledSide(W, H, S);
    }
    return p;
}
} // namespace

TThumbPlace ThumbPlace(int W, int H, int S) {
    TThumbPlace p;
    if (W <= 0 || H <= 0 || S <= 0) return p;
    if (W < S && H < S) {
        p.width = W;
        p.height = H;
    } else {
        p = Fit(W, H, S);
    }
    p.left = (S - p.width) / 2;
    p.top = 0;
    return p;
}

TThumbPlace SheetThumbSize(int W, int H, int S) {
    if (W <= 0 || H <= 0 || S <= 0) return {};
    return Fit(W, H, S);
}

QString ThumbSaveName(const QString& prefix, const QString& fileName, const QString& ext) {
    const int dot = fileName.indexOf('.');
    if (dot < 0) return prefix + fileName + "." + ext;
    return prefix + fileName.left(dot + 1) + ext;
}

bool ValidThumbPrefix(const QString& prefix) {
    return !prefix.contains('/') && !prefix.contains(QChar(0)) && prefix != "." && prefix != "..";
}

int SizeFromText(const QString& text) {
    const int blank = text.indexOf(' ');
    bool ok = false;
    const int v = (blank < 0 ? text : text.left(blank)).toInt(&ok);
    return ok && v > 0 ? v : 0;
}

QString ExtFromFormatText(const QString& text) {
    return text.left(3).toLower();
}

QString MakeProgressText(int number, int count, const QString& name) {
    return QString("%1 of %2 (%3)").arg(number).arg(count).arg(name);
}

QString SaveProgressText(int number, int count, const QString& name) {
    return QString("%1 of %2 : %3").arg(number).arg(count).arg(name);
}

QSize ViewImageClientSize(QSize picture, QSize fitted, QSize available, int margin) {
    QSize s = picture.width() < available.width() && picture.height() < available.height() ? picture
                                                                                           : fitted;
    s += QSize(margin, margin);
    return s.boundedTo(available).expandedTo(QSize(1, 1));
}

int SheetRows(int n, int C) {
    if (n <= 0 || C <= 0) return 0;
    return n / C + (n % C != 0 ? 1 : 0);
}

int64_t SheetWidth(const TSheetLayout& l) {
    return int64_t(l.HS) * (l.C - 1) + int64_t(l.S) * l.C + 40;
}

int64_t SheetHeight(const TSheetLayout& l, int rows) {
    return int64_t(l.VS) * (rows - 1) + int64_t(l.S) * rows + l.TH + l.FH + 60;
}

TPoint2 SheetCellOrigin(const TSheetLayout& l, int k) {
    const int r = k / l.C, c = k % l.C;
    return {c * (l.S + l.HS) + 20, l.TH + 20 + r * (l.S + l.VS)};
}

TPoint2 SheetThumbPos(const TSheetLayout& l, TPoint2 o, int w, int h) {
    return {o.x + (l.S - w) / 2, o.y + l.S - h};
}

int SheetNameLeft(const TSheetLayout& l, TPoint2 o, int t) {
    if (t < l.HS + l.S) return o.x + l.S / 2 - t / 2;
    return o.x - l.HS / 2;
}

int SheetTextHeight(int h) {
    return int(1.4 * h);
}

QString SheetSizeText(int64_t W, int64_t H) {
    return QString("ThumbTav size : %1 X %2").arg(W).arg(H);
}

bool ValidSheetSizeText(const QString& text, int* value) {
    if (text.isEmpty() || text.size() > 6) return false;
    for (QChar c : text)
        if (c < '0' || c > '9') return false;
    const int v = text.toInt();
    if (v < 30 || v > 900) return false;
    if (value) *value = v;
    return true;
}

bool AcceptsDroppedPicture(const QString& name) {
    return IsDroppedPictureName(name.toStdString());
}
