#pragma once
// The colour filters: negative, grey scale, brightness/contrast/gamma and the
// three-table filters acting on RGB, CMY, YCbCr, HLS or HSV. Each is a point
// filter: a pixel's result depends on its colour alone, so they run in place
// and on palettes.

#include <array>
#include <cstdint>
#include <memory>

#include "core/filter.h"
#include "core/pixelrows.h"

using TPGLevelTable = std::array<uint8_t, 256>;

// Shared by the colour filters: FilterPixel and FilterRow are FilterColor of
// the source pixel, read straight from the rows.
class TPGColorFilter : public TPGFilter {
  public:
    void Prepare(const TPixelGraphic& source) override;
    TRGB FilterPixel(int x, int y) override { return FilterColor(rows_->Color(x, y)); }
    void FilterRow(int y, int width, TRGB* colors) override;
    void Finish() override;
    bool IsPointFilter() const override { return true; }
    bool RowsInParallel() const override { return true; }

  protected:
    // Filters whose FilterColor costs a colour-space round trip: FilterRow
    // then remembers recent answers per thread.
    virtual bool Costly() const { return false; }

  private:
    std::unique_ptr<TPGSourceRows> rows_;
    uint64_t generation_ = 0; // new for every Prepare: no answer outlives it
};

class TNegativeFilter : public TPGColorFilter {
  public:
    TRGB FilterColor(TRGB c) override { return (c & 0xFFFFFF) ^ 0xFFFFFF; }
};

class TGrayScaleFilter : public TPGColorFilter {
  public:
    bool RGBWeighting() const { return rgbWeighting_; }
    void SetRGBWeighting(bool v) { rgbWeighting_ = v; }
    TRGB FilterColor(TRGB c) override {
        const int g = GreyLevel(c, rgbWeighting_) / 3;
        return RGB(g, g, g);
    }

  private:
    bool rgbWeighting_ = true;
};

class TBCGFilter : public TPGColorFilter {
  public:
    TBCGFilter();
    int Brightness() const { return brightness_; }
    void SetBrightness(int v) { brightness_ = v; }
    long double Contrast() const { return contrast_; }
    // Contrast and gamma must be numbers (EPGFilter otherwise, nothing changed).
    void SetContrast(long double v);
    long double Gamma() const { return gamma_; }
    void SetGamma(long double v);
    bool UseY() const { return useY_; }
    void SetUseY(bool v) { useY_ = v; }
    // The level table Prepare builds from the values.
    const TPGLevelTable& Table() const { return table_; }
    void BuildTable();

    void Prepare(const TPixelGraphic& source) override;
    TRGB FilterColor(TRGB c) override;

  protected:
    bool Costly() const override { return useY_; }

  private:
    TPGLevelTable table_{};
    bool useY_ = false;
    int brightness_ = 0;
    long double contrast_ = 1;
    long double gamma_ = 1;
};

// Three level tables, the identity when new.
class TXXXFilter : public TPGColorFilter {
  public:
    TXXXFilter();
    TPGLevelTable& Table(int j) { return tables_[size_t(j)]; }
    const TPGLevelTable& Table(int j) const { return tables_[size_t(j)]; }

  protected:
    std::array<TPGLevelTable, 3> tables_;
};

class TRGBFilter : public TXXXFilter {
  public:
    TRGB FilterColor(TRGB c) override;
};
class TCMYFilter : public TXXXFilter {
  public:
    TRGB FilterColor(TRGB c) override;
};
class TYCbCrFilter : public TXXXFilter {
  public:
    TRGB FilterColor(TRGB c) override;

  protected:
    bool Costly() const override { return true; }
};
class THLSFilter : public TXXXFilter {
  public:
    TRGB FilterColor(TRGB c) override;

  protected:
    bool Costly() const override { return true; }
};
class THSVFilter : public TXXXFilter {
  public:
    TRGB FilterColor(TRGB c) override;

  protected:
    bool Costly() const override { return true; }
};

// The lookups the table filters share: a unit value through a table with
// linear interpolation (unit range in and out), and a hue in degrees through
// a circular table whose entry 0 stands for hue 180.
long double InterpolatedLookup(const TPGLevelTable& t, long double u);
long double CircularHueLookup(const TPGLevelTable& t, long double h);

// Power(b, e) of the gamma curve: 1 for e = 0, 0 for b = 0, 1 for b = 1.
long double PGPower(long double b, long double e);

// clamp(Round(v x 255)) of a unit channel; values that are no number give 0.
uint8_t UnitToChannel(long double v);

// The colour-space filters try a double computation first and keep it where
// it cannot differ from the extended one (tests turn it off to compare).
extern bool FastColorSpace;
