#pragma once
// TPixelGraphic: the in-memory picture of the image library. 1, 4, 8 or 24
// bits per pixel in a bottom-up store whose rows are padded to 4 bytes, with a
// palette and palette identity, the options the library's long operations
// consult, and change and progress events.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/bitmapinfo.h"
#include "core/metadata.h"
#include "core/types.h"

class TStream;
class TFileFormatReader;
class TPGFilter;
struct TPGDitherState;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TPGProgressEvent = std::function<void(TObject* Sender, int Step, int Max, bool& Abort)>;

// The drawing surface bound to a picture. The Qt bridge provides the real one;
// the picture only needs to make it write pending drawing back into the store
// ("flush") and let go of what it holds before the format or palette changes.
class TPGCanvasBase {
public:
    virtual ~TPGCanvasBase() = default;
    virtual void Flush() = 0;
    virtual void ReleaseHandle() = 0;
};

class TPixelGraphic : public TObject {
public:
    TPixelGraphic();
    ~TPixelGraphic() override;
    TPixelGraphic(const TPixelGraphic&) = delete;
    TPixelGraphic& operator=(const TPixelGraphic&) = delete;

    // ---- size and format
    void SetFormat(int width, int height, TPGPixelFormat format);
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    void SetWidth(int w) { SetFormat(w, height_, pixelFormat_); }
    void SetHeight(int h) { SetFormat(width_, h, pixelFormat_); }
    TPGPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TPGPixelFormat f) { SetFormat(width_, height_, f); }
    bool GetEmpty() const { return !store_; }
    int BitsPerPixel() const { return PixelFormatBits(pixelFormat_); }
    int ColorCount() const { return PixelFormatColors(pixelFormat_); }
    int64_t RowBytes() const { return rowBytes_; }
    int64_t ImageSize() const { return imageSize_; }
    // Address of image row y (0 = top); nullptr without a store or outside.
    uint8_t* ScanLine(int y);
    const uint8_t* ScanLine(int y) const;
    // The whole store, bottom row first (the DIB layout).
    uint8_t* Bits();
    const uint8_t* Bits() const { return store_.get(); }
    // The BITMAPINFO of the store: header and ColorCount colour-table entries.
    BITMAPINFO GetBitmapInfo() const;

    void Clear();

    // ---- pixels
    int32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, int32_t value);
    TRGB GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, TRGB color);

    // ---- palette
    int PaletteCount() const { return int(palette_.size()); }
    virtual void SetPaletteCount(int n);
    TRGB PaletteEntry(int i) const;
    virtual void SetPaletteEntry(int i, TRGB c);
    TPaletteIdent PaletteIdent() const { return paletteIdent_; }
    virtual void SetPaletteIdent(TPaletteIdent p);
    bool IsGrayPalette() const { return isGrayPalette_; }
    void IdentifyPalette();
    void CopyPaletteFrom(const TPixelGraphic& other);
    const std::vector<TRGB>& Palette() const { return palette_; }
    virtual int NearestPaletteIndex(TRGB c) const;
    virtual void InvalidateColorCache();
    bool UseColorCache() const { return useColorCache_; }
    virtual void SetUseColorCache(bool on);
    // Revision of the palette, bumped on every change; stands in for the
    // palette handle that GetPalette rebuilt when stale.
    uint64_t PaletteRevision() const { return paletteRevision_; }

    // ---- options
    int32_t BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TRGB c);
    long double Gamma() const { return gamma_; }
    void SetGamma(long double g) { gamma_ = g; }
    bool Dither() const { return dither_; }
    void SetDither(bool v) { dither_ = v; }
    uint8_t DitherErrorLimit() const { return ditherErrorLimit_; }
    void SetDitherErrorLimit(uint8_t v) { ditherErrorLimit_ = v; }
    bool DitherErrorLimitAuto() const { return ditherErrorLimitAuto_; }
    void SetDitherErrorLimitAuto(bool v) { ditherErrorLimitAuto_ = v; }
    bool DitherErrorLimitSoft() const { return ditherErrorLimitSoft_; }
    void SetDitherErrorLimitSoft(bool v) { ditherErrorLimitSoft_ = v; }
    bool RGBWeighting() const { return rgbWeighting_; }
    virtual void SetRGBWeighting(bool v);
    TStretchMode StretchMode() const { return stretchMode_; }
    void SetStretchMode(TStretchMode m) { stretchMode_ = m; }
    bool RotateInterpolation() const { return rotateInterpolation_; }
    void SetRotateInterpolation(bool v) { rotateInterpolation_ = v; }
    TPGWarningAction ReadWarningAction() const { return readWarningAction_; }
    void SetReadWarningAction(TPGWarningAction a) { readWarningAction_ = a; }
    TPGWarningAction SaveColorResWarningAction() const { return saveColorResWarningAction_; }
    void SetSaveColorResWarningAction(TPGWarningAction a) { saveColorResWarningAction_ = a; }
    bool FastRead() const { return fastRead_; }
    void SetFastRead(bool v) { fastRead_ = v; }
    bool GetTransparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v; }
    TRGB TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TRGB c) { transparentColor_ = c; }
    bool SkipPaletteRealize() const { return skipPaletteRealize_; }
    void SetSkipPaletteRealize(bool v) { skipPaletteRealize_ = v; }
    // Shrink-on-load: the smallest side the caller needs (0 = full size). A
    // reader that can decode at a reduced scale for free (JPEG) may deliver a
    // smaller picture whose two sides both stay at least this long.
    int LoadSizeHint() const { return loadSizeHint_; }
    void SetLoadSizeHint(int v) { loadSizeHint_ = v; }

    // ---- metadata blocks of the file the picture came from (core/metadata.h):
    // filled by the readers that find them, copied by Assign, written back by
    // the writers whose format holds them. Loading replaces them.
    const TPGMetadata& Metadata() const { return metadata_; }
    void SetMetadata(TPGMetadata m) { metadata_ = std::move(m); }
    const std::vector<uint8_t>& ExifBlock() const { return metadata_.Exif; }
    void SetExifBlock(std::vector<uint8_t> b) { metadata_.Exif = std::move(b); }
    const std::vector<uint8_t>& ICCProfile() const { return metadata_.ICC; }
    void SetICCProfile(std::vector<uint8_t> p) { metadata_.ICC = std::move(p); }
    const std::vector<std::string>& Comments() const { return metadata_.Comments; }

    // ---- change and progress
    TNotifyEvent OnChange;
    TPGProgressEvent OnProgress;
    TNotifyEvent OnProgressStart;
    TNotifyEvent OnProgressEnd;
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    virtual void Changed(TObject* sender);
    void Changed() { Changed(this); }

    // ---- whole-picture operations
    void Assign(const TPixelGraphic* source);
    // Corrects the pixels from Gamma to DisplayGamma when the two differ by
    // more than 5 % and GammaCorrection is on; run after every load.
    void ApplyGammaCorrection();

    // ---- canvas bridge
    // The canvas, created on first use through CanvasFactory; marks the
    // store as possibly holding pending drawing.
    TPGCanvasBase* Canvas();
    bool HasCanvas() const { return bool(canvas_); }
    // Writes pending canvas drawing back into the store (GdiFlush).
    void FlushCanvas() const;
    void ReleaseCanvasHandle();
    static std::function<std::unique_ptr<TPGCanvasBase>(TPixelGraphic&)> CanvasFactory;

    // ---- loading and saving through the format registry
    void LoadFromFile(const std::string& fileName) { LoadFromFileIndex(fileName, 0); }
    void LoadFromFileIndex(const std::string& fileName, int imageIndex);
    void LoadFromStream(TStream& stream) { LoadFromStreamExt(stream, "", 0); }
    void LoadFromStreamExt(TStream& stream, const std::string& extensionHint, int imageIndex);
    // Loads with a reader the caller chose (FindReader on this very stream),
    // so the reader that was checked is the one that reads.
    void LoadFromStreamReader(TStream& stream, TFileFormatReader& reader, int imageIndex);
    void SaveToFile(const std::string& fileName);
    // Always a BMP file, without colour conversion.
    void SaveToStream(TStream& stream);
    void SaveToStreamExt(TStream& stream, const std::string& extension);

    // ---- dithering, resampling and geometry (self is the destination)
    void BeginDither();
    void NextDitherRow();
    void DitherPixel(int x, int y, int red, int green, int blue);
    void EndDither();
    TPGDitherState* DitherState() { return ditherState_.get(); }
    void CopyFrom(TPixelGraphic& source);
    void StretchCopy(int dx, int dy, int dw, int dh, TPixelGraphic& source, int sx, int sy, int sw,
                     int sh);
    void CopyRect(int dx, int dy, TPixelGraphic& source, int sx, int sy, int w, int h);
    void RotateCopy(int dcx, int dcy, TPixelGraphic& source, int sx, int sy, int sw, int sh,
                    int scx, int scy, long double angle);
    void Rotate(TPixelGraphic& source, long double angle, bool enlarge);
    void FlipHorizontal();
    void FlipVertical();
    void DrawBorder(TPixelGraphic& source, bool oval, int borderWidth, TRGB color);

    // ---- filters (core/filter.h): self receives `filter` applied to
    // `source`, keeping its own pixel format; self may be `source` only for
    // point filters. Palette pictures of at least the source's depth take
    // the palette through a point filter and keep their indices.
    void ApplyFilter(TPGFilter& filter, TPixelGraphic& source);

    // Progress helpers shared by readers and pixel operations: fire the
    // events with `sender`; ProgressStep returns true when a handler aborted.
    void ProgressStart(TObject* sender);
    bool ProgressStep(TObject* sender, int step, int max);
    void ProgressEnd(TObject* sender);

protected:
    void MarkPaletteStale();

private:
    void LoadThrough(TStream& stream, TFileFormatReader* reader, const std::string& extensionHint,
                     int imageIndex);
    void FreeStore();
    void CheckGray();
    int NearestByCache(TRGB c) const;

    int width_ = 0;
    int height_ = 0;
    TPGPixelFormat pixelFormat_ = pg24Bit;
    TPaletteIdent paletteIdent_ = pTrueColor;
    bool isGrayPalette_ = false;
    std::vector<TRGB> palette_;
    uint32_t biClrUsed_ = 0;

    struct FreeDeleter {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, FreeDeleter> store_;
    int64_t rowBytes_ = 0;
    int64_t imageSize_ = 0;

    int32_t backgroundColor_ = 0;
    long double gamma_;
    bool dither_ = true;
    uint8_t ditherErrorLimit_ = 32;
    bool ditherErrorLimitAuto_ = true;
    bool ditherErrorLimitSoft_ = true;
    bool rgbWeighting_ = true;
    TStretchMode stretchMode_ = smPrecise;
    bool rotateInterpolation_ = true;
    TPGWarningAction readWarningAction_ = pgwaOKCancelBox;
    TPGWarningAction saveColorResWarningAction_ = pgwaOKCancelBox;
    bool fastRead_ = false;
    bool transparent_ = false;
    TRGB transparentColor_ = 0;
    bool skipPaletteRealize_ = false;
    int loadSizeHint_ = 0;
    TPGMetadata metadata_;
    bool useColorCache_ = true;
    int updateCount_ = 0;
    uint64_t paletteRevision_ = 0;

    std::unique_ptr<TPGCanvasBase> canvas_;
    mutable bool canvasUsed_ = false;

    // Nearest-colour lookup state: the remembered last query and, for
    // arbitrary palettes, the cache of 32 x 64 x 32 cells with the entries
    // that can be nearest to some colour of each cell.
    mutable bool lastValid_ = false;
    mutable TRGB lastQuery_ = 0;
    mutable int lastAnswer_ = 0;
    struct TColorCache;
    mutable std::unique_ptr<TColorCache> colorCache_;

    std::unique_ptr<TPGDitherState> ditherState_;
};

// Runs BeginUpdate now and EndUpdate when it goes out of scope, whatever
// happens in between. An exception thrown by an OnChange handler at that
// point is swallowed when another exception is already on its way, or when
// Finish() was not called; call Finish() to end the bracket with the
// handler's exception passing on.
class TPGUpdateScope {
public:
    explicit TPGUpdateScope(TPixelGraphic& g) : g_(g) { g_.BeginUpdate(); }
    ~TPGUpdateScope();
    void Finish();
    TPGUpdateScope(const TPGUpdateScope&) = delete;
    TPGUpdateScope& operator=(const TPGUpdateScope&) = delete;

private:
    TPixelGraphic& g_;
    bool done_ = false;
};

// Fires OnProgressStart on construction and OnProgressEnd on destruction
// (also when an exception passes); Step() reports progress and returns true
// when a handler asked to abort.
class TPGProgressScope {
public:
    TPGProgressScope(TPixelGraphic& g, TObject* sender) : g_(g), sender_(sender) {
        g_.ProgressStart(sender_);
    }
    ~TPGProgressScope();
    bool Step(int step, int max) { return g_.ProgressStep(sender_, step, max); }
    TPGProgressScope(const TPGProgressScope&) = delete;
    TPGProgressScope& operator=(const TPGProgressScope&) = delete;

private:
    TPixelGraphic& g_;
    TObject* sender_;
};

// Grey level 0..765 of a colour: luminance-weighted, or the plain sum.
inline int GreyLevel(TRGB c, bool weighted) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return weighted ? (897 * r + 1761 * g + 342 * b) / 1000 : r + g + b;
}
