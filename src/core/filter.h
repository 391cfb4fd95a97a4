#pragma once
// TPGFilter: computes, for a bound source picture, the colour of every pixel
// of a result. TPixelGraphic::ApplyFilter runs one over a whole picture; the
// colour and convolution filters of the processing library derive from it.

#include <cstdint>

#include "core/types.h"

class TPixelGraphic;

class TPGFilter {
  public:
    TPGFilter() = default;
    virtual ~TPGFilter() = default;
    TPGFilter(const TPGFilter&) = delete;
    TPGFilter& operator=(const TPGFilter&) = delete;

    // Binds the source; filters that precompute tables do it here.
    virtual void Prepare(const TPixelGraphic& source) { source_ = &source; }
    // The result colour of the pixel (x, y) of the bound source.
    virtual TRGB FilterPixel(int /*x*/, int /*y*/) { return 0; }
    // Lets go of the source.
    virtual void Finish() { source_ = nullptr; }
    // True when a pixel's result depends only on that pixel's colour: such a
    // filter may run in place and on a palette instead of the pixels.
    virtual bool IsPointFilter() const { return false; }
    virtual TRGB FilterColor(TRGB c) { return c; }

    // The whole row y at once, colours[x] for every column (the width of the
    // bound source). The default visits the columns in the serpentine order
    // of ApplyFilter through FilterPixel; filters override it with a loop
    // over the rows' bytes giving the same colours.
    virtual void FilterRow(int y, int width, TRGB* colors);
    // True when FilterRow may run for several rows at the same time (it
    // keeps no state between calls). ApplyFilter then computes a band of
    // rows on worker threads and stores them in order.
    virtual bool RowsInParallel() const { return false; }

    const TPixelGraphic* Source() const { return source_; }

  private:
    const TPixelGraphic* source_ = nullptr;
};

// Finish() when leaving a scope, also by an exception.
class TPGFilterScope {
  public:
    TPGFilterScope(TPGFilter& f, const TPixelGraphic& source) : f_(f) { f_.Prepare(source); }
    ~TPGFilterScope() { f_.Finish(); }
    TPGFilterScope(const TPGFilterScope&) = delete;
    TPGFilterScope& operator=(const TPGFilterScope&) = delete;

  private:
    TPGFilter& f_;
};

// How many worker threads the row-parallel filters use (1 = the calling
// thread only). Set once at start; tests set 1 or more to compare.
extern int PGFilterThreads;
