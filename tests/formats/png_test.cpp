// PNG reader and writer against files made by ImageMagick, netpbm and
// Pillow, decoded by pngtopam (flattening with -mix) and Pillow, and checked
// with pngcheck.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <zlib.h>

#include "core/exceptions.h"
#include "core/filter.h"
#include "core/options.h"
#include "core/prompts.h"
#include "core/stream.h"
#include "formats/png.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

// Pillow writes the base pictures: a colour gradient with alpha from fully
// transparent to opaque, and every mode Pillow can store.
const char* kMakeFixtures = R"PY(
import sys, os
from PIL import Image, PngImagePlugin
d = sys.argv[1]
W, H = 37, 23
rgba = Image.new("RGBA", (W, H))
for y in range(H):
    for x in range(W):
        a = 0 if x < 6 else 255 if x > 30 else (x * 9) % 256
        rgba.putpixel((x, y), ((x * 7) % 256, (y * 11) % 256, (x * y) % 256, a))
rgba.save(os.path.join(d, "rgba8.png"))
rgb = rgba.convert("RGB"); rgb.save(os.path.join(d, "rgb8.png"))
rgb.save(os.path.join(d, "rgb.ppm"))
rgba.getchannel("A").save(os.path.join(d, "alpha.pgm"))
la = rgba.convert("LA"); la.save(os.path.join(d, "la8.png"))
l = rgba.convert("L"); l.save(os.path.join(d, "l8.png")); l.save(os.path.join(d, "l.pgm"))
l.convert("1").save(os.path.join(d, "bw1.png"))
l.convert("I").point(lambda v: v * 257).convert("I;16").save(os.path.join(d, "l16.png"))
for bits, colors in ((8, 200), (4, 16), (2, 4), (1, 2)):
    p = rgb.quantize(colors)
    trns = bytes([0, 128] + [255] * (colors - 2))
    p.save(os.path.join(d, "pal%d_trns.png" % bits), bits=bits, transparency=trns)
    p.save(os.path.join(d, "pal%d.png" % bits), bits=bits)
import random
random.seed(5)
Image.frombytes("RGB", (300, 200), bytes(random.getrandbits(8) for _ in range(300 * 200 * 3))).save(os.path.join(d, "noise.png"))
info = PngImagePlugin.PngInfo(); info.add(b"sRGB", b"\x00")
rgb.save(os.path.join(d, "srgb.png"), pnginfo=info)
)PY";

class PngTest : public ::testing::Test {
  protected:
    static inline TempDir* dir = nullptr;
    static void SetUpTestSuite() {
        dir = new TempDir;
        const std::string script = *dir / "make.py";
        WriteBytes(script,
                   std::vector<uint8_t>(kMakeFixtures, kMakeFixtures + strlen(kMakeFixtures)));
        const std::string d = dir->path.string() + "/";
        const char* cmds[] = {
            // ImageMagick: 16-bit colour with alpha (with and without bKGD), interlaced.
            "convert {d}rgba8.png -strip -depth 16 PNG64:{d}im_rgba16.png",
            "convert {d}rgba8.png -depth 16 -background '#2040c0' "
            "-define png:exclude-chunk=date,tIME,gAMA,cHRM,tEXt PNG64:{d}im_rgba16_bkgd.png",
            "convert {d}rgba8.png -strip -interlace PNG PNG32:{d}im_rgba_il.png",
            // netpbm: alpha with a bKGD chunk (8 and 16 bits), grey with a
            // transparent level, interlaced palette.
            "pnmtopng -alpha={d}alpha.pgm -background=rgb:20/40/c0 {d}rgb.ppm > "
            "{d}nb_rgba8_bkgd.png",
            "pnmtopng -transparent=rgb:00/00/00 {d}l.pgm > {d}nb_gray8_trns.png",
            "pamdepth 15 {d}l.pgm | pnmtopng -transparent=rgb:00/00/00 > {d}nb_gray4_trns.png",
            "pnmtopng -interlace {d}rgb.ppm > {d}nb_rgb_il.png",
            "pamdepth 3 {d}l.pgm | pnmtopng > {d}nb_gray2.png",
            "pnmtopng -gamma 0.45455 {d}rgb.ppm > {d}nb_gama.png",
            // gAMA and an iCCP profile, which outranks it.
            "pnmtopng -gamma 1.0 {d}rgb.ppm > {d}nb_gama_iccp.png && exiftool -q "
            "-overwrite_original '-icc_profile<=/usr/share/color/icc/colord/AdobeRGB1998.icc' "
            "{d}nb_gama_iccp.png",
        };
        ASSERT_TRUE(Shell(std::string(kPython) + " " + Q(script) + " " + Q(dir->path.string())));
        for (std::string c : cmds) {
            for (size_t p; (p = c.find("{d}")) != std::string::npos;)
                c.replace(p, 3, d);
            ASSERT_TRUE(Shell(c)) << c;
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void TearDown() override {
        PGMessageBoxHandler = nullptr;
        WriteGamma = true;
        PGMaxImageBytes = kPGDefaultMaxImageBytes;
    }
    static std::string F(const std::string& name) { return *dir / name; }
    static void Load(const std::string& file, TPixelGraphic& g) {
        TFileStream s(file, TFileStream::OpenRead);
        TPNGFileFormatReader().Read(s, g, 0);
    }
    static void Save(const std::string& file, TPixelGraphic& g) {
        TFileStream s(file, TFileStream::Create);
        TPNGFileFormatWriter().Write(s, g);
        s.Close();
    }
    static TPGImageInfo Info(const std::string& file) {
        TFileStream s(file, TFileStream::OpenRead);
        TPGImageInfo info;
        TPNGFileFormatReader().GetInfo(s, 0, info);
        return info;
    }
    static std::string ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EPGPNGFileFormatReaderWriter& e) {
            return e.what();
        }
        return "(no error)";
    }
};

std::string Hex(TRGB c) {
    char b[16];
    snprintf(b, sizeof b, "rgb:%02x/%02x/%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return b;
}

TEST_F(PngTest, DecodesEveryColourTypeLikePngtopam) {
    const TRGB colourBg = RGB(0x30, 0x90, 0xE0), greyBg = RGB(0x55, 0x55, 0x55);
    struct Case {
        const char* file;
        TPGPixelFormat format;
        TPaletteIdent ident; // pUnknown: the file's own palette
        TRGB background;     // set before loading; -1: the file's bKGD is used
        TRGB fileBackground; // BackgroundColor after loading a bKGD file
    } cases[] = {
        {"rgb8.png", pg24Bit, pTrueColor, colourBg, 0},
        {"rgba8.png", pg24Bit, pTrueColor, colourBg, 0},
        {"im_rgba16.png", pg24Bit, pTrueColor, colourBg, 0},
        {"im_rgba_il.png", pg24Bit, pTrueColor, colourBg, 0},
        {"nb_rgb_il.png", pg24Bit, pTrueColor, colourBg, 0},
        {"la8.png", pg8Bit, pGray256, greyBg, 0},
        {"l8.png", pg8Bit, pGray256, greyBg, 0},
        {"l16.png", pg8Bit, pGray256, greyBg, 0},
        {"bw1.png", pg1Bit, pBlackWhite, greyBg, 0},
        {"nb_gray2.png", pg4Bit, pGray4, greyBg, 0},
        {"nb_gray8_trns.png", pg8Bit, pGray256, greyBg, 0},
        {"nb_gray4_trns.png", pg4Bit, pGray16, greyBg, 0},
        {"pal8.png", pg8Bit, pUnknown, colourBg, 0},
        {"pal4.png", pg4Bit, pUnknown, colourBg, 0},
        {"pal2.png", pg4Bit, pUnknown, colourBg, 0},
        {"pal1.png", pg1Bit, pUnknown, colourBg, 0},
        // Transparent palette entries are flattened like alpha pixels are.
        {"pal8_trns.png", pg8Bit, pUnknown, colourBg, 0},
        {"pal4_trns.png", pg4Bit, pUnknown, colourBg, 0},
        {"pal2_trns.png", pg4Bit, pUnknown, colourBg, 0},
        {"pal1_trns.png", pg1Bit, pUnknown, colourBg, 0},
        // bKGD: flattened onto the file's colour, which becomes the picture's.
        {"nb_rgba8_bkgd.png", pg24Bit, pTrueColor, -1, RGB(0x20, 0x40, 0xC0)},
        {"im_rgba16_bkgd.png", pg24Bit, pTrueColor, -1, RGB(0x20, 0x40, 0xC0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TPixelGraphic g;
        const TRGB initial = RGB(1, 2, 3);
        g.SetBackgroundColor(c.background >= 0 ? c.background : initial);
        Load(F(c.file), g);
        EXPECT_EQ(g.PixelFormat(), c.format);
        if (c.ident != pUnknown) {
            EXPECT_EQ(g.PaletteIdent(), c.ident);
        }
        const std::string ref = F("ref.pam");
        // pngtopam mixes onto black unless told, so the bKGD colour is named.
        const std::string bg =
            " -background=" + Hex(c.background >= 0 ? c.background : c.fileBackground);
        ASSERT_TRUE(Shell("pngtopam -mix" + bg + " " + Q(F(c.file)) + " > " + Q(ref)));
        EXPECT_LE(MaxDifference(g, ReadPnm(ref)), 1);
        EXPECT_EQ(g.BackgroundColor(), c.background >= 0 ? c.background : c.fileBackground);
    }
}

TEST_F(PngTest, TwoBitGreyBecomesFourBitLevels) {
    TPixelGraphic g;
    Load(F("nb_gray2.png"), g);
    int seen = 0;
    for (int y = 0; y < g.GetHeight(); ++y)
        for (int x = 0; x < g.GetWidth(); ++x) {
            ASSERT_LE(g.GetPixel(x, y), 3);
            seen |= 1 << g.GetPixel(x, y);
        }
    EXPECT_EQ(seen, 15); // all four levels occur
}

TEST_F(PngTest, GammaFollowsOnlyARealGamaChunk) {
    struct Case {
        const char* file;
        long double gamma;
    } cases[] = {
        {"nb_gama.png", 1 / 0.45455L},
        {"rgb8.png", DisplayGamma},
        {"srgb.png", DisplayGamma},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TPixelGraphic g;
        g.SetGamma(1.0);
        Load(F(c.file), g);
        EXPECT_NEAR(double(g.Gamma()), double(c.gamma), 1e-4);
    }
    EXPECT_EQ(Info(F("srgb.png")).Options, "");

    // With a usable iCCP profile, a gAMA of 1.0 corrects nothing: the
    // profile speaks for the pixels.
    TPixelGraphic tagged, plain;
    Load(F("nb_gama_iccp.png"), tagged);
    Load(F("rgb8.png"), plain);
    EXPECT_FALSE(tagged.ICCProfile().empty());
    ASSERT_EQ(tagged.GetWidth(), plain.GetWidth());
    for (int x = 0; x < plain.GetWidth(); ++x)
        EXPECT_EQ(tagged.GetPixelColor(x, 7), plain.GetPixelColor(x, 7)) << x;
}

TEST_F(PngTest, InfoTexts) {
    struct Case {
        const char* file;
        std::string subType, options, colors;
        int bits;
    } cases[] = {
        {"rgba8.png", "RGB, alpha", "", "16.7M?", 32},
        {"im_rgba_il.png", "RGB, alpha, interlaced", "", "16.7M?", 32},
        {"rgb8.png", "RGB", "", "16.7M", 24},
        {"nb_gama.png", "RGB", "(gama)", "16.7M", 24},
        {"l16.png", "GrayScale", "", "64K?", 16},
        {"nb_gray2.png", "GrayScale", "", "4", 2},
        {"pal4_trns.png", "palette", "(plte, trns)", "16", 4},
        {"nb_rgba8_bkgd.png", "RGB, alpha", "(bkgd)", "16.7M?", 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TPGImageInfo info = Info(F(c.file));
        EXPECT_EQ(info.SubType, c.subType);
        EXPECT_EQ(info.Options, c.options);
        EXPECT_EQ(info.Colors, c.colors);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
        EXPECT_EQ(info.Width, 37);
        EXPECT_EQ(info.Height, 23);
    }
}

TEST_F(PngTest, InterlacedProgressCoversSevenPasses) {
    TPixelGraphic g;
    TPNGFileFormatReader reader;
    int steps = 0, lastMax = 0, lastStep = -1;
    g.OnProgress = [&](TObject*, int step, int max, bool&) {
        ++steps, lastStep = step, lastMax = max;
    };
    TFileStream s(F("nb_rgb_il.png"), TFileStream::OpenRead);
    reader.Read(s, g, 0);
    EXPECT_EQ(steps, 7 * 23);
    EXPECT_EQ(lastMax, 7 * 23);
    EXPECT_EQ(lastStep, 7 * 23 - 1);

    // An abort stops every pass and is no error.
    TPixelGraphic h;
    h.OnProgress = [&](TObject*, int step, int, bool& abort) { abort = step == 30; };
    TFileStream s2(F("nb_rgb_il.png"), TFileStream::OpenRead);
    EXPECT_NO_THROW(reader.Read(s2, h, 0));
}

TEST_F(PngTest, WrittenFilesPassPngcheckAndDecodeInPillow) {
    struct Case {
        const char* name;
        TPGPixelFormat format;
        TPaletteIdent ident; // pUnknown: a palette of our own
        int depth, colorType;
    } cases[] = {
        {"bw", pg1Bit, pBlackWhite, 1, 3},  {"gray16", pg4Bit, pGray16, 4, 3},
        {"pal16", pg4Bit, pUnknown, 4, 3},  {"gray256", pg8Bit, pGray256, 8, 0},
        {"pal256", pg8Bit, pUnknown, 8, 3}, {"rgb", pg24Bit, pTrueColor, 8, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPixelGraphic g;
        g.SetFormat(29, 17, c.format);
        if (c.format != pg24Bit) {
            if (c.ident != pUnknown) {
                g.SetPaletteIdent(c.ident);
            } else {
                g.SetPaletteCount(g.ColorCount());
                for (int i = 0; i < g.ColorCount(); ++i)
                    g.SetPaletteEntry(i, RGB(i * 37, 255 - i, i * 5));
            }
        }
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 29; ++x)
                g.SetPixel(x, y,
                           c.format == pg24Bit ? RGB(x * 8, y * 15, x * y)
                                               : (x * 3 + y) % g.ColorCount());
        const std::string out = F(std::string(c.name) + ".out.png"), ppm = F("pillow.ppm");
        Save(out, g);
        EXPECT_TRUE(Shell("pngcheck -q " + Q(out)));
        const std::vector<uint8_t> b = Bytes(out);
        ASSERT_GT(b.size(), 26u);
        EXPECT_EQ(b[24], c.depth);
        EXPECT_EQ(b[25], c.colorType);
        ASSERT_TRUE(Shell(std::string(kPython) +
                          " -c \"import sys; from PIL import Image; "
                          "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2])\" " +
                          Q(out) + " " + Q(ppm)));
        EXPECT_EQ(MaxDifference(g, ReadPnm(ppm)), 0);
        // gAMA carries the picture's gamma, so it reads back without correction.
        TPixelGraphic back;
        Load(out, back);
        EXPECT_NEAR(double(back.Gamma()), double(DisplayGamma), 1e-4);
        EXPECT_EQ(back.PixelFormat(), c.format);
    }
    WriteGamma = false;
    TPixelGraphic g;
    g.SetFormat(3, 3, pg24Bit);
    Save(F("nogamma.png"), g);
    EXPECT_EQ(Info(F("nogamma.png")).Options, "");
}

// A PNG file put together chunk by chunk, for damaged variants.
std::vector<uint8_t> Chunk(const char* type, const std::vector<uint8_t>& data,
                           bool badCrc = false) {
    std::vector<uint8_t> c = {uint8_t(data.size() >> 24), uint8_t(data.size() >> 16),
                              uint8_t(data.size() >> 8), uint8_t(data.size())};
    c.insert(c.end(), type, type + 4);
    c.insert(c.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 4; i < c.size(); ++i) {
        crc ^= c[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc = ~crc ^ (badCrc ? 1 : 0);
    c.insert(c.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    return c;
}

TEST_F(PngTest, DamagedFilesRaiseLibraryMessages) {
    const std::vector<uint8_t> good = Bytes(F("rgb8.png"));
    // Split the good file after its header chunk, to insert a damaged chunk.
    std::vector<uint8_t> withBadText(good.begin(), good.begin() + 33);
    const std::vector<uint8_t> text = Chunk("tEXt", {'a', 0, 'b'}, true);
    withBadText.insert(withBadText.end(), text.begin(), text.end());
    withBadText.insert(withBadText.end(), good.begin() + 33, good.end());
    std::vector<uint8_t> badHeader = good;
    badHeader[20] ^= 0x40;
    const std::vector<uint8_t> noise = Bytes(F("noise.png"));
    std::vector<uint8_t> cut(noise.begin(), noise.begin() + long(noise.size() / 2));
    const std::vector<uint8_t> sig(good.begin(), good.begin() + 8);
    std::vector<uint8_t> huge = sig;
    const std::vector<uint8_t> ihdr =
        Chunk("IHDR", {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0}); // 100000 x 100000 RGB
    huge.insert(huge.end(), ihdr.begin(), ihdr.end());

    std::string boxText;
    TPGBoxResult answer = TPGBoxResult::OK;
    PGMessageBoxHandler = [&](const std::string& t, const std::string& caption, TPGBoxButtons) {
        boxText = t;
        EXPECT_EQ(caption, "PNG Warning");
        return answer;
    };
    struct Case {
        const char* name;
        const std::vector<uint8_t>& bytes;
        TPGWarningAction action;
        TPGBoxResult answer;
        std::string error;
        std::string box;
    } cases[] = {
        {"ancillary CRC, ignore", withBadText, pgwaIgnore, TPGBoxResult::OK, "(no error)", ""},
        {"ancillary CRC, box", withBadText, pgwaOKBox, TPGBoxResult::OK, "(no error)",
         "tEXt: CRC error"},
        {"ancillary CRC, cancel", withBadText, pgwaOKCancelBox, TPGBoxResult::Cancel,
         "PNG: Operation aborted on user request", "tEXt: CRC error"},
        {"ancillary CRC, raise", withBadText, pgwaRaise, TPGBoxResult::OK, "PNG: tEXt: CRC error",
         ""},
        {"header CRC", badHeader, pgwaIgnore, TPGBoxResult::OK, "PNG: IHDR: CRC error", ""},
        {"truncated", cut, pgwaIgnore, TPGBoxResult::OK, "PNG: Read Error", ""},
        {"signature only", sig, pgwaIgnore, TPGBoxResult::OK, "PNG: Read Error", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxText.clear();
        answer = c.answer;
        const std::string f = F("damaged.png");
        WriteBytes(f, c.bytes);
        TPixelGraphic g;
        g.SetReadWarningAction(c.action);
        EXPECT_EQ(ErrorOf([&] { Load(f, g); }), c.error);
        EXPECT_EQ(boxText, c.box);
    }
    // A truncated file keeps the rows read before the end.
    TPixelGraphic g, ref;
    WriteBytes(F("cut.png"), cut);
    EXPECT_THROW(Load(F("cut.png"), g), EPGPNGFileFormatReaderWriter);
    Load(F("noise.png"), ref);
    ASSERT_EQ(g.GetWidth(), 300);
    for (int y : {0, 1, 50})
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(g.GetPixel(x, y), ref.GetPixel(x, y)) << x << "," << y;

    // A header beyond the size cap is refused before anything is allocated.
    PGMaxImageBytes = 64 << 20;
    WriteBytes(F("huge.png"), huge);
    TPixelGraphic h;
    EXPECT_THROW(Load(F("huge.png"), h), EPixelGraphic);
    EXPECT_TRUE(h.GetEmpty());

    EXPECT_EQ(ErrorOf([&] {
                  TFileStream s(F("rgb8.png"), TFileStream::OpenRead);
                  TPNGFileFormatReader().Read(s, g, 1);
              }),
              "PNG: Index invalid");
}

} // namespace

namespace {
// The chunks of a PNG file: (type, data) in order.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Chunks(const std::vector<uint8_t>& f) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    for (size_t p = 8; p + 12 <= f.size();) {
        const size_t n = size_t(f[p]) << 24 | size_t(f[p + 1]) << 16 | size_t(f[p + 2]) << 8 | f[p + 3];
        if (p + 12 + n > f.size()) break;
        out.emplace_back(std::string(f.begin() + ptrdiff_t(p + 4), f.begin() + ptrdiff_t(p + 8)),
                         std::vector<uint8_t>(f.begin() + ptrdiff_t(p + 8),
                                              f.begin() + ptrdiff_t(p + 8 + n)));
        p += 12 + n;
    }
    return out;
}

// The image data inflated (zlib checks the Adler-32); empty when the
// stream is broken or does not end where the data ends.
std::vector<uint8_t> Inflated(const std::vector<uint8_t>& file, std::vector<std::string>& others) {
    std::vector<uint8_t> z;
    for (const auto& [type, data] : Chunks(file))
        if (type == "IDAT")
            z.insert(z.end(), data.begin(), data.end());
        else
            others.push_back(type);
    std::vector<uint8_t> out(64 << 20);
    uLongf n = uLongf(out.size());
    if (uncompress(out.data(), &n, z.data(), uLong(z.size())) != Z_OK) return {};
    out.resize(n);
    return out;
}
} // namespace

// Large true-colour pictures are deflated in bands on several threads: the
// file is one valid stream whose inflated rows (filter bytes included) are
// exactly libpng's, the pixels read back unchanged, the size about the same.
TEST_F(PngTest, BandedEncodeKeepsLibpngsFiltersAndPixels) {
    const int w = 900, h = 613;
    TPixelGraphic g;
    g.SetFormat(w, h, pg24Bit);
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < 3 * w; ++x) {
            seed = seed * 1103515245u + 12345u;
            // Smooth areas, hard edges and grain, so every filter gets picked.
            const int smooth = (x / 3 + y) / 4, edge = (x / 90 + y / 60) % 2 * 120;
            row[x] = uint8_t(x % 3 == 1 && y > h / 2 ? smooth : smooth + edge + int(seed >> 29));
        }
    }
    g.SetMetadata([] {
        TPGMetadata m;
        m.Comments = {"banded"};
        return m;
    }());
    struct TRestore {
        int threads = PGFilterThreads;
        ~TRestore() { PGFilterThreads = threads; }
    } restore;
    PGFilterThreads = 1; // libpng itself
    Save(F("plain.png"), g);
    for (int t : {2, 3, 7}) {
        SCOPED_TRACE(t);
        PGFilterThreads = t;
        Save(F("banded.png"), g);
        EXPECT_TRUE(Shell("pngcheck -q " + Q(F("banded.png"))));
        const std::vector<uint8_t> plain = Bytes(F("plain.png")), banded = Bytes(F("banded.png"));
        EXPECT_NE(plain, banded); // the banded path did run
        std::vector<std::string> plainChunks, bandedChunks;
        const std::vector<uint8_t> rows = Inflated(plain, plainChunks);
        ASSERT_EQ(rows.size(), size_t(h) * (3 * w + 1));
        EXPECT_TRUE(Inflated(banded, bandedChunks) == rows);
        EXPECT_EQ(bandedChunks, plainChunks);
        EXPECT_NEAR(double(banded.size()) / double(plain.size()), 1.0, 0.03);
        TPixelGraphic back;
        Load(F("banded.png"), back);
        ASSERT_EQ(back.PixelFormat(), pg24Bit);
        int differing = 0;
        for (int y = 0; y < h; ++y)
            differing += std::memcmp(back.ScanLine(y), g.ScanLine(y), size_t(3 * w)) != 0;
        EXPECT_EQ(differing, 0);
        ASSERT_EQ(back.Metadata().Comments.size(), 1u);
        EXPECT_EQ(back.Metadata().Comments[0], "banded");
    }
}
