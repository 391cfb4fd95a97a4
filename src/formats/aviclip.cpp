#include "formats/aviclip.h"

#include <algorithm>
#include <cstring>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/bmp.h"
#include "formats/jpeg.h"

namespace {

constexpr int kMaxSide = 16384;
constexpr uint32_t kMaxFrames = 1u << 22; // a day at 48 fps
constexpr int kMaxDepth = 8;              // nested lists

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
bool Is(const uint8_t* p, const char* four) {
    return std::memcmp(p, four, 4) == 0;
}
constexpr uint32_t FourCC(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

[[noreturn]] void Fail(const std::string& what) {
    throw EPixelGraphic("AVI: " + what);
}

struct TParser {
    TStream& s;
    int64_t size;
    TAviClip clip;
    int streams = 0;      // strl lists seen
    int video = -1;       // number of the first video stream
    bool inVideo = false; // inside the video stream's strl
    uint32_t microSecPerFrame = 0, rate = 0, scale = 0;
    char id[2] = {}; // the stream number as two digits

    std::vector<uint8_t> Read(int64_t at, uint32_t n) {
        std::vector<uint8_t> b(n);
        s.SetPosition(at);
        s.ReadBuffer(b.data(), n);
        return b;
    }

    // Walks the chunks in [pos, end) at nesting depth `depth`.
    void Walk(int64_t pos, int64_t end, int depth, bool inMovi) {
        if (depth > kMaxDepth) return;
        while (pos + 8 <= end) {
            uint8_t h[12];
            s.SetPosition(pos);
            if (s.Read(h, 8) != 8) return;
            const int64_t body = pos + 8;
            const int64_t n = U32(h + 4);
            const int64_t bodyEnd = std::min(body + n, end); // cut chunks end with the data
            if (Is(h, "LIST") || Is(h, "RIFF")) {
                if (n < 4 || body + 4 > end) return;
                s.ReadBuffer(h + 8, 4);
                const uint8_t* type = h + 8;
                if (Is(type, "strl")) {
                    inVideo = false;
                    Walk(body + 4, bodyEnd, depth + 1, false);
                    ++streams;
                    inVideo = false;
                } else if (Is(type, "movi") || Is(type, "rec ")) {
                    if (video >= 0) Walk(body + 4, bodyEnd, depth + 1, true);
                } else if (Is(type, "hdrl")) {
                    Walk(body + 4, bodyEnd, depth + 1, false);
                }
            } else if (Is(h, "avih") && n >= 40 && body + 40 <= end) {
                const auto b = Read(body, 40);
                microSecPerFrame = U32(b.data());
            } else if (Is(h, "strh") && n >= 28 && body + 28 <= end && video < 0) {
                const auto b = Read(body, 28);
                if (Is(b.data(), "vids")) {
                    video = streams;
                    inVideo = true;
                    id[0] = char('0' + (video / 10) % 10);
                    id[1] = char('0' + video % 10);
                    scale = U32(b.data() + 20);
                    rate = U32(b.data() + 24);
                }
            } else if (Is(h, "strf") && inVideo && clip.format.empty()) {
                if (n < 40 || n > (1 << 20) || body + n > end) Fail("Damaged stream format");
                clip.format = Read(body, uint32_t(n));
            } else if (inMovi && h[0] == id[0] && h[1] == id[1] &&
                       ((h[2] == 'd' && (h[3] == 'b' || h[3] == 'c')))) {
                if (clip.frames.size() >= kMaxFrames) return;
                // A frame cut by the end of the file is left out.
                if (body + n <= end) clip.frames.push_back({body, uint32_t(n)});
            }
            const int64_t next = body + n + (n & 1);
            if (next <= pos) return;
            pos = next;
        }
    }
};

} // namespace

TAviClip ParseAviClip(TStream& stream) {
    const int64_t size = stream.Size();
    uint8_t h[12];
    stream.SetPosition(0);
    if (size < 12 || stream.Read(h, 12) != 12 || !Is(h, "RIFF") || !Is(h + 8, "AVI "))
        Fail("Not an AVI file");
    TParser p{stream, size, {}};
    try {
        p.Walk(12, std::min<int64_t>(size, 8 + int64_t(U32(h + 4))), 0, false);
    } catch (const EStreamError&) {
        Fail("Damaged file");
    }
    TAviClip& c = p.clip;
    if (p.video < 0 || c.format.size() < 40) Fail("No video stream");
    const int32_t w = int32_t(U32(c.format.data() + 4)), hgt = int32_t(U32(c.format.data() + 8));
    // Negative heights are top-down frames; -2^31 has no positive twin in 32 bits.
    const int64_t side = hgt < 0 ? -int64_t(hgt) : int64_t(hgt);
    if (w <= 0 || side <= 0 || w > kMaxSide || side > kMaxSide) Fail("Bad frame size");
    c.width = w;
    c.height = int(side);
    c.compression = U32(c.format.data() + 16);
    const int bits = U16(c.format.data() + 14);
    switch (c.compression) {
    case 0: // BI_RGB
    case 3: // BI_BITFIELDS
        c.codec = bits == 8 || bits == 16 || bits == 24 || bits == 32 ? TAviCodec::Raw
                                                                      : TAviCodec::Unsupported;
        break;
    case 1:
        c.codec = bits == 8 ? TAviCodec::RLE8 : TAviCodec::Unsupported;
        break;
    case 2:
        c.codec = bits == 4 ? TAviCodec::RLE4 : TAviCodec::Unsupported;
        break;
    case FourCC("MJPG"):
    case FourCC("mjpg"):
    case FourCC("AVRn"):
    case FourCC("AVDJ"):
        c.codec = TAviCodec::MJPEG;
        break;
    default:
        c.codec = TAviCodec::Unsupported;
    }
    // The main header's interval, else the stream's rate; nothing sensible
    // plays at 15 frames a second.
    double interval = p.microSecPerFrame / 1000.0;
    if (interval <= 0 && p.rate > 0 && p.scale > 0) interval = 1000.0 * p.scale / p.rate;
    if (!(interval >= 1.0) || interval > 60000) interval = 1000.0 / 15;
    c.frameInterval = interval;
    return c;
}

TAviFrameDecoder::TAviFrameDecoder(const TAviClip& clip) : clip_(clip) {}

bool TAviFrameDecoder::DecodeRle(const std::vector<uint8_t>& d, bool four) {
    const int w = clip_.width, h = clip_.height;
    size_t i = 0;
    int x = 0, y = 0; // y = 0 is the bottom row
    auto put = [&](int v) {
        if (x >= 0 && x < w && y >= 0 && y < h)
            indices_[size_t(y) * size_t(w) + size_t(x)] = uint8_t(v);
        ++x;
    };
    while (i + 1 < d.size()) {
        const int count = d[i], value = d[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? (k % 2 == 0 ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of frame
            return true;
        } else if (value == 2) { // delta: the pixels passed over stay
            if (i + 1 >= d.size()) return false;
            x += d[i];
            y += d[i + 1];
            i += 2;
        } else { // a literal run, padded to a whole word
            const size_t bytes = four ? (size_t(value) + 1) / 2 : size_t(value);
            if (i + bytes > d.size()) return false;
            for (int k = 0; k < value; ++k)
                put(four ? (k % 2 == 0 ? d[i + size_t(k / 2)] >> 4 : d[i + size_t(k / 2)] & 15)
                         : d[i + size_t(k)]);
            i += bytes + (bytes & 1);
        }
        if (y >= h) return true;
    }
    return true; // frames may end without the end-of-frame code
}

void TAviFrameDecoder::IndexFrameTo(TPixelGraphic& picture) const {
    const int w = clip_.width, h = clip_.height;
    const uint8_t* f = clip_.format.data();
    const uint32_t headerSize = U32(f);
    uint32_t colors = U32(f + 32);
    if (colors == 0 || colors > 256) colors = 256;
    picture.SetFormat(w, h, pg8Bit);
    const size_t available =
        clip_.format.size() > headerSize ? (clip_.format.size() - headerSize) / 4 : 0;
    const int n = int(std::min<size_t>(colors, available));
    picture.SetPaletteCount(std::max(n, 1));
    for (int k = 0; k < n; ++k) {
        const uint8_t* e = f + headerSize + 4 * k;
        picture.SetPaletteEntry(k, RGB(e[2], e[1], e[0]));
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* row = picture.ScanLine(h - 1 - y);
        const uint8_t* src = indices_.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x)
            row[x] = n > 0 ? uint8_t(std::min<int>(src[x], n - 1)) : 0;
    }
}

bool TAviFrameDecoder::DecodeFrame(TStream& stream, int index, TPixelGraphic& picture) {
    if (index < 0 || size_t(index) >= clip_.frames.size()) return false;
    const TAviFrame& fr = clip_.frames[size_t(index)];
    try {
        std::vector<uint8_t> data(fr.size);
        stream.SetPosition(fr.offset);
        stream.ReadBuffer(data.data(), fr.size);
        switch (clip_.codec) {
        case TAviCodec::RLE8:
        case TAviCodec::RLE4: {
            if (index == 0 || indices_.empty()) {
                indices_.assign(size_t(clip_.width) * size_t(clip_.height), 0);
                next_ = 0;
            }
            // Delta frames need every frame before them: catch up from the
            // last one drawn (or from the start after a jump back).
            if (index < next_) {
                std::fill(indices_.begin(), indices_.end(), 0);
                next_ = 0;
            }
            for (; next_ < index; ++next_) {
                const TAviFrame& before = clip_.frames[size_t(next_)];
                std::vector<uint8_t> b(before.size);
                stream.SetPosition(before.offset);
                stream.ReadBuffer(b.data(), before.size);
                DecodeRle(b, clip_.codec == TAviCodec::RLE4);
            }
            const bool ok = DecodeRle(data, clip_.codec == TAviCodec::RLE4);
            next_ = index + 1;
            IndexFrameTo(picture);
            return ok;
        }
        case TAviCodec::Raw:
        case TAviCodec::MJPEG: {
            if (fr.size == 0) return true;
            // Decoded aside: a frame that fails leaves the picture as it was.
            TPixelGraphic frame;
            frame.SetReadWarningAction(pgwaIgnore);
            if (clip_.codec == TAviCodec::Raw) {
                std::vector<uint8_t> dib = clip_.format;
                dib.insert(dib.end(), data.begin(), data.end());
                DecodePackedDIB(frame, dib.data(), dib.size());
            } else {
                // Motion JPEG frames often leave out the standard Huffman
                // tables; libjpeg-turbo supplies them.
                TReadOnlyMemoryStream m(data.data(), int64_t(data.size()));
                TJPGFileFormatReader reader;
                reader.Read(m, frame, 0);
            }
            if (frame.GetWidth() != clip_.width || frame.GetHeight() != clip_.height) return false;
            picture.Assign(&frame);
            return true;
        }
        case TAviCodec::Unsupported:
            return false;
        }
    } catch (const Exception&) {
    }
    return false;
}
