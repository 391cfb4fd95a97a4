// Windows metafile player on arbitrary bytes. The painter half needs Qt,
// which the fuzz build leaves out, so the records are played onto a canvas
// that only checks the primitives it is handed; loading, record walking,
// object tables, mapping and bitmap decoding are all exercised.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "formats/metafile.h"
#include "fuzz_support.h"

#ifndef FUZZ_ENHANCED
#define FUZZ_ENHANCED 0
#endif

namespace {
class TCheckCanvas : public TMetaCanvas {
  public:
    void Polyline(const TMetaStyle&, const std::vector<TMetaPoint>& p) override { Touch(p); }
    void Polygons(const TMetaStyle& s, const std::vector<std::vector<TMetaPoint>>& ps) override {
        Pattern(s);
        for (const auto& p : ps)
            Touch(p);
    }
    void Ellipse(const TMetaStyle&, const TMetaRect&) override {}
    void RoundRect(const TMetaStyle&, const TMetaRect&, double, double) override {}
    void Arc(const TMetaStyle&, const TMetaRect&, double, double, int) override {}
    void Text(const TMetaStyle& s, TMetaPoint, const std::u16string& t, const TMetaRect*, bool,
              const std::vector<double>* adv) override {
        // Spacing, when given, has one advance per character.
        if (adv && adv->size() != t.size()) __builtin_trap();
        for (char16_t c : t)
            sum_ += c;
        Pattern(s);
    }
    void Image(const TMetaRect&, int w, int h, const std::vector<uint8_t>& bgr, int rop3,
               TRGB) override {
        // The decoded rows must hold exactly w x h pixels.
        if (bgr.size() != size_t(w) * size_t(h) * 3 || rop3 < 0 || rop3 > 255) __builtin_trap();
        if (!bgr.empty()) sum_ += MetaRop3(rop3, 1, bgr.front(), bgr.back());
    }
    void BlendImage(const TMetaRect&, int w, int h, const std::vector<uint8_t>& bgr,
                    const std::vector<uint8_t>& alpha, int constant) override {
        const size_t n = size_t(w) * size_t(h);
        if (bgr.size() != n * 3 || (!alpha.empty() && alpha.size() != n) || constant < 0 ||
            constant > 255)
            __builtin_trap();
        if (!alpha.empty()) sum_ += alpha.front() + alpha.back();
    }
    void SetClip(const std::vector<TMetaRect>* rects) override {
        if (!rects) return;
        if (rects->size() > 4096) __builtin_trap();
        for (const TMetaRect& r : *rects)
            sum_ += std::isfinite(r.Left + r.Top + r.Right + r.Bottom) ? 1 : 0;
    }
    void FillRect(const TMetaRect&, TRGB) override {}
    bool Changed() override { return ++count_ > 100000; }

  private:
    // A pattern brush's tile must hold exactly its pixels.
    void Pattern(const TMetaStyle& s) {
        const TMetaBrush& b = s.Brush;
        if (b.PatternBGR && b.PatternBGR->size() != size_t(b.PatternW) * size_t(b.PatternH) * 3)
            __builtin_trap();
    }
    void Touch(const std::vector<TMetaPoint>& p) {
        for (const TMetaPoint& q : p)
            sum_ += std::isfinite(q.X) ? 1 : 0;
    }
    uint64_t sum_ = 0;
    int count_ = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStart();
    TMetafileData mf;
    if (FUZZ_ENHANCED ? mf.LoadEMF(data, size, 96) : mf.LoadWMF(data, size, 96)) {
        TCheckCanvas canvas;
        mf.Play(canvas, std::min(mf.Width(), 300), std::min(mf.Height(), 300));
    }
    return 0;
}
