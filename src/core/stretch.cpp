// Copying and resampling between pictures: CopyFrom, StretchCopy, CopyRect.
// Resampling uses integer weights only: each destination column gets a plan
// (which source columns, at which weights) once, each row a plan per row, and
// channel sums are divided by the plan divisors at fixed points, so results do
// not depend on floating point.

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {

enum class TResample { Nearest, Linear, Area };

using I128 = __int128;

// Sampling of one axis: shrinking or enlarging at each quality level.
TResample ChooseMethod(int64_t s, int64_t d, TStretchMode mode) {
    const bool shrink = s > d, enlarge = s < d;
    if ((shrink && mode == smMedium) || (enlarge && mode == smPrecise)) return TResample::Linear;
    if ((shrink && mode == smPrecise) || (enlarge && mode == smMedium)) return TResample::Area;
    return TResample::Nearest;
}

int64_t Divisor(TResample m, int64_t s, int64_t d) {
    return m == TResample::Linear ? 2 * d : m == TResample::Area ? s : 1;
}

// Which source columns (or rows) make one destination column (or row).
// Kind 0: the first alone at its weight; 1: first and last; 2: first to
// last, the middle ones at the full weight d.
struct TSamplePlan {
    int First = 0;
    int Last = 0;
    int64_t WFirst = 0;
    int64_t WLast = 0;
    int Kind = 0;
    bool Valid = false;
};

// Plan for destination position u (0-based within the destination span) of
// a span of d sampling s source positions starting at s0; `limit` is the
// source's own extent. Worked out in 128 bits: products of positions and
// sizes reach 2^64 for extreme rectangles.
TSamplePlan MakePlan(TResample m, I128 u, I128 s0, I128 s, I128 d, int limit) {
    TSamplePlan p;
    auto inside = [limit](I128 v) { return v >= 0 && v < limit; };
    if (m == TResample::Nearest) {
        const I128 f = s0 + s * u / d;
        p.First = p.Last = int(std::clamp<I128>(f, -1, limit));
        p.WFirst = p.WLast = 1;
        p.Valid = inside(f);
        return p;
    }
    if (m == TResample::Linear) {
        const I128 t2 = s * (2 * u + 1); // twice the sample position, in 1/d units
        I128 f = s0 + (t2 - d) / (2 * d);
        I128 l = s0 + (t2 + d) / (2 * d);
        const bool inF = inside(f), inL = inside(l);
        p.Valid = inF && inL;
        if (!p.Valid && s < d && inF != inL) {
            // Enlarging past the last (or before the first) pixel centre:
            // both samples fall onto the edge pixel.
            f = std::clamp<I128>(f, 0, limit - 1);
            l = std::clamp<I128>(l, 0, limit - 1);
            p.Valid = true;
        }
        if (!p.Valid) return p;
        p.First = int(f);
        p.Last = int(l);
        p.WFirst = int64_t(2 * d - (t2 - d * (2 * (f - s0) + 1)));
        p.WLast = int64_t(2 * d - (d * (2 * (l - s0) + 1) - t2));
        p.Kind = 1;
        if (d * (2 * (f - s0) + 1) == t2 || f == l) {
            p.Kind = 0;
            p.WFirst = int64_t(2 * d);
        }
        return p;
    }
    const I128 f = s0 + s * u / d;
    const I128 a = s * (u + 1);
    const I128 l = s0 + a / d - (a % d == 0 ? 1 : 0);
    p.Valid = inside(f) && inside(l);
    if (!p.Valid) return p;
    p.First = int(f);
    p.Last = int(l);
    p.WFirst = int64_t(d * (f - s0 + 1) - s * u);
    p.WLast = int64_t(a - (l - s0) * d);
    if (f == l) {
        p.WFirst = int64_t(s);
        p.Kind = 0;
    } else {
        p.Kind = l == f + 1 ? 1 : 2;
    }
    return p;
}

// Exact division of non-negative sums by a fixed divisor. Sums that stay
// below 2^32 are divided by a multiply with the rounded-up reciprocal, which
// gives the same quotient as the division for every such numerator.
class TDivider {
  public:
    TDivider(uint64_t d, uint64_t maxNumerator) : d_(d) {
        fast_ = d > 1 && d <= UINT32_MAX && maxNumerator <= UINT32_MAX;
        if (fast_) m_ = UINT64_MAX / d + 1;
    }
    uint64_t operator()(uint64_t n) const {
        if (d_ == 1) return n;
        if (fast_) return uint64_t((unsigned __int128)n * m_ >> 64);
        return n / d_;
    }

  private:
    uint64_t d_;
    uint64_t m_ = 0;
    bool fast_ = false;
};

// Horizontal pass of one source row: for every planned destination column
// the weighted channel sums divided by the horizontal divisor (0..255 each).
void ReduceRow(const uint8_t* src, const std::vector<TSamplePlan>& plans, int64_t d,
               const TDivider& div, uint8_t* out) {
    const size_t n = plans.size();
    for (size_t i = 0; i < n; ++i) {
        const TSamplePlan& p = plans[i];
        if (!p.Valid) continue;
        const uint8_t* s = src + int64_t(p.First) * 3;
        uint64_t b = uint64_t(s[0]) * uint64_t(p.WFirst);
        uint64_t g = uint64_t(s[1]) * uint64_t(p.WFirst);
        uint64_t r = uint64_t(s[2]) * uint64_t(p.WFirst);
        if (p.Kind != 0) {
            if (p.Kind == 2) {
                uint64_t mb = 0, mg = 0, mr = 0;
                for (int c = p.First + 1; c < p.Last; ++c) {
                    const uint8_t* q = src + int64_t(c) * 3;
                    mb += q[0];
                    mg += q[1];
                    mr += q[2];
                }
                b += mb * uint64_t(d);
                g += mg * uint64_t(d);
                r += mr * uint64_t(d);
            }
            const uint8_t* q = src + int64_t(p.Last) * 3;
            b += uint64_t(q[0]) * uint64_t(p.WLast);
            g += uint64_t(q[1]) * uint64_t(p.WLast);
            r += uint64_t(q[2]) * uint64_t(p.WLast);
        }
        uint8_t* o = out + i * 3;
        o[0] = uint8_t(div(b));
        o[1] = uint8_t(div(g));
        o[2] = uint8_t(div(r));
    }
}

// The reduced rows of the last few source rows: neighbouring destination
// rows share source rows, and the horizontal pass of a row does not depend
// on the destination row that uses it.
class TReducedRows {
  public:
    TReducedRows(size_t columns) {
        for (Slot& s : slots_)
            s.Data.resize(columns * 3);
    }
    template <class Fill> const uint8_t* Get(int j, Fill&& fill) {
        ++clock_;
        Slot* victim = &slots_[0];
        for (Slot& s : slots_) {
            if (s.Row == j) {
                s.Used = clock_;
                return s.Data.data();
            }
            if (s.Used < victim->Used) victim = &s;
        }
        fill(j, victim->Data.data());
        victim->Row = j;
        victim->Used = clock_;
        return victim->Data.data();
    }

  private:
    struct Slot {
        int Row = -1;
        uint64_t Used = 0;
        std::vector<uint8_t> Data;
    };
    Slot slots_[3];
    uint64_t clock_ = 0;
};

} // namespace

void TPixelGraphic::CopyFrom(TPixelGraphic& source) {
    StretchCopy(0, 0, width_, height_, source, 0, 0, source.GetWidth(), source.GetHeight());
}

void TPixelGraphic::StretchCopy(int dx, int dy, int dw, int dh, TPixelGraphic& source, int sx,
                                int sy, int sw, int sh) {
    FlushCanvas();
    if (sw == dw && sh == dh) {
        CopyRect(dx, dy, source, sx, sy, dw, dh);
        return;
    }
    if (width_ < 1 || height_ < 1 || !store_ || source.GetWidth() < 1 || source.GetHeight() < 1 ||
        source.GetEmpty())
        return;
    // An empty rectangle on either side has nothing to sample, and its
    // divisors would be zero.
    if (dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
    if (&source == this) {
        // Writing would overwrite pixels still to be sampled.
        auto copy = PGSnapshot(*this);
        StretchCopy(dx, dy, dw, dh, *copy, sx, sy, sw, sh);
        return;
    }

    const int x0 = int(std::max<int64_t>(dx, 0));
    const int x1 = int(std::min<int64_t>(int64_t(dx) + dw - 1, width_ - 1));
    const int y0 = int(std::max<int64_t>(dy, 0));
    const int y1 = int(std::min<int64_t>(int64_t(dy) + dh - 1, height_ - 1));

    {
        TPGDitherScope dither(*this);
        const TResample hm = ChooseMethod(sw, dw, stretchMode_);
        const TResample vm = ChooseMethod(sh, dh, stretchMode_);
        const int64_t hdiv = Divisor(hm, sw, dw), vdiv = Divisor(vm, sh, dh);
        const TDivider hDivide(uint64_t(hdiv), 255 * uint64_t(hdiv));
        const TDivider vDivide(uint64_t(vdiv), 255 * uint64_t(vdiv));
        const int srcW = source.GetWidth(), srcH = source.GetHeight();

        std::vector<TSamplePlan> cols;
        int need0 = srcW, need1 = -1; // source columns any plan reads
        if (x0 <= x1) {
            cols.resize(size_t(x1 - x0 + 1));
            for (int x = x0; x <= x1; ++x) {
                TSamplePlan& p = cols[size_t(x - x0)];
                p = MakePlan(hm, int64_t(x) - dx, sx, sw, dw, srcW);
                if (p.Valid) {
                    need0 = std::min(need0, p.First);
                    need1 = std::max(need1, p.Kind == 0 ? p.First : p.Last);
                }
            }
        }

        TPGSourceRows rows(source);
        TReducedRows reduced(cols.size());
        auto fill = [&](int j, uint8_t* out) {
            ReduceRow(rows.RowBGR(j, need0, need1), cols, dw, hDivide, out);
        };
        std::vector<uint64_t> total(cols.size() * 3);
        TPGPixelWriter writer(*this);
        TPGProgressScope progress(*this, this);
        for (int y = y0; y <= y1; ++y) {
            writer.StartRow(y);
            const TSamplePlan v = MakePlan(vm, int64_t(y) - dy, sy, sh, dh, srcH);
            if (v.Valid && need0 <= need1) {
                std::fill(total.begin(), total.end(), 0);
                auto add = [&](int j, int64_t wy) {
                    const uint8_t* r = reduced.Get(j, fill);
                    const size_t n = total.size();
                    for (size_t i = 0; i < n; ++i)
                        total[i] += uint64_t(r[i]) * uint64_t(wy);
                };
                add(v.First, v.WFirst);
                if (v.Kind != 0) {
                    if (v.Kind == 2)
                        for (int j = v.First + 1; j < v.Last; ++j)
                            add(j, dh);
                    add(v.Last, v.WLast);
                }
                // Serpentine: odd rows right to left, as the error diffusion
                // expects.
                const bool odd = y % 2 != 0;
                for (int k = x0; k <= x1; ++k) {
                    const int t = odd ? x1 - (k - x0) : k;
                    const size_t i = size_t(t - x0);
                    if (!cols[i].Valid) continue;
                    const uint64_t* c = &total[i * 3];
                    writer.Put(t, int(vDivide(c[2])), int(vDivide(c[1])), int(vDivide(c[0])));
                }
            }
            if (progress.Step(y - y0, y1 - y0)) break;
        }
    }
    Changed(this);
}

void TPixelGraphic::CopyRect(int dx, int dy, TPixelGraphic& source, int sx, int sy, int w, int h) {
    if (width_ == 0 || height_ == 0 || !store_ || source.GetWidth() == 0 ||
        source.GetHeight() == 0 || source.GetEmpty())
        return;
    if (&source == this) {
        // Copying within one picture reads every pixel as it was before.
        auto copy = PGSnapshot(*this);
        CopyRect(dx, dy, *copy, sx, sy, w, h);
        return;
    }
    const int srcW = source.GetWidth(), srcH = source.GetHeight();
    const int64_t ry0 = std::max<int64_t>(dy, 0);
    const int64_t ry1 = std::min<int64_t>(int64_t(dy) + h - 1, height_ - 1);
    // Usable columns: inside the destination, and reading inside the source.
    const int64_t shift = int64_t(sx) - dx;
    const int64_t ux0 = std::max<int64_t>({dx, 0, -shift});
    const int64_t ux1 = std::min<int64_t>({int64_t(dx) + w - 1, width_ - 1, srcW - 1 - shift});
    if (ux0 <= ux1 && ry0 <= ry1) {
        TPGDitherScope dither(*this);
        TPGSourceRows rows(source);
        TPGPixelWriter writer(*this);
        const bool bytes = pixelFormat_ == pg24Bit && rows.TrueColor();
        TPGProgressScope progress(*this, this);
        for (int64_t y = ry0; y <= ry1; ++y) {
            const int64_t srcY = y + sy - dy;
            if (srcY < 0 || srcY >= srcH) continue;
            if (bytes) {
                std::memcpy(ScanLine(int(y)) + ux0 * 3,
                            source.ScanLine(int(srcY)) + (ux0 + shift) * 3,
                            size_t(ux1 - ux0 + 1) * 3);
            } else {
                writer.StartRow(int(y));
                const uint8_t* src = rows.RowBGR(int(srcY), int(ux0 + shift), int(ux1 + shift));
                const bool odd = y % 2 != 0;
                for (int64_t k = ux0; k <= ux1; ++k) {
                    const int64_t t = odd ? ux1 - (k - ux0) : k;
                    const uint8_t* p = src + (t + shift) * 3;
                    writer.Put(int(t), p[2], p[1], p[0]);
                }
            }
            if (progress.Step(int(y - ry0), int(ry1 - ry0))) break;
        }
    }
    Changed(this);
}
