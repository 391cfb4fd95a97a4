#include "formats/pxm.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "formats/inbuffer.h"
#include "formats/register.h"

std::atomic<bool> PxMWriteBinary{false};

namespace {

const std::string kPrefix = "PBM, PGM, PPM: ";

[[noreturn]] void Fail(int no, const std::string& s1 = {}) {
    throw EPGPxMFileFormatReader(kPrefix + PGMessage(no, s1));
}

using TIn = TInputBuffer<EPGPxMFileFormatReader>;

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Skips separators and comments up to the next digit (end of data raises).
inline int SkipToDigit(TIn& in) {
    for (;;) {
        const uint8_t c = in.Get();
        if (IsDigit(c)) return c;
        if (c == '#')
            while (in.Get() != '\n') {
            }
    }
}

// Reads a decimal number; the character after it is consumed (a "#" there
// starts a comment that is skipped to the end of its line). The end of the
// data also ends a number. Values beyond INT_MAX set `overflow` and read as
// INT_MAX.
int ReadNumber(TIn& in, bool& overflow) {
    int64_t v = SkipToDigit(in) - '0';
    for (;;) {
        const int c = in.Peek();
        if (c < 0) break;
        in.Skip();
        if (!IsDigit(c)) {
            if (c == '#')
                while (in.Get() != '\n') {
                }
            break;
        }
        v = v * 10 + (c - '0');
        if (v > INT_MAX) {
            overflow = true;
            v = INT_MAX;
        }
    }
    return int(v);
}

// Value scaled from 0..max to 0..255; values above max count as max.
inline uint8_t Scale(int v, int max) { return uint8_t(int64_t(std::min(v, max)) * 255 / max); }

struct PxMHeader {
    char magic;
    int width, height, max;
};

PxMHeader ReadHeader(TIn& in, bool checkMagic) {
    PxMHeader h{};
    if (in.Get() != 'P') Fail(34, "PBM, PGM, PPM");
    h.magic = char(in.Get());
    if (checkMagic && (h.magic < '1' || h.magic > '6')) Fail(33);
    return h;
}

} // namespace

bool TPxMFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    return size >= 2 && header[0] == 'P' && (header[1] == ascii_ || header[1] == binary_);
}

void TPxMFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) throw EPGPxMFileFormatReader("PxM: " + PGMessage(7, "Index"));
    picture.SetGamma(DisplayGamma);
    TIn in(stream, kPrefix + PGMessage(32));
    PxMHeader h = ReadHeader(in, true);
    const int kind = h.magic - '0';
    const TPGPixelFormat format = kind == 1 || kind == 4 ? pg1Bit : kind == 2 || kind == 5 ? pg8Bit : pg24Bit;
    picture.SetFormat(0, 0, format);
    if (format == pg1Bit) picture.SetPaletteIdent(pBlackWhite);
    if (format == pg8Bit) picture.SetPaletteIdent(pGray256);
    bool overflow = false;
    h.width = ReadNumber(in, overflow);
    h.height = ReadNumber(in, overflow);
    h.max = kind == 1 || kind == 4 ? 1 : ReadNumber(in, overflow);
    const bool binary = kind >= 4;
    // A maximum of 0 would divide by zero; numbers beyond 31 bits are no
    // real picture.
    if (overflow || h.width == 0 || h.height == 0 || h.max == 0 || (binary && h.max >= 256))
        Fail(30);

    // Every pixel takes at least one character (ASCII) or its bytes (binary):
    // a file with less data cannot hold the picture, so nothing is allocated.
    const int64_t samples = int64_t(h.width) * h.height * (format == pg24Bit ? 3 : 1);
    const int64_t rowBytes = kind == 4 ? (int64_t(h.width) + 7) / 8 : int64_t(h.width) * (kind == 6 ? 3 : 1);
    const int64_t available = stream.Size() - in.Position();
    if (binary ? available < rowBytes * h.height : available < (kind == 1 ? samples : samples)) Fail(32);

    picture.SetFormat(h.width, h.height, format);
    if (format == pg1Bit) picture.SetPaletteIdent(pBlackWhite);
    if (format == pg8Bit) picture.SetPaletteIdent(pGray256);

    TPGProgressScope progress(picture, this);
    std::vector<uint8_t> raw(static_cast<size_t>(rowBytes));
    const int width = h.width, max = h.max;
    for (int y = 0; y < h.height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        switch (kind) {
        case 1:
            // Plain PBM pixels are single digits: "0101" is four pixels.
            std::memset(row, 0, size_t(picture.RowBytes()));
            for (int x = 0; x < width; ++x)
                if (SkipToDigit(in) == '0') row[x / 8] |= uint8_t(0x80 >> (x % 8));
            break;
        case 2:
            for (int x = 0; x < width; ++x) row[x] = Scale(ReadNumber(in, overflow), max);
            break;
        case 3:
            for (int x = 0; x < width; ++x) {
                row[3 * x + 2] = Scale(ReadNumber(in, overflow), max);
                row[3 * x + 1] = Scale(ReadNumber(in, overflow), max);
                row[3 * x] = Scale(ReadNumber(in, overflow), max);
            }
            break;
        case 4:
            in.Take(row, rowBytes);
            for (int64_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(~row[i]);
            break;
        case 5:
            in.Take(row, rowBytes);
            if (max != 255)
                for (int x = 0; x < width; ++x) row[x] = Scale(row[x], max);
            break;
        default:
            in.Take(raw.data(), rowBytes);
            for (int x = 0; x < width; ++x) {
                const uint8_t* s = raw.data() + 3 * x;
                uint8_t* d = row + 3 * x;
                if (max == 255) {
                    d[0] = s[2];
                    d[1] = s[1];
                    d[2] = s[0];
                } else {
                    d[0] = Scale(s[2], max);
                    d[1] = Scale(s[1], max);
                    d[2] = Scale(s[0], max);
                }
            }
            break;
        }
        if (progress.Step(y, h.height)) break;
    }
}

void TPxMFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) Fail(20, "Index");
    TIn in(stream, kPrefix + PGMessage(32));
    const PxMHeader h = ReadHeader(in, false);
    info = TPGImageInfo{};
    switch (h.magic) {
    case '1':
    case '4':
        info.BitsPerPixel = 1;
        break;
    case '2':
    case '5':
        info.BitsPerPixel = 8;
        break;
    case '3':
    case '6':
        info.BitsPerPixel = 24;
        break;
    default:
        Fail(33);
    }
    info.SubType = h.magic <= '3' ? "ASCII" : "Binary";
    bool overflow = false;
    info.Width = ReadNumber(in, overflow);
    info.Height = ReadNumber(in, overflow);
    info.Colors = info.BitsPerPixel == 24 ? "16.7M" : std::to_string(1 << info.BitsPerPixel);
}

// ---- writer

namespace {

// Output collected in a buffer and handed to the stream in large blocks.
class TOutBuffer {
public:
    explicit TOutBuffer(TStream& s) : s_(s) { buf_.reserve(kSize + 64); }
    void Put(char c) {
        buf_.push_back(c);
        if (buf_.size() >= kSize) Flush();
    }
    void Put(const std::string& t) {
        buf_ += t;
        if (buf_.size() >= kSize) Flush();
    }
    void PutBytes(const uint8_t* p, size_t n) {
        buf_.append(reinterpret_cast<const char*>(p), n);
        if (buf_.size() >= kSize) Flush();
    }
    void PutNumber(int v) {
        char t[12];
        int n = 0;
        do {
            t[n++] = char('0' + v % 10);
            v /= 10;
        } while (v > 0);
        while (n > 0) buf_.push_back(t[--n]);
        if (buf_.size() >= kSize) Flush();
    }
    // A byte value in decimal followed by `sep`, through a table: ASCII
    // files hold three or four characters per value and this is their hot loop.
    void PutByte(uint8_t v, char sep) {
        static const auto table = [] {
            std::array<std::array<char, 4>, 256> t{};
            for (int i = 0; i < 256; ++i) {
                const std::string d = std::to_string(i);
                t[size_t(i)][0] = char(d.size());
                std::memcpy(&t[size_t(i)][1], d.data(), d.size());
            }
            return t;
        }();
        const auto& e = table[v];
        buf_.append(&e[1], size_t(e[0]));
        buf_.push_back(sep);
        if (buf_.size() >= kSize) Flush();
    }
    void Flush() {
        s_.WriteBuffer(buf_.data(), int64_t(buf_.size()));
        buf_.clear();
    }

private:
    static constexpr size_t kSize = 1 << 16;
    TStream& s_;
    std::string buf_;
};

[[noreturn]] void FailWrite(const std::string& prefix, int no, const std::string& s1 = {}) {
    throw EPGPxMFileFormatWriter(prefix + PGMessage(no, s1));
}

} // namespace

void TPXMFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    const std::string& ext = Extension;
    if (ext != "pbm" && ext != "pgm" && ext != "ppm") FailWrite(kPrefix, 19, ext);
    const int width = picture.GetWidth(), height = picture.GetHeight();
    if (width < 1 || height < 1) FailWrite(kPrefix, 35);
    const TPGPixelFormat f = picture.PixelFormat();
    const TPaletteIdent id = picture.PaletteIdent();
    if (ext == "pbm" && f != pg1Bit && id != pBlackWhite) FailWrite("PBM: ", 36);
    if (ext == "pgm" && f != pg8Bit && id != pGray256) FailWrite("PGM: ", 36);
    if (ext == "ppm" && f != pg24Bit) FailWrite("PPM: ", 36);

    const bool binary = PxMWriteBinary;
    const int digit = (ext == "pbm" ? 1 : ext == "pgm" ? 2 : 3) + (binary ? 3 : 0);
    TOutBuffer out(stream);
    out.Put('P');
    out.PutNumber(digit);
    out.Put('\n');
    out.PutNumber(width);
    out.Put(' ');
    out.PutNumber(height);
    out.Put('\n');
    if (ext != "pbm") out.Put("255\n");

    TPGProgressScope progress(picture, &picture);
    std::vector<uint8_t> bytes(size_t(width) * 3 + 8);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.ScanLine(y);
        if (ext == "pbm") {
            if (binary) {
                const int n = (width + 7) / 8;
                if (f == pg1Bit) {
                    for (int i = 0; i < n; ++i) bytes[size_t(i)] = uint8_t(~row[i]);
                } else {
                    std::fill(bytes.begin(), bytes.begin() + n, 0);
                    for (int x = 0; x < width; ++x)
                        if (picture.GetPixel(x, y) == 0) bytes[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
                }
                out.PutBytes(bytes.data(), size_t(n));
            } else {
                for (int x = 0; x < width; ++x) {
                    const int v = f == pg1Bit ? (row[x / 8] >> (7 - x % 8)) & 1 : picture.GetPixel(x, y);
                    out.Put(v != 0 ? '0' : '1');
                    out.Put(x + 1 < width ? ' ' : '\n');
                }
            }
        } else if (ext == "pgm") {
            if (binary) {
                if (f == pg8Bit)
                    out.PutBytes(row, size_t(width));
                else
                    for (int x = 0; x < width; ++x) out.Put(char(picture.GetPixel(x, y)));
            } else {
                for (int x = 0; x < width; ++x)
                    out.PutByte(uint8_t(f == pg8Bit ? row[x] : picture.GetPixel(x, y)),
                                x + 1 < width ? ' ' : '\n');
            }
        } else {
            if (binary) {
                for (int x = 0; x < width; ++x) {
                    bytes[size_t(3 * x)] = row[3 * x + 2];
                    bytes[size_t(3 * x + 1)] = row[3 * x + 1];
                    bytes[size_t(3 * x + 2)] = row[3 * x];
                }
                out.PutBytes(bytes.data(), size_t(width) * 3);
            } else {
                for (int x = 0; x < width; ++x) {
                    out.PutByte(row[3 * x + 2], ' ');
                    out.PutByte(row[3 * x + 1], ' ');
                    out.PutByte(row[3 * x], x + 1 < width ? ' ' : '\n');
                }
            }
        }
        progress.Step(y, height);
    }
    out.Flush();
}

void RegisterPxMFormats() {
    RegisterFileFormatReader(std::make_unique<TPBMFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TPGMFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TPPMFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TPBMFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TPGMFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TPPMFileFormatWriter>());
}
