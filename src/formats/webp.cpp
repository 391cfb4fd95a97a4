#include "formats/webp.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/modernio.h"
#include "formats/register.h"
#include "formats/rgbarows.h"

std::atomic<int> WebPQuality{80};
std::atomic<bool> WebPLossless{false};

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGWebPFileFormatReaderWriter("WebP: " + text); }

std::string StatusText(VP8StatusCode s) {
    switch (s) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "Out of memory";
    case VP8_STATUS_INVALID_PARAM:
        return "Invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
        return "Invalid data";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "Unsupported feature";
    case VP8_STATUS_SUSPENDED:
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return PGMessage(32);
    default:
        return "Invalid data";
    }
}

struct TFile {
    std::vector<uint8_t> data;
    WebPBitstreamFeatures features{};
};

// Reads the file and its features; refuses what is no WebP file, a file
// that stops before its picture is complete (for stills, the picture's
// data must be there to the end) and a picture past the cap.
TFile Open(TStream& stream) {
    if (!StreamFitsCap(stream)) Fail(PGMessage(27, "file"));
    TFile f;
    f.data = ReadRestOfStream(stream);
    const VP8StatusCode s = WebPGetFeatures(f.data.data(), f.data.size(), &f.features);
    if (s != VP8_STATUS_OK) Fail(StatusText(s));
    // Our 24-bit store plus the library's RGBA canvas (two for animations).
    const int64_t perPixel = f.features.has_animation ? 3 + 8 : f.features.has_alpha ? 3 + 4 : 3;
    if (!FitsPictureCap(f.features.width, f.features.height, perPixel)) RaisePictureCap();
    return f;
}

struct TDemuxDelete {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct TAnimDelete {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

int FrameCount(const TFile& f) {
    if (!f.features.has_animation) return 1;
    const WebPData wd{f.data.data(), f.data.size()};
    std::unique_ptr<WebPDemuxer, TDemuxDelete> demux(WebPDemux(&wd));
    if (!demux) Fail("Invalid data");
    return int(std::clamp<uint32_t>(WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT), 1, INT32_MAX));
}

void ReadStill(const TFile& f, TPixelGraphic& picture) {
    const int w = f.features.width, h = f.features.height;
    picture.SetFormat(w, h, pg24Bit);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) Fail("Invalid library version");
    config.options.use_threads = 1;
    std::vector<uint8_t> rgba;
    if (!f.features.has_alpha) {
        // Straight into the picture: blue, green, red, bottom row first.
        config.options.flip = 1;
        config.output.colorspace = MODE_BGR;
        config.output.u.RGBA.rgba = picture.Bits();
        config.output.u.RGBA.stride = int(picture.RowBytes());
        config.output.u.RGBA.size = size_t(picture.ImageSize());
    } else {
        rgba.resize(size_t(w) * size_t(h) * 4);
        config.output.colorspace = MODE_RGBA;
        config.output.u.RGBA.rgba = rgba.data();
        config.output.u.RGBA.stride = w * 4;
        config.output.u.RGBA.size = rgba.size();
    }
    config.output.is_external_memory = 1;
    const VP8StatusCode s = WebPDecode(f.data.data(), f.data.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (s != VP8_STATUS_OK) Fail(StatusText(s));
    if (f.features.has_alpha) {
        const TRGB bg = picture.BackgroundColor();
        for (int y = 0; y < h; ++y)
            rgbarows::RGBAToBGR(rgba.data() + size_t(y) * size_t(w) * 4, picture.ScanLine(y), w, bg);
    }
}

void ReadFrame(const TFile& f, TPixelGraphic& picture, int index) {
    const WebPData wd{f.data.data(), f.data.size()};
    WebPAnimDecoderOptions opts;
    if (!WebPAnimDecoderOptionsInit(&opts)) Fail("Invalid library version");
    opts.color_mode = MODE_RGBA;
    opts.use_threads = 1;
    std::unique_ptr<WebPAnimDecoder, TAnimDelete> dec(WebPAnimDecoderNew(&wd, &opts));
    if (!dec) Fail("Invalid data");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(dec.get(), &info)) Fail("Invalid data");
    if (index >= int(std::min<uint32_t>(info.frame_count, INT32_MAX))) Fail(PGMessage(7, "Index"));
    const int w = int(info.canvas_width), h = int(info.canvas_height);
    if (!FitsPictureCap(w, h, 3 + 8)) RaisePictureCap();
    // Frames are composited in order: frame k needs every frame before it.
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    for (int k = 0; k <= index; ++k)
        if (!WebPAnimDecoderGetNext(dec.get(), &canvas, &timestamp)) Fail("Invalid data in frame " + std::to_string(k));
    picture.SetFormat(w, h, pg24Bit);
    const TRGB bg = picture.BackgroundColor();
    for (int y = 0; y < h; ++y)
        rgbarows::RGBAToBGR(canvas + size_t(y) * size_t(w) * 4, picture.ScanLine(y), w, bg);
}

struct TMemoryWriter {
    WebPMemoryWriter w;
    TMemoryWriter() { WebPMemoryWriterInit(&w); }
    ~TMemoryWriter() { WebPMemoryWriterClear(&w); }
};
struct TPictureFree {
    WebPPicture* p;
    ~TPictureFree() { WebPPictureFree(p); }
};

const char* EncodeErrorText(WebPEncodingError e) {
    switch (e) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return "Out of memory";
    case VP8_ENC_ERROR_BAD_DIMENSION:
        return "Invalid size of picture";
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        return "File too big";
    default:
        return "Encoding failed";
    }
}

} // namespace

bool TWebPFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    return size >= 12 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0;
}

void TWebPFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex < 0) Fail(PGMessage(7, "Index"));
    const TFile f = Open(stream);
    picture.SetGamma(DisplayGamma);
    TPGProgressScope progress(picture, this);
    if (f.features.has_animation)
        ReadFrame(f, picture, imageIndex);
    else if (imageIndex != 0)
        Fail(PGMessage(7, "Index"));
    else
        ReadStill(f, picture);
    // The file's EXIF and ICC chunks travel with the picture once it can
    // carry them; they are found here.
    progress.Step(1, 1);
}

void TWebPFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    const TFile f = Open(stream);
    info = TPGImageInfo{};
    info.GraphicCount = FrameCount(f);
    if (imageIndex < 0 || imageIndex >= info.GraphicCount) Fail(PGMessage(7, "Index"));
    info.Width = f.features.width;
    info.Height = f.features.height;
    info.BitsPerPixel = f.features.has_alpha ? 32 : 24;
    info.Colors = "16.7 M";
    info.SubType = f.features.has_animation ? "Animated"
                   : f.features.format == 2 ? "Lossless"
                                            : "Lossy";
    if (f.features.has_alpha) info.Options = "Alpha";
}

void TWebPFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    const int quality = std::clamp(int(WebPQuality), 1, 100);
    const bool lossless = WebPLossless;
    const int w = picture.GetWidth(), h = picture.GetHeight();
    if (w < 1 || h < 1) Fail(PGMessage(35));
    if (w > WEBP_MAX_DIMENSION || h > WEBP_MAX_DIMENSION) Fail("Invalid size of picture");
    WebPConfig config;
    if (!WebPConfigInit(&config)) Fail("Invalid library version");
    config.quality = float(quality);
    config.lossless = lossless ? 1 : 0;
    if (lossless) config.exact = 1;
    if (!WebPValidateConfig(&config)) Fail("Invalid parameter");
    WebPPicture pic;
    if (!WebPPictureInit(&pic)) Fail("Invalid library version");
    TPictureFree freePic{&pic};
    pic.width = w;
    pic.height = h;
    pic.use_argb = lossless ? 1 : 0;
    TMemoryWriter out;
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &out.w;
    TPGProgressScope progress(picture, this);
    int ok;
    if (picture.PixelFormat() == pg24Bit) {
        // The store read top row first: from the last row backwards.
        ok = WebPPictureImportBGR(&pic, picture.ScanLine(0), -int(picture.RowBytes()));
    } else {
        std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
        for (int y = 0; y < h; ++y) RowAsRGB(picture, y, rgb.data() + size_t(y) * size_t(w) * 3);
        ok = WebPPictureImportRGB(&pic, rgb.data(), w * 3);
    }
    if (!ok) Fail("Out of memory");
    if (!WebPEncode(&config, &pic)) Fail(EncodeErrorText(pic.error_code));
    stream.WriteBuffer(out.w.mem, int64_t(out.w.size));
    progress.Step(1, 1);
}

bool IsAnimatedWebPHeader(const uint8_t* h, size_t size) {
    // RIFF....WEBP, then the extended header chunk "VP8X" whose flags byte
    // carries the animation bit.
    return size >= 21 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBPVP8X", 8) == 0 &&
           (h[20] & 0x02) != 0;
}

bool IsAnimatedWebPFile(const std::string& path) {
    try {
        TFileStream f(path, TFileStream::OpenRead);
        uint8_t header[21];
        return f.Read(header, sizeof header) == int64_t(sizeof header) &&
               IsAnimatedWebPHeader(header, sizeof header);
    } catch (const std::exception&) {
        return false;
    }
}

struct TWebPAnimation::TState {
    TFile file;
    std::unique_ptr<WebPAnimDecoder, TAnimDelete> decoder;
    WebPAnimInfo info{};
    int lastTimestamp = 0;
};

TWebPAnimation::TWebPAnimation(TStream& stream) : s_(std::make_unique<TState>()) {
    s_->file = Open(stream);
    const WebPData wd{s_->file.data.data(), s_->file.data.size()};
    WebPAnimDecoderOptions opts;
    if (!WebPAnimDecoderOptionsInit(&opts)) Fail("Invalid library version");
    opts.color_mode = MODE_RGBA;
    opts.use_threads = 1;
    s_->decoder.reset(WebPAnimDecoderNew(&wd, &opts));
    if (!s_->decoder || !WebPAnimDecoderGetInfo(s_->decoder.get(), &s_->info)) Fail("Invalid data");
    if (s_->info.frame_count < 1) Fail("Invalid data");
    if (!FitsPictureCap(int(std::min<uint32_t>(s_->info.canvas_width, INT32_MAX)),
                        int(std::min<uint32_t>(s_->info.canvas_height, INT32_MAX)), 8))
        RaisePictureCap();
}

TWebPAnimation::~TWebPAnimation() = default;

int TWebPAnimation::Width() const { return int(s_->info.canvas_width); }
int TWebPAnimation::Height() const { return int(s_->info.canvas_height); }
int TWebPAnimation::FrameCount() const { return int(std::min<uint32_t>(s_->info.frame_count, INT32_MAX)); }

const uint8_t* TWebPAnimation::NextFrame(int& durationMs) {
    WebPAnimDecoder* d = s_->decoder.get();
    if (!WebPAnimDecoderHasMoreFrames(d)) {
        WebPAnimDecoderReset(d);
        s_->lastTimestamp = 0;
    }
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(d, &canvas, &timestamp)) Fail("Invalid data");
    durationMs = std::max(0, timestamp - s_->lastTimestamp);
    s_->lastTimestamp = timestamp;
    return canvas;
}

void RegisterWebPFormats() {
    RegisterFileFormatReader(std::make_unique<TWebPFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TWebPFileFormatWriter>());
}
