#include "formats/avif.h"

#include <avif/avif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/modernio.h"
#include "formats/register.h"
#include "formats/rgbarows.h"

std::atomic<int> AVIFQuality{60};
std::atomic<int> AVIFSpeed{6};

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGAVIFFileFormatReaderWriter("AVIF: " + text); }

std::string ResultText(avifResult r) {
    switch (r) {
    case AVIF_RESULT_TRUNCATED_DATA:
        return PGMessage(32);
    default:
        return avifResultToString(r);
    }
}

struct TDecoderDelete {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

// A decoder on the file's bytes, parsed, with libavif's own limits held to
// the picture cap: no picture whose decoding (planes of up to 16 bits for
// three channels and alpha, our 24-bit store) would pass it.
struct TDecoder {
    std::vector<uint8_t> data;
    std::unique_ptr<avifDecoder, TDecoderDelete> dec;
};

constexpr int64_t kDecodeBytesPerPixel = 8 + 3;

TDecoder Open(TStream& stream) {
    if (!StreamFitsCap(stream)) Fail(PGMessage(27, "file"));
    TDecoder d;
    d.data = ReadRestOfStream(stream);
    d.dec.reset(avifDecoderCreate());
    if (!d.dec) Fail("Out of memory");
    avifDecoder* dec = d.dec.get();
    dec->maxThreads = DecoderThreads();
    const long long pixels = std::max<long long>(1, PGMaxImageBytes / kDecodeBytesPerPixel);
    dec->imageSizeLimit = uint32_t(std::min<long long>(pixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    dec->imageDimensionLimit = AVIF_DEFAULT_IMAGE_DIMENSION_LIMIT;
    dec->imageCountLimit = 65536;
    dec->ignoreXMP = AVIF_TRUE;
    avifResult r = avifDecoderSetIOMemory(dec, d.data.data(), d.data.size());
    if (r == AVIF_RESULT_OK) r = avifDecoderParse(dec);
    if (r != AVIF_RESULT_OK) Fail(ResultText(r));
    if (!FitsPictureCap(dec->image->width, dec->image->height, kDecodeBytesPerPixel)) RaisePictureCap();
    return d;
}

} // namespace

bool FtypHasAVIFBrand(const uint8_t* p, size_t size) {
    if (size < 16 || std::memcmp(p + 4, "ftyp", 4) != 0) return false;
    const size_t box = std::min<size_t>(size, (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3]);
    auto avif = [](const uint8_t* b) { return std::memcmp(b, "avif", 4) == 0 || std::memcmp(b, "avis", 4) == 0; };
    if (avif(p + 8)) return true;
    for (size_t at = 16; at + 4 <= box; at += 4)
        if (avif(p + at)) return true;
    return false;
}

bool TAVIFFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    // The major brand; files that name AVIF only among their compatible
    // brands reach this reader through the HEIF reader's check.
    return size >= 12 && std::memcmp(h + 4, "ftyp", 4) == 0 &&
           (std::memcmp(h + 8, "avif", 4) == 0 || std::memcmp(h + 8, "avis", 4) == 0);
}

void TAVIFFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex < 0) Fail(PGMessage(7, "Index"));
    TDecoder d = Open(stream);
    avifDecoder* dec = d.dec.get();
    if (imageIndex >= dec->imageCount) Fail(PGMessage(7, "Index"));
    picture.SetGamma(DisplayGamma);
    TPGProgressScope progress(picture, this);
    const avifResult r = avifDecoderNthImage(dec, uint32_t(imageIndex));
    if (r != AVIF_RESULT_OK) Fail(ResultText(r));
    const avifImage* img = dec->image;
    const int w = int(img->width), h = int(img->height);
    if (!FitsPictureCap(w, h, kDecodeBytesPerPixel)) RaisePictureCap();
    picture.SetFormat(w, h, pg24Bit);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, img);
    rgb.depth = 8;
    std::vector<uint8_t> rgba;
    const bool alpha = img->alphaPlane != nullptr;
    if (!alpha) {
        // Straight into the store, top row first, then turned around.
        rgb.format = AVIF_RGB_FORMAT_BGR;
        rgb.pixels = picture.Bits();
        rgb.rowBytes = uint32_t(picture.RowBytes());
    } else {
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgba.resize(size_t(w) * size_t(h) * 4);
        rgb.pixels = rgba.data();
        rgb.rowBytes = uint32_t(w) * 4;
    }
    const avifResult c = avifImageYUVToRGB(img, &rgb);
    if (c != AVIF_RESULT_OK) Fail(ResultText(c));
    if (!alpha) {
        FlipStoreRows(picture);
    } else {
        const TRGB bg = picture.BackgroundColor();
        for (int y = 0; y < h; ++y)
            rgbarows::RGBAToBGR(rgba.data() + size_t(y) * size_t(w) * 4, picture.ScanLine(y), w, bg);
    }
    TPictureMetadataBytes meta;
    meta.exif.assign(img->exif.data, img->exif.data + img->exif.size);
    meta.icc.assign(img->icc.data, img->icc.data + img->icc.size);
    HandOnMetadata(picture, std::move(meta));
    progress.Step(1, 1);
}

void TAVIFFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    TDecoder d = Open(stream);
    const avifDecoder* dec = d.dec.get();
    info = TPGImageInfo{};
    info.GraphicCount = std::max(1, dec->imageCount);
    if (imageIndex < 0 || imageIndex >= info.GraphicCount) Fail(PGMessage(7, "Index"));
    info.Width = int(dec->image->width);
    info.Height = int(dec->image->height);
    const int depth = int(dec->image->depth);
    info.BitsPerPixel = depth * (dec->alphaPresent ? 4 : 3);
    info.Colors = "16.7 M";
    info.SubType = std::to_string(depth) + " bits, " + avifPixelFormatToString(dec->image->yuvFormat);
    if (dec->imageCount > 1) info.SubType += ", sequence";
    if (dec->alphaPresent) info.Options = "Alpha";
}

void TAVIFFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    const int quality = std::clamp(int(AVIFQuality), 1, 100);
    const int speed = std::clamp(int(AVIFSpeed), 0, 10);
    const int w = picture.GetWidth(), h = picture.GetHeight();
    if (w < 1 || h < 1) Fail(PGMessage(35));
    // Qualities of 90 and more keep full colour resolution.
    const avifPixelFormat yuv = quality >= 90 ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420;
    std::unique_ptr<avifImage, void (*)(avifImage*)> img(avifImageCreate(uint32_t(w), uint32_t(h), 8, yuv),
                                                         avifImageDestroy);
    if (!img) Fail("Out of memory");
    // Lossless only where the quantizer alone cannot lose anything: RGB
    // matrix coefficients at 4:4:4.
    const bool lossless = quality == 100;
    img->yuvRange = AVIF_RANGE_FULL;
    if (lossless) img->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
    TPGProgressScope progress(picture, this);
    {
        std::vector<uint8_t> rgbRows(size_t(w) * size_t(h) * 3);
        for (int y = 0; y < h; ++y) RowAsRGB(picture, y, rgbRows.data() + size_t(y) * size_t(w) * 3);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, img.get());
        rgb.format = AVIF_RGB_FORMAT_RGB;
        rgb.depth = 8;
        rgb.pixels = rgbRows.data();
        rgb.rowBytes = uint32_t(w) * 3;
        const avifResult r = avifImageRGBToYUV(img.get(), &rgb);
        if (r != AVIF_RESULT_OK) Fail(ResultText(r));
    }
    std::unique_ptr<avifEncoder, void (*)(avifEncoder*)> enc(avifEncoderCreate(), avifEncoderDestroy);
    if (!enc) Fail("Out of memory");
    enc->maxThreads = DecoderThreads();
    enc->speed = speed;
    // The quality scale of the reference encoder: 100 is quantizer 0, 0 is 63.
    const int q = ((100 - quality) * 63 + 50) / 100;
    enc->minQuantizer = enc->maxQuantizer = q;
    enc->minQuantizerAlpha = enc->maxQuantizerAlpha = q;
    avifRWData out = AVIF_DATA_EMPTY;
    const avifResult r = avifEncoderWrite(enc.get(), img.get(), &out);
    if (r != AVIF_RESULT_OK) {
        avifRWDataFree(&out);
        Fail(ResultText(r));
    }
    try {
        stream.WriteBuffer(out.data, int64_t(out.size));
    } catch (...) {
        avifRWDataFree(&out);
        throw;
    }
    avifRWDataFree(&out);
    progress.Step(1, 1);
}

void RegisterAVIFFormats() {
    RegisterFileFormatReader(std::make_unique<TAVIFFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TAVIFFileFormatWriter>());
}
