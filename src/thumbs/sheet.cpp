#include "thumbs/sheet.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <climits>
#include <cstring>

#include "core/messages.h"
#include "core/qt/canvas.h"
#include "processing/bevel.h"
#include "processing/convfilter.h"
#include "thumbs/thumbmaker.h"
#include "thumbs/thumbsave.h"

namespace {
QFont SheetFont(const QString& face, int points) {
    QFont f(face.isEmpty() ? QString("Arial") : face);
    f.setPixelSize(std::max(1, SheetFontPixels(points)));
    return f;
}

QColor Color(TRGB c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

struct TNameJob {
    QString name;
    TPoint2 origin;
};

// The sheet's pictures are read precisely, shrunk on load to twice the cell.
void LoadCell(const QString& path, int S, TPixelGraphic& pic, int& W, int& H) {
    TThumbOptions o;
    o.size = S;
    o.fast = false;
    o.loadHint = 2 * S;
    o.warnings = pgwaIgnore;
    LoadThumbSource(path.toStdString(), o, pic, W, H);
}

void DrawCentredLine(QPainter& p, const QString& text, const QFont& font, TRGB color, int W,
                     int y) {
    p.setFont(font);
    p.setPen(Color(color));
    const QFontMetrics fm(font);
    const int tw = fm.horizontalAdvance(text);
    if (tw > W)
        p.drawText(QPoint(0, y + fm.ascent()), "Text Too Long");
    else
        p.drawText(QPoint((W - tw) / 2, y + fm.ascent()), text);
}
} // namespace

int SheetFontPixels(int points) {
    return (points * 96 + 36) / 72;
}

TSheetLayout SheetLayoutFor(const TSheetOptions& o) {
    TSheetLayout l;
    l.S = o.size;
    l.C = o.cols;
    l.HS = o.hspc;
    l.VS = o.vspc;
    if (o.includeTitle)
        l.TH = SheetTextHeight(QFontMetrics(SheetFont(o.titleFace, o.titleSize)).height());
    if (o.includeFooter)
        l.FH = SheetTextHeight(QFontMetrics(SheetFont(o.footerFace, o.footerSize)).height());
    return l;
}

void TileOver(TPixelGraphic& sheet, TPixelGraphic& tile) {
    const int W = sheet.GetWidth(), H = sheet.GetHeight();
    const int w = tile.GetWidth(), h = tile.GetHeight();
    if (W < 1 || H < 1 || w < 1 || h < 1 || sheet.PixelFormat() != pg24Bit) return;
    // Row by row: the tile's row once, then the filled part doubled until the
    // row is full. A 1 x 1 tile costs the same as a plain fill.
    TPixelGraphic t24;
    t24.SetFormat(std::min(w, W), std::min(h, H), pg24Bit);
    t24.CopyRect(0, 0, tile, 0, 0, t24.GetWidth(), t24.GetHeight());
    const int64_t tw = t24.GetWidth();
    for (int y = 0; y < H; ++y) {
        uint8_t* dst = sheet.ScanLine(y);
        std::memcpy(dst, t24.ScanLine(y % t24.GetHeight()), size_t(tw * 3));
        for (int64_t filled = tw; filled < W;) {
            const int64_t n = std::min<int64_t>(filled, W - filled);
            std::memcpy(dst + filled * 3, dst, size_t(n * 3));
            filled += n;
        }
    }
    sheet.Changed();
}

void DrawSheetShadow(TPixelGraphic& sheet, int x, int y, int w, int h) {
    const int W = sheet.GetWidth(), H = sheet.GetHeight();
    auto darken = [&](int px, int py, int e) {
        if (px < 0 || py < 0 || px >= W || py >= H) return;
        uint8_t* p = sheet.ScanLine(py) + int64_t(px) * 3;
        for (int i = 0; i < 3; ++i)
            p[i] = uint8_t(ShadowValue(p[i], e));
    };
    for (int e = 0; e <= 5; ++e) {
        for (int c = x + 6; c <= x + w + e; ++c)
            darken(c, y + h + e, e);
        for (int r = y + 6; r <= y + h + e - 1; ++r)
            darken(x + w + e, r, e);
    }
}

std::unique_ptr<TPixelGraphic> BuildSheet(const QStringList& files, const TSheetOptions& o,
                                          const TSheetEvents& ev) {
    if (files.isEmpty()) throw EThumbnail("You must drag some images into the listbox first!");
    const TSheetLayout l = SheetLayoutFor(o);
    const int n = int(files.size());
    const int64_t W = SheetWidth(l), H = SheetHeight(l, SheetRows(n, l.C));
    // Past an int the picture cannot even be asked for: the same allocation
    // error it gives past its size cap.
    if (W > INT_MAX || H > INT_MAX || W < 1 || H < 1)
        throw EPixelGraphic(PGMessage(31, "CreateDIBSection"));
    auto sheet = std::make_unique<TPixelGraphic>();
    sheet->SetBackgroundColor(o.backgroundColor);
    sheet->SetFormat(int(W), int(H), pg24Bit);
    if (ev.size) ev.size(W, H);
    TPGUpdateScope update(*sheet);
    sheet->Clear();
    if (o.useBackgroundImage) {
        // A failed background leaves the background colour.
        try {
            TPixelGraphic bg;
            int bw = 0, bh = 0;
            TThumbOptions bo;
            bo.fast = false;
            bo.warnings = pgwaIgnore;
            LoadThumbSource(o.backgroundImage.toStdString(), bo, bg, bw, bh);
            TileOver(*sheet, bg);
        } catch (const std::exception&) {
            if (ev.error) ev.error("Could not load Background Image file " + o.backgroundImage);
        }
    }

    std::vector<TNameJob> names;
    TPixelGraphic pic, thumb;
    for (int k = 0; k < n; ++k) {
        if (ev.cancelled && ev.cancelled()) break;
        if (ev.progress) ev.progress(k + 1, n);
        const QString& path = files[k];
        try {
            int pw = 0, ph = 0;
            LoadCell(path, l.S, pic, pw, ph);
            const TThumbPlace t = SheetThumbSize(pw, ph, l.S);
            thumb.SetStretchMode(smPrecise);
            thumb.SetFormat(t.width, t.height, pg24Bit);
            thumb.CopyFrom(pic);
            if (o.autoSharpen) SharpenSheetThumb(thumb, o.sharpenFactor);
            if (o.addBorder) {
                for (int x = 0; x < t.width; ++x) {
                    thumb.SetPixel(x, 0, o.borderColor);
                    thumb.SetPixel(x, t.height - 1, o.borderColor);
                }
                for (int y = 0; y < t.height; ++y) {
                    thumb.SetPixel(0, y, o.borderColor);
                    thumb.SetPixel(t.width - 1, y, o.borderColor);
                }
            }
            if (o.bevel) BevelSheetThumb(thumb, 6);
            const TPoint2 origin = SheetCellOrigin(l, k);
            const TPoint2 at = SheetThumbPos(l, origin, t.width, t.height);
            if (o.addShadow) DrawSheetShadow(*sheet, at.x, at.y, t.width, t.height);
            sheet->CopyRect(at.x, at.y, thumb, 0, 0, t.width, t.height);
            names.push_back({QFileInfo(path).fileName(), origin});
        } catch (const std::exception&) {
            if (ev.error) ev.error("Error loading file " + path);
        }
    }

    // Text last, in one pass over the canvas: names sit below their cells and
    // nothing drawn later reaches them, so the result is the same as drawing
    // each with its cell.
    const bool anyText =
        (o.includeFilenames && !names.empty()) || o.includeTitle || o.includeFooter;
    if (anyText) {
        PGCanvas(*sheet)->Draw([&](QPainter& p) {
            p.setBackgroundMode(Qt::TransparentMode);
            if (o.includeFilenames) {
                const QFont font = SheetFont("", 8);
                const QFontMetrics fm(font);
                p.setFont(font);
                p.setPen(Color(o.textColor));
                for (const TNameJob& j : names) {
                    const int t = fm.horizontalAdvance(j.name);
                    const int left = SheetNameLeft(l, j.origin, t);
                    const int top = j.origin.y + l.S + 4;
                    p.setClipRect(
                        QRect(QPoint(j.origin.x - l.HS / 2, top),
                              QPoint(j.origin.x + l.S + l.HS / 2 - 1, j.origin.y + l.S + 23)));
                    p.drawText(QPoint(left, top + fm.ascent()), j.name);
                }
                p.setClipping(false);
            }
            if (o.includeTitle)
                DrawCentredLine(p, o.titleText, SheetFont(o.titleFace, o.titleSize), o.titleColor,
                                int(W), 20);
            if (o.includeFooter)
                DrawCentredLine(p, o.footerText, SheetFont(o.footerFace, o.footerSize),
                                o.footerColor, int(W), int(H) - l.FH - 10);
        });
        sheet->FlushCanvas();
        sheet->ReleaseCanvasHandle();
    }
    update.Finish();
    return sheet;
}

void SaveSheet(TPixelGraphic& sheet, const QString& path, const QStringList& sources) {
    GuardOutput(path, sources);
    sheet.SaveToFile(path.toStdString());
}

// The filter library (convolution sharpen, bevel frame) is built apart from
// the thumbs folder; these are the two places it plugs in.
void SharpenSheetThumb(TPixelGraphic& thumb, int percent) {
    TConvFilter sharpen;
    sharpen.MakeSharpen(dsTent, false, percent, 0.75L);
    TPixelGraphic out;
    out.SetFormat(0, 0, pg24Bit);
    out.ApplyFilter(sharpen, thumb);
    thumb.Assign(&out);
}

void BevelSheetThumb(TPixelGraphic& thumb, int rings) {
    if (thumb.PixelFormat() != pg24Bit) {
        TPixelGraphic copy;
        copy.SetFormat(thumb.GetWidth(), thumb.GetHeight(), pg24Bit);
        copy.CopyFrom(thumb);
        thumb.Assign(&copy);
    }
    DrawBevel(thumb, rings);
}
