#pragma once
// TIFF-structured blocks built in code for the EXIF reader tests: directories
// of fields laid out one after the other (each directory followed by the
// values that do not fit in their entries), in either byte order, optionally
// wrapped in a JPEG's EXIF segment.

#include <cstdint>
#include <string>
#include <vector>

struct TTestField {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> bytes; // the values, already in the block's byte order
};

class TTestBlock {
  public:
    explicit TTestBlock(bool intel) : intel_(intel) {}

    // Value bytes in this block's order.
    std::vector<uint8_t> U16(std::initializer_list<uint16_t> vs) const {
        std::vector<uint8_t> b;
        for (uint16_t v : vs) Put(b, v, 2);
        return b;
    }
    std::vector<uint8_t> U32(std::initializer_list<uint32_t> vs) const {
        std::vector<uint8_t> b;
        for (uint32_t v : vs) Put(b, v, 4);
        return b;
    }
    TTestField Short(uint16_t tag, uint16_t v) const { return {tag, 3, 1, U16({v})}; }
    TTestField Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, U32({v})}; }
    TTestField Rational(uint16_t tag, uint32_t n, uint32_t d, uint16_t type = 5) const {
        return {tag, type, 1, U32({n, d})};
    }
    // Text with its closing zero.
    static TTestField Ascii(uint16_t tag, const std::string& s) {
        std::vector<uint8_t> b(s.begin(), s.end());
        b.push_back(0);
        return {tag, 2, uint32_t(b.size()), b};
    }
    static TTestField Undefined(uint16_t tag, std::vector<uint8_t> b) {
        return {tag, 7, uint32_t(b.size()), b};
    }

    // Lays out the main chain and the Exif chain; a field with tag 34665 in
    // the main chain gets the Exif chain's offset as its value.
    std::vector<uint8_t> Build(const std::vector<std::vector<TTestField>>& mainChain,
                               const std::vector<std::vector<TTestField>>& exifChain = {}) const {
        std::vector<uint8_t> b;
        b.push_back(intel_ ? 'I' : 'M');
        b.push_back(intel_ ? 'I' : 'M');
        Put(b, 42, 2);
        Put(b, 8, 4);
        std::vector<const std::vector<TTestField>*> all;
        for (const auto& d : mainChain) all.push_back(&d);
        for (const auto& d : exifChain) all.push_back(&d);
        std::vector<size_t> exifTagAt, nextAt;
        size_t exifStart = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            const auto& fields = *all[i];
            if (i == mainChain.size()) exifStart = b.size();
            if (i > 0 && i != mainChain.size()) Set(b, nextAt.back(), uint32_t(b.size()), 4);
            const size_t dir = b.size();
            Put(b, uint32_t(fields.size()), 2);
            b.resize(dir + 2 + fields.size() * 12 + 4, 0);
            nextAt.push_back(dir + 2 + fields.size() * 12);
            for (size_t k = 0; k < fields.size(); ++k) {
                const TTestField& f = fields[k];
                const size_t e = dir + 2 + k * 12;
                Set(b, e, f.tag, 2);
                Set(b, e + 2, f.type, 2);
                Set(b, e + 4, f.count, 4);
                if (i < mainChain.size() && f.tag == 34665) exifTagAt.push_back(e + 8);
                if (f.bytes.size() <= 4) {
                    std::copy(f.bytes.begin(), f.bytes.end(), b.begin() + long(e + 8));
                } else {
                    Set(b, e + 8, uint32_t(b.size()), 4);
                    b.insert(b.end(), f.bytes.begin(), f.bytes.end());
                    if (b.size() % 2) b.push_back(0);
                }
            }
        }
        for (size_t at : exifTagAt) Set(b, at, uint32_t(exifStart), 4);
        return b;
    }

    void Set(std::vector<uint8_t>& b, size_t at, uint32_t v, int n) const {
        for (int i = 0; i < n; ++i)
            b[at + size_t(i)] = uint8_t(intel_ ? v >> (8 * i) : v >> (8 * (n - 1 - i)));
    }

  private:
    void Put(std::vector<uint8_t>& b, uint32_t v, int n) const {
        b.resize(b.size() + size_t(n));
        Set(b, b.size() - size_t(n), v, n);
    }
    bool intel_;
};

// The block inside a JPEG's EXIF segment: the TIFF header at file offset 12.
inline std::vector<uint8_t> InJpegSegment(const std::vector<uint8_t>& block) {
    const size_t len = block.size() + 8;
    std::vector<uint8_t> f = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(len >> 8), uint8_t(len), 'E', 'x',
                              'i',  'f',  0,    0};
    f.insert(f.end(), block.begin(), block.end());
    // The end of the picture: the reader never looks this far.
    f.insert(f.end(), {0xFF, 0xD9});
    return f;
}
