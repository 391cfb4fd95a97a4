// GIF writer: the file layout, colour table order, transparency and
// interlacing; every file we write reads back exactly, in our reader and in
// independent decoders.

#include <filesystem>

#include <gtest/gtest.h>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/format_oracle.h"
#include "formats/gif.h"
#include "formats/gifexport.h"
#include "formats/gifwrite.h"

namespace {

// A 24-bit picture whose pixel (x, y) is f(x, y).
template <class F> void Make24(TPixelGraphic& pic, int w, int h, F f) {
    pic.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.SetPixel(x, y, f(x, y));
}

std::vector<uint8_t> Encode(const TPixelGraphic& pic, bool interlaced = false, TRGB tc = 0,
                            bool transparent = false) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(EncodeGIF(pic, interlaced, tc, transparent, out));
    EXPECT_EQ(GIFErrorCode, 0);
    return out;
}

void ExpectSameColors(const TPixelGraphic& a, const TPixelGraphic& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            ASSERT_EQ(a.GetPixelColor(x, y), b.GetPixelColor(x, y)) << x << "," << y;
}

void ReadBack(const std::vector<uint8_t>& bytes, TPixelGraphic& pic) {
    tGifFileFormatReader reader;
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    reader.Read(s, pic, 0);
}

size_t TableEnd(const std::vector<uint8_t>& g) {
    return 13 + (size_t(3) << ((g[10] & 7) + 1));
}

TEST(GifWrite, LayoutTableSizeAndTransparency) {
    const TRGB red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
    struct Case {
        const char* name;
        std::vector<TRGB> colors; // one row, left to right
        bool transparent;
        TRGB tc;
        int packed, minCode, tableEntries, gceFlags, transIndex;
    } cases[] = {
        {"two colours", {red, green, red}, false, 0, 0x80, 2, 2, 0, 0},
        {"three colours: fourth entry black", {blue, red, green}, false, 0, 0x81, 2, 4, 0, 0},
        {"transparent colour absent", {red, green}, true, blue, 0x80, 2, 2, 0, 0},
        {"transparent colour present", {red, green, blue, green}, true, green, 0x81, 2, 4, 1, 1},
        {"nine colours", {1, 2, 3, 4, 5, 6, 7, 8, 9}, true, 9, 0x83, 4, 16, 1, 8},
    };
    for (const Case& c : cases) {
        TPixelGraphic pic;
        Make24(pic, int(c.colors.size()), 1, [&](int x, int) { return c.colors[size_t(x)]; });
        const std::vector<uint8_t> g = Encode(pic, false, c.tc, c.transparent);
        ASSERT_GT(g.size(), 40u);
        EXPECT_EQ(std::string(g.begin(), g.begin() + 6), "GIF89a") << c.name;
        EXPECT_EQ(g[6] | g[7] << 8, int(c.colors.size())) << c.name;
        EXPECT_EQ(g[10], c.packed) << c.name;
        const size_t t = TableEnd(g);
        EXPECT_EQ((t - 13) / 3, size_t(c.tableEntries)) << c.name;
        // Table entries in order of first appearance, the rest black.
        std::vector<TRGB> seen;
        for (TRGB col : c.colors)
            if (std::find(seen.begin(), seen.end(), col) == seen.end()) seen.push_back(col);
        for (int i = 0; i < c.tableEntries; ++i) {
            const TRGB want = i < int(seen.size()) ? seen[size_t(i)] : 0;
            EXPECT_EQ(RGB(g[13 + 3 * i], g[14 + 3 * i], g[15 + 3 * i]), want) << c.name << " " << i;
        }
        EXPECT_EQ(g[t], 0x21);
        EXPECT_EQ(g[t + 1], 0xF9);
        EXPECT_EQ(g[t + 3], c.gceFlags) << c.name;
        EXPECT_EQ(g[t + 6], c.transIndex) << c.name;
        EXPECT_EQ(g[t + 8], 0x2C);
        EXPECT_EQ(g[t + 17], 0) << c.name; // no local table, not interlaced
        EXPECT_EQ(g[t + 18], c.minCode) << c.name;
        EXPECT_EQ(g.back(), 0x3B);
        TPixelGraphic back;
        ReadBack(g, back);
        ExpectSameColors(pic, back);
    }
}

TEST(GifWrite, InterlacedTableFollowsStoredRowOrder) {
    // One colour per row: the table lists the rows in the order they are stored.
    for (int h : {10, 3, 1}) {
        TPixelGraphic pic;
        Make24(pic, 4, h, [](int, int y) { return RGB(y * 20, 7, 9); });
        const std::vector<uint8_t> g = Encode(pic, true);
        EXPECT_EQ(g[TableEnd(g) + 17], 0x40);
        const std::vector<int> order = h == 10  ? std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}
                                       : h == 3 ? std::vector<int>{0, 2, 1}
                                                : std::vector<int>{0};
        for (size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(g[13 + 3 * i], order[i] * 20) << h;
        TPixelGraphic back;
        ReadBack(g, back);
        ExpectSameColors(pic, back);
    }
}

TEST(GifWrite, RoundTripsEveryPixelFormatAndLongRuns) {
    struct Case {
        const char* name;
        TPGPixelFormat format;
        int w, h;
        bool interlaced;
    } cases[] = {
        {"1x1", pg24Bit, 1, 1, false},
        {"noise 8-bit, many table resets", pg8Bit, 301, 207, false},
        {"noise 8-bit interlaced", pg8Bit, 97, 61, true},
        {"4-bit", pg4Bit, 33, 17, false},
        {"1-bit", pg1Bit, 65, 9, true},
        {"one colour, 1000 x 1000 (code table fills on runs)", pg24Bit, 1000, 1000, false},
    };
    uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1103515245u + 12345u, int(seed >> 16); };
    for (const Case& c : cases) {
        TPixelGraphic pic;
        pic.SetFormat(c.w, c.h, c.format);
        if (c.format != pg24Bit) {
            const int n = PixelFormatColors(c.format);
            pic.SetPaletteCount(n);
            for (int i = 0; i < n; ++i)
                pic.SetPaletteEntry(i, RGB(i, 255 - i, i * 7));
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x)
                    pic.SetPixel(x, y, rnd() % n);
        } else {
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x)
                    pic.SetPixel(x, y, c.w == 1 ? RGB(1, 2, 3) : RGB(9, 9, 9));
        }
        TPixelGraphic back;
        ReadBack(Encode(pic, c.interlaced), back);
        ExpectSameColors(pic, back);
    }
}

TEST(GifWrite, FailuresWriteNoFile) {
    codecoracle::TempDir dir;
    TPixelGraphic many, empty, wide;
    Make24(many, 257, 1, [](int x, int) { return RGB(x & 255, x >> 8, 0); });
    wide.SetFormat(65536, 1, pg1Bit);
    wide.SetPaletteIdent(pBlackWhite);
    struct Case {
        const char* name;
        TPixelGraphic* pic;
        int code;
    } cases[] = {{"257 colours", &many, 4},
                 {"empty", &empty, gifInvalidSize},
                 {"65536 wide", &wide, gifInvalidSize}};
    for (const Case& c : cases) {
        const std::string name = dir / (std::string(c.name) + ".gif");
        EXPECT_FALSE(WriteGIFFile(name, *c.pic, false, 0, false)) << c.name;
        EXPECT_EQ(GIFErrorCode, c.code) << c.name;
        EXPECT_FALSE(std::filesystem::exists(name)) << c.name;
    }
    // An existing file stays as it was when the new picture cannot be written.
    codecoracle::WriteFile(dir / "keep.gif", {1, 2, 3});
    EXPECT_FALSE(WriteGIFFile(dir / "keep.gif", many, false, 0, false));
    EXPECT_EQ(codecoracle::ReadFile(dir / "keep.gif"), (std::vector<uint8_t>{1, 2, 3}));
    // The 256th colour as transparent index 255.
    Make24(many, 256, 1, [](int x, int) { return RGB(x, 0, 0); });
    const std::vector<uint8_t> g = Encode(many, false, RGB(255, 0, 0), true);
    EXPECT_EQ(g[TableEnd(g) + 3], 1);
    EXPECT_EQ(g[TableEnd(g) + 6], 255);
}

TEST(GifWrite, IndependentDecodersSeeTheColoursWeWrote) {
    if (!codecoracle::Have("convert") || !codecoracle::Have("gifsicle") || !codecoracle::Have("giftext"))
        GTEST_SKIP() << "oracles missing";
    codecoracle::TempDir dir;
    struct Case {
        const char* name;
        int w, h, colors;
        bool interlaced;
    } cases[] = {{"a", 1, 1, 1, false},
                 {"b", 123, 77, 256, false},
                 {"c", 64, 50, 5, true},
                 {"d", 600, 400, 2, false},
                 {"e", 40, 300, 200, true}};
    for (const Case& c : cases) {
        TPixelGraphic pic;
        Make24(pic, c.w, c.h, [&](int x, int y) {
            const int i = (x * 7 + y * 13 + (x * y) / 5) % c.colors;
            return RGB(i * 37, 255 - i, i ^ 0x55);
        });
        const std::string f = dir / (std::string(c.name) + ".gif");
        ASSERT_TRUE(WriteGIFFile(f, pic, c.interlaced, RGB(37, 254, 0x54), true)) << c.name;
        EXPECT_EQ(codecoracle::Run("giftext '" + f + "' >/dev/null 2>&1"), 0) << c.name;
        std::string info;
        EXPECT_EQ(codecoracle::Run("gifsicle --info '" + f + "' 2>&1", &info), 0) << c.name;
        EXPECT_EQ(info.find("error"), std::string::npos) << info;
        std::vector<uint8_t> want;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const TRGB col = pic.GetPixel(x, y);
                want.insert(want.end(), {uint8_t(GetRValue(col)), uint8_t(GetGValue(col)),
                                         uint8_t(GetBValue(col))});
            }
        std::string magick;
        codecoracle::Run("convert '" + f + "' -depth 8 rgb:-", &magick);
        EXPECT_EQ(std::vector<uint8_t>(magick.begin(), magick.end()), want) << c.name;
        if (codecoracle::Have("/usr/bin/python3")) {
            std::string pil;
            codecoracle::Run("/usr/bin/python3 -c \"import sys;from PIL import Image;"
                        "sys.stdout.buffer.write(Image.open('" +
                            f + "').convert('RGB').tobytes())\"",
                        &pil);
            EXPECT_EQ(std::vector<uint8_t>(pil.begin(), pil.end()), want) << c.name;
        }
    }
}

} // namespace

namespace {

TEST(GifExport, PalettePicturesAsTheyAreTrueColourReduced) {
    codecoracle::TempDir dir;
    TPixelGraphic pal;
    pal.SetFormat(7, 5, pg4Bit);
    pal.SetPaletteIdent(pSys16);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            pal.SetPixel(x, y, (x + y) % 16);
    EXPECT_FALSE(GIFExportNeedsReduction(pal));
    ASSERT_TRUE(ExportGIF(pal, dir / "p.gif", false, 0, false));
    TPixelGraphic back;
    ReadBack(codecoracle::ReadFile(dir / "p.gif"), back);
    ExpectSameColors(pal, back);

    TPixelGraphic rgb;
    Make24(rgb, 64, 48, [](int x, int y) { return RGB(x * 4, y * 5, (x ^ y) * 3); });
    EXPECT_TRUE(GIFExportNeedsReduction(rgb));
    const auto copy = GIFExportPicture(rgb);
    EXPECT_EQ(copy->PixelFormat(), pg8Bit);
    EXPECT_EQ(copy->PaletteCount(), 252);
    ASSERT_TRUE(ExportGIF(rgb, dir / "r.gif", true, 0, false));
    ReadBack(codecoracle::ReadFile(dir / "r.gif"), back);
    ExpectSameColors(*copy, back);
}

} // namespace
