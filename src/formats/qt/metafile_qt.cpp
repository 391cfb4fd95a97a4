#include "formats/qt/metafile_qt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/metafile.h"
#include "formats/metafile_bytes.h"

namespace {

const char* kInvalid = "Invalid Metafile";

QColor Color(TRGB c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QRectF Rect(const TMetaRect& r) {
    return QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom));
}

// Paints the player's primitives on a QImage.
class TQtMetaCanvas : public TMetaCanvas {
  public:
    TQtMetaCanvas(QImage& image, std::function<bool()> changed)
        : image_(image), painter_(&image), changed_(std::move(changed)) {}

    void SetClip(const std::vector<TMetaRect>* rects) override {
        clipped_ = rects != nullptr;
        clip_ = QRegion();
        if (!rects) {
            painter_.setClipping(false);
            return;
        }
        // Whole pixels, as the device clips; pieces past the picture are cut to it.
        const QRect bounds = image_.rect();
        for (const TMetaRect& r : *rects) {
            const QRect q = QRect(QPoint(int(std::lround(std::clamp(r.Left, -1e6, 1e6))),
                                         int(std::lround(std::clamp(r.Top, -1e6, 1e6)))),
                                  QPoint(int(std::lround(std::clamp(r.Right, -1e6, 1e6))) - 1,
                                         int(std::lround(std::clamp(r.Bottom, -1e6, 1e6))) - 1))
                                .intersected(bounds);
            if (!q.isEmpty()) clip_ += q;
        }
        painter_.setClipRegion(clip_);
    }

    void Polyline(const TMetaStyle& s, const std::vector<TMetaPoint>& pts) override {
        Setup(s, false);
        QPolygonF poly;
        for (const TMetaPoint& p : pts)
            poly << QPointF(p.X, p.Y);
        painter_.drawPolyline(poly);
    }
    void Polygons(const TMetaStyle& s, const std::vector<std::vector<TMetaPoint>>& polys) override {
        Setup(s, true);
        QPainterPath path;
        path.setFillRule(s.Winding ? Qt::WindingFill : Qt::OddEvenFill);
        for (const auto& poly : polys) {
            QPolygonF q;
            for (const TMetaPoint& p : poly)
                q << QPointF(p.X, p.Y);
            path.addPolygon(q);
            path.closeSubpath();
        }
        painter_.drawPath(path);
    }
    void Ellipse(const TMetaStyle& s, const TMetaRect& r) override {
        Setup(s, true);
        painter_.drawEllipse(Rect(r));
    }
    void RoundRect(const TMetaStyle& s, const TMetaRect& r, double rx, double ry) override {
        Setup(s, true);
        painter_.drawRoundedRect(Rect(r), rx, ry);
    }
    void Arc(const TMetaStyle& s, const TMetaRect& r, double start, double span,
             int kind) override {
        Setup(s, kind != 0);
        const int a = int(std::nearbyint(start * 16)), l = int(std::nearbyint(span * 16));
        if (kind == 0)
            painter_.drawArc(Rect(r), a, l);
        else if (kind == 1)
            painter_.drawChord(Rect(r), a, l);
        else
            painter_.drawPie(Rect(r), a, l);
    }
    void Text(const TMetaStyle& s, TMetaPoint at, const std::u16string& text, const TMetaRect* box,
              bool opaqueBox, const std::vector<double>* advances) override {
        // Text and blits ignore the pens' raster operation.
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (box && opaqueBox) painter_.fillRect(Rect(*box), Color(s.BkColor));
        // Fonts need the GUI application; without one only the box is drawn.
        if (text.empty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        QFont font(QString::fromStdString(s.Font.Face));
        font.setPixelSize(std::max(1, int(std::nearbyint(s.Font.Height))));
        font.setWeight(
            QFont::Weight(std::clamp(s.Font.Weight == 0 ? 400 : s.Font.Weight, 100, 900)));
        font.setItalic(s.Font.Italic);
        font.setUnderline(s.Font.Underline);
        font.setStrikeOut(s.Font.StrikeOut);
        if (!advances) {
            // SetTextCharacterExtra and SetTextJustification.
            if (s.CharExtra != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, s.CharExtra);
            if (s.BreakCount > 0 && s.BreakExtra != 0)
                font.setWordSpacing(s.BreakExtra / s.BreakCount);
        }
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QString str = QString::fromUtf16(text.data(), qsizetype(text.size()));
        const QFontMetricsF fm(font);
        double w = fm.horizontalAdvance(str);
        if (advances) {
            w = 0;
            for (double a : *advances)
                w += a;
        }
        double x = 0, y = 0;
        if ((s.TextAlign & 6) == 6)
            x = -w / 2;
        else if (s.TextAlign & 2)
            x = -w;
        if ((s.TextAlign & 24) == 24)
            y = 0;
        else if (s.TextAlign & 8)
            y = -fm.descent();
        else
            y = fm.ascent();
        painter_.save();
        if (box && !opaqueBox) painter_.setClipRect(Rect(*box), Qt::IntersectClip);
        painter_.translate(at.X, at.Y);
        painter_.rotate(-s.Font.Angle);
        if (s.BkOpaque && !box)
            painter_.fillRect(QRectF(x, y - fm.ascent(), w, fm.height()), Color(s.BkColor));
        painter_.setFont(font);
        painter_.setPen(Color(s.TextColor));
        if (!advances) {
            painter_.drawText(QPointF(x, y), str);
        } else {
            // Each character at the place the file gives it.
            double cx = x;
            for (qsizetype i = 0; i < str.size(); ++i) {
                painter_.drawText(QPointF(cx, y), QString(str[i]));
                cx += (*advances)[size_t(i)];
            }
        }
        painter_.restore();
    }
    void Image(const TMetaRect& dest, int width, int height, const std::vector<uint8_t>& bgr,
               int rop3, TRGB pattern) override {
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const bool source = width > 0 && height > 0;
        const QImage img =
            source ? QImage(bgr.data(), width, height, qsizetype(width) * 3, QImage::Format_BGR888)
                   : QImage();
        if (source && rop3 == 0xCC) {
            painter_.drawImage(Rect(dest), img);
            return;
        }
        if (rop3 == 0x00 || rop3 == 0xFF || rop3 == 0xF0 || (!source && rop3 == 0xCC)) {
            painter_.fillRect(Rect(dest), Color(rop3 == 0x00   ? 0
                                                : rop3 == 0xFF ? 0xFFFFFF
                                                : rop3 == 0xCC ? 0 // no source reads as black
                                                               : pattern));
            return;
        }
        // Any other operation combines source, pattern and destination per
        // pixel: the (clipped, scaled) source goes into a layer first, so
        // the clip and the scaling are the painter's own.
        const QRect area = Rect(dest).intersected(QRectF(image_.rect())).toAlignedRect();
        if (area.isEmpty()) return;
        QImage layer(area.size(), QImage::Format_ARGB32);
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.translate(-area.topLeft());
            if (clipped_) lp.setClipRegion(clip_);
            if (source)
                lp.drawImage(Rect(dest), img);
            else
                lp.fillRect(Rect(dest), Qt::black);
        }
        const uint8_t pr = uint8_t(GetRValue(pattern)), pg = uint8_t(GetGValue(pattern)),
                      pb = uint8_t(GetBValue(pattern));
        for (int y = 0; y < area.height(); ++y) {
            const QRgb* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
            uint8_t* dst = image_.scanLine(area.top() + y) + size_t(area.left()) * 3;
            for (int x = 0; x < area.width(); ++x, dst += 3) {
                if (qAlpha(src[x]) < 128) continue;
                dst[0] = MetaRop3(rop3, pb, uint8_t(qBlue(src[x])), dst[0]);
                dst[1] = MetaRop3(rop3, pg, uint8_t(qGreen(src[x])), dst[1]);
                dst[2] = MetaRop3(rop3, pr, uint8_t(qRed(src[x])), dst[2]);
            }
        }
    }
    void BlendImage(const TMetaRect& dest, int width, int height, const std::vector<uint8_t>& bgr,
                    const std::vector<uint8_t>& alpha, int constant) override {
        QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < height; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            const uint8_t* s = bgr.data() + size_t(y) * size_t(width) * 3;
            for (int x = 0; x < width; ++x, s += 3) {
                const int a = alpha.empty() ? 255 : alpha[size_t(y) * size_t(width) + size_t(x)];
                // Premultiplied already; colour bytes above alpha are cut to it.
                row[x] = qRgba(std::min<int>(s[2], a), std::min<int>(s[1], a),
                               std::min<int>(s[0], a), a);
            }
        }
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter_.save();
        painter_.setOpacity(std::clamp(constant, 0, 255) / 255.0);
        painter_.drawImage(Rect(dest), img);
        painter_.restore();
    }
    void FillRect(const TMetaRect& r, TRGB color) override {
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter_.fillRect(Rect(r), Color(color));
    }
    bool Changed() override { return changed_ && changed_(); }

  private:
    void Setup(const TMetaStyle& s, bool fill) {
        // R2_* as the painter's raster operations (S = pen or brush, D = picture).
        static const QPainter::CompositionMode rops[] = {
            QPainter::RasterOp_ClearDestination,           // 1 black
            QPainter::RasterOp_NotSourceAndNotDestination, // 2 not (S or D)
            QPainter::RasterOp_NotSourceAndDestination,    // 3 not S and D
            QPainter::RasterOp_NotSource,                  // 4 not S
            QPainter::RasterOp_SourceAndNotDestination,    // 5 S and not D
            QPainter::RasterOp_NotDestination,             // 6 not D
            QPainter::RasterOp_SourceXorDestination,       // 7 S xor D
            QPainter::RasterOp_NotSourceOrNotDestination,  // 8 not (S and D)
            QPainter::RasterOp_SourceAndDestination,       // 9 S and D
            QPainter::RasterOp_NotSourceXorDestination,    // 10 not (S xor D)
            QPainter::CompositionMode_DestinationOver,     // 11 nothing (drawn as null)
            QPainter::RasterOp_NotSourceOrDestination,     // 12 not S or D
            QPainter::CompositionMode_SourceOver,          // 13 copy
            QPainter::RasterOp_SourceOrNotDestination,     // 14 S or not D
            QPainter::RasterOp_SourceOrDestination,        // 15 S or D
            QPainter::RasterOp_SetDestination};            // 16 white
        painter_.setCompositionMode(rops[std::clamp(s.Rop2, 1, 16) - 1]);
        static const Qt::PenStyle styles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                              Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen};
        if (s.Pen.Style == mpsNull) {
            painter_.setPen(Qt::NoPen);
        } else {
            QPen pen(Color(s.Pen.Color), s.Pen.Width, styles[std::clamp(s.Pen.Style, 0, 5)]);
            if (s.Pen.Style == mpsUser && !s.Pen.Dashes.empty()) {
                // Qt measures dashes in pen widths and wants dash-gap pairs.
                QList<qreal> dashes;
                for (int round = 0; round < (s.Pen.Dashes.size() % 2 ? 2 : 1); ++round)
                    for (double d : s.Pen.Dashes)
                        dashes << std::max(d, 0.01) / std::max(1.0, s.Pen.Width);
                pen.setDashPattern(dashes);
            }
            pen.setCapStyle(s.Pen.Cap == mpcFlat     ? Qt::FlatCap
                            : s.Pen.Cap == mpcSquare ? Qt::SquareCap
                                                     : Qt::RoundCap);
            pen.setJoinStyle(s.Pen.Join == mpjBevel   ? Qt::BevelJoin
                             : s.Pen.Join == mpjMiter ? Qt::MiterJoin
                                                      : Qt::RoundJoin);
            painter_.setPen(pen);
        }
        if (!fill || s.Brush.Style == mbsNull) {
            painter_.setBrush(Qt::NoBrush);
        } else if (s.Brush.Style == mbsHatched) {
            static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
            painter_.setBrush(
                QBrush(Color(s.Brush.Color), hatches[std::clamp(s.Brush.Hatch, 0, 5)]));
            painter_.setBackgroundMode(s.BkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
            painter_.setBackground(Color(s.BkColor));
        } else if (s.Brush.PatternBGR) {
            // Tiles from the picture's origin, as a device brush does.
            const QImage tile(s.Brush.PatternBGR->data(), s.Brush.PatternW, s.Brush.PatternH,
                              qsizetype(s.Brush.PatternW) * 3, QImage::Format_BGR888);
            painter_.setBrush(QBrush(tile.copy()));
            painter_.setBrushOrigin(0, 0);
        } else {
            painter_.setBrush(Color(s.Brush.Color));
        }
    }

    QImage& image_;
    QPainter painter_;
    bool clipped_ = false;
    QRegion clip_;
    std::function<bool()> changed_;
};

std::vector<uint8_t> ReadRest(TStream& stream) {
    std::vector<uint8_t> buf;
    const int64_t left = stream.Remaining();
    if (left <= 0) return buf;
    buf.resize(size_t(left));
    buf.resize(size_t(stream.Read(buf.data(), left)));
    return buf;
}

bool Load(TStream& stream, bool enhanced, TMetafileData& mf) {
    const std::vector<uint8_t> bytes = ReadRest(stream);
    return enhanced ? mf.LoadEMF(bytes.data(), bytes.size(), MetafileScreenDpi())
                    : mf.LoadWMF(bytes.data(), bytes.size(), MetafileScreenDpi());
}

void MetaSizeForHint(int& w, int& h, int hint) {
    if (w <= h) {
        h = std::max(hint, int(std::nearbyint(double(h) * hint / w)));
        w = hint;
    } else {
        w = std::max(hint, int(std::nearbyint(double(w) * hint / h)));
        h = hint;
    }
}

void ReadMetafile(TObject* sender, TStream& stream, TPixelGraphic& picture, bool enhanced) {
    TPGProgressScope progress(picture, sender);
    int counter = 2;
    bool aborted = false;
    auto tick = [&] {
        aborted = aborted || progress.Step(std::min(counter, 100), 100);
        counter += 15;
        return aborted;
    };
    tick();
    TMetafileData mf;
    // A file that cannot be played is an error, not an empty picture that
    // a converter would go on to save.
    if (!Load(stream, enhanced, mf)) throw EPixelGraphic(kInvalid);
    tick();

    int w = mf.Width(), h = mf.Height();
    if (picture.FastRead() && (w > 130 || h > 130)) {
        // Thumbnails: scaled down in proportion so that neither side exceeds 130.
        if (w >= h) {
            h = std::max(1, int(std::nearbyint(double(h) * 130 / w)));
            w = 130;
        } else {
            w = std::max(1, int(std::nearbyint(double(w) * 130 / h)));
            h = 130;
        }
    } else if (const int hint = picture.LoadSizeHint(); hint > 0 && std::min(w, h) > hint) {
        // Vectors are drawn at the size the caller needs: the shorter side
        // at the hint, the other in proportion (never the full nominal size
        // first, which for a poster frame runs to hundreds of megabytes).
        MetaSizeForHint(w, h, hint);
    }
    const TRGB white = RGB(255, 255, 255);
    const std::vector<TRGB>& pal = mf.Palette();
    const int count = int(pal.size());
    picture.SetBackgroundColor(white);
    if (count > 0) {
        picture.SetFormat(w, h, count <= 2 ? pg1Bit : count <= 16 ? pg4Bit : pg8Bit);
        picture.SetPaletteCount(count);
        for (int i = 0; i < count; ++i)
            picture.SetPaletteEntry(i, pal[size_t(i)]);
    } else {
        picture.SetFormat(w, h, pg24Bit);
    }
    picture.SetBackgroundColor(white);
    picture.Clear();
    if (tick()) return;

    QImage image(w, h, QImage::Format_BGR888);
    image.fill(Qt::white);
    {
        TPGUpdateScope update(picture);
        TQtMetaCanvas canvas(image, [&] { return tick(); });
        mf.Play(canvas, w, h);
    }
    // The drawing goes into the picture's rows (palette pictures through
    // the nearest palette entry).
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = image.constScanLine(y);
        if (picture.PixelFormat() == pg24Bit) {
            std::memcpy(picture.ScanLine(y), src, size_t(w) * 3);
        } else {
            for (int x = 0; x < w; ++x)
                picture.SetPixel(
                    x, y,
                    picture.NearestPaletteIndex(RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x])));
        }
    }
    picture.Changed();
    tick();
}

void MetafileInfo(TStream& stream, bool enhanced, TPGImageInfo& info) {
    TMetafileData mf;
    if (!Load(stream, enhanced, mf)) throw EPixelGraphic(kInvalid);
    info = TPGImageInfo{};
    const size_t n = mf.Palette().size();
    info.Colors = n > 0 && n <= 2 ? "2" : n > 0 && n <= 16 ? "16" : n > 0 ? "256" : "16.7M";
    info.BitsPerPixel = n > 0 && n <= 2 ? 1 : n > 0 && n <= 16 ? 4 : n > 0 ? 8 : 24;
    if (!mf.Enhanced())
        info.SubType = mf.HadPlaceableHeader() ? "Placeable, Aldus header" : "No header";
    info.Width = mf.Width();
    info.Height = mf.Height();
    info.GraphicCount = 1;
}

} // namespace

namespace {
std::atomic<double> screenDpi{96};

// Asks the screen, on the window's thread only.
void TakeScreenDpi() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return;
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const double dpi = (s->logicalDotsPerInchX() + s->logicalDotsPerInchY()) / 2;
        if (dpi >= 24 && dpi <= 1200) screenDpi = dpi;
    }
}
} // namespace

bool IsMetafileReader(const TFileFormatReader* reader) {
    return dynamic_cast<const tWMFFileFormatReader*>(reader) ||
           dynamic_cast<const tEMFFileFormatReader*>(reader);
}

double MetafileScreenDpi() {
    return screenDpi;
}

bool tWMFFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    if (size >= 4 && U32(h, size_t(size), 0) == 0x9AC6CDD7) return true;
    const size_t n = size_t(size);
    return size >= 12 && U16(h, n, 0) <= 1 && U16(h, n, 2) == 9 && U16(h, n, 4) != 0 &&
           U32(h, n, 6) > 18 && U16(h, n, 10) != 0;
}

void tWMFFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) throw EPixelGraphic("Index out of bounds");
    ReadMetafile(this, stream, picture, false);
}

void tWMFFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    (void)imageIndex;
    MetafileInfo(stream, false, info);
}

// The header record: type 1 and a size of at least the 88 bytes every
// header has (descriptions and extensions make it longer).
bool tEMFFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    const size_t n = size_t(size);
    return size >= 8 && U32(h, n, 0) == 1 && U32(h, n, 4) >= 88 && U32(h, n, 4) % 4 == 0;
}

void tEMFFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) throw EPixelGraphic("Index out of bounds");
    ReadMetafile(this, stream, picture, true);
}

void tEMFFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    (void)imageIndex;
    MetafileInfo(stream, true, info);
}

void RegisterMetafileFormats() {
    TakeScreenDpi();
    static const bool done = [] {
        RegisterFileFormatReader(std::make_unique<tWMFFileFormatReader>());
        RegisterFileFormatReader(std::make_unique<tEMFFileFormatReader>());
        return true;
    }();
    (void)done;
}
