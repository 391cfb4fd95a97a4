// The record players of TMetafileData: the device-context state both kinds
// of metafile share, then one loop per kind.

#include <algorithm>
#include <cmath>
#include <optional>

#include "formats/metafile.h"
#include "formats/metafile_bytes.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMaxObjects = 65536;
// A clip made of more pieces than this stops being refined (it stays as it was).
constexpr size_t kMaxClipRects = 4096;
// Stand-in for "the whole device" when a clip is cut out of no clip.
constexpr double kHuge = 1e7;

// x' = A x + C y + E, y' = B x + D y + F.
struct TAffine {
    double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
    TMetaPoint Map(double x, double y) const { return {A * x + C * y + E, B * x + D * y + F}; }
    // this after o: first o, then this.
    TAffine After(const TAffine& o) const {
        return {A * o.A + C * o.B, B * o.A + D * o.B,     A * o.C + C * o.D,
                B * o.C + D * o.D, A * o.E + C * o.F + E, B * o.E + D * o.F + F};
    }
    double Det() const { return A * D - B * C; }
};

struct TObj {
    enum Kind { None, Pen, Brush, Font, Region, Palette, Other } kind = None;
    int penStyle = mpsSolid, penCap = mpcRound, penJoin = mpjRound;
    double penWidth = 0;           // logical; 0 = one device pixel
    std::vector<double> penDashes; // user style: logical lengths
    TMetaBrush brush;
    TMetaFont font; // Height logical, signed as stored
    TRGB color = 0;
    std::vector<TMetaRect> rects; // region: logical rectangles
    std::vector<TRGB> colors;     // palette entries
};

struct TDC {
    TObj pen, brush, font;
    TRGB textColor = 0, bkColor = 0xFFFFFF;
    bool bkOpaque = true, winding = false;
    int textAlign = 0, mapMode = 1;
    double wox = 0, woy = 0, wex = 1, wey = 1, vox = 0, voy = 0, vex = 1, vey = 1;
    TAffine world;
    TMetaPoint cur; // logical current position
    // Clip in device pixels: a union of rectangles, or none at all.
    bool clipped = false;
    std::vector<TMetaRect> clip;
    uint64_t clipId = 0;       // changes whenever the clip does
    std::vector<TRGB> palette; // the selected logical palette
    int rop2 = 13;             // R2_COPYPEN
    // SetTextCharacterExtra and SetTextJustification, logical units.
    double charExtra = 0, breakExtra = 0;
    int breakCount = 0;
};

bool Empty(const TMetaRect& r) {
    return !(r.Right > r.Left && r.Bottom > r.Top);
}
TMetaRect Intersect(const TMetaRect& a, const TMetaRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}
// a minus b as up to four pieces.
void Subtract(const TMetaRect& a, const TMetaRect& b, std::vector<TMetaRect>& out) {
    const TMetaRect i = Intersect(a, b);
    if (Empty(i)) {
        out.push_back(a);
        return;
    }
    const TMetaRect pieces[] = {{a.Left, a.Top, a.Right, i.Top},
                                {a.Left, i.Bottom, a.Right, a.Bottom},
                                {a.Left, i.Top, i.Left, i.Bottom},
                                {i.Right, i.Top, a.Right, i.Bottom}};
    for (const TMetaRect& r : pieces)
        if (!Empty(r)) out.push_back(r);
}

TDC DefaultDC() {
    TDC dc;
    dc.pen.kind = TObj::Pen;
    dc.brush.kind = TObj::Brush;
    dc.brush.brush = TMetaBrush{};
    dc.font.kind = TObj::Font;
    dc.font.font.Height = 0;
    return dc;
}

std::u16string Latin1(const uint8_t* p, size_t n) {
    std::u16string s;
    for (size_t i = 0; i < n && p[i]; ++i)
        s.push_back(char16_t(p[i]));
    return s;
}

std::string FaceName(const uint8_t* p, size_t n, bool wide) {
    std::string s;
    for (size_t i = 0; wide ? i + 1 < n : i < n; i += wide ? 2 : 1) {
        unsigned c = wide ? unsigned(p[i] | p[i + 1] << 8) : p[i];
        if (!c) break;
        if (c < 0x80) {
            s.push_back(char(c));
        } else if (c < 0x800) {
            s.push_back(char(0xC0 | (c >> 6)));
            s.push_back(char(0x80 | (c & 63)));
        } else {
            s.push_back(char(0xE0 | (c >> 12)));
            s.push_back(char(0x80 | ((c >> 6) & 63)));
            s.push_back(char(0x80 | (c & 63)));
        }
    }
    return s;
}

// State and drawing helpers shared by both players.
class TPlayer {
  public:
    TPlayer(TMetaCanvas& c, TAffine playback, bool enhanced)
        : canvas_(c), playback_(playback), enhanced_(enhanced), dc_(DefaultDC()) {}

    TDC& DC() { return dc_; }
    bool Stopped() const { return stopped_; }

    void SetObjectTable(size_t n) {
        objects_.assign(std::min(std::max<size_t>(n, 1), kMaxObjects), TObj{});
    }
    // WMF: the lowest free slot; EMF: the slot the record names.
    void AddObject(const TObj& o) {
        for (TObj& slot : objects_)
            if (slot.kind == TObj::None) {
                slot = o;
                return;
            }
    }
    void PutObject(uint32_t index, const TObj& o) {
        if (index > 0 && index < objects_.size()) objects_[index] = o;
    }
    void Select(uint32_t index) {
        if (index >= objects_.size()) return;
        Use(objects_[index]);
    }
    void Use(const TObj& o) {
        if (o.kind == TObj::Region) SelectClip(o.rects, 5);
        if (o.kind == TObj::Palette) dc_.palette = o.colors;
        if (o.kind == TObj::Pen) dc_.pen = o;
        if (o.kind == TObj::Brush) dc_.brush = o;
        if (o.kind == TObj::Font) dc_.font = o;
    }
    void Delete(uint32_t index) {
        if (index < objects_.size()) objects_[index] = TObj{};
    }
    const TObj* Object(uint32_t index) const {
        return index < objects_.size() ? &objects_[index] : nullptr;
    }
    TObj* MutableObject(uint32_t index) {
        return index < objects_.size() ? &objects_[index] : nullptr;
    }

    // ---- clipping (logical input unless the name says device)
    void IntersectClip(double l, double t, double r, double b) {
        const TMetaRect box = MapRect(l, t, r, b);
        std::vector<TMetaRect> next;
        if (!dc_.clipped) next.push_back(box);
        for (const TMetaRect& c : dc_.clip) {
            const TMetaRect i = Intersect(c, box);
            if (!Empty(i)) next.push_back(i);
        }
        SetClip(std::move(next));
    }
    void ExcludeClip(double l, double t, double r, double b) {
        const TMetaRect box = MapRect(l, t, r, b);
        std::vector<TMetaRect> from = dc_.clip, next;
        if (!dc_.clipped) from = {{-kHuge, -kHuge, kHuge, kHuge}};
        for (const TMetaRect& c : from)
            Subtract(c, box, next);
        if (next.size() <= kMaxClipRects) SetClip(std::move(next));
    }
    void OffsetClip(double x, double y) {
        if (!dc_.clipped) return;
        const TMetaPoint o = Map(0, 0), q = Map(x, y);
        std::vector<TMetaRect> next = dc_.clip;
        for (TMetaRect& c : next)
            c = {c.Left + q.X - o.X, c.Top + q.Y - o.Y, c.Right + q.X - o.X, c.Bottom + q.Y - o.Y};
        SetClip(std::move(next));
    }
    // A region in logical units combined by `mode` (1 and, 2 or, 3 xor, 4 diff, 5 copy).
    void SelectClip(const std::vector<TMetaRect>& logical, int mode) {
        std::vector<TMetaRect> dev;
        for (const TMetaRect& r : logical)
            dev.push_back(MapRect(r.Left, r.Top, r.Right, r.Bottom));
        SelectDeviceClip(dev, mode);
    }
    void SelectDeviceClip(const std::vector<TMetaRect>& region, int mode) {
        std::vector<TMetaRect> next;
        const std::vector<TMetaRect> all =
            dc_.clipped ? dc_.clip : std::vector<TMetaRect>{{-kHuge, -kHuge, kHuge, kHuge}};
        switch (mode) {
        case 1: // and
            for (const TMetaRect& c : all)
                for (const TMetaRect& r : region) {
                    const TMetaRect i = Intersect(c, r);
                    if (!Empty(i) && next.size() < kMaxClipRects) next.push_back(i);
                }
            break;
        case 2: // or
            next = all;
            next.insert(next.end(), region.begin(), region.end());
            break;
        case 3: { // xor: what either has and the other has not
            std::optional<std::vector<TMetaRect>> a = Minus(all, region), b = Minus(region, all);
            if (!a || !b) return;
            next = std::move(*a);
            next.insert(next.end(), b->begin(), b->end());
            break;
        }
        case 4: { // diff
            std::optional<std::vector<TMetaRect>> d = Minus(all, region);
            if (!d) return;
            next = std::move(*d);
            break;
        }
        default:
            next = region;
            break;
        }
        if (next.size() > kMaxClipRects) return;
        SetClip(std::move(next));
    }
    // The union of `from` less the union of `cut`; none past the clip's size limit.
    static std::optional<std::vector<TMetaRect>> Minus(const std::vector<TMetaRect>& from,
                                                       const std::vector<TMetaRect>& cut) {
        std::vector<TMetaRect> next = from;
        for (const TMetaRect& r : cut) {
            std::vector<TMetaRect> pieces;
            for (const TMetaRect& c : next)
                Subtract(c, r, pieces);
            if (pieces.size() > kMaxClipRects) return std::nullopt;
            next = std::move(pieces);
        }
        return next;
    }
    // A region in pixels of the reference device (enhanced metafiles).
    void SelectRefDeviceClip(const std::vector<TMetaRect>& ref, int mode) {
        std::vector<TMetaRect> dev;
        for (const TMetaRect& r : ref) {
            const TMetaPoint a = playback_.Map(r.Left, r.Top), b = playback_.Map(r.Right, r.Bottom);
            dev.push_back(
                {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)});
        }
        SelectDeviceClip(dev, mode);
    }
    void ResetClip() {
        dc_.clipped = false;
        dc_.clip.clear();
        dc_.clipId = ++nextClipId_;
    }

    void Save() {
        if (saved_.size() < 4096) saved_.push_back(dc_);
    }
    void Restore(int n) {
        // Negative: relative to the top; positive: an absolute level (1 = first save).
        size_t keep =
            n < 0
                ? (size_t(-int64_t(n)) <= saved_.size() ? saved_.size() + size_t(n) : saved_.size())
                : (size_t(n) >= 1 && size_t(n) <= saved_.size() ? size_t(n) - 1 : saved_.size());
        if (keep >= saved_.size()) return;
        dc_ = saved_[keep];
        saved_.resize(keep);
    }

    // Logical to device.
    TAffine Transform() const {
        TAffine wv;
        double sx = 1, sy = 1;
        const int mm = enhanced_ ? dc_.mapMode : 8;
        switch (mm) {
        case 1:
            break;
        case 7:
        case 8:
            sx = dc_.wex != 0 ? dc_.vex / dc_.wex : 1;
            sy = dc_.wey != 0 ? dc_.vey / dc_.wey : 1;
            if (mm == 7) {
                // Isotropic: one scale for both axes, the smaller one.
                const double s = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(s, sx);
                sy = std::copysign(s, sy);
            }
            break;
        default: {
            // Fixed units, y up: 0.1 mm, 0.01 mm, 0.01 in, 0.001 in, 1/1440 in.
            static const double mmPerUnit[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
            const double u = mm >= 2 && mm <= 6 ? mmPerUnit[mm] : 1;
            sx = u * devPerMMx;
            sy = -u * devPerMMy;
            break;
        }
        }
        wv.A = sx;
        wv.D = sy;
        wv.E = dc_.vox - dc_.wox * sx;
        wv.F = dc_.voy - dc_.woy * sy;
        return playback_.After(wv.After(dc_.world));
    }
    TMetaPoint Map(double x, double y) const { return Transform().Map(x, y); }
    TMetaRect MapRect(double l, double t, double r, double b) const {
        const TAffine m = Transform();
        const TMetaPoint p = m.Map(l, t), q = m.Map(r, b);
        return {std::min(p.X, q.X), std::min(p.Y, q.Y), std::max(p.X, q.X), std::max(p.Y, q.Y)};
    }
    double ScaleX() const {
        const TAffine m = Transform();
        return std::hypot(m.A, m.B);
    }
    double ScaleY() const {
        const TAffine m = Transform();
        return std::hypot(m.C, m.D);
    }

    TMetaStyle Style() const {
        TMetaStyle s;
        s.Pen.Style = dc_.pen.penStyle;
        s.Pen.Color = dc_.pen.color & 0xFFFFFF;
        s.Pen.Width = std::max(1.0, std::min(dc_.pen.penWidth * ScaleX(), 4096.0));
        s.Pen.Cap = dc_.pen.penCap;
        s.Pen.Join = dc_.pen.penJoin;
        for (double d : dc_.pen.penDashes)
            s.Pen.Dashes.push_back(std::min(d * ScaleX(), 1e5));
        s.Brush = dc_.brush.brush;
        s.Brush.Color &= 0xFFFFFF;
        s.Font = dc_.font.font;
        // Negative heights give the character height, positive the cell height.
        const double h = dc_.font.font.Height;
        s.Font.Height = h == 0 ? 12 * ScaleY() : std::fabs(h) * ScaleY() * (h > 0 ? 0.85 : 1);
        s.Font.Height = std::clamp(s.Font.Height, 1.0, 4096.0);
        s.TextColor = dc_.textColor & 0xFFFFFF;
        s.BkColor = dc_.bkColor & 0xFFFFFF;
        s.BkOpaque = dc_.bkOpaque;
        s.Winding = dc_.winding;
        s.TextAlign = dc_.textAlign;
        s.CharExtra = std::clamp(dc_.charExtra * ScaleX(), -4096.0, 4096.0);
        s.BreakExtra = std::clamp(dc_.breakExtra * ScaleX(), -65536.0, 65536.0);
        s.BreakCount = dc_.breakCount;
        // Binary raster operations that set a fixed result are plain colours;
        // the canvas combines the others with what is there.
        s.Rop2 = dc_.rop2;
        if (dc_.rop2 == 1 || dc_.rop2 == 16) {
            const TRGB c = dc_.rop2 == 1 ? 0 : 0xFFFFFF;
            s.Pen.Color = s.Brush.Color = c;
            s.Brush.PatternBGR.reset();
            s.Rop2 = 13;
        } else if (dc_.rop2 == 11) { // R2_NOP
            s.Pen.Style = mpsNull;
            s.Brush.Style = mbsNull;
            s.Rop2 = 13;
        }
        return s;
    }

    // ---- primitives (logical input)
    void Polyline(const std::vector<TMetaPoint>& logical) {
        if (logical.size() < 2) return;
        if (inPath_) {
            PathMoveTo(logical[0]);
            for (size_t i = 1; i < logical.size(); ++i)
                PathLineTo(logical[i]);
            return;
        }
        Draw([&] { canvas_.Polyline(Style(), MapAll(logical)); });
    }
    void Polygons(const std::vector<std::vector<TMetaPoint>>& logical) {
        if (inPath_) {
            for (const auto& p : logical) {
                if (p.empty()) continue;
                PathMoveTo(p[0]);
                for (size_t i = 1; i < p.size(); ++i)
                    PathLineTo(p[i]);
                CloseFigure();
            }
            return;
        }
        std::vector<std::vector<TMetaPoint>> dev;
        for (const auto& p : logical)
            if (p.size() >= 2) dev.push_back(MapAll(p));
        if (!dev.empty()) Draw([&] { canvas_.Polygons(Style(), dev); });
    }
    void Rectangle(double l, double t, double r, double b) {
        Polygons({{{l, t}, {r, t}, {r, b}, {l, b}}});
    }
    void Ellipse(double l, double t, double r, double b) {
        Draw([&] { canvas_.Ellipse(Style(), MapRect(l, t, r, b)); });
    }
    void RoundRect(double l, double t, double r, double b, double w, double h) {
        Draw([&] {
            canvas_.RoundRect(Style(), MapRect(l, t, r, b), std::fabs(w * ScaleX()) / 2,
                              std::fabs(h * ScaleY()) / 2);
        });
    }
    void Arc(double l, double t, double r, double b, double xs, double ys, double xe, double ye,
             int kind) {
        const TMetaRect box = MapRect(l, t, r, b);
        const double cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
        const double rx = std::max(1e-9, (box.Right - box.Left) / 2),
                     ry = std::max(1e-9, (box.Bottom - box.Top) / 2);
        const TMetaPoint s = Map(xs, ys), e = Map(xe, ye);
        double a0 = std::atan2(-(s.Y - cy) / ry, (s.X - cx) / rx) * 180 / kPi;
        double a1 = std::atan2(-(e.Y - cy) / ry, (e.X - cx) / rx) * 180 / kPi;
        // Counter-clockwise in logical space; a flipped mapping turns it round.
        if (Transform().Det() < 0) std::swap(a0, a1);
        double span = a1 - a0;
        if (span <= 0) span += 360;
        Draw([&] { canvas_.Arc(Style(), box, a0, span, kind); });
    }
    // `dx`: logical advance per character (may be empty).
    void Text(double x, double y, const std::u16string& text, const TMetaRect* logicalBox,
              bool opaque, const std::vector<double>& dx = {}) {
        if (dc_.textAlign & 1) { // TA_UPDATECP: drawn at the current position
            x = dc_.cur.X;
            y = dc_.cur.Y;
        }
        std::optional<TMetaRect> box;
        if (logicalBox)
            box = MapRect(logicalBox->Left, logicalBox->Top, logicalBox->Right, logicalBox->Bottom);
        if (text.empty() && !(box && opaque)) return;
        // Spacing given for fewer characters than the text has is not used.
        std::vector<double> adv;
        if (dx.size() >= text.size()) {
            const double sx = ScaleX();
            for (size_t i = 0; i < text.size(); ++i)
                adv.push_back(std::clamp(dx[i] * sx, -1e5, 1e5));
        }
        Draw([&] {
            canvas_.Text(Style(), Map(x, y), text, box ? &*box : nullptr, opaque,
                         adv.empty() ? nullptr : &adv);
        });
        if (dc_.textAlign & 1) dc_.cur = {x, y};
    }
    void Image(double l, double t, double w, double h, int iw, int ih,
               const std::vector<uint8_t>& bgr, int rop3 = 0xCC) {
        Draw([&] {
            canvas_.Image(MapRect(l, t, l + w, t + h), iw, ih, bgr, rop3,
                          dc_.brush.brush.Color & 0xFFFFFF);
        });
    }
    void BlendImage(double l, double t, double w, double h, int iw, int ih,
                    const std::vector<uint8_t>& bgr, const std::vector<uint8_t>& alpha,
                    int constant) {
        Draw(
            [&] { canvas_.BlendImage(MapRect(l, t, l + w, t + h), iw, ih, bgr, alpha, constant); });
    }
    // A blit without source pixels: pattern and destination only.
    void PatBlt(double l, double t, double w, double h, int rop3) {
        if (rop3 == 0xAA) return; // the destination as it is
        Image(l, t, w, h, 0, 0, {}, rop3);
    }
    void Fill(double l, double t, double w, double h, TRGB color) {
        Draw([&] { canvas_.FillRect(MapRect(l, t, l + w, t + h), color & 0xFFFFFF); });
    }

    // ---- current position and paths (EMF)
    void MoveTo(double x, double y) {
        dc_.cur = {x, y};
        if (inPath_) PathMoveTo({x, y});
    }
    void LineTo(double x, double y) {
        if (inPath_) {
            PathLineTo({x, y});
        } else {
            Polyline({dc_.cur, {x, y}});
        }
        dc_.cur = {x, y};
    }
    void BeginPath() {
        inPath_ = true;
        path_.clear();
        closed_.clear();
    }
    void EndPath() { inPath_ = false; }
    void AbortPath() {
        inPath_ = false;
        path_.clear();
        closed_.clear();
    }
    void CloseFigure() {
        if (!closed_.empty()) closed_.back() = true;
        if (!path_.empty() && !path_.back().empty()) path_.back().push_back(path_.back().front());
    }
    void FillPath(bool fill, bool stroke) {
        if (path_.empty()) return;
        std::vector<std::vector<TMetaPoint>> dev;
        for (const auto& p : path_)
            if (p.size() >= 2) dev.push_back(MapAll(p));
        TMetaStyle s = Style();
        if (!stroke) s.Pen.Style = mpsNull;
        if (fill) {
            Draw([&] { canvas_.Polygons(s, dev); });
        } else {
            for (const auto& p : dev)
                Draw([&] { canvas_.Polyline(s, p); });
        }
        path_.clear();
        closed_.clear();
    }
    bool InPath() const { return inPath_; }
    // SELECTCLIPPATH: a path made of axis-aligned rectangles (what clip art
    // clips with) becomes the clip as they are; any other path is turned
    // into whole-pixel spans, row by row, under the polygon fill rule.
    void ClipToPath(int mode) {
        std::vector<TMetaRect> rects;
        const TAffine m = Transform();
        bool boxes = true;
        for (auto fig : path_) {
            if (fig.size() == 5 && fig[4].X == fig[0].X && fig[4].Y == fig[0].Y) fig.pop_back();
            if (fig.size() != 4) {
                boxes = false;
                break;
            }
            TMetaPoint d[4];
            for (int i = 0; i < 4; ++i)
                d[i] = m.Map(fig[size_t(i)].X, fig[size_t(i)].Y);
            const bool hv =
                d[0].Y == d[1].Y && d[1].X == d[2].X && d[2].Y == d[3].Y && d[3].X == d[0].X;
            const bool vh =
                d[0].X == d[1].X && d[1].Y == d[2].Y && d[2].X == d[3].X && d[3].Y == d[0].Y;
            if (!hv && !vh) {
                boxes = false;
                break;
            }
            rects.push_back({std::min(d[0].X, d[2].X), std::min(d[0].Y, d[2].Y),
                             std::max(d[0].X, d[2].X), std::max(d[0].Y, d[2].Y)});
        }
        // No path: the clip stays as it is.
        bool usable = !path_.empty();
        if (usable && !boxes) {
            std::vector<std::vector<TMetaPoint>> dev;
            for (const auto& p : path_)
                if (p.size() >= 3) dev.push_back(MapAll(p));
            std::optional<std::vector<TMetaRect>> spans = ScanSpans(dev, dc_.winding);
            usable = spans.has_value();
            if (usable) rects = std::move(*spans);
        }
        path_.clear();
        closed_.clear();
        if (usable && rects.size() <= kMaxClipRects) SelectDeviceClip(rects, mode);
    }
    // The pixels whose centres lie inside the polygons (closed implicitly),
    // as rectangles: the spans of each row, rows with equal spans joined.
    // None when they cannot be a clip (points not finite, more pieces than
    // a clip may hold).
    static std::optional<std::vector<TMetaRect>>
    ScanSpans(const std::vector<std::vector<TMetaPoint>>& polys, bool winding) {
        std::vector<TMetaRect> out;
        double top = 1e300, bottom = -1e300;
        for (const auto& p : polys)
            for (const TMetaPoint& q : p) {
                if (!std::isfinite(q.X) || !std::isfinite(q.Y)) return std::nullopt;
                top = std::min(top, q.Y);
                bottom = std::max(bottom, q.Y);
            }
        if (!(bottom > top)) return out;
        const double y0 = std::max(std::floor(top), -kHuge),
                     y1 = std::min(std::ceil(bottom), kHuge);
        // Each row crosses every edge: bounded work for any path.
        double edges = 0;
        for (const auto& p : polys)
            edges += double(p.size());
        if (y1 - y0 > 1e5 || edges * (y1 - y0) > 2e7) return std::nullopt;
        std::vector<std::pair<double, int>> cross;
        std::vector<std::pair<double, double>> spans, previous;
        auto flush = [&](double rowTop, double rowBottom) {
            for (const auto& [l, r] : previous)
                out.push_back({l, rowTop, r, rowBottom});
        };
        double runTop = y0;
        for (double y = y0; y < y1; ++y) {
            const double cy = y + 0.5;
            cross.clear();
            for (const auto& p : polys)
                for (size_t i = 0; i < p.size(); ++i) {
                    const TMetaPoint a = p[i], b = p[(i + 1) % p.size()];
                    if ((a.Y <= cy) == (b.Y <= cy)) continue;
                    const double x = a.X + (cy - a.Y) * (b.X - a.X) / (b.Y - a.Y);
                    cross.push_back({x, b.Y > a.Y ? 1 : -1});
                }
            std::sort(cross.begin(), cross.end());
            spans.clear();
            int inside = 0;
            for (size_t i = 0; i + 1 < cross.size(); ++i) {
                inside = winding ? inside + cross[i].second : inside ^ 1;
                if (inside == 0) continue;
                // Whole pixels whose centres lie between the crossings.
                const double l = std::ceil(cross[i].first - 0.5),
                             r = std::ceil(cross[i + 1].first - 0.5);
                if (r <= l) continue;
                if (!spans.empty() && spans.back().second >= l)
                    spans.back().second = std::max(spans.back().second, r);
                else
                    spans.push_back({l, r});
            }
            if (spans != previous) {
                flush(runTop, y);
                if (out.size() > kMaxClipRects) return std::nullopt;
                previous = spans;
                runTop = y;
            }
        }
        flush(runTop, y1);
        if (out.size() > kMaxClipRects) return std::nullopt;
        return out;
    }
    void PathMoveTo(TMetaPoint p) {
        path_.push_back({p});
        closed_.push_back(false);
    }
    void PathLineTo(TMetaPoint p) {
        if (path_.empty()) PathMoveTo(dc_.cur);
        if (path_.back().size() < 1000000) path_.back().push_back(p);
    }
    // Cubic segments flattened into lines.
    void PathBezier(TMetaPoint p0, TMetaPoint c1, TMetaPoint c2, TMetaPoint p3,
                    std::vector<TMetaPoint>& out) {
        for (int i = 1; i <= 16; ++i) {
            const double t = i / 16.0, u = 1 - t;
            out.push_back(
                {u * u * u * p0.X + 3 * u * u * t * c1.X + 3 * u * t * t * c2.X + t * t * t * p3.X,
                 u * u * u * p0.Y + 3 * u * u * t * c1.Y + 3 * u * t * t * c2.Y +
                     t * t * t * p3.Y});
        }
    }

    double devPerMMx = 1, devPerMMy = 1;

  private:
    std::vector<TMetaPoint> MapAll(const std::vector<TMetaPoint>& pts) const {
        const TAffine m = Transform();
        std::vector<TMetaPoint> out;
        out.reserve(pts.size());
        for (const TMetaPoint& p : pts)
            out.push_back(m.Map(p.X, p.Y));
        return out;
    }
    void SetClip(std::vector<TMetaRect> rects) {
        dc_.clipped = true;
        dc_.clip = std::move(rects);
        dc_.clipId = ++nextClipId_;
    }
    template <class F> void Draw(F f) {
        if (stopped_) return;
        if (dc_.clipId != sentClipId_) {
            canvas_.SetClip(dc_.clipped ? &dc_.clip : nullptr);
            sentClipId_ = dc_.clipId;
        }
        f();
        if (canvas_.Changed()) stopped_ = true;
    }

    TMetaCanvas& canvas_;
    TAffine playback_;
    bool enhanced_;
    TDC dc_;
    std::vector<TDC> saved_;
    std::vector<TObj> objects_;
    bool inPath_ = false;
    std::vector<std::vector<TMetaPoint>> path_;
    std::vector<bool> closed_;
    bool stopped_ = false;
    uint64_t nextClipId_ = 0, sentClipId_ = 0;
};

TObj MakePen(int style, double width, TRGB color) {
    TObj o;
    o.kind = TObj::Pen;
    // 8, alternate pixels, is as near a dotted line as a scaled picture gets.
    const int kind = style & 0xF;
    o.penStyle = kind <= 4 ? kind : kind == 5 ? mpsNull : kind == 8 ? mpsDot : mpsSolid;
    o.penWidth = std::fabs(width);
    o.color = color;
    // End caps and joins live in the style's high bits (round when 0).
    const int cap = (style >> 8) & 0xF, join = (style >> 12) & 0xF;
    o.penCap = cap == 1 ? mpcSquare : cap == 2 ? mpcFlat : mpcRound;
    o.penJoin = join == 1 ? mpjBevel : join == 2 ? mpjMiter : mpjRound;
    return o;
}

TObj MakeBrush(uint32_t style, TRGB color, int hatch) {
    TObj o;
    o.kind = TObj::Brush;
    // Solid, null, hatched; pattern and DIB brushes are drawn solid in their colour.
    o.brush.Style = style == 1 ? mbsNull : style == 2 ? mbsHatched : mbsSolid;
    o.brush.Color = color;
    o.brush.Hatch = hatch;
    return o;
}

// A brush that repeats a DIB; a DIB this player cannot decode paints grey.
TObj MakePatternBrush(const uint8_t* bmi, size_t bmiN, const uint8_t* bits, size_t bitsN,
                      const std::vector<TRGB>* palette) {
    TObj o = MakeBrush(0, 0x808080, 0);
    int w = 0, h = 0;
    std::vector<uint8_t> bgr;
    if (DecodeMetaDIB(bmi, bmiN, bits, bitsN, w, h, bgr, palette) && int64_t(w) * h <= 65536) {
        o.brush.PatternW = w;
        o.brush.PatternH = h;
        uint64_t sum[3] = {0, 0, 0};
        for (size_t i = 0; i < bgr.size(); ++i)
            sum[i % 3] += bgr[i];
        const uint64_t n = std::max<uint64_t>(1, uint64_t(w) * uint64_t(h));
        o.brush.Color = RGB(int(sum[2] / n), int(sum[1] / n), int(sum[0] / n));
        o.brush.PatternBGR = std::make_shared<const std::vector<uint8_t>>(std::move(bgr));
    }
    return o;
}

// A packed DIB inside a record: header, colour table, bits in one block.
TObj MakePackedPatternBrush(const uint8_t* dib, size_t n, const std::vector<TRGB>* palette) {
    const size_t hs = U32(dib, n, 0), table = MetaDIBTableBytes(dib, n, palette != nullptr);
    if (hs < 40 || hs > n || table > n - hs) return MakeBrush(0, 0x808080, 0);
    return MakePatternBrush(dib, hs + table, dib + hs + table, n - hs - table, palette);
}

// CREATEPATTERNBRUSH: a device-dependent bitmap (Bitmap16 header, 18 bytes
// left unused, top-down rows of `WidthBytes`). A monochrome one draws its
// 0 bits in the text colour and its 1 bits in the background colour (those
// of the moment the brush is made); 24-bit rows are blue, green, red; any
// other depth needs the recording device's palette and paints grey.
TObj MakeBitmap16Brush(const uint8_t* r, size_t rn, TRGB text, TRGB back) {
    TObj o = MakeBrush(0, 0x808080, 0);
    const int w = I16(r, rn, 2), h = I16(r, rn, 4), stride = I16(r, rn, 6);
    const int planes = rn > 8 ? r[8] : 0, bpp = rn > 9 ? r[9] : 0;
    if (w <= 0 || h <= 0 || int64_t(w) * h > 65536 || planes != 1 || (bpp != 1 && bpp != 24))
        return o;
    if (stride < (int64_t(w) * bpp + 7) / 8 || 32 + int64_t(stride) * h > int64_t(rn)) return o;
    std::vector<uint8_t> bgr(size_t(w) * size_t(h) * 3);
    uint8_t* out = bgr.data();
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = r + 32 + size_t(y) * size_t(stride);
        for (int x = 0; x < w; ++x, out += 3) {
            if (bpp == 24) {
                out[0] = row[3 * x], out[1] = row[3 * x + 1], out[2] = row[3 * x + 2];
            } else {
                const TRGB c = (row[x >> 3] >> (7 - (x & 7)) & 1) ? back : text;
                out[0] = uint8_t(GetBValue(c)), out[1] = uint8_t(GetGValue(c)),
                out[2] = uint8_t(GetRValue(c));
            }
        }
    }
    uint64_t sum[3] = {0, 0, 0};
    for (size_t i = 0; i < bgr.size(); ++i)
        sum[i % 3] += bgr[i];
    const uint64_t n = uint64_t(w) * uint64_t(h);
    o.brush.Color = RGB(int(sum[2] / n), int(sum[1] / n), int(sum[0] / n));
    o.brush.PatternW = w;
    o.brush.PatternH = h;
    o.brush.PatternBGR = std::make_shared<const std::vector<uint8_t>>(std::move(bgr));
    return o;
}

// WMF region: the rectangles of its scans, or its bounding box when it has none.
std::vector<TMetaRect> ReadWmfRegion(const uint8_t* r, size_t rn) {
    std::vector<TMetaRect> out;
    const size_t scans = U16(r, rn, 10);
    const TMetaRect box{double(I16(r, rn, 14)), double(I16(r, rn, 16)), double(I16(r, rn, 18)),
                        double(I16(r, rn, 20))};
    size_t off = 22;
    for (size_t i = 0; i < scans && rn - std::min(rn, off) >= 6; ++i) {
        const size_t count = U16(r, rn, off);
        const double top = I16(r, rn, off + 2), bottom = I16(r, rn, off + 4);
        off += 6;
        if (count > (rn - off) / 2) break;
        for (size_t k = 0; k + 1 < count && out.size() < kMaxClipRects; k += 2)
            out.push_back({double(I16(r, rn, off + 2 * k)), top,
                           double(I16(r, rn, off + 2 * k + 2)), bottom});
        off += 2 * count + 2; // the count again after the scan
    }
    if (scans == 0 && !Empty(box)) out.push_back(box);
    return out;
}

TObj MakeFont(double height, double escapement, int weight, bool italic, bool underline,
              bool strike, std::string face) {
    TObj o;
    o.kind = TObj::Font;
    o.font.Height = height;
    o.font.Angle = escapement / 10;
    o.font.Weight = weight;
    o.font.Italic = italic;
    o.font.Underline = underline;
    o.font.StrikeOut = strike;
    o.font.Face = std::move(face);
    return o;
}

} // namespace

// ---------------------------------------------------------------- WMF

namespace {

// The WMF record functions the player reads.
enum TWmfFunction : uint16_t {
    wmfEof = 0x0000,
    wmfSaveDC = 0x001E,
    wmfSetPalEntries = 0x0037,
    wmfCreatePalette = 0x00F7,
    wmfSetBkMode = 0x0102,
    wmfSetRop2 = 0x0104,
    wmfSetPolyFillMode = 0x0106,
    wmfSetTextCharExtra = 0x0108,
    wmfRestoreDC = 0x0127,
    wmfSelectClipRegion = 0x012C,
    wmfSelectObject = 0x012D,
    wmfSetTextAlign = 0x012E,
    wmfDibCreatePatternBrush = 0x0142,
    wmfDeleteObject = 0x01F0,
    wmfCreatePatternBrush = 0x01F9,
    wmfSetBkColor = 0x0201,
    wmfSetTextColor = 0x0209,
    wmfSetTextJustification = 0x020A,
    wmfSetWindowOrg = 0x020B,
    wmfSetWindowExt = 0x020C,
    wmfOffsetWindowOrg = 0x020F,
    wmfLineTo = 0x0213,
    wmfMoveTo = 0x0214,
    wmfOffsetClipRgn = 0x0220,
    wmfSelectPalette = 0x0234,
    wmfCreatePenIndirect = 0x02FA,
    wmfCreateFontIndirect = 0x02FB,
    wmfCreateBrushIndirect = 0x02FC,
    wmfPolygon = 0x0324,
    wmfPolyline = 0x0325,
    wmfScaleWindowExt = 0x0410,
    wmfExcludeClipRect = 0x0415,
    wmfIntersectClipRect = 0x0416,
    wmfEllipse = 0x0418,
    wmfRectangle = 0x041B,
    wmfSetPixel = 0x041F,
    wmfTextOut = 0x0521,
    wmfPolyPolygon = 0x0538,
    wmfRoundRect = 0x061C,
    wmfPatBlt = 0x061D,
    wmfCreateRegion = 0x06FF,
    wmfArc = 0x0817,
    wmfPie = 0x081A,
    wmfChord = 0x0830,
    wmfBitBlt = 0x0922,
    wmfDibBitBlt = 0x0940,
    wmfExtTextOut = 0x0A32,
    wmfStretchBlt = 0x0B23,
    wmfDibStretchBlt = 0x0B41,
    wmfStretchDib = 0x0F43,
};

// WMF records onto a player, one function per family of records: each plays
// the records it knows and says whether the record was one of them.
// Parameters are read by their word index.
class TWmfRecords {
  public:
    explicit TWmfRecords(TPlayer& player) : p(player), dc(player.DC()) {}
    // One record: its function, its size in words and its parameters. False
    // at the end-of-file record.
    bool Play(uint16_t function, uint64_t sizeWords, const uint8_t* params, size_t paramBytes);

  private:
    double s16(size_t i) const { return double(I16(r, rn, 2 * i)); }
    uint16_t u16(size_t i) const { return U16(r, rn, 2 * i); }
    uint32_t u32(size_t i) const { return U32(r, rn, 2 * i); }

    // The window origin and extent, which map the picture onto the device.
    bool Window();
    // Colours, modes and the saved states of the device context.
    bool DeviceState();
    // The clip: rectangles taken in or out, moved, or a region.
    bool Clip();
    // Logical palettes and their entries.
    bool Palette();
    // Pens, brushes, fonts and regions: made, selected, deleted.
    bool Objects();
    // The current position, lines and polygons.
    bool Lines();
    // Rectangles, ellipses, arcs, single pixels and pattern fills.
    bool Shapes();
    // Text at a point, optionally clipped or opaqued by a rectangle.
    bool Text();
    // Blits: with a DIB a picture, without one a pattern fill.
    bool Bitmap();

    TPlayer& p;
    TDC& dc;
    uint16_t fn = 0;
    uint64_t words = 0;
    const uint8_t* r = nullptr; // the parameters
    size_t rn = 0;
};

bool TWmfRecords::Play(uint16_t function, uint64_t sizeWords, const uint8_t* params,
                       size_t paramBytes) {
    fn = function;
    words = sizeWords;
    r = params;
    rn = paramBytes;
    if (fn == wmfEof) return false;
    // The family that knows the record plays it; the others are skipped.
    (void)(Window() || DeviceState() || Clip() || Palette() || Objects() || Lines() || Shapes() ||
           Text() || Bitmap());
    return true;
}

bool TWmfRecords::Window() {
    switch (fn) {
    case wmfSetWindowOrg:
        dc.woy = s16(0), dc.wox = s16(1);
        break;
    case wmfSetWindowExt:
        if (s16(0) != 0 && s16(1) != 0) dc.wey = s16(0), dc.wex = s16(1);
        break;
    case wmfOffsetWindowOrg:
        dc.woy += s16(0), dc.wox += s16(1);
        break;
    case wmfScaleWindowExt: // yDenom, yNum, xDenom, xNum
        if (s16(0) != 0 && s16(2) != 0 && s16(1) != 0 && s16(3) != 0)
            dc.wey = dc.wey * s16(1) / s16(0), dc.wex = dc.wex * s16(3) / s16(2);
        break;
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::DeviceState() {
    switch (fn) {
    case wmfSetBkColor:
        dc.bkColor = TRGB(u32(0));
        break;
    case wmfSetTextColor:
        dc.textColor = TRGB(u32(0));
        break;
    case wmfSetBkMode:
        dc.bkOpaque = u16(0) == 2;
        break;
    case wmfSetPolyFillMode:
        dc.winding = u16(0) == 2;
        break;
    case wmfSetTextAlign:
        dc.textAlign = u16(0);
        break;
    case wmfSaveDC:
        p.Save();
        break;
    case wmfSetRop2:
        dc.rop2 = std::clamp(int(u16(0)), 1, 16);
        break;
    case wmfSetTextCharExtra:
        dc.charExtra = s16(0);
        break;
    case wmfSetTextJustification: // break count, break extra
        dc.breakCount = std::max(0, int(s16(0)));
        dc.breakExtra = s16(1);
        break;
    case wmfRestoreDC:
        p.Restore(int(s16(0)));
        break;
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Clip() {
    switch (fn) {
    case wmfIntersectClipRect: // bottom, right, top, left
        p.IntersectClip(s16(3), s16(2), s16(1), s16(0));
        break;
    case wmfExcludeClipRect:
        p.ExcludeClip(s16(3), s16(2), s16(1), s16(0));
        break;
    case wmfOffsetClipRgn: // y, x
        p.OffsetClip(s16(1), s16(0));
        break;
    case wmfSelectClipRegion: { // a region, or none to clip nothing
        const TObj* o = p.Object(u16(0));
        if (o && o->kind == TObj::Region)
            p.SelectClip(o->rects, 5);
        else
            p.ResetClip();
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Palette() {
    switch (fn) {
    case wmfCreatePalette: { // start, count, entries (r, g, b, flags)
        TObj o;
        o.kind = TObj::Palette;
        const size_t count = std::min<size_t>(u16(1), (rn - std::min<size_t>(rn, 4)) / 4);
        for (size_t i = 0; i < count; ++i)
            o.colors.push_back(RGB(r[4 + 4 * i], r[5 + 4 * i], r[6 + 4 * i]));
        p.AddObject(o);
        break;
    }
    case wmfSelectPalette:
        p.Select(u16(0));
        break;
    case wmfSetPalEntries: { // start, count, entries of the selected palette
        const size_t start = u16(0);
        const size_t count = std::min<size_t>(u16(1), (rn - std::min<size_t>(rn, 4)) / 4);
        if (start + count > 1024) break;
        if (dc.palette.size() < start + count) dc.palette.resize(start + count, 0);
        for (size_t i = 0; i < count; ++i)
            dc.palette[start + i] = RGB(r[4 + 4 * i], r[5 + 4 * i], r[6 + 4 * i]);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Objects() {
    switch (fn) {
    case wmfCreateRegion: {
        TObj o;
        o.kind = TObj::Region;
        o.rects = ReadWmfRegion(r, rn);
        p.AddObject(o);
        break;
    }
    case wmfCreatePenIndirect: // style, width (x, y), colour
        p.AddObject(MakePen(u16(0), s16(1), TRGB(u32(3))));
        break;
    case wmfCreateBrushIndirect: // style, colour, hatch
        p.AddObject(MakeBrush(u16(0), TRGB(u32(1)), u16(3)));
        break;
    case wmfCreateFontIndirect:
        p.AddObject(MakeFont(
            s16(0), s16(2), int(s16(4)), rn > 10 && r[10], rn > 11 && r[11], rn > 12 && r[12],
            rn > 18 ? FaceName(r + 18, std::min<size_t>(32, rn - 18), false) : ""));
        break;
    case wmfDibCreatePatternBrush: // style, colour usage, packed DIB
        if (u16(0) == 5 && rn > 4)
            p.AddObject(MakePackedPatternBrush(r + 4, rn - 4, u16(1) == 1 ? &dc.palette : nullptr));
        else
            p.AddObject(MakeBrush(0, 0x808080, 0));
        break;
    case wmfCreatePatternBrush:
        p.AddObject(MakeBitmap16Brush(r, rn, dc.textColor & 0xFFFFFF, dc.bkColor & 0xFFFFFF));
        break;
    case wmfSelectObject:
        p.Select(u16(0));
        break;
    case wmfDeleteObject:
        p.Delete(u16(0));
        break;
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Lines() {
    switch (fn) {
    case wmfMoveTo: // y, x
        p.MoveTo(s16(1), s16(0));
        break;
    case wmfLineTo: // y, x
        p.LineTo(s16(1), s16(0));
        break;
    case wmfPolyline:
    case wmfPolygon: {
        const size_t count = u16(0);
        if (count * 4 > rn - std::min<size_t>(rn, 2)) break;
        std::vector<TMetaPoint> pts(count);
        for (size_t i = 0; i < count; ++i)
            pts[i] = {s16(1 + 2 * i), s16(2 + 2 * i)};
        if (fn == wmfPolyline)
            p.Polyline(pts);
        else
            p.Polygons({pts});
        break;
    }
    case wmfPolyPolygon: { // count, counts, points
        const size_t polys = u16(0);
        if (polys * 2 > rn - std::min<size_t>(rn, 2)) break;
        size_t total = 0;
        for (size_t i = 0; i < polys; ++i)
            total += u16(1 + i);
        if ((1 + polys) * 2 + total * 4 > rn) break;
        std::vector<std::vector<TMetaPoint>> all(polys);
        size_t k = 1 + polys;
        for (size_t i = 0; i < polys; ++i)
            for (size_t j = 0; j < u16(1 + i); ++j, k += 2)
                all[i].push_back({s16(k), s16(k + 1)});
        p.Polygons(all);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Shapes() {
    switch (fn) {
    case wmfPatBlt: // rop, height, width, y, x
        p.PatBlt(s16(5), s16(4), s16(3), s16(2), int(u32(0) >> 16 & 0xFF));
        break;
    case wmfRectangle: // bottom, right, top, left
        p.Rectangle(s16(3), s16(2), s16(1), s16(0));
        break;
    case wmfEllipse:
        p.Ellipse(s16(3), s16(2), s16(1), s16(0));
        break;
    case wmfRoundRect: // height, width, bottom, right, top, left
        p.RoundRect(s16(5), s16(4), s16(3), s16(2), s16(1), s16(0));
        break;
    case wmfArc: // yEnd, xEnd, yStart, xStart, bottom, right, top, left
    case wmfChord:
    case wmfPie:
        p.Arc(s16(7), s16(6), s16(5), s16(4), s16(3), s16(2), s16(1), s16(0),
              fn == wmfArc     ? 0
              : fn == wmfChord ? 1
                               : 2);
        break;
    case wmfSetPixel: // colour, y, x
        p.Fill(s16(3), s16(2), 1, 1, TRGB(u32(0)));
        break;
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Text() {
    switch (fn) {
    case wmfTextOut: { // count, string (even length), y, x
        const size_t count = u16(0);
        const size_t padded = (count + 1) & ~size_t(1);
        if (2 + padded + 4 > rn) break;
        const size_t after = (2 + padded) / 2;
        p.Text(s16(after + 1), s16(after), Latin1(r + 2, count), nullptr, false);
        break;
    }
    case wmfExtTextOut: { // y, x, count, options, [rect], string
        const size_t count = u16(2);
        const uint16_t options = u16(3);
        size_t off = 8;
        TMetaRect box;
        const bool hasRect = (options & 0x0006) != 0;
        if (hasRect) {
            box = {s16(4), s16(5), s16(6), s16(7)};
            off += 8;
        }
        if (off > rn || count > rn - off) break;
        // Character spacing follows the string (padded to a word) when present.
        std::vector<double> dx;
        const size_t dxAt = off + ((count + 1) & ~size_t(1));
        if (dxAt <= rn && (rn - dxAt) / 2 >= count)
            for (size_t i = 0; i < count; ++i)
                dx.push_back(I16(r, rn, dxAt + 2 * i));
        p.Text(s16(1), s16(0), Latin1(r + off, count), hasRect ? &box : nullptr,
               (options & 0x0002) != 0, dx);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TWmfRecords::Bitmap() {
    switch (fn) {
    case wmfBitBlt: // BitBlt and StretchBlt: only their forms without a bitmap
    case wmfStretchBlt:
    case wmfDibBitBlt:
    case wmfDibStretchBlt:
    case wmfStretchDib: {
        const bool stretchDib = fn == wmfStretchDib;
        const bool withBitmap = stretchDib || words != size_t(fn >> 8) + 3;
        const int rop3 = int(u32(0) >> 16 & 0xFF);
        if (!withBitmap) {
            // A blit without a bitmap paints with the brush and the destination.
            // rop, [source size,] source origin, reserved, size, origin
            const size_t b = fn == wmfDibBitBlt || fn == wmfBitBlt ? 5 : 7;
            p.PatBlt(s16(b + 3), s16(b + 2), s16(b + 1), s16(b), rop3);
            break;
        }
        if (fn == wmfBitBlt || fn == wmfStretchBlt) break;
        double dx, dy, dw, dh;
        size_t dib;
        bool usePalette = false;
        if (fn == wmfDibBitBlt) { // rop, ySrc, xSrc, height, width, yDest, xDest
            dh = s16(4), dw = s16(5), dy = s16(6), dx = s16(7);
            dib = 16;
        } else if (fn == wmfDibStretchBlt) {
            // rop, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest
            dh = s16(6), dw = s16(7), dy = s16(8), dx = s16(9);
            dib = 20;
        } else { // rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest
            if (u16(2) > 1) break;
            usePalette = u16(2) == 1;
            dh = s16(7), dw = s16(8), dy = s16(9), dx = s16(10);
            dib = 22;
        }
        if (dib >= rn) break;
        const uint8_t* bmi = r + dib;
        const size_t bmiN = rn - dib;
        const uint32_t hs = U32(bmi, bmiN, 0);
        const size_t tableN = MetaDIBTableBytes(bmi, bmiN, usePalette);
        if (hs < 40 || hs > bmiN || tableN > bmiN - hs) break;
        int iw, ih;
        std::vector<uint8_t> bgr;
        if (DecodeMetaDIB(bmi, hs + tableN, bmi + hs + tableN, bmiN - hs - tableN, iw, ih, bgr,
                          usePalette ? &dc.palette : nullptr))
            p.Image(dx, dy, dw, dh, iw, ih, bgr, rop3);
        break;
    }
    default:
        return false;
    }
    return true;
}
} // namespace

void TMetafileData::PlayWMF(TMetaCanvas& canvas, int width, int height) const {
    TAffine playback; // the window/viewport pair already maps onto the picture
    TPlayer p(canvas, playback, false);
    p.SetObjectTable(size_t(objectCount_));
    TDC& dc = p.DC();
    dc.wox = bboxLeft_;
    dc.woy = bboxTop_;
    dc.wex = bboxRight_ - bboxLeft_;
    dc.wey = bboxBottom_ - bboxTop_;
    dc.vex = width;
    dc.vey = height;

    TWmfRecords records(p);
    const uint8_t* d = data_.data();
    const size_t n = data_.size();
    size_t pos = size_t(U16(d, n, 2)) * 2; // header size in words
    while (!p.Stopped() && n - pos >= 6 && pos < n) {
        const uint64_t words = U32(d, n, pos);
        const uint16_t fn = U16(d, n, pos + 4);
        if (words < 3 || words * 2 > n - pos) break;
        const uint8_t* r = d + pos + 6; // parameters
        const size_t rn = size_t(words * 2 - 6);
        pos += size_t(words * 2);
        if (!records.Play(fn, words, r, rn)) return;
    }
}

// ---------------------------------------------------------------- EMF

namespace {

// The EMF record types the player reads.
enum TEmfRecordType : uint32_t {
    emrPolyBezier = 2,
    emrPolygon = 3,
    emrPolyline = 4,
    emrPolyBezierTo = 5,
    emrPolylineTo = 6,
    emrPolyPolyline = 7,
    emrPolyPolygon = 8,
    emrSetWindowExtEx = 9,
    emrSetWindowOrgEx = 10,
    emrSetViewportExtEx = 11,
    emrSetViewportOrgEx = 12,
    emrEof = 14,
    emrSetMapMode = 17,
    emrSetBkMode = 18,
    emrSetPolyFillMode = 19,
    emrSetRop2 = 20,
    emrSetTextAlign = 22,
    emrSetTextColor = 24,
    emrSetBkColor = 25,
    emrOffsetClipRgn = 26,
    emrMoveToEx = 27,
    emrExcludeClipRect = 29,
    emrIntersectClipRect = 30,
    emrSaveDC = 33,
    emrRestoreDC = 34,
    emrSetWorldTransform = 35,
    emrModifyWorldTransform = 36,
    emrSelectObject = 37,
    emrCreatePen = 38,
    emrCreateBrushIndirect = 39,
    emrDeleteObject = 40,
    emrEllipse = 42,
    emrRectangle = 43,
    emrRoundRect = 44,
    emrArc = 45,
    emrChord = 46,
    emrPie = 47,
    emrSelectPalette = 48,
    emrCreatePalette = 49,
    emrSetPaletteEntries = 50,
    emrLineTo = 54,
    emrArcTo = 55,
    emrBeginPath = 59,
    emrEndPath = 60,
    emrCloseFigure = 61,
    emrFillPath = 62,
    emrStrokeAndFillPath = 63,
    emrStrokePath = 64,
    emrSelectClipPath = 67,
    emrAbortPath = 68,
    emrExtSelectClipRgn = 75,
    emrBitBlt = 76,
    emrStretchBlt = 77,
    emrStretchDIBits = 81,
    emrExtCreateFontIndirectW = 82,
    emrExtTextOutA = 83,
    emrExtTextOutW = 84,
    emrPolyBezier16 = 85,
    emrPolygon16 = 86,
    emrPolyline16 = 87,
    emrPolyBezierTo16 = 88,
    emrPolylineTo16 = 89,
    emrPolyPolyline16 = 90,
    emrPolyPolygon16 = 91,
    emrCreateMonoBrush = 93,
    emrCreateDibPatternBrushPt = 94,
    emrExtCreatePen = 95,
    emrSmallTextOut = 108,
    emrAlphaBlend = 114,
    emrGradientFill = 118,
    emrSetTextJustification = 120,
};

// EMF records onto a player, one function per family of records: each plays
// the records it knows and says whether the record was one of them. Fields
// are read by their byte offset in the record.
class TEmfRecords {
  public:
    explicit TEmfRecords(TPlayer& player) : p(player), dc(player.DC()) {}
    // One record (type and size first). False at the end-of-file record.
    bool Play(uint32_t recordType, const uint8_t* record, size_t bytes);

  private:
    double i32(size_t off) const { return double(I32(r, rn, off)); }
    uint32_t u32(size_t off) const { return U32(r, rn, off); }

    // Window, viewport, mapping mode and world transform.
    bool Mapping();
    // Colours, modes and the saved states of the device context.
    bool DeviceState();
    // The clip: rectangles taken in or out, moved, a region or the path.
    bool Clip();
    // Logical palettes and their entries.
    bool Palette();
    // Selecting (stock objects too) and deleting objects, and fonts.
    bool Objects();
    // Pens and brushes.
    bool PensAndBrushes();
    // The current position, lines, rectangles, ellipses and arcs.
    bool Shapes();
    // Poly-lines, polygons and Bezier curves, with 32- or 16-bit points.
    bool Polys();
    // Several poly-lines or polygons in one record.
    bool PolyPolys();
    // Recording a path, and filling or stroking it.
    bool Path();
    // Text records.
    bool Text();
    // Blits: with a DIB a picture, without one a pattern fill.
    bool Bitmap();
    // A DIB blended onto the picture, with its own alpha or a constant one.
    bool AlphaBlend();
    // Gradient rectangles (strips) and triangles (their mean colour).
    bool Gradient();

    TPlayer& p;
    TDC& dc;
    uint32_t type = 0;
    const uint8_t* r = nullptr; // the whole record, its type and size first
    size_t rn = 0;
};

bool TEmfRecords::Play(uint32_t recordType, const uint8_t* record, size_t bytes) {
    type = recordType;
    r = record;
    rn = bytes;
    if (type == emrEof) return false;
    // The family that knows the record plays it; the others are skipped.
    (void)(Mapping() || DeviceState() || Clip() || Palette() || Objects() || PensAndBrushes() ||
           Shapes() || Polys() || PolyPolys() || Path() || Text() || Bitmap() || AlphaBlend() ||
           Gradient());
    return true;
}

bool TEmfRecords::Mapping() {
    switch (type) {
    case emrSetWindowExtEx:
        if (i32(8) != 0 && i32(12) != 0) dc.wex = i32(8), dc.wey = i32(12);
        break;
    case emrSetWindowOrgEx:
        dc.wox = i32(8), dc.woy = i32(12);
        break;
    case emrSetViewportExtEx:
        if (i32(8) != 0 && i32(12) != 0) dc.vex = i32(8), dc.vey = i32(12);
        break;
    case emrSetViewportOrgEx:
        dc.vox = i32(8), dc.voy = i32(12);
        break;
    case emrSetMapMode:
        if (u32(8) >= 1 && u32(8) <= 8) dc.mapMode = int(u32(8));
        break;
    case emrSetWorldTransform:
    case emrModifyWorldTransform: {
        if (rn < 32) break;
        TAffine x{F32(r, rn, 8),  F32(r, rn, 12), F32(r, rn, 16),
                  F32(r, rn, 20), F32(r, rn, 24), F32(r, rn, 28)};
        for (double v : {x.A, x.B, x.C, x.D, x.E, x.F})
            if (!std::isfinite(v) || std::fabs(v) > 1e9) return true;
        if (type == emrSetWorldTransform) {
            dc.world = x;
        } else {
            const uint32_t mode = u32(32);
            if (mode == 1) dc.world = TAffine{};
            if (mode == 2) dc.world = dc.world.After(x); // x first, then the current one
            if (mode == 3) dc.world = x.After(dc.world);
            if (mode == 4) dc.world = x;
        }
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::DeviceState() {
    switch (type) {
    case emrSetBkMode:
        dc.bkOpaque = u32(8) == 2;
        break;
    case emrSetPolyFillMode:
        dc.winding = u32(8) == 2;
        break;
    case emrSetTextAlign:
        dc.textAlign = int(u32(8));
        break;
    case emrSetTextColor:
        dc.textColor = TRGB(u32(8));
        break;
    case emrSetBkColor:
        dc.bkColor = TRGB(u32(8));
        break;
    case emrSaveDC:
        p.Save();
        break;
    case emrSetRop2:
        dc.rop2 = std::clamp(int(u32(8)), 1, 16);
        break;
    case emrSetTextJustification: // break extra, break count
        dc.breakExtra = std::clamp(double(i32(8)), -1e6, 1e6);
        dc.breakCount = std::clamp(int(i32(12)), 0, 1 << 20);
        break;
    case emrRestoreDC:
        p.Restore(int(I32(r, rn, 8)));
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Clip() {
    switch (type) {
    case emrExcludeClipRect:
        p.ExcludeClip(i32(8), i32(12), i32(16), i32(20));
        break;
    case emrIntersectClipRect:
        p.IntersectClip(i32(8), i32(12), i32(16), i32(20));
        break;
    case emrOffsetClipRgn:
        p.OffsetClip(i32(8), i32(12));
        break;
    case emrExtSelectClipRgn: { // size, mode, RGNDATA (32-byte header, rectangles)
        const size_t cb = u32(8);
        const int mode = int(u32(12));
        if (mode < 1 || mode > 5) break;
        if (cb < 32) {
            if (mode == 5) p.ResetClip(); // no region: no clip
            break;
        }
        if (cb > rn - std::min<size_t>(rn, 16)) break;
        const size_t count = u32(24);
        if (count > (cb - 32) / 16 || count > kMaxClipRects) break;
        std::vector<TMetaRect> rects;
        for (size_t i = 0; i < count; ++i)
            rects.push_back(
                {i32(48 + 16 * i), i32(52 + 16 * i), i32(56 + 16 * i), i32(60 + 16 * i)});
        p.SelectRefDeviceClip(rects, mode);
        break;
    }
    case emrSelectClipPath:
        if (u32(8) >= 1 && u32(8) <= 5) p.ClipToPath(int(u32(8)));
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Palette() {
    switch (type) {
    case emrSelectPalette:
        p.Select(u32(8));
        break;
    case emrSetPaletteEntries: // ih, start, count, entries
        if (TObj* o = p.MutableObject(u32(8)); o && o->kind == TObj::Palette) {
            const size_t start = u32(12), count = u32(16);
            if (start > 1024 || count > 1024 || rn < 20 || count > (rn - 20) / 4) break;
            if (o->colors.size() < start + count) o->colors.resize(start + count, 0);
            for (size_t i = 0; i < count; ++i)
                o->colors[start + i] = RGB(r[20 + 4 * i], r[21 + 4 * i], r[22 + 4 * i]);
        }
        break;

    case emrCreatePalette: // ih, version, count, entries
        if (rn >= 16) {
            TObj o;
            o.kind = TObj::Palette;
            const size_t count = std::min<size_t>(U16(r, rn, 14), (rn - 16) / 4);
            for (size_t i = 0; i < count; ++i)
                o.colors.push_back(RGB(r[16 + 4 * i], r[17 + 4 * i], r[18 + 4 * i]));
            p.PutObject(u32(8), o);
        }
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Objects() {
    switch (type) {
    case emrSelectObject: { // (stock objects have the top bit set)
        const uint32_t ih = u32(8);
        if (ih & 0x80000000u) {
            const uint32_t s = ih & 0x7FFFFFFF;
            static const TRGB grays[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
            if (s <= 4) p.Use(MakeBrush(0, grays[s], 0));
            if (s == 5) p.Use(MakeBrush(1, 0, 0));
            if (s == 6) p.Use(MakePen(0, 0, 0xFFFFFF));
            if (s == 7 || s == 19) p.Use(MakePen(0, 0, 0));
            if (s == 8) p.Use(MakePen(5, 0, 0));
            if (s == 18) p.Use(MakeBrush(0, 0xFFFFFF, 0));
            if (s >= 10 && s <= 17) p.Use(MakeFont(0, 0, 400, false, false, false, ""));
        } else {
            p.Select(ih);
        }
        break;
    }
    case emrDeleteObject:
        p.Delete(u32(8));
        break;
    case emrExtCreateFontIndirectW: // ih, LOGFONTW
        if (rn >= 12 + 28 + 64)
            p.PutObject(u32(8), MakeFont(i32(12), i32(20), int(i32(28)), r[32] != 0, r[33] != 0,
                                         r[34] != 0, FaceName(r + 40, 64, true)));
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::PensAndBrushes() {
    switch (type) {
    case emrCreatePen: // ih, style, width (x, y), colour
        if (rn >= 28) p.PutObject(u32(8), MakePen(int(u32(12)), i32(16), TRGB(u32(24))));
        break;
    case emrExtCreatePen:
        // ih, offBmi, cbBmi, offBits, cbBits, style, width, brush style, colour
        if (rn >= 48) {
            const uint32_t style = u32(28);
            // Cosmetic pens are one pixel wide whatever the width says.
            const double w = (style & 0x00010000) ? i32(32) : 0;
            TObj o = MakePen(int(style), w, TRGB(u32(40)));
            // User style: the entries follow the pen (at most 16 are used).
            const size_t entries = u32(48);
            if ((style & 0xF) == 7 && entries > 0 && entries <= 16 && entries <= (rn - 52) / 4) {
                bool drawn = false;
                for (size_t i = 0; i < entries; ++i) {
                    const double len = std::clamp(double(u32(52 + 4 * i)), 0.0, 1e6);
                    o.penDashes.push_back(len);
                    drawn = drawn || len > 0;
                }
                if (drawn)
                    o.penStyle = mpsUser;
                else
                    o.penDashes.clear();
            }
            if (u32(36) == 1) o.penStyle = mpsNull;
            p.PutObject(u32(8), o);
        }
        break;
    case emrCreateBrushIndirect: // ih, style, colour, hatch
        if (rn >= 24) p.PutObject(u32(8), MakeBrush(u32(12), TRGB(u32(16)), int(u32(20))));
        break;
    case emrCreateMonoBrush:
    case emrCreateDibPatternBrushPt: // ih, usage, offBmi, cbBmi, offBits, cbBits
    {
        if (rn < 32) break;
        const size_t offBmi = u32(16), cbBmi = u32(20), offBits = u32(24), cbBits = u32(28);
        if (offBmi > rn || cbBmi > rn - offBmi || offBits > rn || cbBits > rn - offBits) {
            p.PutObject(u32(8), MakeBrush(0, 0x808080, 0));
            break;
        }
        p.PutObject(u32(8), MakePatternBrush(r + offBmi, cbBmi, r + offBits, cbBits,
                                             u32(12) == 1 ? &dc.palette : nullptr));
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Shapes() {
    switch (type) {
    case emrMoveToEx:
        p.MoveTo(i32(8), i32(12));
        break;
    case emrLineTo:
        p.LineTo(i32(8), i32(12));
        break;
    case emrRectangle:
        p.Rectangle(i32(8), i32(12), i32(16), i32(20));
        break;
    case emrEllipse:
        p.Ellipse(i32(8), i32(12), i32(16), i32(20));
        break;
    case emrRoundRect:
        p.RoundRect(i32(8), i32(12), i32(16), i32(20), i32(24), i32(28));
        break;
    case emrArc:
    case emrChord:
    case emrPie:
    case emrArcTo:
        if (rn >= 40)
            p.Arc(i32(8), i32(12), i32(16), i32(20), i32(24), i32(28), i32(32), i32(36),
                  type == emrChord ? 1
                  : type == emrPie ? 2
                                   : 0);
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Polys() {
    switch (type) {
    case emrPolyBezier:
    case emrPolygon:
    case emrPolyline:
    case emrPolyBezierTo:
    case emrPolylineTo:
    case emrPolyBezier16: // the same five with 16-bit points
    case emrPolygon16:
    case emrPolyline16:
    case emrPolyBezierTo16:
    case emrPolylineTo16: {
        const bool small = type >= emrPolyBezier16;
        const int kind = small ? int(type) - 83 : int(type); // 2..6
        const size_t ps = small ? 4 : 8;
        const size_t count = u32(24);
        if (rn < 28 || count > (rn - 28) / ps) break;
        std::vector<TMetaPoint> pts(count);
        for (size_t i = 0; i < count; ++i)
            pts[i] =
                small ? TMetaPoint{double(I16(r, rn, 28 + 4 * i)), double(I16(r, rn, 30 + 4 * i))}
                      : TMetaPoint{i32(28 + 8 * i), i32(32 + 8 * i)};
        const bool to = kind == 5 || kind == 6;
        if (to) pts.insert(pts.begin(), dc.cur);
        if (kind == 2 || kind == 5) {
            std::vector<TMetaPoint> flat{pts.empty() ? TMetaPoint{} : pts[0]};
            for (size_t i = 0; i + 3 < pts.size(); i += 3)
                p.PathBezier(pts[i], pts[i + 1], pts[i + 2], pts[i + 3], flat);
            pts = flat;
        }
        if (to && !pts.empty()) dc.cur = pts.back();
        if (kind == 3)
            p.Polygons({pts});
        else if (p.InPath() && to) {
            for (size_t i = 1; i < pts.size(); ++i)
                p.PathLineTo(pts[i]);
        } else
            p.Polyline(pts);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::PolyPolys() {
    switch (type) {
    case emrPolyPolyline:
    case emrPolyPolygon:
    case emrPolyPolyline16: // 16-bit forms
    case emrPolyPolygon16: {
        const bool small = type >= emrPolyPolyline16;
        const size_t ps = small ? 4 : 8;
        const size_t polys = u32(24), total = u32(28);
        if (rn < 32 || polys > (rn - 32) / 4) break;
        const size_t pointsAt = 32 + 4 * polys;
        if (total > (rn - pointsAt) / ps) break;
        std::vector<std::vector<TMetaPoint>> all;
        size_t k = 0;
        for (size_t i = 0; i < polys; ++i) {
            const size_t c = u32(32 + 4 * i);
            if (c > total - k) break;
            std::vector<TMetaPoint> poly;
            for (size_t j = 0; j < c; ++j, ++k)
                poly.push_back(small
                                   ? TMetaPoint{double(I16(r, rn, pointsAt + 4 * k)),
                                                double(I16(r, rn, pointsAt + 4 * k + 2))}
                                   : TMetaPoint{i32(pointsAt + 8 * k), i32(pointsAt + 8 * k + 4)});
            all.push_back(std::move(poly));
        }
        if (type == emrPolyPolygon || type == emrPolyPolygon16)
            p.Polygons(all);
        else
            for (const auto& poly : all)
                p.Polyline(poly);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Path() {
    switch (type) {
    case emrBeginPath:
        p.BeginPath();
        break;
    case emrEndPath:
        p.EndPath();
        break;
    case emrCloseFigure:
        p.CloseFigure();
        break;
    case emrFillPath:
        p.FillPath(true, false);
        break;
    case emrStrokeAndFillPath:
        p.FillPath(true, true);
        break;
    case emrStrokePath:
        p.FillPath(false, true);
        break;
    case emrAbortPath:
        p.AbortPath();
        break;
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Text() {
    switch (type) {
    case emrExtTextOutA:
    case emrExtTextOutW: // bounds, mode, scales, then the text record
    {
        if (rn < 76) break;
        const double x = i32(36), y = i32(40);
        const size_t count = u32(44), off = u32(48);
        const uint32_t options = u32(52);
        const size_t bytes = type == emrExtTextOutW ? 2 : 1;
        if (off > rn || count > (rn - off) / bytes) break;
        std::u16string text;
        for (size_t i = 0; i < count; ++i)
            text.push_back(bytes == 2 ? char16_t(U16(r, rn, off + 2 * i)) : char16_t(r[off + i]));
        TMetaRect box{i32(56), i32(60), i32(64), i32(68)};
        const bool hasBox = (options & 0x0006) != 0 && box.Right > box.Left && box.Bottom > box.Top;
        // Character advances (pairs with a vertical one under ETO_PDY).
        std::vector<double> dx;
        const size_t offDx = u32(72), step = (options & 0x2000) ? 8 : 4;
        if (offDx >= 76 && offDx <= rn && count <= (rn - offDx) / step)
            for (size_t i = 0; i < count; ++i)
                dx.push_back(double(I32(r, rn, offDx + step * i)));
        p.Text(x, y, text, hasBox ? &box : nullptr, (options & 0x0002) != 0, dx);
        break;
    }
    case emrSmallTextOut: { // x, y, count, options, mode, scales, [rect], text
        if (rn < 36) break;
        const uint32_t options = u32(20);
        const size_t count = u32(16);
        const bool hasRect = !(options & 0x0100);
        const size_t off = hasRect ? 52 : 36;
        const size_t bytes = (options & 0x0200) ? 1 : 2;
        if (off > rn || count > (rn - off) / bytes) break;
        std::u16string text;
        for (size_t i = 0; i < count; ++i)
            text.push_back(bytes == 2 ? char16_t(U16(r, rn, off + 2 * i)) : char16_t(r[off + i]));
        TMetaRect box{i32(36), i32(40), i32(44), i32(48)};
        const bool useBox = hasRect && (options & 0x0006) != 0 && !Empty(box);
        p.Text(i32(8), i32(12), text, useBox ? &box : nullptr, (options & 0x0002) != 0);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Bitmap() {
    switch (type) {
    case emrStretchDIBits:
    case emrBitBlt:
    case emrStretchBlt: {
        double dx, dy, dw, dh;
        uint32_t offBmi, cbBmi, offBits, cbBits, usage, rop;
        if (type == emrStretchDIBits) {
            if (rn < 80) break;
            dx = i32(24), dy = i32(28);
            offBmi = u32(48), cbBmi = u32(52), offBits = u32(56), cbBits = u32(60), usage = u32(64),
            rop = u32(68);
            dw = i32(72), dh = i32(76);
        } else {
            if (rn < 100) break;
            dx = i32(24), dy = i32(28), dw = i32(32), dh = i32(36);
            rop = u32(40);
            usage = u32(80), offBmi = u32(84), cbBmi = u32(88), offBits = u32(92), cbBits = u32(96);
            if (type == emrStretchBlt && rn < 108) break;
        }
        const int rop3 = int(rop >> 16 & 0xFF);
        if (cbBmi == 0) {
            // No bitmap: the brush and the destination only.
            p.PatBlt(dx, dy, dw, dh, rop3);
            break;
        }
        if (usage > 1 || offBmi > rn || cbBmi > rn - offBmi || offBits > rn ||
            cbBits > rn - offBits)
            break;
        int iw, ih;
        std::vector<uint8_t> bgr;
        if (DecodeMetaDIB(r + offBmi, cbBmi, r + offBits, cbBits, iw, ih, bgr,
                          usage == 1 ? &dc.palette : nullptr))
            p.Image(dx, dy, dw, dh, iw, ih, bgr, rop3);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::AlphaBlend() {
    switch (type) {
    case emrAlphaBlend: { // dest, blend function, source, its DIB
        if (rn < 108) break;
        const uint32_t offBmi = u32(84), cbBmi = u32(88), offBits = u32(92), cbBits = u32(96),
                       usage = u32(80);
        if (cbBmi == 0 || usage > 1 || offBmi > rn || cbBmi > rn - offBmi || offBits > rn ||
            cbBits > rn - offBits)
            break;
        const uint8_t* bmi = r + offBmi;
        int iw, ih;
        std::vector<uint8_t> bgr, alpha;
        if (!DecodeMetaDIB(bmi, cbBmi, r + offBits, cbBits, iw, ih, bgr,
                           usage == 1 ? &dc.palette : nullptr))
            break;
        // AC_SRC_ALPHA on an uncompressed 32-bit DIB: the fourth byte of
        // every pixel is its premultiplied alpha.
        if (r[43] == 1 && U16(bmi, cbBmi, 14) == 32 && U32(bmi, cbBmi, 16) == 0) {
            const bool topDown = I32(bmi, cbBmi, 8) < 0;
            alpha.resize(size_t(iw) * size_t(ih));
            for (int y = 0; y < ih; ++y)
                for (int x = 0; x < iw; ++x)
                    alpha[size_t(y) * size_t(iw) + size_t(x)] =
                        r[offBits +
                          (size_t(topDown ? y : ih - 1 - y) * size_t(iw) + size_t(x)) * 4 + 3];
        }
        p.BlendImage(i32(24), i32(28), i32(32), i32(36), iw, ih, bgr, alpha, r[42]);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool TEmfRecords::Gradient() {
    switch (type) {
    case emrGradientFill: { // bounds, vertex count, mesh count, mode, vertices, mesh
        const size_t nVer = u32(24), nMesh = u32(28);
        const uint32_t mode = u32(32);
        if (rn < 36 || mode > 2 || nVer > (rn - 36) / 16) break;
        const size_t meshAt = 36 + 16 * nVer, meshSize = mode == 2 ? 12 : 8;
        if (nMesh > (rn - meshAt) / meshSize || nMesh > 65536) break;
        struct TVertex {
            double x, y;
            double c[3];
        };
        auto vertex = [&](size_t i) {
            const size_t at = 36 + 16 * i;
            return TVertex{i32(at),
                           i32(at + 4),
                           {double(U16(r, rn, at + 8) >> 8), double(U16(r, rn, at + 10) >> 8),
                            double(U16(r, rn, at + 12) >> 8)}};
        };
        auto mix = [](const TVertex& a, const TVertex& b, double t) {
            return RGB(int(std::lround(a.c[0] + (b.c[0] - a.c[0]) * t)),
                       int(std::lround(a.c[1] + (b.c[1] - a.c[1]) * t)),
                       int(std::lround(a.c[2] + (b.c[2] - a.c[2]) * t)));
        };
        for (size_t m = 0; m < nMesh && !p.Stopped(); ++m) {
            const size_t at = meshAt + meshSize * m;
            const size_t i0 = u32(at), i1 = u32(at + 4), i2 = mode == 2 ? u32(at + 8) : 0;
            if (i0 >= nVer || i1 >= nVer || i2 >= nVer) continue;
            const TVertex a = vertex(i0), b = vertex(i1);
            if (mode == 2) {
                // Triangles are filled in the mean colour of their corners.
                const TVertex c = vertex(i2);
                const TObj pen = dc.pen, brush = dc.brush;
                dc.pen = MakePen(5, 0, 0);
                dc.brush = MakeBrush(0,
                                     RGB(int((a.c[0] + b.c[0] + c.c[0]) / 3),
                                         int((a.c[1] + b.c[1] + c.c[1]) / 3),
                                         int((a.c[2] + b.c[2] + c.c[2]) / 3)),
                                     0);
                p.Polygons({{{a.x, a.y}, {b.x, b.y}, {c.x, c.y}}});
                dc.pen = pen;
                dc.brush = brush;
                continue;
            }
            // Rectangles: strips of one device pixel or more, at most 256.
            const TMetaRect dev = p.MapRect(a.x, a.y, b.x, b.y);
            const double extent = mode == 0 ? dev.Right - dev.Left : dev.Bottom - dev.Top;
            const int strips = int(std::clamp(std::ceil(extent), 1.0, 256.0));
            for (int k = 0; k < strips; ++k) {
                const double t0 = double(k) / strips, t1 = double(k + 1) / strips;
                const TRGB color = mix(a, b, (t0 + t1) / 2);
                if (mode == 0)
                    p.Fill(a.x + (b.x - a.x) * t0, a.y, (b.x - a.x) * (t1 - t0), b.y - a.y, color);
                else
                    p.Fill(a.x, a.y + (b.y - a.y) * t0, b.x - a.x, (b.y - a.y) * (t1 - t0), color);
            }
        }
        break;
    }
    default:
        return false;
    }
    return true;
}
} // namespace

void TMetafileData::PlayEMF(TMetaCanvas& canvas, int width, int height) const {
    // Reference-device pixels of the frame onto the picture.
    TAffine playback;
    const double fw = frameRight_ - frameLeft_, fh = frameBottom_ - frameTop_;
    if (!(std::fabs(fw) > 1e-9 && std::fabs(fh) > 1e-9)) return;
    playback.A = width / fw;
    playback.D = height / fh;
    playback.E = -frameLeft_ * playback.A;
    playback.F = -frameTop_ * playback.D;
    TPlayer p(canvas, playback, true);
    p.devPerMMx = devPerMMx_;
    p.devPerMMy = devPerMMy_;
    p.SetObjectTable(size_t(objectCount_));

    TEmfRecords records(p);
    const uint8_t* d = data_.data();
    const size_t n = data_.size();
    for (size_t pos = 0; !p.Stopped() && n - pos >= 8;) {
        const uint32_t type = U32(d, n, pos), size = U32(d, n, pos + 4);
        if (size < 8 || size % 4 != 0 || size > n - pos) break;
        const uint8_t* r = d + pos;
        const size_t rn = size;
        pos += size;
        if (!records.Play(type, r, rn)) return;
    }
}
