// A picture's resolution written into a PNG or JPEG file after the writer
// made it: PNG's pHYs chunk (pixels per metre), JPEG's JFIF density (dots
// per inch). The file is rewritten through a safe save, so a failure leaves
// it as it was.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "cli/tavtool_commands.h"
#include "core/stream.h"

namespace {

uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0xFFFFFFFFu) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void PutBE(std::vector<uint8_t>& v, size_t at, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * (bytes - 1 - i)));
}

uint32_t GetBE(const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 |
           v[at + 3];
}

// The PNG with its pHYs chunk (any old one dropped) right after IHDR.
bool PngWithResolution(const std::vector<uint8_t>& in, double dpi, std::vector<uint8_t>& out) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (in.size() < 8 || std::memcmp(in.data(), sig, 8) != 0) return false;
    out.assign(in.begin(), in.begin() + 8);
    size_t at = 8;
    while (at + 12 <= in.size()) {
        const uint32_t len = GetBE(in, at);
        if (len > in.size() - at - 12) return false;
        const size_t end = at + 12 + len;
        const bool phys = std::memcmp(&in[at + 4], "pHYs", 4) == 0;
        if (!phys) out.insert(out.end(), in.begin() + long(at), in.begin() + long(end));
        if (std::memcmp(&in[at + 4], "IHDR", 4) == 0) {
            std::vector<uint8_t> c(21, 0);
            PutBE(c, 0, 9, 4);
            std::memcpy(&c[4], "pHYs", 4);
            const uint32_t ppm = uint32_t(std::lround(dpi / 0.0254));
            PutBE(c, 8, ppm, 4);
            PutBE(c, 12, ppm, 4);
            c[16] = 1; // metres
            PutBE(c, 17, ~Crc32(&c[4], 13), 4);
            out.insert(out.end(), c.begin(), c.end());
        }
        at = end;
    }
    return at == in.size();
}

// The JPEG with its JFIF segment saying `dpi` (one added after SOI when
// there is none).
bool JpegWithResolution(const std::vector<uint8_t>& in, double dpi, std::vector<uint8_t>& out) {
    if (in.size() < 4 || in[0] != 0xFF || in[1] != 0xD8) return false;
    const uint32_t d = uint32_t(std::clamp(std::lround(dpi), 1L, 65535L));
    out = in;
    if (in.size() >= 18 && in[2] == 0xFF && in[3] == 0xE0 && std::memcmp(&in[6], "JFIF", 5) == 0) {
        out[13] = 1; // dots per inch
        PutBE(out, 14, d, 2);
        PutBE(out, 16, d, 2);
        return true;
    }
    std::vector<uint8_t> app0 = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 0, 0, 0, 0, 0};
    PutBE(app0, 12, d, 2);
    PutBE(app0, 14, d, 2);
    out.insert(out.begin() + 2, app0.begin(), app0.end());
    return true;
}

} // namespace

bool WriteFileResolution(const std::string& path, double dpi) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const bool png = ext == ".png";
    const bool jpeg = ext == ".jpg" || ext == "jpeg" || ext == ".jpe" || ext == ".jfif";
    if (!png && !jpeg) return true;
    try {
        const std::vector<uint8_t> in = ReadWholeFile(path);
        std::vector<uint8_t> out;
        if (!(png ? PngWithResolution(in, dpi, out) : JpegWithResolution(in, dpi, out)))
            return false;
        TSafeFileStream f(path);
        f.WriteBuffer(out.data(), int64_t(out.size()));
        f.Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
