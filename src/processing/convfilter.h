#pragma once
// TConvFilter: each pixel becomes the weighted sum of the pixels around it
// under an integer kernel, divided by the weights of the cells that fall
// inside the picture (so borders need no padding), scaled by Factor and
// shifted by Bias. The kernel is set cell by cell or built by a recipe.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/filter.h"

enum TDistributionShape { dsGaussian, dsTent, dsRect };

class TConvFilter : public TPGFilter {
  public:
    static constexpr int MaxSize = 99;

    TConvFilter();

    int Width() const { return kernel_.width; }
    int Height() const { return kernel_.height; }
    // 1..99 (EPGConvFilter, message 41, kernel kept otherwise); a new size
    // zeroes every cell.
    void SetWidth(int w);
    void SetHeight(int h);
    // EPGConvFilter (message 1) for a cell outside the kernel.
    int32_t Cell(int col, int row) const;
    void SetCell(int col, int row, int32_t w);
    int OffsetX() const { return offsetX_; }
    void SetOffsetX(int v) { offsetX_ = v; }
    int OffsetY() const { return offsetY_; }
    void SetOffsetY(int v) { offsetY_ = v; }
    // Percent of 255 added to every channel; must be a number.
    long double Bias() const { return bias_; }
    void SetBias(long double v);
    // Multiplies the normalised sum; must be a number.
    long double Factor() const { return factor_; }
    void SetFactor(long double v);

    // The recipes. Parameters are checked before anything changes: a
    // standard deviation, percent or radius that is no usable number, or one
    // that needs a kernel over 99 cells, raises EPGConvFilter (message 41
    // naming it).
    void SetDistribution(TDistributionShape shape, bool useDistance, long double sigma);
    void MakeSharpen(TDistributionShape shape, bool useDistance, long double percent,
                     long double sigma);
    void MakeDetail(TDistributionShape shape, bool useDistance, long double percent,
                    long double sigma);
    void MakeSmooth(TDistributionShape shape, bool useDistance, long double percent,
                    long double sigma);
    void MakeContour(TDistributionShape shape, bool useDistance, long double percent,
                     long double sigma, bool whiteBackground);
    void MakeBlur(long double percent, long double radius);

    void Prepare(const TPixelGraphic& source) override;
    TRGB FilterPixel(int x, int y) override;
    void FilterRow(int y, int width, TRGB* colors) override;
    void Finish() override;
    bool RowsInParallel() const override { return true; }

  private:
    struct TKernel {
        int width = 1, height = 1;
        std::vector<int32_t> cells{1};
        int64_t Sum() const;
        int32_t& At(int col, int row) { return cells[size_t(row) * size_t(width) + size_t(col)]; }
    };
    struct TTap {
        int dx, dy;
        int32_t w;
    };
    static TKernel Distribution(TDistributionShape shape, bool useDistance, long double sigma,
                                bool& known);
    void Take(TKernel k, int offset, long double bias, long double factor);
    uint8_t Scale(int64_t sum, int64_t s) const;
    TRGB Slow(int x, int y) const;

    TKernel kernel_;
    int offsetX_ = 0, offsetY_ = 0;
    long double bias_ = 0, factor_ = 1;

    // Set by Prepare for one application.
    std::vector<const uint8_t*> rows_;
    std::vector<uint8_t> bgr_; // palette sources, as blue, green, red rows
    std::vector<TTap> taps_;   // the cells that are not 0
    int64_t tapSum_ = 0;
    int minDx_ = 0, maxDx_ = 0, minDy_ = 0, maxDy_ = 0;
    int srcW_ = 0, srcH_ = 0;
    bool plain_ = true;  // Factor 1, Bias 0: an integer rounded quotient
    bool narrow_ = true; // the sums fit 32 bits
};
