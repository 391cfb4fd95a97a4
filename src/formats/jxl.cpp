#include "formats/jxl.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/modernio.h"
#include "formats/register.h"
#include "formats/rgbarows.h"

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGJXLFileFormatReader("JPEG XL: " + text); }

// libjxl holds the picture as floating-point planes while it decodes
// (three channels and alpha), besides our 24-bit store.
constexpr int64_t kDecodeBytesPerPixel = 16 + 3;

struct TDecoder {
    std::vector<uint8_t> data;
    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> dec{nullptr, JxlDecoderDestroy};
    std::unique_ptr<void, void (*)(void*)> runner{nullptr, JxlThreadParallelRunnerDestroy};
};

TDecoder Open(TStream& stream, int events, bool threads) {
    if (!StreamFitsCap(stream)) Fail(PGMessage(27, "file"));
    TDecoder d;
    d.data = ReadRestOfStream(stream);
    d.dec.reset(JxlDecoderCreate(nullptr));
    if (!d.dec) Fail("Out of memory");
    if (threads) {
        d.runner.reset(JxlThreadParallelRunnerCreate(nullptr, size_t(DecoderThreads())));
        if (!d.runner ||
            JxlDecoderSetParallelRunner(d.dec.get(), JxlThreadParallelRunner, d.runner.get()) != JXL_DEC_SUCCESS)
            Fail("Out of memory");
    }
    if (JxlDecoderSubscribeEvents(d.dec.get(), events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d.dec.get(), d.data.data(), d.data.size()) != JXL_DEC_SUCCESS)
        Fail("Invalid data");
    JxlDecoderCloseInput(d.dec.get());
    return d;
}

// The next event; an error or data that ends early is refused.
JxlDecoderStatus Next(JxlDecoder* dec) {
    const JxlDecoderStatus s = JxlDecoderProcessInput(dec);
    if (s == JXL_DEC_ERROR) Fail("Invalid data");
    if (s == JXL_DEC_NEED_MORE_INPUT) Fail(PGMessage(32));
    return s;
}

// The size of the decoded picture: the stored size turned by the orientation.
void ShownSize(const JxlBasicInfo& info, int64_t& w, int64_t& h) {
    const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
    w = turned ? info.ysize : info.xsize;
    h = turned ? info.xsize : info.ysize;
}

// Where the decoder's rows go: the store, addressed without the picture's
// own calls, as libjxl hands out rows on its worker threads.
struct TRowSink {
    uint8_t* bits;
    int64_t rowBytes;
    int64_t height;
    int channels;
    TRGB background;
};

void PutPixels(void* opaque, size_t x, size_t y, size_t n, const void* pixels) {
    const auto* s = static_cast<const TRowSink*>(opaque);
    if (int64_t(y) >= s->height) return;
    uint8_t* dst = s->bits + (s->height - 1 - int64_t(y)) * s->rowBytes + int64_t(x) * 3;
    const auto* src = static_cast<const uint8_t*>(pixels);
    if (s->channels == 4)
        rgbarows::RGBAToBGR(src, dst, int(n), s->background);
    else
        rgbarows::RGBToBGR(src, dst, int(n));
}

} // namespace

bool TJXLFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    const JxlSignature s = JxlSignatureCheck(h, size_t(std::max(size, 0)));
    return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

void TJXLFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex < 0) Fail(PGMessage(7, "Index"));
    TDecoder d = Open(stream, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE, true);
    JxlDecoder* dec = d.dec.get();
    // Earlier frames are composited but not handed out.
    if (imageIndex > 0) JxlDecoderSkipFrames(dec, size_t(imageIndex));
    picture.SetGamma(DisplayGamma);
    TPGProgressScope progress(picture, this);
    JxlBasicInfo info{};
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    TRowSink sink{};
    TPictureMetadataBytes meta;
    for (;;) {
        const JxlDecoderStatus s = Next(dec);
        if (s == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) Fail("Invalid data");
            if (imageIndex > 0 && !info.have_animation) Fail(PGMessage(7, "Index"));
            int64_t w, h;
            ShownSize(info, w, h);
            // Checked before libjxl decodes anything the size of the picture.
            if (!FitsPictureCap(w, h, kDecodeBytesPerPixel)) RaisePictureCap();
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            picture.SetFormat(int(w), int(h), pg24Bit);
            sink = TRowSink{picture.Bits(), picture.RowBytes(), h, int(format.num_channels),
                            picture.BackgroundColor()};
        } else if (s == JXL_DEC_COLOR_ENCODING) {
            size_t size = 0;
            if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL, &size) ==
                    JXL_DEC_SUCCESS &&
                size > 0 && size < (64u << 20)) {
                meta.icc.resize(size);
                if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                   meta.icc.data(), size) != JXL_DEC_SUCCESS)
                    meta.icc.clear();
            }
        } else if (s == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            if (!sink.bits) Fail("Invalid data");
            if (JxlDecoderSetImageOutCallback(dec, &format, PutPixels, &sink) != JXL_DEC_SUCCESS)
                Fail("Invalid data");
        } else if (s == JXL_DEC_FULL_IMAGE) {
            break;
        } else if (s == JXL_DEC_SUCCESS) {
            // The file ended before the frame asked for.
            Fail(PGMessage(7, "Index"));
        }
    }
    HandOnMetadata(picture, std::move(meta), true);
    progress.Step(1, 1);
}

void TJXLFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    TDecoder d = Open(stream, JXL_DEC_BASIC_INFO | JXL_DEC_FRAME, false);
    JxlDecoder* dec = d.dec.get();
    JxlBasicInfo basic{};
    if (Next(dec) != JXL_DEC_BASIC_INFO || JxlDecoderGetBasicInfo(dec, &basic) != JXL_DEC_SUCCESS)
        Fail("Invalid data");
    info = TPGImageInfo{};
    info.GraphicCount = 1;
    if (basic.have_animation) {
        // Frames are counted from their headers; no pixels are decoded.
        int frames = 0;
        for (JxlDecoderStatus s; (s = Next(dec)) != JXL_DEC_SUCCESS;)
            if (s == JXL_DEC_FRAME && frames < INT32_MAX) ++frames;
        info.GraphicCount = std::max(frames, 1);
    }
    if (imageIndex < 0 || imageIndex >= info.GraphicCount) Fail(PGMessage(7, "Index"));
    int64_t w, h;
    ShownSize(basic, w, h);
    info.Width = int(std::min<int64_t>(w, INT32_MAX));
    info.Height = int(std::min<int64_t>(h, INT32_MAX));
    const int channels = (basic.num_color_channels == 1 ? 1 : 3) + (basic.alpha_bits > 0 ? 1 : 0);
    info.BitsPerPixel = int(basic.bits_per_sample) * channels;
    info.Colors = "16.7 M";
    info.SubType = std::to_string(basic.bits_per_sample) + " bits";
    if (basic.have_animation) info.SubType += ", animated";
    if (basic.alpha_bits > 0) info.Options = "Alpha";
}

void RegisterJXLFormats() { RegisterFileFormatReader(std::make_unique<TJXLFileFormatReader>()); }
