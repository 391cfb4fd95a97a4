// The DIB decoder and encoder: the heart of the BMP reader and writer and of
// the clipboard's packed-DIB exchange.

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <vector>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/bmp.h"
#include "formats/bmp_header.h"

namespace {

[[noreturn]] void Invalid(const std::string& field) {
    throw EPGBMPFileFormatReader("BMP: " + PGMessage(7, field));
}

TPGPixelFormat FormatOfBits(int bits) {
    return bits == 1 ? pg1Bit : bits == 4 ? pg4Bit : bits == 8 ? pg8Bit : pg24Bit;
}

// How one channel of a 16- or 32-bit pixel becomes 0..255: the mask's top
// bit is moved to bit 7 (a mask wider than 8 bits keeps its top 8 bits), and
// 16-bit files add one step of the channel (8 for 5 bits, 4 for 6 bits), so
// full scale reaches 255 after the clamp.
struct TChannel {
    uint32_t mask = 0;
    int shift = 0; // > 0 left, < 0 right
    int offset = 0;

    TChannel(uint32_t m, bool add16BitOffset) : mask(m) {
        if (m == 0) return; // a channel without bits reads as 0, without looping for ever
        int hi = 31;
        while (!(m & (1u << hi)))
            --hi;
        shift = 7 - hi;
        const uint32_t top = (shift >= 0 ? m << shift : m >> -shift) & 0xFF;
        if (add16BitOffset) offset = int(top & (~top + 1));
    }
    uint8_t operator()(uint32_t v) const {
        const uint32_t m = v & mask;
        if (m == 0) return 0;
        const uint32_t c = (shift >= 0 ? m << shift : m >> -shift) + uint32_t(offset);
        return uint8_t(std::min<uint32_t>(c, 255));
    }
};

// Reverses the order of the stored rows (top-down files).
void FlipRows(TPixelGraphic& g) {
    const int h = g.GetHeight();
    const size_t n = size_t(g.RowBytes());
    if (h < 2 || n == 0) return;
    std::vector<uint8_t> tmp(n);
    for (int j = 0; j <= (h - 2) / 2; ++j) {
        uint8_t* a = g.ScanLine(j);
        uint8_t* b = g.ScanLine(h - 1 - j);
        std::memcpy(tmp.data(), a, n);
        std::memcpy(a, b, n);
        std::memcpy(b, tmp.data(), n);
    }
}

// Reads `count` bytes into `dest`, in ten pieces with progress when there is
// more than a little. Returns false when a handler aborted.
bool ReadWithProgress(TStream& s, uint8_t* dest, int64_t count, TPGProgressScope& progress) {
    if (count <= 100) {
        s.ReadBuffer(dest, count);
        return true;
    }
    const int64_t piece = count / 10;
    for (int step = 1; step <= 10; ++step) {
        const int64_t n = step < 10 ? piece : count - 9 * piece;
        s.ReadBuffer(dest, n);
        dest += n;
        if (progress.Step(step, 10)) return false;
    }
    return true;
}

void DecodeBitFields(TPixelGraphic& g, TStream& s, const TDIBHeader& h,
                     TPGProgressScope& progress) {
    const bool is16 = h.bitCount == 16;
    const TChannel red(h.masks[0], is16), green(h.masks[1], is16), blue(h.masks[2], is16);
    const int w = g.GetWidth(), height = g.GetHeight();
    const int64_t fileRow = (int64_t(h.bitCount) * w + 31) / 32 * 4;
    std::vector<uint8_t> row(static_cast<size_t>(fileRow));
    // 16-bit pixels go through tables: one look-up per channel instead of
    // shifting and clamping every pixel.
    std::vector<uint8_t> lut;
    if (is16) {
        lut.resize(3 * 65536);
        for (uint32_t v = 0; v < 65536; ++v) {
            lut[v] = blue(v);
            lut[65536 + v] = green(v);
            lut[131072 + v] = red(v);
        }
    }
    for (int i = 0; i < height; ++i) {
        s.ReadBuffer(row.data(), fileRow);
        uint8_t* out = g.ScanLine(h.topDown ? i : height - 1 - i);
        const uint8_t* in = row.data();
        if (is16) {
            for (int x = 0; x < w; ++x, in += 2, out += 3) {
                const uint32_t v = uint32_t(in[0]) | (uint32_t(in[1]) << 8);
                out[0] = lut[v];
                out[1] = lut[65536 + v];
                out[2] = lut[131072 + v];
            }
        } else {
            for (int x = 0; x < w; ++x, in += 4, out += 3) {
                const uint32_t v = uint32_t(in[0]) | (uint32_t(in[1]) << 8) |
                                   (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
                out[0] = blue(v);
                out[1] = green(v);
                out[2] = red(v);
            }
        }
        if (progress.Step(i, height)) return;
    }
}

// RLE8 and RLE4. Every code is checked against the end of the data; writes
// outside the picture are dropped. x and y are 64-bit so endless skips in a
// hostile file cannot overflow them.
void DecodeRLE(TPixelGraphic& g, const std::vector<uint8_t>& d, bool rle4,
               TPGProgressScope& progress) {
    const int64_t size = int64_t(d.size());
    const int64_t w = g.GetWidth(), height = g.GetHeight();
    int64_t x = 0, y = height - 1; // y counts image rows, 0 at the top
    auto put = [&](int64_t px, int v) {
        if (px < 0 || px >= w || y < 0 || y >= height) return;
        uint8_t* row = g.ScanLine(int(y));
        if (!rle4) {
            row[px] = uint8_t(v);
        } else if (px % 2 == 0) {
            row[px / 2] = uint8_t((row[px / 2] & 0x0F) | (v << 4));
        } else {
            row[px / 2] = uint8_t((row[px / 2] & 0xF0) | (v & 0x0F));
        }
    };
    const int64_t tenth = size >= 10 ? size / 10 : 0;
    int64_t nextReport = tenth;
    int64_t pos = 0;
    while (pos < size - 1) {
        const int n = d[size_t(pos)];
        const int code = d[size_t(pos + 1)];
        if (n > 0) {
            if (!rle4) {
                // A run: fill the part that lies inside the row at once.
                if (y >= 0 && y < height && x < w) {
                    const int64_t end = std::min<int64_t>(x + n, w);
                    std::memset(g.ScanLine(int(y)) + x, code, size_t(end - x));
                }
                x += n;
            } else {
                for (int k = 0; k < n; ++k, ++x)
                    if (x < w) put(x, k % 2 == 0 ? code >> 4 : code & 0x0F);
            }
            pos += 2;
        } else if (code == 0) {
            x = 0;
            --y;
            pos += 2;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (pos >= size - 3) break;
            x += d[size_t(pos + 2)];
            y -= d[size_t(pos + 3)];
            pos += 4;
        } else {
            const int64_t bytes = rle4 ? (code + 1) / 2 : code;
            const int64_t avail = std::min<int64_t>(bytes, size - (pos + 2));
            const uint8_t* lit = d.data() + pos + 2;
            if (!rle4) {
                for (int64_t k = 0; k < avail; ++k, ++x)
                    put(x, lit[k]);
            } else {
                for (int64_t k = 1; k <= code && (k + 1) / 2 <= avail; ++k, ++x) {
                    const uint8_t b = lit[(k + 1) / 2 - 1];
                    put(x, k % 2 == 1 ? b >> 4 : b & 0x0F);
                }
            }
            if (avail < bytes) break; // the literal ran past the data: keep what there was
            pos += bytes + 2;
            if (pos % 2 == 1) ++pos;
        }
        if (tenth > 0 && pos >= nextReport) {
            if (progress.Step(int(std::min<int64_t>(pos / tenth, 10)), 10)) return;
            nextReport = (pos / tenth + 1) * tenth;
        }
    }
}

} // namespace

void DecodeDIB(TPixelGraphic& g, TStream& s, bool core, int64_t pixelOffset) {
    TPGProgressScope progress(g, &g);
    const TDIBHeader h = ReadDIBHeader(s, core);
    const int bits = h.bitCount;
    const int64_t w = h.width;
    const int64_t height = h.topDown ? -int64_t(h.height) : int64_t(h.height);
    if (w < 0) throw EPGInvalidSize(PGMessage(22));

    // Colour table: its entries, and how many bytes of it to skip.
    const int maxColors = bits <= 8 ? (1 << bits) : 0;
    int64_t entries = 0;
    if (bits <= 8)
        entries = (core || h.clrUsed == 0) ? maxColors : int64_t(h.clrUsed);
    else if (!core)
        entries = h.clrUsed;
    const int entrySize = core ? 3 : 4;
    if (entries * entrySize > s.Remaining())
        Invalid(core ? "BitmapCoreHeader.bcBitCount" : "BitmapInfoHeader.biClrUsed");
    const int kept = int(std::min<int64_t>(entries, maxColors));
    std::vector<uint8_t> table(size_t(entries * entrySize));
    s.ReadBuffer(table.data(), int64_t(table.size()));

    // Pixel data: where it starts and how much there must be. Everything is
    // checked against the bytes that exist before the store is allocated.
    const bool rle = !core && (h.compression == BI_RLE8 || h.compression == BI_RLE4);
    const int64_t fileRow = (int64_t(bits) * w + 31) / 32 * 4;
    // Width and height come from the file: their product can pass 2^63, so
    // compare rows against what is left instead of multiplying first.
    const int64_t need =
        rle || height == 0 ? 0
        : fileRow > s.Size() / height ? std::numeric_limits<int64_t>::max()
                                      : fileRow * height;
    if (pixelOffset >= 0 && pixelOffset > s.Position() && pixelOffset <= s.Size() &&
        s.Size() - pixelOffset >= need)
        s.SetPosition(pixelOffset);
    if (need > s.Remaining()) throw EReadError("Stream read error");

    g.SetFormat(int(w), int(height), FormatOfBits(bits));
    if (bits <= 8) {
        g.SetPaletteCount(kept);
        for (int i = 0; i < kept; ++i) {
            const uint8_t* e = table.data() + size_t(i) * entrySize;
            g.SetPaletteEntry(i, RGB(e[2], e[1], e[0]));
        }
    } else {
        g.SetPaletteCount(0);
        g.SetPaletteIdent(pTrueColor);
    }
    if (g.GetEmpty()) return;

    if (rle) {
        int64_t n = s.Remaining();
        if (h.sizeImage > 0 && h.sizeImage < n) n = h.sizeImage;
        std::vector<uint8_t> data(static_cast<size_t>(n));
        s.ReadBuffer(data.data(), n);
        DecodeRLE(g, data, h.compression == BI_RLE4, progress);
    } else if (bits == 16 || bits == 32) {
        DecodeBitFields(g, s, h, progress);
    } else {
        ReadWithProgress(s, g.Bits(), g.ImageSize(), progress);
        if (h.topDown) FlipRows(g);
    }
    g.Changed();
}

void EncodeDIB(TPixelGraphic& g, TStream& s) {
    g.FlushCanvas();
    // A palette picture always carries its full table in the file: a count
    // of 0 would make every reader take pixel bytes for colours.
    const bool palettized = g.PixelFormat() != pg24Bit;
    const int colors = palettized ? (g.PaletteCount() > 0 ? g.PaletteCount() : g.ColorCount()) : 0;
    uint8_t hdr[40] = {};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            hdr[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, uint32_t(g.GetWidth()));
    put32(8, uint32_t(g.GetHeight()));
    hdr[12] = 1;
    hdr[14] = uint8_t(g.BitsPerPixel());
    put32(16, BI_RGB);
    put32(20, uint32_t(g.ImageSize()));
    put32(32, uint32_t(colors));
    s.WriteBuffer(hdr, sizeof hdr);
    std::vector<uint8_t> table(size_t(colors) * 4, 0);
    for (int i = 0; i < colors && i < g.PaletteCount(); ++i) {
        const TRGB c = g.PaletteEntry(i);
        table[size_t(i) * 4] = uint8_t(GetBValue(c));
        table[size_t(i) * 4 + 1] = uint8_t(GetGValue(c));
        table[size_t(i) * 4 + 2] = uint8_t(GetRValue(c));
    }
    s.WriteBuffer(table.data(), int64_t(table.size()));
    if (g.ImageSize() > 0) s.WriteBuffer(g.Bits(), g.ImageSize());
}

void DecodePackedDIB(TPixelGraphic& picture, const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream s(data, int64_t(size));
    const uint32_t headerSize = size >= 4
                                    ? uint32_t(data[0]) | (uint32_t(data[1]) << 8) |
                                          (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24)
                                    : 0;
    DecodeDIB(picture, s, headerSize == 12);
}

std::vector<uint8_t> EncodePackedDIB(TPixelGraphic& picture) {
    TMemoryStream s;
    EncodeDIB(picture, s);
    return std::move(s.Data());
}
