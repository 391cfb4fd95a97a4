#include "formats/tifflib.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"

namespace {

// What libtiff's callbacks work on: our stream seen from the TIFF header,
// and the first error libtiff reported.
struct TLibTIFFClient {
    TStream* stream;
    int64_t base;
    std::string error;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
    auto* c = static_cast<TLibTIFFClient*>(h);
    try {
        const int64_t n = c->stream->Read(buf, int64_t(size));
        return tmsize_t(n < 0 ? 0 : n);
    } catch (...) {
        return -1;
    }
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t off, int whence) {
    auto* c = static_cast<TLibTIFFClient*>(h);
    try {
        int64_t to;
        switch (whence) {
        case SEEK_SET:
            to = c->base + int64_t(std::min<toff_t>(off, toff_t(INT64_MAX / 2)));
            break;
        case SEEK_CUR:
            to = c->stream->Position() + int64_t(off);
            break;
        default:
            to = c->stream->Size() + int64_t(off);
            break;
        }
        if (to < c->base) return toff_t(-1);
        return toff_t(c->stream->Seek(to, TSeekOrigin::Beginning) - c->base);
    } catch (...) {
        return toff_t(-1);
    }
}

int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t h) {
    auto* c = static_cast<TLibTIFFClient*>(h);
    try {
        return toff_t(std::max<int64_t>(0, c->stream->Size() - c->base));
    } catch (...) {
        return 0;
    }
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's errors are kept for the exception (the first one says why);
// its warnings (unknown tags, odd but readable fields) are dropped. Both
// return 1 so nothing goes on to the process-wide handlers and stderr.
int ErrorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* c = static_cast<TLibTIFFClient*>(user);
    if (c && c->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        c->error = module && *module ? std::string(module) + ": " + text : std::string(text);
    }
    return 1;
}

int WarningHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Messages libtiff gives before a handle exists (no per-file handler yet)
// go nowhere either.
void SilenceProcessHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct TIFFCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
struct TOptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

[[noreturn]] void Fail(const TLibTIFFClient& c, const std::string& fallback) {
    throw EPGTIFFileFormatReader("TIFF: " + (c.error.empty() ? fallback : c.error));
}

// Channel c of a premultiplied pixel over background b.
inline uint8_t Over(int c, int b, int a) {
    return uint8_t(std::min(255, c + (b * (255 - a) + 127) / 255));
}

// Ends the RGBA reader whatever way the read leaves.
struct TRGBAImageEnd {
    TIFFRGBAImage* img;
    ~TRGBAImageEnd() { TIFFRGBAImageEnd(img); }
};

} // namespace

void ReadTIFFThroughLibrary(TStream& stream, int64_t base, TPixelGraphic& picture, int imageIndex,
                            TObject* sender) {
    SilenceProcessHandlers();
    TLibTIFFClient client{&stream, base, {}};
    std::unique_ptr<TIFFOpenOptions, TOptionsFree> opts(TIFFOpenOptionsAlloc());
    if (!opts) throw EPGTIFFileFormatReader("TIFF: " + PGMessage(31, "TIFFOpenOptionsAlloc"));
    // No single allocation of libtiff (a strip, a tile, a tag array) may
    // exceed what a whole picture may take.
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), tmsize_t(std::max<long long>(PGMaxImageBytes, 1 << 20)));
    TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), ErrorHandler, &client);
    TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), WarningHandler, &client);
    stream.SetPosition(base);
    std::unique_ptr<TIFF, TIFFCloser> tif(TIFFClientOpenExt("", "rm", &client, ReadProc, WriteProc,
                                                            SeekProc, CloseProc, SizeProc, MapProc,
                                                            UnmapProc, opts.get()));
    if (!tif) Fail(client, "Not a TIF file");
    if (imageIndex < 0 || !TIFFSetDirectory(tif.get(), tdir_t(std::min(imageIndex, 65535))) ||
        imageIndex > 65535)
        throw EPGTIFFileFormatReader("TIFF: " + PGMessage(7, "Index"));

    uint32_t w = 0, h = 0;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK, bits = 1, samples = 1, orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (w == 0 || w > INT32_MAX) throw EPGTIFFileFormatReader("TIFF: " + PGMessage(20, "ImageWidth"));
    if (h == 0 || h > INT32_MAX) throw EPGTIFFileFormatReader("TIFF: " + PGMessage(20, "ImageLength"));

    char emsg[1024] = "";
    if (!TIFFRGBAImageOK(tif.get(), emsg)) Fail(client, emsg);

    // Grey files without alpha stay grey pictures (bilevel ones bilevel);
    // everything else becomes 24 bits.
    const bool grey = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
                      samples == 1;
    const TPGPixelFormat format = grey ? (bits == 1 ? pg1Bit : pg8Bit) : pg24Bit;
    const int width = int(w), height = int(h);

    // Rows are fetched a strip or a row of tiles at a time, so only a band of
    // the picture is held twice. Files stored in another orientation are
    // fetched whole, as libtiff turns them around within what it fetches.
    int64_t band = height;
    if (orientation == ORIENTATION_TOPLEFT) {
        uint32_t rows = 0;
        if (TIFFIsTiled(tif.get()) ? TIFFGetField(tif.get(), TIFFTAG_TILELENGTH, &rows)
                                   : TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ROWSPERSTRIP, &rows))
            band = std::clamp<int64_t>(rows, 1, height);
        // Short bands are read many at a time.
        if (band < 64) band = std::min<int64_t>(height, (64 + band - 1) / band * band);
    }
    // The band buffer counts against the cap like the picture (SetFormat
    // checks the picture itself before allocating it).
    if (band * int64_t(width) * 4 > PGMaxImageBytes) throw EPixelGraphic(PGMessage(31, "CreateDIBSection"));

    picture.SetGamma(DisplayGamma);
    picture.SetFormat(width, height, format);
    if (format == pg1Bit) picture.SetPaletteIdent(pBlackWhite);
    if (format == pg8Bit) picture.SetPaletteIdent(pGray256);

    TIFFRGBAImage img{};
    if (!TIFFRGBAImageBegin(&img, tif.get(), 1, emsg)) Fail(client, emsg);
    TRGBAImageEnd end{&img};
    img.req_orientation = ORIENTATION_TOPLEFT;

    const TRGB background = picture.BackgroundColor();
    const int br = GetRValue(background), bgc = GetGValue(background), bb = GetBValue(background);
    std::vector<uint32_t> raster(size_t(band) * size_t(width));
    TPGProgressScope progress(picture, sender);
    for (int64_t y0 = 0; y0 < height; y0 += band) {
        const int rows = int(std::min<int64_t>(band, height - y0));
        img.row_offset = int(y0);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.data(), w, uint32_t(rows))) Fail(client, PGMessage(32));
        for (int r = 0; r < rows; ++r) {
            const uint32_t* src = raster.data() + size_t(r) * size_t(width);
            uint8_t* dst = picture.ScanLine(int(y0) + r);
            if (format == pg1Bit) {
                std::fill(dst, dst + (width + 7) / 8, 0);
                for (int x = 0; x < width; ++x)
                    if (TIFFGetR(src[x]) >= 128) dst[x / 8] |= uint8_t(0x80 >> (x % 8));
            } else if (format == pg8Bit) {
                for (int x = 0; x < width; ++x) dst[x] = uint8_t(TIFFGetR(src[x]));
            } else {
                for (int x = 0; x < width; ++x, dst += 3) {
                    const uint32_t p = src[x];
                    const int a = int(TIFFGetA(p));
                    if (a == 255) {
                        dst[0] = uint8_t(TIFFGetB(p));
                        dst[1] = uint8_t(TIFFGetG(p));
                        dst[2] = uint8_t(TIFFGetR(p));
                    } else {
                        dst[0] = Over(int(TIFFGetB(p)), bb, a);
                        dst[1] = Over(int(TIFFGetG(p)), bgc, a);
                        dst[2] = Over(int(TIFFGetR(p)), br, a);
                    }
                }
            }
        }
        if (progress.Step(int(y0 + rows - 1), height)) break;
    }
}
