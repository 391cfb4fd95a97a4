#include "core/pixelgraphic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "core/dither.h"
#include "core/exceptions.h"
#include "core/options.h"
#include "core/palettes.h"
#include "core/pixelrows.h"

std::function<std::unique_ptr<TPGCanvasBase>(TPixelGraphic&)> TPixelGraphic::CanvasFactory;

void TPixelGraphic::FreeDeleter::operator()(uint8_t* p) const { std::free(p); }

TPixelGraphic::TPixelGraphic() : gamma_(DisplayGamma) {}

TPixelGraphic::~TPixelGraphic() {
    // Pending drawing is written back before the store goes; a failing canvas
    // must not take the program down from a destructor.
    try {
        FlushCanvas();
    } catch (...) {
    }
}

// ---- store

void TPixelGraphic::FreeStore() {
    store_.reset();
    rowBytes_ = 0;
    imageSize_ = 0;
}

void TPixelGraphic::SetFormat(int width, int height, TPGPixelFormat format) {
    if (width < 0) throw EPGInvalidSize(PGMessage(22));
    if (height < 0) throw EPGInvalidSize(PGMessage(21));
    if (format > pg24Bit) throw EPGInvalidBitCountNum(PGMessage(20, "PixelFormat"));
    if (width == width_ && height == height_ && format == pixelFormat_) {
        Clear();
        return;
    }
    FlushCanvas();
    ReleaseCanvasHandle();
    FreeStore();
    width_ = width;
    height_ = height;
    pixelFormat_ = format;

    const int64_t rowBytes = ((int64_t(PixelFormatBits(format)) * width + 31) / 32) * 4;
    const int64_t imageSize = rowBytes * height;
    if (imageSize > 0) {
        const int m = PixelFormatColors(format);
        if (PaletteCount() > m) SetPaletteCount(m);
        if (format == pg24Bit) paletteIdent_ = pTrueColor;
        biClrUsed_ = uint32_t(m);
        uint8_t* p = imageSize <= PGMaxImageBytes ? static_cast<uint8_t*>(std::calloc(size_t(imageSize), 1))
                                                  : nullptr;
        if (!p) {
            // The picture is left empty rather than half made.
            width_ = height_ = 0;
            throw EPixelGraphic(PGMessage(31, "CreateDIBSection"));
        }
        store_.reset(p);
        rowBytes_ = rowBytes;
        imageSize_ = imageSize;
    }
    Changed(this);
}

uint8_t* TPixelGraphic::ScanLine(int y) {
    FlushCanvas();
    if (!store_ || y < 0 || y >= height_) return nullptr;
    return store_.get() + int64_t(height_ - 1 - y) * rowBytes_;
}

const uint8_t* TPixelGraphic::ScanLine(int y) const {
    FlushCanvas();
    if (!store_ || y < 0 || y >= height_) return nullptr;
    return store_.get() + int64_t(height_ - 1 - y) * rowBytes_;
}

uint8_t* TPixelGraphic::Bits() {
    FlushCanvas();
    return store_.get();
}

BITMAPINFO TPixelGraphic::GetBitmapInfo() const {
    BITMAPINFO bi;
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = height_;
    bi.bmiHeader.biBitCount = uint16_t(BitsPerPixel());
    bi.bmiHeader.biSizeImage = uint32_t(std::min<int64_t>(imageSize_, UINT32_MAX));
    bi.bmiHeader.biClrUsed = biClrUsed_;
    const int m = ColorCount();
    bi.bmiColors.resize(size_t(m));
    for (int i = 0; i < m && !palette_.empty(); ++i) {
        TRGB c = palette_[size_t(i < PaletteCount() ? i : 0)];
        bi.bmiColors[size_t(i)] = {uint8_t(GetBValue(c)), uint8_t(GetGValue(c)), uint8_t(GetRValue(c)), 0};
    }
    return bi;
}

void TPixelGraphic::Clear() {
    FlushCanvas();
    if (!store_ || width_ == 0 || height_ == 0) return;
    if (backgroundColor_ == 0) {
        std::memset(store_.get(), 0, size_t(imageSize_));
    } else if (pixelFormat_ == pg8Bit) {
        for (int y = 0; y < height_; ++y) std::memset(ScanLine(y), backgroundColor_ & 255, size_t(width_));
    } else {
        // Fill the first row pixel by pixel, then copy it: the same bytes as
        // setting every pixel, in a fraction of the time.
        for (int x = 0; x < width_; ++x) SetPixel(x, 0, backgroundColor_);
        const uint8_t* first = ScanLine(0);
        for (int y = 1; y < height_; ++y) std::memcpy(ScanLine(y), first, size_t(rowBytes_));
    }
    Changed(this);
}

// ---- pixels

int32_t TPixelGraphic::GetPixel(int x, int y) const {
    FlushCanvas();
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !store_) return backgroundColor_;
    return PGLoadIndex(ScanLine(y), pixelFormat_, x);
}

void TPixelGraphic::SetPixel(int x, int y, int32_t v) {
    FlushCanvas();
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !store_) return;
    PGStoreIndex(ScanLine(y), pixelFormat_, x, v);
}

TRGB TPixelGraphic::GetPixelColor(int x, int y) const {
    if (pixelFormat_ == pg24Bit) return GetPixel(x, y);
    return PaletteEntry(GetPixel(x, y));
}

void TPixelGraphic::SetPixelColor(int x, int y, TRGB c) {
    if (pixelFormat_ == pg24Bit)
        SetPixel(x, y, c);
    else
        SetPixel(x, y, NearestPaletteIndex(c));
}

// ---- palette

void TPixelGraphic::MarkPaletteStale() {
    lastValid_ = false;
    ++paletteRevision_;
}

TRGB TPixelGraphic::PaletteEntry(int i) const {
    if (paletteIdent_ == pTrueColor) return i;
    if (i < 0 || i >= PaletteCount()) throw EPGInvalidPaletteIndex(PGMessage(3));
    return palette_[size_t(i)];
}

void TPixelGraphic::SetPaletteEntry(int i, TRGB c) {
    if (paletteIdent_ == pNone || paletteIdent_ == pTrueColor) throw EPGNoPalette(PGMessage(2));
    if (i < 0 || i >= PaletteCount()) throw EPGInvalidPaletteIndex(PGMessage(3));
    ReleaseCanvasHandle();
    palette_[size_t(i)] = c & 0xFFFFFF;
    paletteIdent_ = pUnknown;
    MarkPaletteStale();
    InvalidateColorCache();
}

void TPixelGraphic::SetPaletteCount(int n) {
    n = std::clamp(n, 0, 256);
    if (n != PaletteCount()) {
        FlushCanvas();
        ReleaseCanvasHandle();
        palette_.resize(size_t(n), 0);
        paletteIdent_ = n > 0 ? pUnknown : pNone;
        lastValid_ = false;
        biClrUsed_ = uint32_t(n);
    }
    ++paletteRevision_;
    InvalidateColorCache();
}

void TPixelGraphic::SetPaletteIdent(TPaletteIdent p) {
    if (p == paletteIdent_) return;
    if (p != pUnknown && p != pOptimized252Sys16 && p != pSource) {
        std::vector<TRGB> pal = StandardPalette(p);
        SetPaletteCount(int(pal.size()));
        if (!pal.empty()) {
            ReleaseCanvasHandle();
            palette_ = std::move(pal);
        }
    }
    paletteIdent_ = p;
    MarkPaletteStale();
    InvalidateColorCache();
}

void TPixelGraphic::CopyPaletteFrom(const TPixelGraphic& other) {
    const std::vector<TRGB> pal = other.palette_; // other may be this picture
    SetPaletteCount(int(pal.size()));
    if (!pal.empty()) {
        // Entries are written through the setter's rules: the identity
        // becomes unknown until IdentifyPalette below.
        if (paletteIdent_ == pNone || paletteIdent_ == pTrueColor) paletteIdent_ = pUnknown;
        ReleaseCanvasHandle();
        palette_ = pal;
        paletteIdent_ = pUnknown;
        MarkPaletteStale();
        InvalidateColorCache();
    }
    IdentifyPalette();
}

void TPixelGraphic::CheckGray() {
    isGrayPalette_ = pixelFormat_ != pg24Bit &&
                     std::all_of(palette_.begin(), palette_.end(), [](TRGB c) {
                         return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
                     });
}

void TPixelGraphic::IdentifyPalette() {
    CheckGray();
    static const TPaletteIdent order[] = {pBlackWhite, pGray4,      pSysGray4,   pGray16,    pGray236,
                                          pGray256,    pSys16,      pSpecial216, pSpecial125, pSpecial252};
    TPaletteIdent found;
    auto it = std::find_if(std::begin(order), std::end(order),
                           [this](TPaletteIdent p) { return palette_ == StandardPalette(p); });
    if (it != std::end(order))
        found = *it;
    else if (pixelFormat_ == pg24Bit && palette_.empty())
        found = pTrueColor;
    else
        found = palette_.empty() ? pNone : pUnknown;
    if (found != paletteIdent_) {
        paletteIdent_ = found;
        MarkPaletteStale();
        InvalidateColorCache();
    }
}

void TPixelGraphic::SetRGBWeighting(bool v) {
    if (v != rgbWeighting_) lastValid_ = false;
    rgbWeighting_ = v;
}

void TPixelGraphic::SetUseColorCache(bool on) {
    if (on != useColorCache_) {
        lastValid_ = false;
        InvalidateColorCache();
    }
    useColorCache_ = on;
}

void TPixelGraphic::InvalidateColorCache() { colorCache_.reset(); }

// The colour cache of arbitrary palettes: 64 x 64 x 64 cells addressed by
// (red div 4, green div 4, blue div 4). A cell, filled on its first query,
// lists the entries that can be nearest to some colour of the cell (those
// whose smallest possible distance to the cell's box does not exceed the
// smallest largest-distance of any entry), ordered by that smallest
// distance. A query walks the list and stops at the first entry that cannot
// come closer than the best so far, so the answer is the exact nearest entry
// (lowest index on a tie) after a few distances. (Filling each cell with one
// entry, as a coarser cache would, maps colours to entries that are not the
// nearest: black to a dark grey while black itself is in the palette.)
struct TPixelGraphic::TColorCache {
    // Per fine cell: kUnset, or kDirect | index when one entry is nearest to
    // the whole cell, or the offset in `pool` of the cell's list: a count,
    // then one word per candidate, its smallest distance << 8 | its index
    // (squared distances stay below 2^18).
    static constexpr uint32_t kUnset = UINT32_MAX;
    static constexpr uint32_t kDirect = 0x80000000u;
    std::vector<uint32_t> cells = std::vector<uint32_t>(64 * 64 * 64, kUnset);
    std::vector<uint32_t> pool;
    // The same lists for 16 x 16 x 16 coarse cells of 16 values a side. A
    // fine cell's candidates are among its coarse cell's, so filling a fine
    // cell looks at a few dozen entries instead of the whole palette.
    std::vector<uint32_t> coarseStart = std::vector<uint32_t>(16 * 16 * 16, kUnset);
    std::vector<uint16_t> coarseCount = std::vector<uint16_t>(16 * 16 * 16, 0);
    std::vector<uint8_t> coarsePool;
};

namespace {
struct TCandidate {
    int32_t minDistance;
    int32_t index;
};

// Writes to `out` the entries of `from` (all entries when null) that can be
// nearest to some colour of the box lo..hi, ordered by their smallest
// distance to the box; returns how many.
size_t CandidatesForBox(const std::vector<TRGB>& palette, const uint8_t* from, int fromCount,
                        const int lo[3], const int hi[3], TCandidate* out) {
    int bound = INT32_MAX;
    for (int j = 0; j < fromCount; ++j) {
        const int i = from ? from[j] : j;
        const TRGB e = palette[size_t(i)];
        const int ch[3] = {GetRValue(e), GetGValue(e), GetBValue(e)};
        int mn = 0, mx = 0;
        for (int a = 0; a < 3; ++a) {
            const int dmin = ch[a] < lo[a] ? lo[a] - ch[a] : ch[a] > hi[a] ? ch[a] - hi[a] : 0;
            const int dmax = std::max(std::abs(ch[a] - lo[a]), std::abs(ch[a] - hi[a]));
            mn += dmin * dmin;
            mx += dmax * dmax;
        }
        out[j] = {mn, i};
        bound = std::min(bound, mx);
    }
    auto* last = std::remove_if(out, out + fromCount, [bound](const TCandidate& k) { return k.minDistance > bound; });
    std::sort(out, last, [](const TCandidate& x, const TCandidate& y) {
        return x.minDistance != y.minDistance ? x.minDistance < y.minDistance : x.index < y.index;
    });
    return size_t(last - out);
}
} // namespace

int TPixelGraphic::NearestByCache(TRGB c) const {
    if (palette_.empty()) throw EPGNoPalette(PGMessage(2));
    const int n = PaletteCount();
    if (!useColorCache_) return NearestBySearch(palette_.data(), n, c);
    if (!colorCache_) colorCache_ = std::make_unique<TColorCache>();
    TColorCache& cache = *colorCache_;
    const int cr = GetRValue(c) / 4, cg = GetGValue(c) / 4, cb = GetBValue(c) / 4;
    uint32_t& info = cache.cells[size_t((cr * 64 + cg) * 64 + cb)];
    if (info == TColorCache::kUnset) {
        TCandidate cand[256];
        const size_t coarse = size_t(((cr / 4) * 16 + cg / 4) * 16 + cb / 4);
        if (cache.coarseStart[coarse] == TColorCache::kUnset) {
            const int lo[3] = {(cr / 4) * 16, (cg / 4) * 16, (cb / 4) * 16};
            const int hi[3] = {lo[0] + 15, lo[1] + 15, lo[2] + 15};
            const size_t m = CandidatesForBox(palette_, nullptr, n, lo, hi, cand);
            cache.coarseStart[coarse] = uint32_t(cache.coarsePool.size());
            cache.coarseCount[coarse] = uint16_t(m);
            for (size_t j = 0; j < m; ++j) cache.coarsePool.push_back(uint8_t(cand[j].index));
        }
        const int lo[3] = {cr * 4, cg * 4, cb * 4};
        const int hi[3] = {lo[0] + 3, lo[1] + 3, lo[2] + 3};
        const size_t m = CandidatesForBox(palette_, cache.coarsePool.data() + cache.coarseStart[coarse],
                                          cache.coarseCount[coarse], lo, hi, cand);
        if (m == 1) {
            info = TColorCache::kDirect | uint32_t(cand[0].index);
        } else {
            info = uint32_t(cache.pool.size());
            cache.pool.push_back(uint32_t(m));
            for (size_t j = 0; j < m; ++j)
                cache.pool.push_back(uint32_t(cand[j].minDistance) << 8 | uint32_t(cand[j].index));
        }
    }
    if (info & TColorCache::kDirect) return int(info & 255);
    const uint32_t* k = cache.pool.data() + info;
    const uint32_t* end = k + 1 + *k;
    ++k;
    int best = int(*k & 255);
    int bestD = ColorDistance2(c, palette_[size_t(best)]);
    for (++k; k < end && int(*k >> 8) <= bestD; ++k) {
        const int index = int(*k & 255);
        const int d = ColorDistance2(c, palette_[size_t(index)]);
        if (d < bestD || (d == bestD && index < best)) {
            bestD = d;
            best = index;
        }
    }
    return best;
}

int TPixelGraphic::NearestPaletteIndex(TRGB c) const {
    c &= 0xFFFFFF;
    if (paletteIdent_ == pNone) throw EPGNoPalette(PGMessage(2));
    if (paletteIdent_ == pTrueColor) return c;
    if (lastValid_ && lastQuery_ == c) return lastAnswer_;
    const int w = GreyLevel(c, rgbWeighting_);
    int answer;
    switch (paletteIdent_) {
    case pBlackWhite:
        answer = (w + 1) / 384;
        break;
    case pSysGray4:
        answer = w <= 192 ? 0 : w <= 480 ? 1 : w <= 670 ? 2 : 3;
        break;
    case pGray4:
        answer = (w + 127) / 255;
        break;
    case pGray16:
        answer = (w + 25) / 51;
        break;
    case pGray256:
        answer = (w + 1) / 3;
        break;
    case pGray236:
        answer = NearestGray236(w);
        break;
    case pSpecial125: {
        auto level = [](int v) { return ((v == 224 ? 225 : v) + 31) / 64; };
        answer = level(GetRValue(c)) * 25 + level(GetGValue(c)) * 5 + level(GetBValue(c));
        break;
    }
    case pSpecial216: {
        auto level = [](int v) { return (v + 24) / 51; };
        answer = level(GetRValue(c)) * 36 + level(GetGValue(c)) * 6 + level(GetBValue(c));
        break;
    }
    case pSys16:
        answer = NearestSys16(c);
        break;
    case pSpecial252:
        answer = NearestSpecial252(c);
        break;
    default:
        answer = NearestByCache(c);
        break;
    }
    lastValid_ = true;
    lastQuery_ = c;
    lastAnswer_ = answer;
    return answer;
}

void TPixelGraphic::SetBackgroundColor(TRGB c) {
    backgroundColor_ = pixelFormat_ == pg24Bit ? c : NearestPaletteIndex(c);
}

// ---- change notification

void TPixelGraphic::Changed(TObject* sender) {
    (void)sender;
    if (updateCount_ == 0 && OnChange) OnChange(this);
}

void TPixelGraphic::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
    Changed(this);
}

TPGUpdateScope::~TPGUpdateScope() {
    if (done_) return;
    try {
        g_.EndUpdate();
    } catch (...) {
        // A handler's exception must not end the program from a destructor.
    }
}

void TPGUpdateScope::Finish() {
    done_ = true;
    g_.EndUpdate();
}

// ---- progress

void TPixelGraphic::ProgressStart(TObject* sender) {
    if (OnProgressStart) OnProgressStart(sender);
}

bool TPixelGraphic::ProgressStep(TObject* sender, int step, int max) {
    bool abort = false;
    if (OnProgress) OnProgress(sender, step, max, abort);
    return abort;
}

void TPixelGraphic::ProgressEnd(TObject* sender) {
    if (OnProgressEnd) OnProgressEnd(sender);
}

TPGProgressScope::~TPGProgressScope() {
    try {
        g_.ProgressEnd(sender_);
    } catch (...) {
    }
}

// ---- whole picture

void TPixelGraphic::Assign(const TPixelGraphic* source) {
    TPGUpdateScope update(*this);
    if (!source) {
        SetFormat(0, 0, pg24Bit);
        update.Finish();
        return;
    }
    if (source == this) {
        update.Finish();
        return;
    }
    source->FlushCanvas();
    FlushCanvas();
    SetFormat(source->width_, source->height_, source->pixelFormat_);
    if (imageSize_ > 0) std::memcpy(Bits(), source->store_.get(), size_t(imageSize_));
    SetPaletteIdent(source->paletteIdent_);
    SetPaletteCount(source->PaletteCount());
    backgroundColor_ = source->backgroundColor_;
    dither_ = source->dither_;
    ditherErrorLimit_ = source->ditherErrorLimit_;
    ditherErrorLimitAuto_ = source->ditherErrorLimitAuto_;
    ditherErrorLimitSoft_ = source->ditherErrorLimitSoft_;
    SetUseColorCache(source->useColorCache_);
    gamma_ = source->gamma_;
    SetRGBWeighting(source->rgbWeighting_);
    rotateInterpolation_ = source->rotateInterpolation_;
    stretchMode_ = source->stretchMode_;
    readWarningAction_ = source->readWarningAction_;
    transparent_ = source->transparent_;
    transparentColor_ = source->transparentColor_;
    saveColorResWarningAction_ = source->saveColorResWarningAction_;
    metadata_ = source->metadata_;
    if (!source->palette_.empty()) {
        ReleaseCanvasHandle();
        palette_ = source->palette_;
        paletteIdent_ = pUnknown;
        MarkPaletteStale();
        InvalidateColorCache();
    }
    IdentifyPalette();
    update.Finish();
}

namespace {
// Power(b, e) as the library defines it: 1 for e = 0, 0 for b = 0, 1 for
// b = 1, exp(e ln b) otherwise; a negative base is an error.
long double PGPower(long double b, long double e) {
    if (e == 0) return 1;
    if (b == 0) return 0;
    if (b == 1) return 1;
    if (b < 0) throw EPixelGraphic("Invalid Argument");
    return std::exp(e * std::log(b));
}
} // namespace

void TPixelGraphic::ApplyGammaCorrection() {
    // One reading of the options: the window's thread may change them
    // while a worker loads.
    const long double display = DisplayGamma;
    if (!GammaCorrection || display == 0) return;
    const long double ratio = gamma_ / display;
    if (!(std::fabs(ratio - 1) > 0.05L)) return;
    uint8_t t[256];
    for (int i = 0; i < 256; ++i) {
        long double v = std::nearbyint(255 * PGPower(i / 255.0L, ratio));
        t[i] = uint8_t(std::clamp<long double>(v, 0, 255));
    }
    if (pixelFormat_ == pg24Bit) {
        const int64_t bytes = int64_t(width_) * 3;
        for (int y = 0; y < height_; ++y) {
            uint8_t* p = ScanLine(y);
            for (int64_t i = 0; i < bytes; ++i) p[i] = t[p[i]];
        }
    } else if (!palette_.empty()) {
        ReleaseCanvasHandle();
        for (TRGB& c : palette_) c = RGB(t[GetRValue(c)], t[GetGValue(c)], t[GetBValue(c)]);
        MarkPaletteStale();
        InvalidateColorCache();
    }
    gamma_ = display;
}

// ---- canvas bridge

TPGCanvasBase* TPixelGraphic::Canvas() {
    if (!canvas_) {
        if (!CanvasFactory) throw EPixelGraphic(PGMessage(16, "Canvas"));
        canvas_ = CanvasFactory(*this);
    }
    canvasUsed_ = true;
    return canvas_.get();
}

void TPixelGraphic::FlushCanvas() const {
    if (canvasUsed_ && canvas_) {
        canvasUsed_ = false;
        canvas_->Flush();
    }
}

void TPixelGraphic::ReleaseCanvasHandle() {
    if (canvas_) canvas_->ReleaseHandle();
}
