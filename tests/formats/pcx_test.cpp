#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/palettes.h"
#include "formats/pcx.h"
#include "raster_support.h"

using namespace raster;

namespace {

struct PCXSpec {
    int version = 5, bits = 8, planes = 1, w = 4, h = 2, bpl = 4, paletteInfo = 1, reserved = 0;
};

// A PCX file whose rows (planes x bpl raw bytes each) are coded byte by byte.
Bytes MakePCX(const PCXSpec& s, const Bytes& raw) {
    Bytes f(128, 0);
    f[0] = 10;
    f[1] = uint8_t(s.version);
    f[2] = 1;
    f[3] = uint8_t(s.bits);
    f[8] = uint8_t(s.w - 1);
    f[9] = uint8_t((s.w - 1) >> 8);
    f[10] = uint8_t(s.h - 1);
    f[11] = uint8_t((s.h - 1) >> 8);
    for (int i = 0; i < 48; ++i) f[size_t(16 + i)] = uint8_t(i * 5);
    f[64] = uint8_t(s.reserved);
    f[65] = uint8_t(s.planes);
    f[66] = uint8_t(s.bpl);
    f[67] = uint8_t(s.bpl >> 8);
    f[68] = uint8_t(s.paletteInfo);
    for (uint8_t b : raw) {
        if (b >= 192) f.push_back(0xC1);
        f.push_back(b);
    }
    return f;
}

void AppendPalette(Bytes& f) {
    f.push_back(12);
    for (int i = 0; i < 256; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
}

std::string ReadError(const Bytes& f, TPixelGraphic& pic) {
    TPCXFileFormatReader r;
    return MessageOf<EPGPCXFileFormatReader>([&] { ReadWith(r, f, pic); });
}

} // namespace

// Files made by netpbm and ImageMagick in every layout decode to their pixels.
TEST(PCXReader, MatchesOraclesInEveryLayout) {
    if (!HaveTool("ppmtopcx") || !HaveTool(kConvert)) GTEST_SKIP() << "oracles missing";
    struct Case {
        int colors;
        std::string tool;
        TPGPixelFormat format;
    } cases[] = {
        {0, "ppmtopcx -24bit", pg24Bit},
        {200, "ppmtopcx -8bit", pg8Bit},
        {16, "ppmtopcx", pg4Bit},
        {2, "ppmtopcx", pg1Bit},
        {0, kConvert + " ppm:- pcx:-", pg24Bit},
        {200, kConvert + " ppm:- -type Palette pcx:-", pg8Bit},
    };
    TempDir dir;
    for (const auto& c : cases)
        for (auto [w, h] : {std::pair{37, 13}, std::pair{64, 3}}) {
            SCOPED_TRACE(c.tool + " " + std::to_string(w));
            const Bytes rgb = Pattern(w, h, c.colors);
            WriteP6(dir / "in.ppm", w, h, rgb);
            ASSERT_EQ(Shell(c.tool + " < '" + (dir / "in.ppm") + "' > '" + (dir / "o.pcx") + "'"), 0);
            TPixelGraphic pic;
            TPCXFileFormatReader r;
            ReadFile(r, dir / "o.pcx", pic);
            EXPECT_EQ(pic.PixelFormat(), c.format);
            EXPECT_EQ(PictureRGB(pic), rgb);
            // netpbm's own decoder agrees (ImageMagick inverts 1-bit files).
            ASSERT_EQ(Shell("pcxtoppm '" + (dir / "o.pcx") + "' > '" + (dir / "back.ppm") + "'"), 0);
            EXPECT_EQ(PictureRGB(pic), ConvertRGB(dir / "back.ppm"));
        }
}

TEST(PCXReader, PalettesAndRowMasks) {
    TPixelGraphic pic;
    TPCXFileFormatReader r;
    // Version 3 shows the system colours whatever the header's map holds.
    ReadWith(r, MakePCX({3, 1, 4, 8, 1, 1}, {0x80, 0x40, 0, 0}), pic);
    EXPECT_EQ(pic.PixelFormat(), pg4Bit);
    EXPECT_EQ(pic.PaletteIdent(), pSys16);
    EXPECT_EQ(pic.GetPixel(0, 0), 1);
    EXPECT_EQ(pic.GetPixel(1, 0), 2);
    // Other versions use the header's 16 colours.
    ReadWith(r, MakePCX({5, 1, 4, 8, 1, 1}, {0, 0, 0, 0x80}), pic);
    EXPECT_EQ(pic.PaletteEntry(8), RGB(120, 125, 130));
    EXPECT_EQ(pic.GetPixel(0, 0), 8);
    // A 10-pixel 1-bit row keeps the top 2 bits of its second byte.
    ReadWith(r, MakePCX({5, 1, 1, 10, 1, 2}, {0xFF, 0xFF}), pic);
    EXPECT_EQ(pic.ScanLine(0)[1], 0xC0);
    // A width that fills whole bytes (32) has no partial byte to mask; the
    // row past it must not be touched.
    ReadWith(r, MakePCX({5, 1, 1, 32, 2, 4}, Bytes(8, 0xA5)), pic);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 32; ++x) EXPECT_EQ(pic.GetPixel(x, y), (0xA5 >> (7 - x % 8)) & 1);
    // The 256-colour palette comes from the file's tail.
    Bytes f = MakePCX({5, 8, 1, 2, 1, 2}, {7, 200});
    AppendPalette(f);
    ReadWith(r, f, pic);
    EXPECT_EQ(pic.GetPixelColor(1, 0), RGB(200, 55, 100));
}

TEST(PCXReader, RejectsBadFilesWithItsMessages) {
    Bytes noMarker = MakePCX({}, Bytes(8, 1));
    noMarker.resize(noMarker.size() + 769, 0);
    Bytes shortTail = MakePCX({}, Bytes(8, 1)); // no room for a palette at all
    Bytes truncated = MakePCX({5, 8, 1, 4, 3, 4}, Bytes(12, 9));
    AppendPalette(truncated);
    truncated.resize(128 + 6); // palette gone too: the marker check fails first
    Bytes truncated24 = MakePCX({5, 8, 3, 4, 3, 4}, Bytes(36, 9));
    truncated24.resize(128 + 14);
    struct Case {
        const char* name;
        Bytes file;
        std::string message;
    } cases[] = {
        {"palette info 2", MakePCX({5, 8, 1, 4, 2, 4, 2}, {}), "PCX: Unknown subformat"},
        {"palette info 0", MakePCX({5, 8, 1, 4, 2, 4, 0}, {}), "PCX: Unknown subformat"},
        {"reserved", MakePCX({5, 8, 1, 4, 2, 4, 1, 1}, {}), "PCX: Unknown subformat"},
        {"2 bits", MakePCX({5, 2, 1, 4, 2, 4}, {}), "PCX: Unknown subformat"},
        {"bytes per line 0", MakePCX({5, 8, 3, 4, 2, 0}, {}), "PCX: Unknown subformat"},
        {"bytes per line short", MakePCX({5, 8, 3, 40, 2, 39}, Bytes(240, 1)), "PCX: Unknown subformat"},
        {"1-bit line short", MakePCX({5, 1, 1, 17, 1, 2}, Bytes(2, 1)), "PCX: Unknown subformat"},
        {"no marker", noMarker, "PCX: Unknown subformat"},
        {"shorter than palette", shortTail, "PCX: Unknown subformat"},
        {"truncated 8-bit", truncated, "PCX: Unknown subformat"},
        {"header only", Bytes(noMarker.begin(), noMarker.begin() + 60), "PCX: Unexpected end of file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPixelGraphic pic;
        EXPECT_EQ(ReadError(c.file, pic), c.message);
    }
    // A truncated file fails after the rows it holds.
    TPixelGraphic pic;
    EXPECT_EQ(ReadError(truncated24, pic), "PCX: Unexpected end of file");
    EXPECT_EQ(pic.GetHeight(), 3);
    EXPECT_EQ(pic.GetPixelColor(0, 0), RGB(9, 9, 9));
    TPCXFileFormatReader r;
    EXPECT_EQ(MessageOf<EPGPCXFileFormatReader>([&] {
                  TReadOnlyMemoryStream s(truncated24.data(), int64_t(truncated24.size()));
                  r.Read(s, pic, 1);
              }),
              "PCX: Index invalid");
}

TEST(PCXReader, InfoTexts) {
    struct Case {
        PCXSpec layout;
        int bits;
        std::string colors, subType;
    } cases[] = {
        {{0, 1, 1, 10, 7, 2}, 1, "2", "Version 2.5 (0)"},
        {{2, 1, 4, 10, 7, 2}, 4, "16", "Version 2.8 (2) with Palette"},
        {{3, 1, 4, 10, 7, 2}, 4, "16", "Version 2.8 (3) without Palette"},
        {{5, 8, 3, 10, 7, 10}, 24, "16.7M", "Version 3.0 (5)"},
        {{4, 8, 1, 10, 7, 10}, 8, "256", ""},
    };
    for (const auto& c : cases) {
        const Bytes f = MakePCX(c.layout, {});
        TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
        TPGImageInfo info;
        TPCXFileFormatReader().GetInfo(s, 0, info);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
        EXPECT_EQ(info.Colors, c.colors);
        EXPECT_EQ(info.SubType, c.subType);
        EXPECT_EQ(info.Width, 10);
        EXPECT_EQ(info.Height, 7);
    }
    EXPECT_TRUE(TPCXFileFormatReader().CheckSignature(MakePCX({}, {}).data(), 17));
}
