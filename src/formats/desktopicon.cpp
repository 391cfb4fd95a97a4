#include "formats/desktopicon.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/png.h"

namespace {

constexpr int kMaxSide = 1024; // beyond any icon in use
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t U32BE(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// One image of the directory with what its own header says.
struct TCandidate {
    std::vector<uint8_t> data; // the image's bytes, as far as the file holds them
    bool png = false;
    int width = 0, height = 0, depth = 0;
};

bool Describe(TCandidate& c) {
    const std::vector<uint8_t>& d = c.data;
    if (d.size() >= 33 && std::memcmp(d.data(), kPngSignature, 8) == 0) {
        if (std::memcmp(d.data() + 12, "IHDR", 4) != 0) return false;
        c.png = true;
        c.width = int(std::min<uint32_t>(U32BE(d.data() + 16), kMaxSide + 1));
        c.height = int(std::min<uint32_t>(U32BE(d.data() + 20), kMaxSide + 1));
        const int bits = d[24], colorType = d[25];
        const int channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
        c.depth = bits * channels;
    } else {
        if (d.size() < 40 || U32(d.data()) < 40) return false;
        const int32_t w = int32_t(U32(d.data() + 4)), h2 = int32_t(U32(d.data() + 8));
        c.width = w;
        c.height = h2 / 2;
        c.depth = U16(d.data() + 14);
        if (c.depth != 1 && c.depth != 4 && c.depth != 8 && c.depth != 24 && c.depth != 32)
            return false;
    }
    return c.width > 0 && c.height > 0 && c.width <= kMaxSide && c.height <= kMaxSide;
}

inline uint8_t Blend(int c, int b, int alpha) {
    return uint8_t((c * alpha + b * (255 - alpha) + 127) / 255);
}

int64_t Stride(int64_t width, int bits) {
    return (width * bits + 31) / 32 * 4;
}

bool DecodeDib(const TCandidate& c, TRGB background, TPixelGraphic& out) {
    const std::vector<uint8_t>& d = c.data;
    const int w = c.width, h = c.height, bits = c.depth;
    const int64_t headerSize = U32(d.data());
    int64_t colors = 0;
    if (bits <= 8) {
        const uint32_t used = U32(d.data() + 32);
        colors = used > 0 && used < (1u << bits) ? used : int64_t(1) << bits;
    }
    const int64_t xorStride = Stride(w, bits), andStride = Stride(w, 1);
    const int64_t tableAt = headerSize, xorAt = tableAt + 4 * colors;
    const int64_t andAt = xorAt + xorStride * h, end = andAt + andStride * h;
    const int64_t size = int64_t(d.size());
    if (andAt > size) return false;
    // 32-bit images often come without a mask; their alpha says it all.
    const bool haveMask = end <= size;
    if (!haveMask && bits != 32) return false;

    bool useAlpha = false;
    if (bits == 32)
        for (int y = 0; y < h && !useAlpha; ++y)
            for (int x = 0; x < w; ++x)
                if (d[size_t(xorAt + y * xorStride + 4 * x + 3)] != 0) {
                    useAlpha = true;
                    break;
                }

    const int br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    out.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = d.data() + xorAt + int64_t(h - 1 - y) * xorStride;
        const uint8_t* mask =
            haveMask ? d.data() + andAt + int64_t(h - 1 - y) * andStride : nullptr;
        uint8_t* dst = out.ScanLine(y);
        for (int x = 0; x < w; ++x, dst += 3) {
            int r, g, b, a = 255;
            if (bits <= 8) {
                int index;
                if (bits == 1)
                    index = (src[x >> 3] >> (7 - (x & 7))) & 1;
                else if (bits == 4)
                    index = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
                else
                    index = src[x];
                if (index >= colors) index = 0; // a table shorter than its indices
                const uint8_t* e = d.data() + tableAt + 4 * index;
                b = e[0];
                g = e[1];
                r = e[2];
            } else {
                const uint8_t* p = src + x * (bits / 8);
                b = p[0];
                g = p[1];
                r = p[2];
                if (useAlpha) a = p[3];
            }
            if (!useAlpha && mask && ((mask[x >> 3] >> (7 - (x & 7))) & 1)) a = 0;
            dst[0] = Blend(b, bb, a);
            dst[1] = Blend(g, bg, a);
            dst[2] = Blend(r, br, a);
        }
    }
    return true;
}

bool DecodePng(const TCandidate& c, TRGB background, TPixelGraphic& out) {
    TReadOnlyMemoryStream s(c.data.data(), int64_t(c.data.size()));
    TPixelGraphic pg;
    pg.SetReadWarningAction(pgwaIgnore);
    // The reader flattens alpha onto the picture's background colour.
    pg.SetBackgroundColor(background);
    TPNGFileFormatReader reader;
    reader.Read(s, pg, 0);
    if (pg.GetEmpty()) return false;
    out.SetFormat(pg.GetWidth(), pg.GetHeight(), pg24Bit);
    out.CopyFrom(pg);
    return true;
}

} // namespace

bool LoadDesktopIcon(TStream& stream, TRGB background, TPixelGraphic& picture) {
    std::vector<TCandidate> candidates;
    try {
        const int64_t start = stream.Position(), size = stream.Size();
        uint8_t head[6];
        stream.ReadBuffer(head, 6);
        const int type = U16(head + 2), count = U16(head + 4);
        if (U16(head) != 0 || (type != 1 && type != 2) || count == 0) return false;
        if (size - start - 6 < int64_t(count) * 16) return false;
        std::vector<uint8_t> dir(size_t(count) * 16);
        stream.ReadBuffer(dir.data(), int64_t(dir.size()));
        for (int i = 0; i < count; ++i) {
            const uint8_t* e = dir.data() + 16 * i;
            const int64_t bytes = U32(e + 8), offset = U32(e + 12);
            // Entries that claim more than the file holds are taken as far
            // as it goes; the decoders check every size against that.
            if (offset < 6 || start + offset >= size || bytes < 8) continue;
            TCandidate c;
            c.data.resize(size_t(std::min(bytes, size - start - offset)));
            stream.SetPosition(start + offset);
            stream.ReadBuffer(c.data.data(), int64_t(c.data.size()));
            if (Describe(c)) candidates.push_back(std::move(c));
        }
    } catch (const EStreamError&) {
        return false;
    }
    // Largest first, then deepest; the next one when an image will not read.
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        const int64_t pa = int64_t(a.width) * a.height, pb = int64_t(b.width) * b.height;
        return pa != pb ? pa > pb : a.depth > b.depth;
    });
    for (const TCandidate& c : candidates) {
        TPixelGraphic pg;
        try {
            if (!(c.png ? DecodePng(c, background, pg) : DecodeDib(c, background, pg))) continue;
        } catch (const Exception&) {
            continue; // a damaged image: try the next one
        }
        picture.Assign(&pg);
        return true;
    }
    return false;
}
