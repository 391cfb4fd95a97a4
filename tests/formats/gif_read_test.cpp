// GIF reader: frames of files made by independent encoders decode to the
// pixels those tools' own decoders give; damaged files stop cleanly.

#include <algorithm>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/format_oracle.h"
#include "formats/gif.h"

namespace {

void ReadGif(const std::vector<uint8_t>& bytes, TPixelGraphic& pic, int index) {
    tGifFileFormatReader reader;
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    reader.Read(s, pic, index);
}

TPGImageInfo GifInfo(const std::vector<uint8_t>& bytes, int index) {
    tGifFileFormatReader reader;
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    TPGImageInfo info;
    reader.GetInfo(s, index, info);
    return info;
}

std::vector<uint8_t> PictureRGB(const TPixelGraphic& pic) {
    std::vector<uint8_t> out;
    for (int y = 0; y < pic.GetHeight(); ++y)
        for (int x = 0; x < pic.GetWidth(); ++x) {
            const TRGB c = pic.GetPixelColor(x, y);
            out.insert(out.end(),
                       {uint8_t(GetRValue(c)), uint8_t(GetGValue(c)), uint8_t(GetBValue(c))});
        }
    return out;
}

// A GIF put together byte by byte, for cases no encoder makes.
struct GifBytes {
    std::vector<uint8_t> b;
    GifBytes(int w, int h, int globalBits) {
        const char sig[] = "GIF89a";
        b.assign(sig, sig + 6);
        U16(w);
        U16(h);
        b.push_back(globalBits ? uint8_t(0x80 | (globalBits - 1)) : 0);
        b.push_back(0);
        b.push_back(0);
        for (int i = 0; globalBits && i < (1 << globalBits); ++i)
            b.insert(b.end(), {uint8_t(i * 40), uint8_t(255 - i * 40), uint8_t(i)});
    }
    void U16(int v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
    // Image descriptor (no local table) and the LZW data as one sub-block.
    GifBytes& Image(int w, int h, uint8_t minCode, std::vector<uint8_t> data) {
        b.push_back(',');
        U16(0);
        U16(0);
        U16(w);
        U16(h);
        b.push_back(0);
        b.push_back(minCode);
        b.push_back(uint8_t(data.size()));
        b.insert(b.end(), data.begin(), data.end());
        b.push_back(0);
        return *this;
    }
    GifBytes& Raw(std::vector<uint8_t> r) {
        b.insert(b.end(), r.begin(), r.end());
        return *this;
    }
};

// 2 x 2 picture, min code size 2: clear, 1, 2, 3, 0, end (3-bit codes).
const std::vector<uint8_t> kTiny = {0x8C, 0x06, 0x05};

class GifOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!codecoracle::Have("convert") || !codecoracle::Have("gifsicle"))
            GTEST_SKIP() << "oracles missing";
    }
    // Frame `index` as ImageMagick decodes it (its own size, not composited).
    std::vector<uint8_t> MagickFrame(const std::string& file, int index) {
        std::string out;
        codecoracle::Run("convert '" + file + "[" + std::to_string(index) + "]' -depth 8 rgb:-", &out);
        return std::vector<uint8_t>(out.begin(), out.end());
    }
    void ExpectFramesMatch(const std::string& file, int frames) {
        const std::vector<uint8_t> bytes = codecoracle::ReadFile(file);
        ASSERT_EQ(GifInfo(bytes, 0).GraphicCount, frames) << file;
        for (int i = 0; i < frames; ++i) {
            TPixelGraphic pic;
            ReadGif(bytes, pic, i);
            const TPGImageInfo info = GifInfo(bytes, i);
            EXPECT_EQ(pic.GetWidth(), info.Width);
            EXPECT_EQ(pic.GetHeight(), info.Height);
            EXPECT_EQ(PictureRGB(pic), MagickFrame(file, i)) << file << " frame " << i;
        }
    }
    codecoracle::TempDir dir;
};

TEST_F(GifOracle, StillsAndAnimationsFromThreeEncoders) {
    const std::string d = dir.Path();
    // ImageMagick: plain and interlaced stills, 2 to 256 colours.
    ASSERT_EQ(codecoracle::Run("cd " + d +
                          " && convert -seed 3 -size 61x47 plasma:fractal -colors 200 im.gif"
                          " && convert im.gif -interlace GIF iml.gif"
                          " && convert -size 9x31 pattern:checkerboard -monochrome bw.gif"
                          " && convert -size 40x3 gradient:red-blue -colors 5 five.gif"),
              0);
    for (const char* f : {"im.gif", "iml.gif", "bw.gif", "five.gif"})
        ExpectFramesMatch(dir / f, 1);
    EXPECT_EQ(GifInfo(codecoracle::ReadFile(dir / "iml.gif"), 0).Options, "Interlaced");
    EXPECT_EQ(GifInfo(codecoracle::ReadFile(dir / "im.gif"), 0).Options, "Non-interlaced");

    // gifsicle: frames of their own sizes, positions and local tables.
    ASSERT_EQ(
        codecoracle::Run("cd " + d +
                    " && convert -size 30x20 gradient:yellow-green -colors 16 f0.gif"
                    " && convert -size 12x25 plasma:fractal -colors 64 f1.gif"
                    " && convert -size 17x9 xc:purple f2.gif"
                    " && gifsicle --loopcount=0 f0.gif -p 5,3 f1.gif -i -p 2,2 f2.gif > gs.gif"),
        0);
    ExpectFramesMatch(dir / "gs.gif", 3);

    // Pillow writes interlaced frames by default.
    if (codecoracle::Have("/usr/bin/python3") &&
        codecoracle::Run(
            "/usr/bin/python3 -c \"from PIL import Image\n"
            "fr=[Image.effect_mandelbrot((50,40),(-2+i/3,-1.5,1,1.5),90).convert('P') for i in "
            "range(4)]\n"
            "fr[0].save('" +
            d + "/pil.gif',save_all=True,append_images=fr[1:],duration=50,loop=0)\" 2>/dev/null") ==
            0)
        ExpectFramesMatch(dir / "pil.gif", 4);
}

TEST_F(GifOracle, GiflibDecodesHandBuiltStillTheSame) {
    if (!codecoracle::Have("gifbuild") || !codecoracle::Have("gif2rgb")) GTEST_SKIP();
    // gifbuild's text form: a 4-entry map and an interlaced 6 x 5 picture.
    const std::string text =
        "screen width 6\nscreen height 5\nscreen colors 4\nscreen background 0\n"
        "screen map\n\trgb 255 000 000 is a\n\trgb 000 255 000 is b\n"
        "\trgb 000 000 255 is c\n\trgb 255 255 255 is d\nend\n"
        "image # 1\nimage left 0\nimage top 0\nimage interlaced\nimage bits 6 by 5\n"
        "abcdab\nbbbbbb\ncdcdcd\nddaadd\nabcabc\n";
    std::FILE* f = std::fopen((dir / "h.txt").c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    ASSERT_EQ(
        codecoracle::Run("cd " + dir.Path() + " && gifbuild h.txt > h.gif && gif2rgb -1 -o h.rgb h.gif"),
        0);
    TPixelGraphic pic;
    ReadGif(codecoracle::ReadFile(dir / "h.gif"), pic, 0);
    EXPECT_EQ(PictureRGB(pic), codecoracle::ReadFile(dir / "h.rgb"));
    EXPECT_EQ(pic.PixelFormat(), pg4Bit);
}

TEST(GifRead, InterlacedRowsArriveInPassOrder) {
    // 1 x 10 interlaced picture; abort after each row and see which row got filled.
    // Data: clear, then ten 1s (literal 1 repeated via strings), end.
    GifBytes g(1, 10, 1);
    // Encode ten pixels of index 1 with min code size 2 using our own simple
    // stream of literals: clear(4) then 1 x 10 then end(5), widths grow.
    std::vector<int> codes = {4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 5};
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0, width = 3, avail = 6;
    for (size_t i = 0; i < codes.size(); ++i) {
        acc |= uint32_t(codes[i]) << bits;
        bits += width;
        while (bits >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
        if (i >= 2 && codes[i] != 5) { // every code after the first literal defines a string
            ++avail;
            if (avail == (1 << width) && width < 12) ++width;
        }
    }
    if (bits) data.push_back(uint8_t(acc));
    g.b.push_back(',');
    g.U16(0), g.U16(0), g.U16(1), g.U16(10);
    g.b.push_back(0x40);
    g.b.push_back(2);
    g.b.push_back(uint8_t(data.size()));
    g.Raw(data).Raw({0, ';'});

    std::vector<int> order;
    for (int rows = 1; rows <= 10; ++rows) {
        TPixelGraphic pic;
        int done = 0;
        pic.OnProgress = [&](TObject*, int, int, bool& abort) { abort = ++done == rows; };
        ReadGif(g.b, pic, 0);
        ASSERT_EQ(pic.GetHeight(), 10);
        for (int y = 0; y < 10; ++y)
            if (pic.GetPixel(0, y) == 1 && std::find(order.begin(), order.end(), y) == order.end())
                order.push_back(y);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

TEST(GifRead, DamagedOrForeignInputRaisesOrKeepsWhatArrived) {
    const std::vector<uint8_t> good = GifBytes(2, 2, 2).Image(2, 2, 2, kTiny).Raw({';'}).b;
    {
        TPixelGraphic pic;
        ReadGif(good, pic, 0);
        EXPECT_EQ(PictureRGB(pic),
                  (std::vector<uint8_t>{40, 215, 1, 80, 175, 2, 120, 135, 3, 0, 255, 0}));
    }
    std::vector<uint8_t> codeSize12 = good;
    codeSize12[13 + 12 + 10] = 12; // after the header, table and descriptor
    std::vector<uint8_t> noTable = GifBytes(2, 2, 0).Image(2, 2, 2, kTiny).Raw({';'}).b;
    // Codes: clear, 0, then 7 while the next free code is 6.
    std::vector<uint8_t> beyond = GifBytes(2, 2, 2).Image(2, 2, 2, {0xC4, 0x01}).Raw({';'}).b;
    // Descriptor breaks off; table claims more than the file holds.
    std::vector<uint8_t> shortDesc(good.begin(), good.begin() + 13 + 12 + 5);
    std::vector<uint8_t> shortTable(good.begin(), good.begin() + 13 + 7);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int index;
        const char* error; // nullptr: no exception
    } cases[] = {
        {"empty", {}, 0, "Not a proper GIF file"},
        {"not a GIF", {'P', 'N', 'G', 1, 2, 3}, 0, "Not a proper GIF file"},
        {"index past the end", good, 1, "Index out of bounds"},
        {"negative index", good, -1, "Index out of bounds"},
        {"code size 12", codeSize12, 0, "Not a proper GIF file"},
        {"no colour table", noTable, 0, "Not a proper GIF file"},
        {"descriptor cut", shortDesc, 0, "Index out of bounds"},
        {"table cut", shortTable, 0, "Index out of bounds"},
        {"code beyond next free", beyond, 0, nullptr},
    };
    for (const Case& c : cases) {
        TPixelGraphic pic;
        if (c.error) {
            try {
                ReadGif(c.bytes, pic, c.index);
                ADD_FAILURE() << c.name << ": no exception";
            } catch (const EPixelGraphic& e) {
                EXPECT_STREQ(e.what(), c.error) << c.name;
            }
        } else {
            EXPECT_NO_THROW(ReadGif(c.bytes, pic, c.index)) << c.name;
            EXPECT_EQ(pic.GetPixel(0, 0), 0) << c.name;
            EXPECT_EQ(pic.GetPixel(1, 1), 0) << c.name;
        }
    }
}

TEST(GifRead, TruncatedFileKeepsDecodedRows) {
    // 64 rows of distinct values: cut the data in half and the top rows stay.
    GifBytes g(8, 64, 8);
    std::vector<uint8_t> data;
    // Literal codes only, 9 bits each; a clear code every 200 codes keeps the width at 9.
    uint32_t acc = 0;
    int bits = 0, n = 0;
    auto put = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += 9;
        while (bits >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    put(256);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 8; ++x) {
            put(y * 4);
            if (++n % 200 == 0) put(256);
        }
    put(257);
    if (bits) data.push_back(uint8_t(acc));
    g.b.push_back(',');
    g.U16(0), g.U16(0), g.U16(8), g.U16(64);
    g.b.push_back(0);
    g.b.push_back(8);
    for (size_t p = 0; p < data.size(); p += 255) {
        const size_t len = std::min<size_t>(255, data.size() - p);
        g.b.push_back(uint8_t(len));
        g.b.insert(g.b.end(), data.begin() + long(p), data.begin() + long(p + len));
    }
    g.Raw({0, ';'});
    std::vector<uint8_t> cut(g.b.begin(), g.b.end() - long(data.size() / 2));
    TPixelGraphic pic;
    ASSERT_NO_THROW(ReadGif(cut, pic, 0));
    ASSERT_EQ(pic.GetHeight(), 64);
    EXPECT_EQ(pic.GetPixel(7, 0), 0);
    EXPECT_EQ(pic.GetPixel(7, 20), 80);
    EXPECT_EQ(pic.GetPixel(0, 63), 0); // never arrived
}

TEST(GifRead, InfoCountsPicturesAndStopsAtUnknownExtension) {
    GifBytes g(5, 5, 2);
    g.Image(2, 2, 2, kTiny).Image(2, 2, 2, kTiny);
    g.Raw({'!', 0xF9, 4, 1, 0, 0, 3, 0}); // graphic control with transparency
    g.Image(2, 2, 2, kTiny);
    const std::vector<uint8_t> three = GifBytes(g).Raw({';'}).b;
    TPGImageInfo info = GifInfo(three, 2);
    EXPECT_EQ(info.GraphicCount, 3);
    EXPECT_EQ(info.Width, 2);
    EXPECT_EQ(info.BitsPerPixel, 2);
    EXPECT_EQ(info.Colors, "4");
    EXPECT_EQ(info.SubType, "89a");
    EXPECT_EQ(info.Options, "Non-interlaced");
    EXPECT_THROW(GifInfo(three, 3), EPixelGraphic);
    EXPECT_THROW(GifInfo({'x'}, 0), EPixelGraphic);

    // An extension label nobody defined ends the walk: the picture after it is not seen.
    GifBytes u(5, 5, 2);
    u.Image(2, 2, 2, kTiny).Raw({'!', 0x42, 1, 0, 0}).Image(2, 2, 2, kTiny).Raw({';'});
    EXPECT_EQ(GifInfo(u.b, 0).GraphicCount, 1);
}

} // namespace
