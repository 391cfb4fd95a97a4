// The BMP reader and writer on files built byte by byte: every variant the
// reader takes, the hostile headers it must refuse, and write/read round trips.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/bmp.h"
#include "formats/library.h"

namespace {

struct TBmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = BI_RGB;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> masks; // written after a 40-byte header
    std::vector<uint8_t> table;  // colour table bytes as stored
    std::vector<uint8_t> pixels;
};

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

std::vector<uint8_t> MakeBmp(const TBmpSpec& s) {
    std::vector<uint8_t> v = {'B', 'M'};
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0); // bfOffBits: 0 = "right after the table"
    Put32(v, s.headerSize);
    if (s.headerSize == 12) {
        Put16(v, uint32_t(s.width));
        Put16(v, uint32_t(s.height));
        Put16(v, s.planes);
        Put16(v, s.bits);
    } else {
        Put32(v, uint32_t(s.width));
        Put32(v, uint32_t(s.height));
        Put16(v, s.planes);
        Put16(v, s.bits);
        Put32(v, s.compression);
        Put32(v, s.sizeImage);
        Put32(v, 0);
        Put32(v, 0);
        Put32(v, s.clrUsed);
        Put32(v, 0);
        for (uint32_t m : s.masks)
            Put32(v, m);
    }
    v.insert(v.end(), s.table.begin(), s.table.end());
    v.insert(v.end(), s.pixels.begin(), s.pixels.end());
    return v;
}

std::vector<uint8_t> GrayTable(int n) {
    std::vector<uint8_t> t;
    for (int i = 0; i < n; ++i)
        t.insert(t.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return t;
}

void Load(TPixelGraphic& g, const std::vector<uint8_t>& bytes) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    g.LoadFromStreamExt(s, "bmp", 0);
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
    TPixelGraphic g;
    try {
        Load(g, bytes);
    } catch (const EPGBMPFileFormatReader& e) {
        return e.what();
    } catch (const EReadError& e) {
        return std::string("read: ") + e.what();
    }
    return "";
}

class Bmp : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitImageLibrary(); }
};

} // namespace

TEST_F(Bmp, SixteenAndThirtyTwoBitPixelsThroughMasks) {
    struct Case {
        uint16_t bits;
        std::vector<uint32_t> masks; // empty: BI_RGB defaults
        uint32_t pixel;
        TRGB expect;
    } cases[] = {
        {16, {}, 0x7FFF, RGB(255, 255, 255)},
        {16, {}, 0x0421, RGB(16, 16, 16)},
        {16, {}, 0x0000, RGB(0, 0, 0)},
        {16, {0xF800, 0x07E0, 0x001F}, 63 << 5, RGB(0, 255, 0)}, // 252 + 4, clamped
        {16, {0xF800, 0x07E0, 0x001F}, 1 << 5, RGB(0, 8, 0)},
        {16, {0, 0, 0x001F}, 0xFFFF, RGB(0, 0, 255)}, // a zero mask is a black channel
        {32, {}, 0x00123456, RGB(0x12, 0x34, 0x56)},
        {32,
         {0x3FF00000, 0x000FFC00, 0x000003FF},
         (0x3FFu << 20) | (0x200u << 10) | 0x004,
         RGB(255, 128, 1)}, // 10-bit channels keep their top 8 bits
        {32, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x80402000, RGB(0x80, 0x40, 0x20)},
    };
    for (const Case& c : cases) {
        TBmpSpec s;
        s.bits = c.bits;
        s.width = 1;
        s.height = 1;
        s.compression = c.masks.empty() ? BI_RGB : BI_BITFIELDS;
        s.masks = c.masks;
        Put32(s.pixels, c.pixel);
        TPixelGraphic g;
        Load(g, MakeBmp(s));
        EXPECT_EQ(g.PixelFormat(), pg24Bit);
        EXPECT_EQ(g.GetPixelColor(0, 0), c.expect) << std::hex << c.pixel;
    }
}

TEST_F(Bmp, TopDownFilesLoadUprightAndReportThemselves) {
    for (uint16_t bits : {8, 24, 16}) {
        TBmpSpec s;
        s.bits = bits;
        s.width = 1;
        s.height = -3;
        if (bits == 8) s.table = GrayTable(256);
        for (int row = 0; row < 3; ++row) { // first stored row is the top one
            if (bits == 8) s.pixels.insert(s.pixels.end(), {uint8_t(10 * row), 0, 0, 0});
            if (bits == 24) s.pixels.insert(s.pixels.end(), {uint8_t(10 * row), 0, 0, 0});
            if (bits == 16) Put32(s.pixels, uint32_t(row)); // blue 8 * row + 8
        }
        TPixelGraphic g;
        Load(g, MakeBmp(s));
        ASSERT_EQ(g.GetHeight(), 3);
        for (int y = 0; y < 3; ++y) {
            const int blue = bits == 16 ? (y == 0 ? 0 : 8 * y + 8) : 10 * y;
            EXPECT_EQ(GetBValue(g.GetPixelColor(0, y)), blue) << bits << " row " << y;
        }
        const std::vector<uint8_t> bytes = MakeBmp(s);
        TReadOnlyMemoryStream st(bytes.data(), int64_t(bytes.size()));
        std::string type;
        TPGImageInfo info;
        ASSERT_TRUE(GetImageInfo(st, "", 0, type, info));
        EXPECT_EQ(info.Height, -3);
        EXPECT_EQ(info.SubType, bits == 16 ? "Windows, RGB, Top-Down" : "Windows, RGB, Top-Down");
    }
}

TEST_F(Bmp, RunLengthFilesDecodeEveryCode) {
    // 4 x 3, bottom row first: run, end of line; delta; literal with padding.
    TBmpSpec s8;
    s8.bits = 8;
    s8.width = 4;
    s8.height = 3;
    s8.compression = BI_RLE8;
    s8.table = GrayTable(256);
    s8.pixels = {3, 7, 0,   0,       // row 2 (bottom): 7 7 7 .
                 0, 2, 1,   0,       // delta to x 1 of the same row
                 0, 3, 1,   2, 3, 0, // literal 1 2 3 at x 1..3, padded to even
                 0, 0, 200, 9,       // end of line, run of 200 nines clipped at the edge
                 0, 1};              // end of bitmap
    s8.sizeImage = uint32_t(s8.pixels.size());
    TPixelGraphic g;
    Load(g, MakeBmp(s8));
    const int expect8[3][4] = {{9, 9, 9, 9}, {0, 1, 2, 3}, {7, 7, 7, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(g.GetPixel(x, y), expect8[y][x]) << x << "," << y;

    TBmpSpec s4 = s8;
    s4.bits = 4;
    s4.compression = BI_RLE4;
    s4.table = GrayTable(16);
    s4.pixels = {3, 0x5A, 0,    0,          // bottom: 5 A 5 .
                 0, 3,    0x12, 0x30, 0, 0, // literal 1 2 3, then end of line
                 0, 4,    0xCD, 0xEF};      // literal running past the data: C D E F kept
    s4.sizeImage = 0;                       // 0: the rest of the file
    Load(g, MakeBmp(s4));
    EXPECT_EQ(g.PixelFormat(), pg4Bit);
    const int expect4[3][4] = {{12, 13, 14, 15}, {1, 2, 3, 0}, {5, 10, 5, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(g.GetPixel(x, y), expect4[y][x]) << x << "," << y;
}

TEST_F(Bmp, HostileAndInvalidHeadersGiveTheReadersError) {
    auto layout = [](auto change) {
        TBmpSpec s;
        s.bits = 8;
        s.width = 2;
        s.height = 2;
        s.table = GrayTable(256);
        s.pixels.assign(8, 0);
        change(s);
        return MakeBmp(s);
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string error;
    } cases[] = {
        {"header size", layout([](TBmpSpec& s) { s.headerSize = 41; }),
         "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
        {"planes", layout([](TBmpSpec& s) { s.planes = 2; }),
         "BMP: BitmapInfoHeader.biPlanes invalid"},
        {"bits", layout([](TBmpSpec& s) { s.bits = 7; }), "BMP: BitmapInfoHeader.biBitCount invalid"},
        {"top-down RLE8", layout([](TBmpSpec& s) { s.height = -2, s.compression = BI_RLE8; }),
         "BMP: BitmapInfoHeader.biCompression invalid"},
        {"RLE4 with 8 bits", layout([](TBmpSpec& s) { s.compression = BI_RLE4; }),
         "BMP: BitmapInfoHeader.biCompression invalid"},
        {"bit fields with 8 bits", layout([](TBmpSpec& s) { s.compression = BI_BITFIELDS; }),
         "BMP: BitmapInfoHeader.biCompression invalid"},
        {"height INT_MIN", layout([](TBmpSpec& s) { s.height = INT_MIN; }),
         "BMP: BitmapInfoHeader.biHeight invalid"},
        {"colour count past the data", layout([](TBmpSpec& s) { s.clrUsed = 0x40000000; }),
         "BMP: BitmapInfoHeader.biClrUsed invalid"},
        {"OS/2 bits", layout([](TBmpSpec& s) { s.headerSize = 12, s.bits = 16; }),
         "BMP: BitmapCoreHeader.bcBitCount invalid"},
        {"OS/2 planes", layout([](TBmpSpec& s) { s.headerSize = 12, s.planes = 0; }),
         "BMP: BitmapCoreHeader.bcPlanes invalid"},
        // Sizes far beyond the data fail before anything is allocated.
        {"huge", layout([](TBmpSpec& s) { s.width = 30000, s.height = 30000; }),
         "read: Stream read error"},
        // 32 bits x 1.9 billion x 1.4 billion rows: the size overflows 64 bits.
        {"width x height past 2^63",
         layout([](TBmpSpec& s) { s.bits = 32, s.width = 0x70600001, s.height = 0x50F10500, s.table.clear(); }),
         "read: Stream read error"},
        {"truncated", layout([](TBmpSpec& s) { s.pixels.resize(5); }), "read: Stream read error"},
        {"truncated header",
         std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0},
         "read: Stream read error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadError(c.bytes), c.error) << c.what;

    TPixelGraphic g;
    const auto ok = layout([](TBmpSpec&) {});
    TReadOnlyMemoryStream s(ok.data(), int64_t(ok.size()));
    try {
        g.LoadFromStreamExt(s, "", 1);
        FAIL();
    } catch (const EPGBMPFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "BMP: Index invalid");
    }
}

TEST_F(Bmp, ColourTablesOfEveryLength) {
    // 20 entries: a 20-entry palette, and index 20 is not a colour.
    TBmpSpec s;
    s.bits = 8;
    s.width = 2;
    s.height = 1;
    s.clrUsed = 20;
    s.table = GrayTable(20);
    s.pixels = {19, 20, 0, 0};
    TPixelGraphic g;
    Load(g, MakeBmp(s));
    EXPECT_EQ(g.PaletteCount(), 20);
    EXPECT_EQ(g.GetPixelColor(0, 0), RGB(19, 19, 19));
    EXPECT_THROW(g.GetPixelColor(1, 0), EPGInvalidPaletteIndex);
    // More entries than the bit count allows: the first 2^bits are the
    // palette, the rest is skipped to reach the pixels.
    TBmpSpec big;
    big.bits = 1;
    big.width = 8;
    big.height = 1;
    big.clrUsed = 5;
    big.table = GrayTable(5);
    big.pixels = {0x80, 0, 0, 0};
    Load(g, MakeBmp(big));
    EXPECT_EQ(g.PaletteCount(), 2);
    EXPECT_EQ(g.GetPixelColor(0, 0), RGB(1, 1, 1));
    EXPECT_EQ(g.GetPixelColor(1, 0), RGB(0, 0, 0));
    // OS/2: 3-byte entries.
    TBmpSpec os2;
    os2.headerSize = 12;
    os2.bits = 4;
    os2.width = 2;
    os2.height = 1;
    for (int i = 0; i < 16; ++i)
        os2.table.insert(os2.table.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
    os2.pixels = {0x1F, 0, 0, 0};
    Load(g, MakeBmp(os2));
    EXPECT_EQ(g.GetPixelColor(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(g.GetPixelColor(1, 0), RGB(45, 30, 15));
}

TEST_F(Bmp, WrittenFilesReadBackBitForBit) {
    struct Case {
        TPGPixelFormat format;
        TPaletteIdent ident;
        int width;
    } cases[] = {{pg1Bit, pBlackWhite, 13},
                 {pg4Bit, pSys16, 7},
                 {pg8Bit, pGray256, 5},
                 {pg24Bit, pTrueColor, 3}};
    for (const Case& c : cases) {
        TPixelGraphic g;
        g.SetFormat(c.width, 4, c.format);
        if (c.ident != pTrueColor) g.SetPaletteIdent(c.ident);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < c.width; ++x)
                g.SetPixel(x, y,
                           c.format == pg24Bit ? RGB(x * 40, y * 60, x + y)
                                               : (x * 3 + y) % g.ColorCount());
        TMemoryStream out;
        g.SaveToStreamExt(out, "bmp");
        const auto& d = out.Data();
        const uint32_t offBits = d[10] | (d[11] << 8);
        EXPECT_EQ(offBits, 54u + 4u * uint32_t(g.PaletteCount()));
        EXPECT_EQ(d.size(), offBits + size_t(g.ImageSize()));
        TPixelGraphic back;
        Load(back, d);
        EXPECT_EQ(back.PixelFormat(), c.format);
        EXPECT_EQ(back.PaletteIdent(), c.ident);
        EXPECT_EQ(back.Palette(), g.Palette());
        EXPECT_EQ(std::memcmp(back.Bits(), g.Bits(), size_t(g.ImageSize())), 0);
        // The packed DIB is the file without its 14-byte file header.
        const std::vector<uint8_t> dib = EncodePackedDIB(g);
        EXPECT_TRUE(std::equal(dib.begin(), dib.end(), d.begin() + 14));
        TPixelGraphic fromDib;
        DecodePackedDIB(fromDib, dib.data(), dib.size());
        EXPECT_EQ(std::memcmp(fromDib.Bits(), g.Bits(), size_t(g.ImageSize())), 0);
    }
    // A 4-bit picture with 16 entries: offset 118.
    TPixelGraphic g4;
    g4.SetFormat(3, 3, pg4Bit);
    g4.SetPaletteIdent(pGray16);
    TMemoryStream out;
    g4.SaveToStream(out);
    EXPECT_EQ(out.Data()[10], 118);
    // A palette picture without entries still gets a full table, so the
    // file stays readable.
    TPixelGraphic bare;
    bare.SetFormat(2, 2, pg8Bit);
    TMemoryStream bareOut;
    bare.SaveToStream(bareOut);
    TPixelGraphic back;
    Load(back, bareOut.Data());
    EXPECT_EQ(back.PaletteCount(), 256);
}
