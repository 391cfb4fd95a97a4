#pragma once
// Shared by the PCX, Targa, PBM/PGM/PPM and TIFF tests: running readers and
// writers on bytes, and asking the installed oracle tools (ImageMagick,
// netpbm, libtiff tools, Pillow) what a file holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"

namespace raster {

using Bytes = std::vector<uint8_t>;

inline void ReadWith(TFileFormatReader& r, const Bytes& data, TPixelGraphic& pic) {
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    r.Read(s, pic, 0);
}

inline Bytes WriteWith(TFileFormatWriter& w, TPixelGraphic& pic) {
    TMemoryStream s;
    w.Write(s, pic);
    return s.Data();
}

// Runs `body` and returns the message of the exception of type E it raises
// ("" when it raises none).
template <class E, class F> std::string MessageOf(F&& body) {
    try {
        body();
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

// The picture's pixels as red, green, blue bytes, top row first.
inline Bytes PictureRGB(const TPixelGraphic& pic) {
    Bytes out;
    out.reserve(size_t(pic.GetWidth()) * pic.GetHeight() * 3);
    for (int y = 0; y < pic.GetHeight(); ++y)
        for (int x = 0; x < pic.GetWidth(); ++x) {
            const TRGB c = pic.GetPixelColor(x, y);
            out.push_back(uint8_t(GetRValue(c)));
            out.push_back(uint8_t(GetGValue(c)));
            out.push_back(uint8_t(GetBValue(c)));
        }
    return out;
}

// A 24-bit picture filled from red, green, blue bytes.
inline void PictureFromRGB(TPixelGraphic& pic, int w, int h, const Bytes& rgb) {
    pic.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = rgb.data() + (size_t(y) * w + x) * 3;
            pic.SetPixel(x, y, RGB(p[0], p[1], p[2]));
        }
}

// A colourful pattern with `colors` distinct colours at most (0 = any).
inline Bytes Pattern(int w, int h, int colors = 0) {
    Bytes rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (colors == 2) {
                const uint8_t v = ((x / 3 + y) % 2) ? 255 : 0;
                rgb.insert(rgb.end(), {v, v, v});
            } else if (colors > 0) {
                const int i = (x * 7 + y * 3) % colors;
                rgb.insert(rgb.end(), {uint8_t(i * 37 % 256), uint8_t(i * 91 % 256), uint8_t(i * 53 % 256)});
            } else {
                rgb.insert(rgb.end(), {uint8_t(x * 255 / std::max(1, w - 1)), uint8_t(y * 255 / std::max(1, h - 1)),
                                       uint8_t((x * y + 17 * x) % 256)});
            }
        }
    return rgb;
}

class TempDir {
public:
    TempDir() {
        char t[] = "/tmp/tav_rasterXXXXXX";
        path_ = mkdtemp(t);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline Bytes Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}
inline void Spit(const std::string& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline int Shell(const std::string& cmd) { return std::system(("( " + cmd + " ) 2>/dev/null").c_str()); }

// The real ImageMagick and the system Python with Pillow, whatever PATH says.
inline const std::string kConvert = "/usr/bin/convert";
inline const std::string kPython = "/usr/bin/python3";

inline bool HaveTool(const std::string& tool) {
    return Shell("command -v " + tool + " >/dev/null") == 0;
}

inline void WriteP6(const std::string& path, int w, int h, const Bytes& rgb) {
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes b(head.begin(), head.end());
    b.insert(b.end(), rgb.begin(), rgb.end());
    Spit(path, b);
}

// What ImageMagick decodes a file to, as red, green, blue bytes.
inline Bytes ConvertRGB(const std::string& path, const std::string& extra = "") {
    const std::string out = path + ".oracle.rgb";
    if (Shell(kConvert + " " + extra + " '" + path + "' -depth 8 rgb:'" + out + "'") != 0) return {};
    return Slurp(out);
}

// What Pillow decodes a file to, as red, green, blue bytes.
inline Bytes PillowRGB(const std::string& path) {
    const std::string out = path + ".pil.rgb";
    const std::string py = "from PIL import Image; import sys; "
                           "open(sys.argv[2],'wb').write(Image.open(sys.argv[1]).convert('RGB').tobytes())";
    if (Shell(kPython + " -c \"" + py + "\" '" + path + "' '" + out + "'") != 0) return {};
    return Slurp(out);
}

// Reads a file with a reader from disk (a real file stream).
inline void ReadFile(TFileFormatReader& r, const std::string& path, TPixelGraphic& pic) {
    TFileStream s(path, TFileStream::OpenRead);
    r.Read(s, pic, 0);
}

inline void WriteFile(TFileFormatWriter& w, TPixelGraphic& pic, const std::string& path) {
    TFileStream s(path, TFileStream::Create);
    w.Write(s, pic);
    s.Close();
}

} // namespace raster
