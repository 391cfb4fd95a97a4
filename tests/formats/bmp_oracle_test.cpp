// BMP files against independent implementations: files made by ImageMagick,
// netpbm and Pillow decode to their pixels with our reader, and the files we
// write decode to our pixels with theirs. A case whose tool is missing is
// skipped, not passed.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}
bool HavePillow() {
    return std::system("python3 -c 'import PIL' >/dev/null 2>&1") == 0;
}

bool Sh(const std::string& cmd) {
    const int st = std::system(("set -e; { " + cmd + "; } 2>/dev/null").c_str());
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// An RGB raster: width, height, and red, green, blue bytes per pixel, top row first.
struct TRaster {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

// Reads binary P4/P5/P6 with maxval 255 (what the oracles are asked for).
TRaster ReadPnm(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string magic;
    in >> magic;
    auto num = [&] {
        int v = 0;
        char c;
        while (in.get(c)) {
            if (c == '#') {
                std::string skip;
                std::getline(in, skip);
            } else if (!std::isspace(static_cast<unsigned char>(c))) {
                in.unget();
                break;
            }
        }
        in >> v;
        return v;
    };
    TRaster r;
    r.w = num();
    r.h = num();
    const int maxval = magic == "P4" ? 1 : num();
    in.get();
    if (maxval != 1 && maxval != 255) return {};
    r.rgb.resize(size_t(r.w) * r.h * 3);
    for (int y = 0; y < r.h; ++y) {
        std::vector<char> row(magic == "P4" ? size_t(r.w + 7) / 8
                                            : size_t(r.w) * (magic == "P6" ? 3 : 1));
        in.read(row.data(), std::streamsize(row.size()));
        for (int x = 0; x < r.w; ++x) {
            uint8_t* o = &r.rgb[(size_t(y) * r.w + x) * 3];
            if (magic == "P6") {
                for (int k = 0; k < 3; ++k)
                    o[k] = uint8_t(row[size_t(x) * 3 + k]);
            } else if (magic == "P5") {
                o[0] = o[1] = o[2] = uint8_t(row[size_t(x)]);
            } else {
                const bool black = (uint8_t(row[size_t(x / 8)]) >> (7 - x % 8)) & 1;
                o[0] = o[1] = o[2] = black ? 0 : 255;
            }
        }
    }
    return in ? r : TRaster{};
}

TRaster Ours(TPixelGraphic& g) {
    TRaster r{g.GetWidth(), g.GetHeight(), {}};
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const TRGB c = g.GetPixelColor(x, y);
            r.rgb.insert(r.rgb.end(),
                         {uint8_t(GetRValue(c)), uint8_t(GetGValue(c)), uint8_t(GetBValue(c))});
        }
    return r;
}

// Largest channel difference, or -1 when the sizes differ.
int MaxDiff(const TRaster& a, const TRaster& b) {
    if (a.w != b.w || a.h != b.h || a.rgb.size() != b.rgb.size() || a.rgb.empty()) return -1;
    int d = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        d = std::max(d, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return d;
}

const char* kPillowToPpm =
    "python3 -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert(\"RGB\"); "
    "open(sys.argv[2], \"wb\").write(b\"P6 %d %d 255\\n\" % im.size + im.tobytes())'";

class BmpOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() / ("tav_bmporacle_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string P(const std::string& name) { return "'" + (dir / name).string() + "'"; }
    fs::path dir;
};

} // namespace

TEST_F(BmpOracle, FilesMadeByOthersDecodeToTheirPixels) {
    if (!Have("convert")) GTEST_SKIP() << "ImageMagick missing";
    // A photo-like source with smooth areas and edges, odd width for padding.
    ASSERT_TRUE(Sh("convert -size 37x23 plasma:red-blue -seed 7 ppm:" + P("src.ppm")));
    struct Case {
        const char* tool;   // what must be installed
        std::string make;   // writes f.bmp from src.ppm
        std::string decode; // writes ref.pnm from f.bmp
        int tolerance;
    } cases[] = {
        {"convert", "convert " + P("src.ppm") + " BMP3:" + P("f.bmp"), "", 0},
        {"convert", "convert " + P("src.ppm") + " -colors 200 -type palette BMP3:" + P("f.bmp"), "",
         0},
        {"convert",
         "convert " + P("src.ppm") + " -colors 60 -type palette -compress RLE BMP3:" + P("f.bmp"),
         "", 0},
        {"convert", "convert " + P("src.ppm") + " -monochrome BMP3:" + P("f.bmp"), "", 0},
        {"convert", "convert " + P("src.ppm") + " " + P("f.bmp"), "", 0}, // the long header
        // 5- and 6-bit channels: their scaling and ours differ by up to one step.
        {"convert", "convert " + P("src.ppm") + " -define bmp:subtype=RGB565 " + P("f.bmp"), "", 8},
        {"convert", "convert " + P("src.ppm") + " -define bmp:subtype=RGB555 " + P("f.bmp"), "", 8},
        {"ppmtobmp", "ppmtobmp -bpp=24 " + P("src.ppm") + " > " + P("f.bmp"), "bmptopnm", 0},
        {"ppmtobmp", "pnmquant 200 " + P("src.ppm") + " | ppmtobmp -bpp=8 > " + P("f.bmp"),
         "bmptopnm", 0},
        {"ppmtobmp", "pnmquant 16 " + P("src.ppm") + " | ppmtobmp -bpp=4 > " + P("f.bmp"),
         "bmptopnm", 0},
        {"ppmtobmp", "ppmtopgm " + P("src.ppm") + " | pgmtopbm | ppmtobmp -bpp=1 > " + P("f.bmp"),
         "bmptopnm", 0},
        {"ppmtobmp", "ppmtobmp -os2 -bpp=24 " + P("src.ppm") + " > " + P("f.bmp"), "bmptopnm", 0},
        {"ppmtobmp", "pnmquant 16 " + P("src.ppm") + " | ppmtobmp -os2 -bpp=4 > " + P("f.bmp"),
         "bmptopnm", 0},
        {"python3",
         "python3 -c 'from PIL import Image; Image.open(\"" + (dir / "src.ppm").string() +
             "\").convert(\"P\").save(\"" + (dir / "f.bmp").string() + "\")'",
         "pillow", 0},
        {"python3",
         "python3 -c 'from PIL import Image; Image.open(\"" + (dir / "src.ppm").string() +
             "\").convert(\"L\").save(\"" + (dir / "f.bmp").string() + "\")'",
         "pillow", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.make);
        if (!Have(c.tool) || (std::string(c.tool) == "python3" && !HavePillow())) continue;
        fs::remove(dir / "f.bmp");
        ASSERT_TRUE(Sh(c.make));
        const std::string decode =
            c.decode == "bmptopnm" ? "bmptopnm " + P("f.bmp") + " > " + P("ref.pnm")
            : c.decode == "pillow"
                ? std::string(kPillowToPpm) + " " + P("f.bmp") + " " + P("ref.pnm")
                : "convert " + P("f.bmp") + " -depth 8 ppm:" + P("ref.pnm");
        ASSERT_TRUE(Sh(decode));
        TPixelGraphic g;
        g.LoadFromFile((dir / "f.bmp").string());
        const int d = MaxDiff(Ours(g), ReadPnm(dir / "ref.pnm"));
        EXPECT_GE(d, 0);
        EXPECT_LE(d, c.tolerance);
    }
}

TEST_F(BmpOracle, FilesWeWriteDecodeToOurPixelsElsewhere) {
    struct Case {
        TPGPixelFormat format;
        TPaletteIdent ident; // pUnknown: a palette of our own
    } cases[] = {{pg1Bit, pBlackWhite}, {pg1Bit, pUnknown}, {pg4Bit, pSys16},
                 {pg4Bit, pUnknown},    {pg8Bit, pGray256}, {pg8Bit, pUnknown},
                 {pg24Bit, pTrueColor}};
    const std::string decoders[] = {"convert", "bmptopnm", "pillow"};
    for (const Case& c : cases) {
        TPixelGraphic g;
        g.SetFormat(29, 11, c.format);
        if (c.ident == pUnknown) {
            g.SetPaletteCount(g.ColorCount());
            for (int i = 0; i < g.ColorCount(); ++i)
                g.SetPaletteEntry(i, RGB(i * 37, 255 - i, i * 5));
        } else if (c.ident != pTrueColor) {
            g.SetPaletteIdent(c.ident);
        }
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 29; ++x)
                g.SetPixel(x, y,
                           c.format == pg24Bit ? RGB(x * 8, y * 20, (x * y) & 255)
                                               : (x * 7 + y * 3) % g.ColorCount());
        g.SaveToFile((dir / "ours.bmp").string());
        const TRaster want = Ours(g);
        for (const std::string& dec : decoders) {
            SCOPED_TRACE(dec + " format " + std::to_string(int(c.format)));
            std::string cmd;
            if (dec == "convert" && Have("convert"))
                cmd = "convert " + P("ours.bmp") + " -depth 8 ppm:" + P("ref.pnm");
            else if (dec == "bmptopnm" && Have("bmptopnm"))
                cmd = "bmptopnm " + P("ours.bmp") + " | ppmtoppm > " + P("ref.pnm");
            else if (dec == "pillow" && HavePillow())
                cmd = std::string(kPillowToPpm) + " " + P("ours.bmp") + " " + P("ref.pnm");
            if (cmd.empty()) continue;
            fs::remove(dir / "ref.pnm");
            ASSERT_TRUE(Sh(cmd));
            EXPECT_EQ(MaxDiff(want, ReadPnm(dir / "ref.pnm")), 0);
        }
    }
}
