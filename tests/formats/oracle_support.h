#pragma once
// Helpers for format tests that check our readers and writers against the
// command-line tools installed as oracles: a temporary folder, running a
// tool, and reading the netpbm files the tools write.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/pixelgraphic.h"

namespace oracle {

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "tavoracleXXXXXX").string();
        path = mkdtemp(t.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// Runs a shell command line (our own fixed strings and temporary paths);
// true when it exits with 0.
inline bool Shell(const std::string& cmd) {
    return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) == 0;
}

// Debian's interpreter, the one that has python3-pil (a user's own Python
// earlier on PATH may not).
inline const char* kPython = "/usr/bin/python3";

inline std::string Q(const std::string& s) {
    return "'" + s + "'";
}

inline std::vector<uint8_t> Bytes(const std::string& file) {
    std::ifstream f(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}
inline void WriteBytes(const std::string& file, const std::vector<uint8_t>& b) {
    std::ofstream f(file, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// A netpbm picture (P5, P6 or P7 with 1..4 channels), samples scaled to 0..255.
struct Pnm {
    int width = 0, height = 0, channels = 0, maxval = 0;
    std::vector<int> raw; // samples as stored, row-major
    int Sample8(int x, int y, int ch) const {
        const int v = raw[(size_t(y) * width + x) * channels + ch];
        return maxval == 255 ? v : int((v * 255.0 / maxval) + 0.5);
    }
    // Colour of a pixel as COLORREF (grey channels repeated).
    TRGB Color(int x, int y) const {
        if (channels < 3) {
            const int g = Sample8(x, y, 0);
            return RGB(g, g, g);
        }
        return RGB(Sample8(x, y, 0), Sample8(x, y, 1), Sample8(x, y, 2));
    }
};

inline Pnm ReadPnm(const std::string& file) {
    std::vector<uint8_t> b = Bytes(file);
    Pnm p;
    size_t i = 0;
    auto token = [&]() {
        std::string t;
        while (i < b.size()) {
            if (b[i] == '#') {
                while (i < b.size() && b[i] != '\n')
                    ++i;
            } else if (isspace(b[i])) {
                if (!t.empty()) break;
                ++i;
            } else {
                t += char(b[i++]);
            }
        }
        return t;
    };
    const std::string magic = token();
    if (magic == "P7") {
        for (std::string t = token(); t != "ENDHDR" && !t.empty(); t = token()) {
            if (t == "WIDTH")
                p.width = std::stoi(token());
            else if (t == "HEIGHT")
                p.height = std::stoi(token());
            else if (t == "DEPTH")
                p.channels = std::stoi(token());
            else if (t == "MAXVAL")
                p.maxval = std::stoi(token());
            else if (t == "TUPLTYPE")
                token();
        }
    } else if (magic == "P4") {
        // Bitmap: rows of packed bits, 1 = black.
        p.channels = 1;
        p.maxval = 1;
        p.width = std::stoi(token());
        p.height = std::stoi(token());
        ++i;
        const size_t rowBytes = (size_t(p.width) + 7) / 8;
        p.raw.resize(size_t(p.width) * p.height);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const size_t at = i + y * rowBytes + x / 8;
                p.raw[size_t(y) * p.width + x] =
                    at < b.size() && (b[at] >> (7 - x % 8) & 1) ? 0 : 1;
            }
        return p;
    } else {
        p.channels = magic == "P6" ? 3 : 1;
        p.width = std::stoi(token());
        p.height = std::stoi(token());
        p.maxval = std::stoi(token());
    }
    ++i; // the single white-space byte after the header
    const size_t n = size_t(p.width) * p.height * p.channels;
    const int bytes = p.maxval > 255 ? 2 : 1;
    if (b.size() < i + n * bytes) ADD_FAILURE() << "short netpbm file " << file;
    p.raw.resize(n);
    for (size_t k = 0; k < n && i + bytes <= b.size(); ++k, i += bytes)
        p.raw[k] = bytes == 2 ? (b[i] << 8 | b[i + 1]) : b[i];
    return p;
}

// Largest channel difference between our picture and an oracle's picture.
inline int MaxDifference(const TPixelGraphic& g, const Pnm& p) {
    if (g.GetWidth() != p.width || g.GetHeight() != p.height) return 1000;
    int worst = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const TRGB a = g.GetPixelColor(x, y), b = p.Color(x, y);
            worst = std::max({worst, std::abs(GetRValue(a) - GetRValue(b)),
                              std::abs(GetGValue(a) - GetGValue(b)),
                              std::abs(GetBValue(a) - GetBValue(b))});
        }
    return worst;
}

// Fills a picture from a netpbm file (grey -> 8-bit pGray256, colour -> 24 bits).
inline void FromPnm(TPixelGraphic& g, const Pnm& p) {
    g.SetFormat(p.width, p.height, p.channels < 3 ? pg8Bit : pg24Bit);
    if (p.channels < 3) g.SetPaletteIdent(pGray256);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < p.width; ++x) {
            if (p.channels < 3) {
                row[x] = uint8_t(p.Sample8(x, y, 0));
            } else {
                row[3 * x] = uint8_t(p.Sample8(x, y, 2));
                row[3 * x + 1] = uint8_t(p.Sample8(x, y, 1));
                row[3 * x + 2] = uint8_t(p.Sample8(x, y, 0));
            }
        }
    }
}

} // namespace oracle
