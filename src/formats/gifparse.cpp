#include "formats/gifparse.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/pixelgraphic.h"
#include "formats/gifrows.h"

namespace {

// Reads the bytes of a chain of data sub-blocks (length byte, data) as one
// stream. A zero-length block or the end of the buffer ends the data.
class TSubBlockReader {
  public:
    TSubBlockReader(const uint8_t* data, size_t size, size_t pos) : d_(data), n_(size), pos_(pos) {}
    // Next data byte, or -1 at the end of the data.
    int Next() {
        if (left_ == 0) {
            if (done_ || pos_ >= n_) return End();
            left_ = d_[pos_++];
            if (left_ == 0) return End();
        }
        if (pos_ >= n_) return End();
        --left_;
        return d_[pos_++];
    }
    // Skips what is left of the current block and every block after it,
    // up to and including the terminator; returns the position after it.
    size_t Drain() {
        if (!done_) {
            pos_ = std::min(n_, pos_ + left_);
            left_ = 0;
            while (pos_ < n_) {
                size_t len = d_[pos_++];
                if (len == 0) break;
                pos_ = std::min(n_, pos_ + len);
            }
            done_ = true;
        }
        return pos_;
    }

  private:
    int End() {
        done_ = true;
        return -1;
    }
    const uint8_t* d_;
    size_t n_;
    size_t pos_;
    size_t left_ = 0;
    bool done_ = false;
};

// Skips a chain of sub-blocks starting at `pos`; returns the position after
// the terminator (or the end of the buffer).
size_t SkipSubBlocks(const uint8_t* d, size_t n, size_t pos) {
    return TSubBlockReader(d, n, pos).Drain();
}

struct TImageDesc {
    int Left, Top, Width, Height;
    bool Interlaced;
    int Bits;             // bit count of the table in use
    const uint8_t* Table; // 3 x 2^Bits bytes, or nullptr when there is none
};

// Writes one row of palette indices into row y of the picture in its format.
void StoreRow(TPixelGraphic& pic, int y, const uint8_t* idx, int width) {
    uint8_t* row = pic.ScanLine(y);
    if (!row) return;
    switch (pic.PixelFormat()) {
    case pg1Bit: {
        std::memset(row, 0, size_t((width + 7) / 8));
        for (int x = 0; x < width; ++x)
            if (idx[x]) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        break;
    }
    case pg4Bit: {
        std::memset(row, 0, size_t((width + 1) / 2));
        for (int x = 0; x < width; ++x)
            row[x >> 1] |= uint8_t((x & 1) ? idx[x] : idx[x] << 4);
        break;
    }
    default:
        std::memcpy(row, idx, size_t(width));
        break;
    }
}

// Decodes the LZW data at `pos` (starting with the minimum code size byte)
// into the picture. Returns the position after the image data.
size_t DecodeImage(const uint8_t* d, size_t n, size_t pos, const TImageDesc& im, TPixelGraphic& pic,
                   TObject* sender, TGifParseResult& res) {
    if (pos >= n) return n;
    const int m = d[pos++];
    TSubBlockReader in(d, n, pos);
    // Code sizes above 11 would need codes wider than 12 bits; 0 leaves no
    // room for the clear and end codes. Neither can be decoded.
    if (m < 1 || m > 11) return in.Drain();

    TPGPixelFormat fmt = im.Bits <= 1 ? pg1Bit : im.Bits <= 4 ? pg4Bit : pg8Bit;
    pic.SetFormat(im.Width, im.Height, fmt);
    const int entries = 1 << im.Bits;
    pic.SetPaletteCount(entries);
    for (int i = 0; i < entries; ++i)
        pic.SetPaletteEntry(i, RGB(im.Table[3 * i], im.Table[3 * i + 1], im.Table[3 * i + 2]));
    if (pic.GetEmpty()) return in.Drain();

    const int clear = 1 << m, eoi = clear + 1;
    std::array<uint16_t, 4096> prefix{};
    std::array<uint8_t, 4096> suffix{};
    std::array<uint8_t, 4097> stack{};
    // Literal codes are palette indices; those beyond the table (possible
    // when the code size exceeds the table's bit count) show entry 0.
    for (int i = 0; i < clear && i < 4096; ++i)
        suffix[size_t(i)] = uint8_t(i < entries ? i : 0);

    std::vector<uint8_t> row(size_t(im.Width));
    TGifRowOrder order(im.Height, im.Interlaced);
    int y = order.Next();
    int x = 0, rowsDone = 0;
    int width = m + 1, avail = clear + 2, old = -1;
    uint8_t first = 0;
    uint32_t acc = 0;
    int accBits = 0;
    bool stop = false;

    while (!stop) {
        while (accBits < width) {
            int b = in.Next();
            if (b < 0) {
                stop = true;
                break;
            }
            acc |= uint32_t(b) << accBits;
            accBits += 8;
        }
        if (stop) break;
        int code = int(acc & ((1u << width) - 1));
        acc >>= width;
        accBits -= width;

        if (code == clear) {
            width = m + 1;
            avail = clear + 2;
            old = -1;
            continue;
        }
        if (code == eoi) break;
        int sp = 0;
        if (old < 0) {
            if (code >= clear) break; // a string code before any string exists
            first = suffix[size_t(code)];
            stack[size_t(sp++)] = first;
            old = code;
        } else {
            // A code may name an existing string or the one being defined
            // (avail); anything beyond is corrupt data.
            if (code > avail || (code == avail && avail >= 4096)) break;
            const int in_code = code;
            if (code == avail) {
                stack[size_t(sp++)] = first;
                code = old;
            }
            // prefix[c] < c for every defined string, so this ends.
            while (code >= clear) {
                stack[size_t(sp++)] = suffix[size_t(code)];
                code = prefix[size_t(code)];
            }
            first = suffix[size_t(code)];
            stack[size_t(sp++)] = first;
            if (avail < 4096) {
                prefix[size_t(avail)] = uint16_t(old);
                suffix[size_t(avail)] = first;
                ++avail;
                if (avail >= (1 << width) && width < 12) ++width;
            }
            old = in_code;
        }
        // Output the string (it is on the stack in reverse).
        while (sp > 0) {
            row[size_t(x++)] = stack[size_t(--sp)];
            ++res.PixelsDecoded;
            if (x == im.Width) {
                StoreRow(pic, y, row.data(), im.Width);
                x = 0;
                ++rowsDone;
                if (pic.ProgressStep(sender, rowsDone, im.Height - 1)) {
                    res.Aborted = true;
                    return pos;
                }
                y = order.Next();
                if (y < 0) {
                    stop = true;
                    break;
                }
            }
        }
    }
    // A row that broke off keeps the pixels that arrived.
    if (x > 0 && y >= 0) {
        std::fill(row.begin() + x, row.end(), uint8_t(0));
        StoreRow(pic, y, row.data(), im.Width);
    }
    return in.Drain();
}

} // namespace

TGifParseResult ParseGif(const uint8_t* d, size_t n, int target, TPixelGraphic* picture,
                         TObject* sender) {
    TGifParseResult res;
    if (n < 3 || std::memcmp(d, "GIF", 3) != 0) return res;
    res.IsGif = true;
    res.Version = (n > 4 && d[4] == '7') ? "87a" : "89a";
    if (n < 13) return res;
    res.ScreenWidth = d[6] | (d[7] << 8);
    res.ScreenHeight = d[8] | (d[9] << 8);
    size_t pos = 13;
    const uint8_t* globalTable = nullptr;
    int globalBits = 0;
    if (d[10] & 0x80) {
        globalBits = (d[10] & 7) + 1;
        const size_t len = size_t(3) << globalBits;
        if (n - pos < len) return res;
        globalTable = d + pos;
        pos += len;
    }
    res.Bits = globalBits;

    while (pos < n && !res.Aborted) {
        const size_t start = pos;
        const uint8_t kind = d[pos++];
        if (kind == ';') break;
        if (kind == '!') {
            if (pos >= n) break;
            const uint8_t label = d[pos++];
            if (label == 0xF9) {
                // Graphic control: block size, packed, delay, transparent index.
                if (n - pos >= 5 && d[pos] >= 4 && (d[pos + 1] & 1)) res.AnyTransparent = true;
                pos = SkipSubBlocks(d, n, pos);
            } else if (label == 0xFE) {
                TSubBlockReader r(d, n, pos);
                for (int b; (b = r.Next()) >= 0;)
                    res.Comment += char(b);
                pos = r.Drain();
            } else if (label == 0xFF) {
                if (n - pos >= 12 && d[pos] == 11 &&
                    std::memcmp(d + pos + 1, "NETSCAPE2.0", 11) == 0) {
                    const size_t sub = pos + 12;
                    if (n - sub >= 4 && d[sub] >= 3 && d[sub + 1] == 1)
                        res.LoopCount = d[sub + 2] | (d[sub + 3] << 8);
                }
                pos = SkipSubBlocks(d, n, pos);
            } else if (label == 0x01) {
                pos = SkipSubBlocks(d, n, pos);
            } else {
                break; // an extension this reader does not know: stop here
            }
        } else if (kind == ',') {
            if (n - pos < 9) break;
            TImageDesc im;
            im.Left = d[pos] | (d[pos + 1] << 8);
            im.Top = d[pos + 2] | (d[pos + 3] << 8);
            im.Width = d[pos + 4] | (d[pos + 5] << 8);
            im.Height = d[pos + 6] | (d[pos + 7] << 8);
            const uint8_t packed = d[pos + 8];
            pos += 9;
            im.Interlaced = (packed & 0x40) != 0;
            if (packed & 0x80) {
                im.Bits = (packed & 7) + 1;
                const size_t len = size_t(3) << im.Bits;
                if (n - pos < len) break;
                im.Table = d + pos;
                pos += len;
            } else {
                im.Bits = globalBits;
                im.Table = globalTable;
            }
            const int number = res.ImageCount++;
            if (im.Interlaced) res.AnyInterlaced = true;
            res.Bits = std::max(res.Bits, im.Bits);
            if (picture && number == target) {
                res.TargetFound = true;
                res.TargetWidth = im.Width;
                res.TargetHeight = im.Height;
                // A picture without any colour table cannot be shown.
                if (!im.Table) break;
                DecodeImage(d, n, pos, im, *picture, sender, res);
                break;
            }
            if (number == target) {
                res.TargetFound = true;
                res.TargetWidth = im.Width;
                res.TargetHeight = im.Height;
            }
            // Skip the code size byte, the data, and stray zero bytes after it.
            if (pos >= n) break;
            pos = SkipSubBlocks(d, n, pos + 1);
            while (pos < n && d[pos] == 0)
                ++pos;
        } else {
            break;
        }
        if (pos <= start) break;
    }
    return res;
}
