#include "formats/gifwrite.h"

#include <array>
#include <cstring>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gifrows.h"

thread_local int GIFErrorCode = gifOK;

namespace {

const char kCredit[] = "Written by Tavirlo's GIF encoder";

// Colour table in order of first appearance, with an exact lookup. The
// result is the one a linear search over the entries gives; the hash only
// makes it fast.
class TColorTable {
  public:
    TColorTable() { slots_.fill(-1); }
    // Index of the colour (COLORREF), appending it when new; -1 when the
    // table is full.
    int IndexOf(TRGB c) {
        uint32_t h = (uint32_t(c) * 2654435761u) >> 22; // 10 bits
        for (;;) {
            const int s = slots_[h];
            if (s < 0) break;
            if (colors_[size_t(s)] == c) return s;
            h = (h + 1) & 1023;
        }
        if (count_ == 256) return -1;
        colors_[size_t(count_)] = c;
        slots_[h] = int16_t(count_);
        return count_++;
    }
    int Count() const { return count_; }
    TRGB Color(int i) const { return colors_[size_t(i)]; }

  private:
    std::array<int16_t, 1024> slots_;
    std::array<TRGB, 256> colors_{};
    int count_ = 0;
};

// Maps one picture row to table indices. Palette pictures look each palette
// index up once.
class TRowMapper {
  public:
    TRowMapper(const TPixelGraphic& pic, TColorTable& table) : pic_(pic), table_(table) {
        palIndex_.fill(-1);
    }
    // False when the table overflowed.
    bool Map(int y, uint8_t* out) {
        const uint8_t* row = pic_.ScanLine(y);
        const int w = pic_.GetWidth();
        switch (pic_.PixelFormat()) {
        case pg24Bit: {
            TRGB last = -1;
            int lastIndex = 0;
            for (int x = 0; x < w; ++x, row += 3) {
                const TRGB c = RGB(row[2], row[1], row[0]);
                if (c != last) {
                    lastIndex = table_.IndexOf(c);
                    if (lastIndex < 0) return false;
                    last = c;
                }
                out[x] = uint8_t(lastIndex);
            }
            return true;
        }
        case pg8Bit:
            for (int x = 0; x < w; ++x)
                if (!Put(row[x], out[x])) return false;
            return true;
        case pg4Bit:
            for (int x = 0; x < w; ++x)
                if (!Put((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4, out[x])) return false;
            return true;
        default:
            for (int x = 0; x < w; ++x)
                if (!Put((row[x >> 3] >> (7 - (x & 7))) & 1, out[x])) return false;
            return true;
        }
    }

  private:
    bool Put(int paletteIndex, uint8_t& out) {
        int& t = palIndex_[size_t(paletteIndex)];
        if (t < 0) {
            // Indices beyond the palette show as black, as GetPixelColor would not.
            const TRGB c = paletteIndex < pic_.PaletteCount() ? pic_.PaletteEntry(paletteIndex) : 0;
            t = table_.IndexOf(c & 0xFFFFFF);
            if (t < 0) return false;
        }
        out = uint8_t(t);
        return true;
    }
    const TPixelGraphic& pic_;
    TColorTable& table_;
    std::array<int, 256> palIndex_;
};

// Variable-length LZW codes, least significant bit first, packed into
// sub-blocks of up to 255 bytes.
class TLzwEncoder {
  public:
    TLzwEncoder(std::vector<uint8_t>& out, int minCodeSize)
        : out_(out), m_(minCodeSize), clear_(1 << minCodeSize), eoi_(clear_ + 1) {
        out_.push_back(uint8_t(m_));
        ResetTable();
        size_ = m_ + 1;
        maxCode_ = (1 << size_) - 1;
        Emit(clear_);
    }

    void Add(uint8_t c) {
        if (prefix_ < 0) {
            prefix_ = c;
            return;
        }
        const int32_t key = (int32_t(c) << 12) + prefix_;
        int h = (c << 4) ^ prefix_;
        if (keys_[size_t(h)] == key) {
            prefix_ = codes_[size_t(h)];
            return;
        }
        if (keys_[size_t(h)] >= 0) {
            const int step = h == 0 ? 1 : kHashSize - h;
            for (;;) {
                h -= step;
                if (h < 0) h += kHashSize;
                if (keys_[size_t(h)] == key) {
                    prefix_ = codes_[size_t(h)];
                    return;
                }
                if (keys_[size_t(h)] < 0) break;
            }
        }
        Emit(prefix_);
        prefix_ = c;
        if (nextCode_ < 4096) {
            codes_[size_t(h)] = int16_t(nextCode_++);
            keys_[size_t(h)] = key;
        } else {
            ResetTable();
            Emit(clear_);
        }
    }

    void Finish() {
        if (prefix_ >= 0) Emit(prefix_);
        Emit(eoi_);
        if (bits_ > 0) PutByte(uint8_t(acc_));
        FlushBlock();
        out_.push_back(0);
    }

  private:
    static constexpr int kHashSize = 5119;

    void ResetTable() {
        keys_.fill(-1);
        nextCode_ = clear_ + 2;
    }

    void Emit(int code) {
        acc_ |= uint32_t(code) << bits_;
        bits_ += size_;
        while (bits_ >= 8) {
            PutByte(uint8_t(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
        // Grow the code size once the next code needs it; a clear code
        // starts over at m + 1 bits. The size never passes 12 bits.
        if (code == clear_) {
            size_ = m_ + 1;
            maxCode_ = (1 << size_) - 1;
        } else if (nextCode_ > maxCode_) {
            ++size_;
            maxCode_ = size_ == 12 ? 4096 : (1 << size_) - 1;
        }
    }

    void PutByte(uint8_t b) {
        block_[size_t(blockLen_++)] = b;
        if (blockLen_ == 255) FlushBlock();
    }
    void FlushBlock() {
        if (blockLen_ == 0) return;
        out_.push_back(uint8_t(blockLen_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + blockLen_);
        blockLen_ = 0;
    }

    std::vector<uint8_t>& out_;
    const int m_, clear_, eoi_;
    std::array<int32_t, kHashSize> keys_;
    std::array<int16_t, kHashSize> codes_{};
    int nextCode_ = 0;
    int size_ = 0;
    int maxCode_ = 0;
    int prefix_ = -1;
    uint32_t acc_ = 0;
    int bits_ = 0;
    std::array<uint8_t, 255> block_{};
    int blockLen_ = 0;
};

void Put16(std::vector<uint8_t>& o, int v) {
    o.push_back(uint8_t(v));
    o.push_back(uint8_t(v >> 8));
}

int BitsFor(int n) {
    int bits = 1;
    while ((1 << bits) < n)
        ++bits;
    return bits;
}

} // namespace

bool EncodeGIF(const TPixelGraphic& picture, bool interlaced, TRGB transparentColor,
               bool transparent, std::vector<uint8_t>& out) {
    const int w = picture.GetWidth(), h = picture.GetHeight();
    out.clear();
    if (picture.GetEmpty() || w <= 0 || h <= 0 || w > 65535 || h > 65535) {
        GIFErrorCode = gifInvalidSize;
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(w));

    // Colour mapping: the table in order of first appearance in the order
    // the rows are stored.
    GIFErrorCode = gifMappingInterrupted;
    TColorTable table;
    {
        TRowMapper mapper(picture, table);
        TGifRowOrder order(h, interlaced);
        for (int y; (y = order.Next()) >= 0;)
            if (!mapper.Map(y, row.data())) {
                GIFErrorCode = gifTooManyColors;
                return false;
            }
    }
    int transparentIndex = -1;
    if (transparent)
        for (int i = 0; i < table.Count() && transparentIndex < 0; ++i)
            if (table.Color(i) == (transparentColor & 0xFFFFFF)) transparentIndex = i;
    GIFErrorCode = gifOK;

    // Encoding.
    GIFErrorCode = gifEncodingInterrupted;
    const int bits = BitsFor(table.Count());
    out.reserve(size_t(std::min<int64_t>(int64_t(w) * h / 2 + 1024, int64_t(1) << 28)));
    const char sig[] = "GIF89a";
    out.insert(out.end(), sig, sig + 6);
    Put16(out, w);
    Put16(out, h);
    out.push_back(uint8_t(0x80 | (bits - 1)));
    out.push_back(0);
    out.push_back(0);
    for (int i = 0; i < (1 << bits); ++i) {
        const TRGB c = i < table.Count() ? table.Color(i) : 0;
        out.push_back(uint8_t(GetRValue(c)));
        out.push_back(uint8_t(GetGValue(c)));
        out.push_back(uint8_t(GetBValue(c)));
    }
    const uint8_t gce[] = {0x21,
                           0xF9,
                           4,
                           uint8_t(transparentIndex >= 0 ? 1 : 0),
                           0,
                           0,
                           uint8_t(transparentIndex >= 0 ? transparentIndex : 0),
                           0};
    out.insert(out.end(), gce, gce + sizeof gce);
    out.push_back(0x2C);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, w);
    Put16(out, h);
    out.push_back(interlaced ? 0x40 : 0);
    {
        // The table is complete, so mapping again cannot fail.
        TRowMapper mapper(picture, table);
        TLzwEncoder lzw(out, std::max(bits, 2));
        TGifRowOrder order(h, interlaced);
        for (int y; (y = order.Next()) >= 0;) {
            mapper.Map(y, row.data());
            for (int x = 0; x < w; ++x)
                lzw.Add(row[size_t(x)]);
        }
        lzw.Finish();
    }
    out.push_back(0x21);
    out.push_back(0xFE);
    const size_t creditLen = sizeof kCredit - 1;
    for (size_t p = 0; p < creditLen; p += 255) {
        const size_t len = std::min<size_t>(255, creditLen - p);
        out.push_back(uint8_t(len));
        out.insert(out.end(), kCredit + p, kCredit + p + len);
    }
    out.push_back(0);
    out.push_back(0x3B);
    GIFErrorCode = gifOK;
    return true;
}

bool WriteGIFFile(const std::string& fileName, const TPixelGraphic& picture, bool interlaced,
                  TRGB transparentColor, bool transparent) {
    std::vector<uint8_t> data;
    if (!EncodeGIF(picture, interlaced, transparentColor, transparent, data)) return false;
    TSafeFileStream f(fileName);
    f.WriteBuffer(data.data(), int64_t(data.size()));
    f.Commit();
    return true;
}
