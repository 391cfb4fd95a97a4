#pragma once
// Small files of every format the image library reads, made in memory: with
// the library's own writers where it has one, byte by byte where it has none
// (PCX, icons). Plain C++, no Qt: the ThreadSanitizer build has none.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gifwrite.h"
#include "formats/jpeg.h"
#include "formats/tiff.h"

namespace threads {

struct TSample {
    std::string name;          // file name; its extension is the format's
    std::vector<uint8_t> data; // the file's bytes
};

inline TRGB SampleColor(int x, int y) {
    return RGB((x * 7 + y) & 0xFF, (y * 5) & 0xFF, ((x ^ y) * 3) & 0xFF);
}

inline std::unique_ptr<TPixelGraphic> SamplePicture(int w, int h, TPGPixelFormat f) {
    auto p = std::make_unique<TPixelGraphic>();
    p->SetFormat(w, h, f);
    if (f != pg24Bit) {
        const int n = 1 << PixelFormatBits(f);
        p->SetPaletteCount(n);
        for (int i = 0; i < n; ++i)
            p->SetPaletteEntry(i, RGB(i * 255 / (n - 1), (i * 37) & 0xFF, 255 - i * 255 / (n - 1)));
    }
    const int n = f == pg24Bit ? 0 : 1 << PixelFormatBits(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (f == pg24Bit)
                p->SetPixelColor(x, y, SampleColor(x, y));
            else
                p->SetPixel(x, y, (x / 3 + y / 2) % n);
    p->SetSaveColorResWarningAction(pgwaIgnore);
    return p;
}

inline std::vector<uint8_t> Saved(TPixelGraphic& p, const std::string& ext) {
    TMemoryStream m;
    p.SaveToStreamExt(m, ext);
    return m.Data();
}

inline void Put(std::vector<uint8_t>& b, uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// A 24-bit, three-plane, run-length PCX.
inline std::vector<uint8_t> PcxBytes(int w, int h) {
    std::vector<uint8_t> b = {10, 5, 1, 8};
    const int bpl = (w + 1) & ~1;
    Put(b, 0, 2), Put(b, 0, 2), Put(b, w - 1, 2), Put(b, h - 1, 2), Put(b, 72, 2), Put(b, 72, 2);
    b.insert(b.end(), 48, 0);
    b.push_back(0), b.push_back(3);
    Put(b, bpl, 2), Put(b, 1, 2);
    b.insert(b.end(), 128 - b.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int plane = 0; plane < 3; ++plane)
            for (int x = 0; x < bpl; ++x) {
                const TRGB c = x < w ? SampleColor(x, y) : 0;
                const uint8_t v = plane == 0   ? GetRValue(c)
                                  : plane == 1 ? GetGValue(c)
                                               : GetBValue(c);
                if (v >= 0xC0) b.push_back(0xC1);
                b.push_back(v);
            }
    return b;
}

// An 8-bit 32 x 32 icon, nothing masked.
inline std::vector<uint8_t> IcoBytes() {
    const int w = 32, h = 32, andRow = 4;
    std::vector<uint8_t> b;
    const uint32_t size = 40 + 1024 + uint32_t(w + andRow) * h;
    Put(b, 0, 2), Put(b, 1, 2), Put(b, 1, 2);
    b.push_back(w), b.push_back(h), b.push_back(0), b.push_back(0);
    Put(b, 1, 2), Put(b, 8, 2), Put(b, size, 4), Put(b, 22, 4);
    Put(b, 40, 4), Put(b, w, 4), Put(b, 2 * h, 4), Put(b, 1, 2), Put(b, 8, 2);
    b.insert(b.end(), 24, 0);
    for (int i = 0; i < 256; ++i)
        b.push_back(uint8_t(i)), b.push_back(uint8_t(255 - i)), b.push_back(uint8_t(i * 3)),
            b.push_back(0);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x)
            b.push_back(uint8_t(x * 8 + row));
    b.insert(b.end(), size_t(andRow) * h, 0);
    return b;
}

// One file or more of every format; writer options at their defaults
// except where a sample asks for another variant.
inline std::vector<TSample> MakeSamples(int w, int h) {
    std::vector<TSample> s;
    auto rgb = SamplePicture(w, h, pg24Bit);
    auto pal8 = SamplePicture(w, h, pg8Bit);
    auto pal4 = SamplePicture(w, h, pg4Bit);
    auto pal1 = SamplePicture(w, h, pg1Bit);
    s.push_back({"rgb.bmp", Saved(*rgb, "bmp")});
    s.push_back({"pal4.bmp", Saved(*pal4, "bmp")});
    s.push_back({"pal1.dib", Saved(*pal1, "dib")});
    s.push_back({"rgb.jpg", Saved(*rgb, "jpg")});
    JPEGProgressive = true;
    s.push_back({"progressive.jpg", Saved(*rgb, "jpg")});
    JPEGProgressive = false;
    s.push_back({"rgb.png", Saved(*rgb, "png")});
    s.push_back({"pal8.png", Saved(*pal8, "png")});
    s.push_back({"rgb.tif", Saved(*rgb, "tif")});
    TIFFCompression = 32773;
    TIFFMotorolaOrder = true;
    s.push_back({"packbits.tif", Saved(*pal8, "tif")});
    TIFFCompression = 1;
    TIFFMotorolaOrder = false;
    s.push_back({"rgb.tga", Saved(*rgb, "tga")});
    s.push_back({"pal1.pbm", Saved(*pal1, "pbm")});
    s.push_back({"grey.pgm", Saved(*pal8, "pgm")});
    s.push_back({"rgb.ppm", Saved(*rgb, "ppm")});
    std::vector<uint8_t> gif;
    if (EncodeGIF(*pal8, true, 0, false, gif)) s.push_back({"interlaced.gif", gif});
    s.push_back({"rgb.pcx", PcxBytes(w, h)});
    s.push_back({"icon.ico", IcoBytes()});
    return s;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// Everything a load gives: size, format, palette and every pixel row.
inline std::string Fingerprint(const TPixelGraphic& p) {
    std::string f = std::to_string(p.GetWidth()) + "x" + std::to_string(p.GetHeight()) + "/" +
                    std::to_string(p.BitsPerPixel()) + "/";
    for (TRGB c : p.Palette())
        f += std::to_string(c) + ",";
    for (int y = 0; y < p.GetHeight(); ++y) {
        const uint8_t* row = p.ScanLine(y);
        f.append(reinterpret_cast<const char*>(row), size_t(p.RowBytes()));
    }
    return f;
}

struct TTempDir {
    std::filesystem::path path;
    TTempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "tavthreadsXXXXXX").string();
        path = mkdtemp(t.data());
    }
    ~TTempDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

} // namespace threads
