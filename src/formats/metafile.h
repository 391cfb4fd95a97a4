#pragma once
// Our own metafile player, in two halves: this plain part checks the file,
// walks its records with every length checked against the data, keeps the
// drawing state (objects, mapping, pens, brushes, fonts) and hands device
// primitives to a TMetaCanvas; the Qt part paints those with QPainter.
// Unknown records are skipped.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"

struct TMetaPoint {
    double X = 0, Y = 0;
};
struct TMetaRect {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

enum TMetaPenStyle {
    mpsSolid = 0,
    mpsDash = 1,
    mpsDot = 2,
    mpsDashDot = 3,
    mpsDashDotDot = 4,
    mpsNull = 5,
    mpsUser = 6 // the pen's own dash and gap lengths
};
enum TMetaBrushStyle { mbsSolid = 0, mbsNull = 1, mbsHatched = 2 };

// Line ends and corners of wide pens.
enum TMetaPenCap { mpcRound = 0, mpcSquare = 1, mpcFlat = 2 };
enum TMetaPenJoin { mpjRound = 0, mpjBevel = 1, mpjMiter = 2 };

struct TMetaPen {
    int Style = mpsSolid;
    double Width = 1; // device pixels; at least 1
    TRGB Color = 0;
    int Cap = mpcRound, Join = mpjRound;
    // mpsUser: dash, gap, dash, ... in device pixels (an odd count repeats).
    std::vector<double> Dashes;
};
struct TMetaBrush {
    int Style = mbsSolid;
    TRGB Color = 0xFFFFFF; // pattern brushes: the pattern's mean colour
    int Hatch = 0;
    // Pattern brushes: the tile, 24-bit top-down rows as in TMetaCanvas::Image.
    int PatternW = 0, PatternH = 0;
    // Shared: every drawing state that uses the brush refers to one tile.
    std::shared_ptr<const std::vector<uint8_t>> PatternBGR;
};
struct TMetaFont {
    double Height = 12; // device pixels (em height)
    double Angle = 0;   // degrees, counter-clockwise
    int Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    std::string Face; // UTF-8
};

// Everything a primitive needs to know about the drawing state.
struct TMetaStyle {
    TMetaPen Pen;
    TMetaBrush Brush;
    TMetaFont Font;
    TRGB TextColor = 0;
    TRGB BkColor = 0xFFFFFF;
    bool BkOpaque = true;
    bool Winding = false; // polygon fill rule
    int TextAlign = 0;    // TA_* flags
    // Text without per-character advances: extra device pixels after every
    // character, and `BreakExtra` pixels shared among the `BreakCount`
    // break characters (blanks) of each text.
    double CharExtra = 0, BreakExtra = 0;
    int BreakCount = 0;
    // Binary raster operation of pens and brushes (R2_*, 1..16; 13 copies).
    int Rop2 = 13;
};

// Device primitives in pixels of the target picture.
class TMetaCanvas {
  public:
    virtual ~TMetaCanvas() = default;
    virtual void Polyline(const TMetaStyle& s, const std::vector<TMetaPoint>& pts) = 0;
    // Filled with the brush, outlined with the pen.
    virtual void Polygons(const TMetaStyle& s,
                          const std::vector<std::vector<TMetaPoint>>& polys) = 0;
    virtual void Ellipse(const TMetaStyle& s, const TMetaRect& r) = 0;
    virtual void RoundRect(const TMetaStyle& s, const TMetaRect& r, double rx, double ry) = 0;
    // kind 0 arc, 1 chord, 2 pie; angles in degrees, counter-clockwise on screen.
    virtual void Arc(const TMetaStyle& s, const TMetaRect& r, double start, double span,
                     int kind) = 0;
    // Reference point and alignment as the style's TextAlign says; `opaque`
    // fills `box` (when given) with the background colour first, otherwise
    // `box` clips the text. `advances` (when given) holds one device-pixel
    // advance per character, which replaces the font's own spacing.
    virtual void Text(const TMetaStyle& s, TMetaPoint at, const std::u16string& text,
                      const TMetaRect* box, bool opaqueBox,
                      const std::vector<double>* advances) = 0;
    // 24-bit pixels, top row first, 3 bytes per pixel (blue, green, red),
    // combined with the destination and the brush colour `pattern` by the
    // ternary raster operation `rop3` (the high word's low byte of a blit's
    // operation code; 0xCC copies the source). No source pixels (width or
    // height 0): a pattern/destination-only operation over `dest`.
    virtual void Image(const TMetaRect& dest, int width, int height,
                       const std::vector<uint8_t>& bgr, int rop3, TRGB pattern) = 0;
    virtual void FillRect(const TMetaRect& r, TRGB color) = 0;
    // Source pixels blended over the destination: `alpha` holds one
    // premultiplied coverage byte per pixel (empty: opaque), `constant` the
    // whole image's opacity (255 opaque).
    virtual void BlendImage(const TMetaRect& dest, int width, int height,
                            const std::vector<uint8_t>& bgr, const std::vector<uint8_t>& alpha,
                            int constant) {
        (void)alpha;
        if (constant >= 128) Image(dest, width, height, bgr, 0xCC, 0);
    }
    // Clip for the primitives that follow: the union of `rects` (device
    // pixels; empty = nothing shows), or no clip at all when null.
    virtual void SetClip(const std::vector<TMetaRect>* rects) { (void)rects; }
    // Called after every drawn primitive; returns true to stop playing.
    virtual bool Changed() { return false; }
};

// A loaded metafile: its records and what its header says.
class TMetafileData {
  public:
    // Windows metafile with or without the 22-byte placeable header. The
    // made-up header (100 x 50 units at `dpi`) stands in for a missing or
    // broken one. False: not a metafile this player can use.
    bool LoadWMF(const uint8_t* data, size_t size, double dpi);
    // Enhanced metafile. False: not one.
    bool LoadEMF(const uint8_t* data, size_t size, double dpi);

    bool Enhanced() const { return enhanced_; }
    bool HadPlaceableHeader() const { return placeable_; }
    // Size in screen pixels, at least 1 x 1 after a successful load.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Logical palette (EMF only); empty when there is none.
    const std::vector<TRGB>& Palette() const { return palette_; }

    // Plays the records onto a canvas of width x height pixels.
    void Play(TMetaCanvas& canvas, int width, int height) const;

  private:
    void PlayWMF(TMetaCanvas& canvas, int width, int height) const;
    void PlayEMF(TMetaCanvas& canvas, int width, int height) const;

    std::vector<uint8_t> data_; // WMF: the standard metafile (no placeable header)
    bool enhanced_ = false;
    bool placeable_ = false;
    int width_ = 0, height_ = 0;
    double dpi_ = 96;
    // WMF: bounding box of the placeable (or made-up) header, objects in the header.
    int bboxLeft_ = 0, bboxTop_ = 0, bboxRight_ = 0, bboxBottom_ = 0;
    int objectCount_ = 0;
    // EMF: frame in reference-device pixels.
    double frameLeft_ = 0, frameTop_ = 0, frameRight_ = 0, frameBottom_ = 0;
    double devPerMMx_ = 1, devPerMMy_ = 1;
    std::vector<TRGB> palette_;
};

// Largest side in pixels a metafile may ask for; beyond it the file counts
// as broken (a bounding box of absurd size, not a picture).
constexpr int kMetaMaxSide = 32767;

// Decodes a packed DIB (BITMAPINFOHEADER, colour table, bits; also RLE8 and
// RLE4) into 24-bit top-down rows. With `palette` the colour table holds
// 16-bit indices into it (DIB_PAL_COLORS) instead of colours. False when it
// is not one this player draws or does not fit in `size`.
bool DecodeMetaDIB(const uint8_t* bmi, size_t bmiSize, const uint8_t* bits, size_t bitsSize,
                   int& width, int& height, std::vector<uint8_t>& bgr,
                   const std::vector<TRGB>* palette = nullptr);

// Bytes of the colour table that follows a DIB header of `bmi`
// (0 when the header cannot be read).
size_t MetaDIBTableBytes(const uint8_t* bmi, size_t bmiSize, bool paletteIndices);

// One channel of a ternary raster operation: bit i of `rop3` is the result
// for pattern bit (i >> 2), source bit (i >> 1) & 1, destination bit i & 1.
inline uint8_t MetaRop3(int rop3, uint8_t p, uint8_t s, uint8_t d) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (rop3 >> i & 1) r |= uint8_t((i & 4 ? p : ~p) & (i & 2 ? s : ~s) & (i & 1 ? d : ~d));
    return r;
}
