#include "formats/gif.h"

#include <cstring>
#include <memory>
#include <vector>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gifparse.h"
#include "formats/register.h"

namespace {
// The rest of the stream, from its position. Only bytes that exist are
// allocated, so a lying size field elsewhere cannot make this large.
std::vector<uint8_t> ReadRest(TStream& stream) {
    std::vector<uint8_t> buf;
    const int64_t left = stream.Remaining();
    if (left <= 0) return buf;
    buf.resize(size_t(left));
    buf.resize(size_t(stream.Read(buf.data(), left)));
    return buf;
}

const char* kNotGif = "Not a proper GIF file";
const char* kBadIndex = "Index out of bounds";
} // namespace

bool tGifFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    return size >= 3 && std::memcmp(header, "GIF", 3) == 0;
}

void tGifFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    TPGProgressScope progress(picture, this);
    const std::vector<uint8_t> buf = ReadRest(stream);
    if (imageIndex < 0) {
        if (!ParseGif(buf.data(), buf.size(), -1, nullptr, this).IsGif)
            throw EPixelGraphic(kNotGif);
        throw EPixelGraphic(kBadIndex);
    }
    const TGifParseResult r = ParseGif(buf.data(), buf.size(), imageIndex, &picture, this);
    // An empty picture reported as success would let callers write empty
    // files; say why nothing could be read instead. Rows decoded before the
    // data broke off are kept.
    if (r.PixelsDecoded > 0 || r.Aborted) return;
    if (!r.IsGif) throw EPixelGraphic(kNotGif);
    if (!r.TargetFound) throw EPixelGraphic(kBadIndex);
    throw EPixelGraphic(kNotGif);
}

void tGifFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    const std::vector<uint8_t> buf = ReadRest(stream);
    const TGifParseResult r = ParseGif(buf.data(), buf.size(), imageIndex, nullptr, this);
    if (!r.IsGif) throw EPixelGraphic(kNotGif);
    if (imageIndex < 0 || imageIndex >= r.ImageCount) throw EPixelGraphic(kBadIndex);
    info = TPGImageInfo{};
    info.GraphicCount = r.ImageCount;
    info.Width = r.TargetWidth;
    info.Height = r.TargetHeight;
    info.BitsPerPixel = r.Bits;
    info.Colors = std::to_string(1 << r.Bits);
    info.SubType = r.Version;
    info.Options = r.AnyInterlaced ? "Interlaced" : "Non-interlaced";
}

void RegisterGIFFormats() {
    RegisterFileFormatReader(std::make_unique<tGifFileFormatReader>());
}
