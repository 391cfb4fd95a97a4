#pragma once
// Row-level pixel access shared by the pixel-moving operations (copying,
// resampling, rotating, the border effect): reading source pixels as colours
// and writing colours into a destination the way all of them do it.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/dither.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"

// Stores a raw pixel value into a row, with SetPixel's rules for each format.
inline void PGStoreIndex(uint8_t* row, TPGPixelFormat f, int x, int32_t v) {
    switch (f) {
    case pg1Bit: {
        const uint8_t mask = uint8_t(0x80 >> (x % 8));
        if (v == 1)
            row[x / 8] |= mask;
        else
            row[x / 8] &= uint8_t(~mask);
        break;
    }
    case pg4Bit:
        if (x % 2 == 0)
            row[x / 2] = uint8_t((row[x / 2] & 0x0F) | ((v & 15) << 4));
        else
            row[x / 2] = uint8_t((row[x / 2] & 0xF0) | (v & 15));
        break;
    case pg8Bit:
        row[x] = uint8_t(v);
        break;
    default: {
        uint8_t* p = row + int64_t(x) * 3;
        p[0] = uint8_t(GetBValue(v));
        p[1] = uint8_t(GetGValue(v));
        p[2] = uint8_t(GetRValue(v));
        break;
    }
    }
}

// The raw pixel value at column x of a row (GetPixel's rules).
inline int32_t PGLoadIndex(const uint8_t* row, TPGPixelFormat f, int x) {
    switch (f) {
    case pg1Bit:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case pg4Bit:
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    case pg8Bit:
        return row[x];
    default: {
        const uint8_t* p = row + int64_t(x) * 3;
        return RGB(p[2], p[1], p[0]);
    }
    }
}

// NearestPaletteIndex of a picture; a direct call when the picture is known to
// be a plain TPixelGraphic (the same result without a virtual call per pixel).
inline int PGNearest(const TPixelGraphic& g, bool plain, TRGB c) {
    return plain ? g.TPixelGraphic::NearestPaletteIndex(c) : g.NearestPaletteIndex(c);
}

// Reads a picture's pixels as colours (GetPixelColor) without a virtual call
// or a bounds check per pixel. Palette pictures go through a table of their
// palette; a pixel value beyond the palette raises the same error as
// PaletteEntry would.
class TPGSourceRows {
  public:
    explicit TPGSourceRows(const TPixelGraphic& src);

    bool TrueColor() const { return format_ == pg24Bit; }
    // Blue, green, red bytes of row y such that column x starts at
    // result + 3 x; only columns x0..x1 are valid (they must lie inside).
    const uint8_t* RowBGR(int y, int x0, int x1);
    // The colour of the pixel (x, y), which must lie inside the picture.
    TRGB Color(int x, int y) const {
        const uint8_t* row = rows_[size_t(y)];
        if (format_ == pg24Bit) {
            const uint8_t* p = row + int64_t(x) * 3;
            return RGB(p[2], p[1], p[0]);
        }
        return Entry(PGLoadIndex(row, format_, x));
    }
    TRGB Entry(int32_t index) const {
        const int32_t c = table_[size_t(index)];
        if (c < 0) throw EPGInvalidPaletteIndex(PGMessage(3));
        return c;
    }

  private:
    TPGPixelFormat format_;
    std::vector<const uint8_t*> rows_;
    std::vector<int32_t> table_; // colour of each pixel value, -1 = no entry
    std::vector<uint8_t> buffer_;
};

// Writes colours into a destination picture the way the pixel operations do:
// a 24-bit destination stores the colour, a palette destination with dithering
// state goes through error diffusion, any other takes the nearest entry.
class TPGPixelWriter {
  public:
    explicit TPGPixelWriter(TPixelGraphic& dest);
    // Moves to row y (0 = top): advances the error rows when dithering.
    void StartRow(int y);
    void Put(int x, int r, int g, int b) {
        if (mode_ == Mode::Store24) {
            uint8_t* p = row_ + int64_t(x) * 3;
            p[0] = uint8_t(b);
            p[1] = uint8_t(g);
            p[2] = uint8_t(r);
        } else if (mode_ == Mode::Dither) {
            PutDithered(x, r, g, b);
        } else {
            PGStoreIndex(row_, format_, x, PGNearest(dest_, plain_, RGB(r, g, b)));
        }
    }
    void Put(int x, TRGB c) { Put(x, GetRValue(c), GetGValue(c), GetBValue(c)); }
    // The destination's own colour at column x of the current row.
    TRGB Current(int x) const;

  private:
    enum class Mode { Store24, Dither, Nearest };
    void PutDithered(int x, int r, int g, int b);

    TPixelGraphic& dest_;
    TPGDitherState* state_;
    TPGPixelFormat format_;
    bool plain_;
    Mode mode_;
    uint8_t* row_ = nullptr;
    int y_ = 0;
};

// Starts error diffusion for a palette destination with Dither on, or drops
// any old state otherwise; true when dithering.
bool PGStartDithering(TPixelGraphic& dest);

// The colour of palette entry i as the dithering error needs it.
inline TRGB PGEntryColor(const TPixelGraphic& g, int i) {
    if (g.PaletteIdent() != pTrueColor && unsigned(i) < g.Palette().size())
        return g.Palette()[size_t(i)];
    return g.PaletteEntry(i);
}

// The accumulated error of a cell over 16, rounded half away from zero. A
// cell collects at most 16 errors' worth when every row is started with
// NextDitherRow; the clamp keeps the table lookup inside it for callers of
// DitherPixel that skip that.
inline int PGDitherError(int32_t sum) {
    const int e = sum >= 0 ? (sum + 8) / 16 : -((-sum + 8) / 16);
    return e < -255 ? -255 : e > 255 ? 255 : e;
}

// Error diffusion of one pixel (x, y) of `dest` into its already fetched row:
// the limited error carried to this cell is added, the nearest entry stored,
// and what is left over spread with the Floyd-Steinberg weights 1, 3, 5, 7 to
// the cells ahead, behind and below in the next row and ahead in this one.
// "Ahead" follows the serpentine walk: right on even rows, left on odd ones.
// x must lie inside the dithering rows.
inline void PGDitherInto(TPixelGraphic& dest, TPGDitherState& st, uint8_t* row, int x, int y, int r,
                         int g, int b) {
    int32_t* cur = st.Current.data();
    int32_t* nxt = st.Next.data();
    const int c = (x + 1) * 3;
    const int ahead = y % 2 == 0 ? c + 3 : c - 3;
    const int behind = y % 2 == 0 ? c - 3 : c + 3;
    if (st.Gray) {
        const int w = GreyLevel(RGB(r, g, b), dest.RGBWeighting());
        const int v = ClampTable[w / 3 + st.Limit(PGDitherError(cur[c + 1]))];
        const int i = PGNearest(dest, st.PlainPicture, RGB(v, v, v));
        PGStoreIndex(row, dest.PixelFormat(), x, i);
        const int e = v - GetGValue(PGEntryColor(dest, i));
        nxt[ahead + 1] += e;
        nxt[behind + 1] += 3 * e;
        nxt[c + 1] += 5 * e;
        cur[ahead + 1] += 7 * e;
        return;
    }
    const int rr = ClampTable[r + st.Limit(PGDitherError(cur[c]))];
    const int gg = ClampTable[g + st.Limit(PGDitherError(cur[c + 1]))];
    const int bb = ClampTable[b + st.Limit(PGDitherError(cur[c + 2]))];
    const int i = PGNearest(dest, st.PlainPicture, RGB(rr, gg, bb));
    PGStoreIndex(row, dest.PixelFormat(), x, i);
    const TRGB e = PGEntryColor(dest, i);
    const int er = rr - GetRValue(e), eg = gg - GetGValue(e), eb = bb - GetBValue(e);
    nxt[ahead] += er;
    nxt[ahead + 1] += eg;
    nxt[ahead + 2] += eb;
    nxt[behind] += 3 * er;
    nxt[behind + 1] += 3 * eg;
    nxt[behind + 2] += 3 * eb;
    nxt[c] += 5 * er;
    nxt[c + 1] += 5 * eg;
    nxt[c + 2] += 5 * eb;
    cur[ahead] += 7 * er;
    cur[ahead + 1] += 7 * eg;
    cur[ahead + 2] += 7 * eb;
}

// Starts dithering for an operation and ends it when the operation is left,
// also by an exception, so no state outlives the operation.
class TPGDitherScope {
  public:
    explicit TPGDitherScope(TPixelGraphic& dest) : dest_(dest), on_(PGStartDithering(dest)) {}
    ~TPGDitherScope() { dest_.EndDither(); }
    bool On() const { return on_; }
    TPGDitherScope(const TPGDitherScope&) = delete;
    TPGDitherScope& operator=(const TPGDitherScope&) = delete;

  private:
    TPixelGraphic& dest_;
    bool on_;
};

// An untouched copy of a picture, for operations whose source is their own
// destination.
std::unique_ptr<TPixelGraphic> PGSnapshot(const TPixelGraphic& g);
