// TPixelGraphic::ApplyFilter: the contract every filter is written against.

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

#include "core/exceptions.h"
#include "core/filter.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

int PGFilterThreads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));

void TPGFilter::FilterRow(int y, int width, TRGB* colors) {
    if (y % 2 == 0)
        for (int x = 0; x < width; ++x)
            colors[x] = FilterPixel(x, y);
    else
        for (int x = width - 1; x >= 0; --x)
            colors[x] = FilterPixel(x, y);
}

namespace {

// Copies the pixels of `source` into `dest` of the same size whose pixel
// format holds at least as many bits: the indices as they are, and the palette.
void CopyIndices(TPixelGraphic& dest, const TPixelGraphic& source) {
    const TPGPixelFormat sf = source.PixelFormat(), df = dest.PixelFormat();
    for (int y = 0; y < dest.GetHeight(); ++y) {
        const uint8_t* s = source.ScanLine(y);
        uint8_t* d = dest.ScanLine(y);
        for (int x = 0; x < dest.GetWidth(); ++x)
            PGStoreIndex(d, df, x, PGLoadIndex(s, sf, x));
    }
    dest.CopyPaletteFrom(source);
}

void PalettePath(TPixelGraphic& dest, TPGFilter& filter, TPixelGraphic& source) {
    if (&dest != &source) CopyIndices(dest, source);
    TPGFilterScope bound(filter, source);
    const int n = dest.PaletteCount();
    for (int i = 0; i < n; ++i)
        dest.SetPaletteEntry(i, filter.FilterColor(dest.PaletteEntry(i)) & 0xFFFFFF);
}

// Computes rows y0 .. y0 + n - 1 into `band` (n rows of `width` colours),
// split over the worker threads when the filter allows it.
void ComputeBand(TPGFilter& filter, int y0, int n, int width, std::vector<TRGB>& band,
                 int threads) {
    if (threads <= 1 || n <= 1) {
        for (int i = 0; i < n; ++i)
            filter.FilterRow(y0 + i, width, band.data() + size_t(i) * size_t(width));
        return;
    }
    const int t = std::min(threads, n);
    std::vector<std::exception_ptr> errors(static_cast<size_t>(t));
    auto work = [&](int k) {
        try {
            for (int i = k; i < n; i += t)
                filter.FilterRow(y0 + i, width, band.data() + size_t(i) * size_t(width));
        } catch (...) {
            errors[size_t(k)] = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(t - 1));
    try {
        for (int k = 1; k < t; ++k)
            pool.emplace_back(work, k);
    } catch (...) {
        // No thread to spare: the rows left to those not started run here.
        for (int k = int(pool.size()) + 1; k < t; ++k)
            work(k);
    }
    work(0);
    for (std::thread& th : pool)
        th.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

void PixelPath(TPixelGraphic& dest, TPGFilter& filter, TPixelGraphic& source) {
    const int w = dest.GetWidth(), h = dest.GetHeight();
    TPGDitherScope dither(dest);
    TPGFilterScope bound(filter, source);
    TPGProgressScope progress(dest, &dest);
    TPGPixelWriter writer(dest);
    const int threads = filter.RowsInParallel() ? std::max(PGFilterThreads, 1) : 1;
    // Rows are computed a band at a time and stored one by one, so progress
    // and abort still go row by row: rows after an abort keep their content.
    const int bandRows = threads > 1 ? std::max(4 * threads, 16) : 1;
    std::vector<TRGB> band(size_t(bandRows) * size_t(w));
    for (int y0 = 0; y0 < h; y0 += bandRows) {
        const int n = std::min(bandRows, h - y0);
        ComputeBand(filter, y0, n, w, band, threads);
        for (int i = 0; i < n; ++i) {
            const int y = y0 + i;
            const TRGB* c = band.data() + size_t(i) * size_t(w);
            writer.StartRow(y);
            // Serpentine, as the error diffusion relies on.
            if (y % 2 == 0)
                for (int x = 0; x < w; ++x)
                    writer.Put(x, c[x]);
            else
                for (int x = w - 1; x >= 0; --x)
                    writer.Put(x, c[x]);
            if (progress.Step(y, h - 1)) return;
        }
    }
}

} // namespace

void TPixelGraphic::ApplyFilter(TPGFilter& filter, TPixelGraphic& source) {
    const bool point = filter.IsPointFilter();
    if (&source == this && !point) throw EPGFilter(PGMessage(23));
    source.FlushCanvas();
    if (&source != this) SetFormat(source.GetWidth(), source.GetHeight(), pixelFormat_);
    if (width_ == 0 || height_ == 0) return;
    FlushCanvas();
    // A palette picture without palette entries of its own (no palette, or
    // one standing for true colour) has nothing to filter there.
    const TPaletteIdent ident = source.PaletteIdent();
    if (point && pixelFormat_ != pg24Bit && BitsPerPixel() >= source.BitsPerPixel() &&
        source.PixelFormat() != pg24Bit && ident != pNone && ident != pTrueColor)
        PalettePath(*this, filter, source);
    else
        PixelPath(*this, filter, source);
    Changed(this);
}
