#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "formats/tga.h"
#include "raster_support.h"

using namespace raster;

namespace {

struct TGASpec {
    int type = 2, depth = 24, w = 2, h = 2, descriptor = 0;
    int mapType = 0, firstIndex = 0, mapLength = 0, entrySize = 0;
};

Bytes MakeTGA(const TGASpec& s, const Bytes& map, const Bytes& data, const std::string& id = "") {
    Bytes f(18, 0);
    f[0] = uint8_t(id.size());
    f[1] = uint8_t(s.mapType);
    f[2] = uint8_t(s.type);
    f[3] = uint8_t(s.firstIndex);
    f[4] = uint8_t(s.firstIndex >> 8);
    f[5] = uint8_t(s.mapLength);
    f[6] = uint8_t(s.mapLength >> 8);
    f[7] = uint8_t(s.entrySize);
    f[12] = uint8_t(s.w);
    f[13] = uint8_t(s.w >> 8);
    f[14] = uint8_t(s.h);
    f[15] = uint8_t(s.h >> 8);
    f[16] = uint8_t(s.depth);
    f[17] = uint8_t(s.descriptor);
    f.insert(f.end(), id.begin(), id.end());
    f.insert(f.end(), map.begin(), map.end());
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

TPixelGraphic& Load(TPixelGraphic& pic, const Bytes& f) {
    TTGAFileFormatReader r;
    ReadWith(r, f, pic);
    return pic;
}

std::string ReadError(const Bytes& f) {
    TPixelGraphic pic;
    TTGAFileFormatReader r;
    return MessageOf<EPGTGAFileFormatReader>([&] { ReadWith(r, f, pic); });
}

} // namespace

// Files made by netpbm, ImageMagick and Pillow, raw and run-length coded,
// bottom-up and top-down, decode to the pixels they were made from.
TEST(TGAReader, MatchesFilesFromOtherEncoders) {
    if (!HaveTool("pamtotga") || !HaveTool(kConvert)) GTEST_SKIP() << "oracles missing";
    const std::string pil = kPython + " -c \"from PIL import Image; import sys; "
                                      "Image.open(sys.argv[1]).save(sys.argv[2], compression=sys.argv[3], "
                                      "orientation=int(sys.argv[4]))\" ";
    struct Case {
        int colors;
        std::string cmd; // IN and OUT stand for the files
        TPGPixelFormat format;
    } cases[] = {
        {0, "pamtotga -rgb IN > OUT", pg24Bit},
        {0, "pamtotga -rgb -norle IN > OUT", pg24Bit},
        {100, "pamtotga -cmap IN > OUT", pg8Bit},
        {100, "pamtotga -cmap -norle IN > OUT", pg8Bit},
        {0, kConvert + " IN -orient TopLeft -compress RLE tga:OUT", pg24Bit},
        {0, kConvert + " IN -orient TopLeft -compress None tga:OUT", pg24Bit},
        {100, kConvert + " IN -orient TopLeft -type Palette -compress RLE tga:OUT", pg8Bit},
        {0, kConvert + " IN -orient TopLeft -alpha set -channel A -evaluate set 50% -compress RLE tga:OUT", pg24Bit},
        {0, pil + "IN OUT tga_rle 1", pg24Bit},
        {0, pil + "IN OUT tga_rle -1", pg24Bit},
        {0, pil + "IN OUT none 1", pg24Bit},
    };
    TempDir dir;
    const bool havePillow = Shell(kPython + " -c 'import PIL'") == 0;
    for (const auto& c : cases) {
        if (c.cmd.find("PIL") != std::string::npos && !havePillow) continue;
        const int w = 203, h = 7; // rows longer than a packet, odd width
        SCOPED_TRACE(c.cmd);
        const Bytes rgb = Pattern(w, h, c.colors);
        WriteP6(dir / "in.ppm", w, h, rgb);
        std::string cmd = c.cmd;
        cmd.replace(cmd.find("IN"), 2, "'" + (dir / "in.ppm") + "'");
        cmd.replace(cmd.find("OUT"), 3, "'" + (dir / "o.tga") + "'");
        ASSERT_EQ(Shell(cmd), 0);
        TPixelGraphic pic;
        Load(pic, Slurp(dir / "o.tga"));
        EXPECT_EQ(pic.PixelFormat(), c.format);
        EXPECT_EQ(PictureRGB(pic), rgb);
    }
    // Grey files.
    const Bytes grey = Pattern(31, 5, 2);
    WriteP6(dir / "g.ppm", 31, 5, grey);
    ASSERT_EQ(Shell("ppmtopgm '" + (dir / "g.ppm") + "' | pamtotga -mono > '" + (dir / "g.tga") + "'"), 0);
    TPixelGraphic pic;
    Load(pic, Slurp(dir / "g.tga"));
    EXPECT_EQ(pic.PaletteIdent(), pGray256);
    EXPECT_EQ(PictureRGB(pic), grey);
}

// What we write, netpbm and Pillow read as our pixels.
TEST(TGAWriter, OraclesReadOurFiles) {
    if (!HaveTool("tgatoppm")) GTEST_SKIP() << "oracles missing";
    TempDir dir;
    for (int colors : {0, 50}) {
        SCOPED_TRACE(colors);
        const int w = 45, h = 6;
        TPixelGraphic pic;
        PictureFromRGB(pic, w, h, Pattern(w, h, colors));
        if (colors) {
            // An 8-bit picture with its own palette.
            TPixelGraphic pal;
            pal.SetFormat(w, h, pg8Bit);
            pal.SetPaletteCount(colors);
            const Bytes rgb = Pattern(w, h, colors);
            for (int i = 0; i < colors; ++i) pal.SetPaletteEntry(i, RGB(i * 37 % 256, i * 91 % 256, i * 53 % 256));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) pal.SetPixel(x, y, (x * 7 + y * 3) % colors);
            TTGAFileFormatWriter wr;
            WriteFile(wr, pal, dir / "o.tga");
        } else {
            TTGAFileFormatWriter wr;
            WriteFile(wr, pic, dir / "o.tga");
        }
        ASSERT_EQ(Shell("tgatoppm '" + (dir / "o.tga") + "' > '" + (dir / "o.ppm") + "'"), 0);
        EXPECT_EQ(ConvertRGB(dir / "o.ppm"), PictureRGB(pic));
        const Bytes pil = PillowRGB(dir / "o.tga");
        if (!pil.empty()) {
            EXPECT_EQ(pil, PictureRGB(pic));
        }
        // And our own reader gives the same pixels back.
        TPixelGraphic back;
        Load(back, Slurp(dir / "o.tga"));
        EXPECT_EQ(PictureRGB(back), PictureRGB(pic));
    }
}

TEST(TGAReader, OriginsDepthsAndGrey) {
    TPixelGraphic pic;
    // Top-down 24-bit through the direct row path: first file row on top.
    Load(pic, MakeTGA({2, 24, 1, 2, 0x20}, {}, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(pic.GetPixel(0, 1), RGB(6, 5, 4));
    // Bottom-up: first file row at the bottom.
    Load(pic, MakeTGA({2, 24, 1, 2, 0}, {}, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(pic.GetPixel(0, 1), RGB(3, 2, 1));
    // Right to left is mirrored back.
    Load(pic, MakeTGA({2, 24, 2, 1, 0x30}, {}, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(6, 5, 4));
    EXPECT_EQ(pic.GetPixel(1, 0), RGB(3, 2, 1));
    // 32 bits: alpha dropped.
    Load(pic, MakeTGA({2, 32, 1, 1, 0}, {}, {10, 20, 30, 99}));
    EXPECT_EQ(pic.PixelFormat(), pg24Bit);
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(30, 20, 10));
    // 16 bits: 5 bits a channel, shifted left 3 (red 31, green 1, blue 2).
    Load(pic, MakeTGA({2, 16, 1, 1, 0}, {}, {0x22, 0x7C}));
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(248, 8, 16));
    // Type 3 without a map: 256 greys.
    Load(pic, MakeTGA({3, 8, 2, 1, 0}, {}, {0, 200}));
    EXPECT_EQ(pic.PaletteIdent(), pGray256);
    EXPECT_EQ(pic.GetPixelColor(1, 0), RGB(200, 200, 200));
    // A picture without columns reads as empty (no rows to store into).
    Load(pic, MakeTGA({2, 24, 0, 3, 0}, {}, {}));
    EXPECT_EQ(pic.GetWidth(), 0);
    // An image ID is skipped.
    Load(pic, MakeTGA({3, 8, 1, 1, 0}, {}, {77}, "hello"));
    EXPECT_EQ(pic.GetPixel(0, 0), 77);
}

TEST(TGAReader, RunsCrossRowsAndColourMapsStartAnywhere) {
    TPixelGraphic pic;
    // One repeat packet of 6 pixels and one raw packet of 3 spanning three
    // rows of 3: every row gets its pixels, none is shifted.
    Load(pic, MakeTGA({10, 24, 3, 3, 0x20}, {}, {0x85, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(pic.GetPixel(x, 0), RGB(3, 2, 1));
        EXPECT_EQ(pic.GetPixel(x, 1), RGB(3, 2, 1));
    }
    EXPECT_EQ(pic.GetPixel(0, 2), RGB(6, 5, 4));
    EXPECT_EQ(pic.GetPixel(2, 2), RGB(12, 11, 10));
    // A map whose first entry is index 2 (entries counted in bytes, not
    // bits): indexes 2 and 3 get the map's entries, 0 and 1 are black.
    const Bytes map = {10, 20, 30, 40, 50, 60};
    Load(pic, MakeTGA({1, 8, 2, 1, 0, 1, 2, 2, 24}, map, {2, 3}));
    EXPECT_EQ(pic.PaletteCount(), 4);
    EXPECT_EQ(pic.GetPixelColor(0, 0), RGB(30, 20, 10));
    EXPECT_EQ(pic.GetPixelColor(1, 0), RGB(60, 50, 40));
    EXPECT_EQ(pic.PaletteEntry(0), RGB(0, 0, 0));
    // First index beyond the length (no negative count) with 16-bit entries.
    Load(pic, MakeTGA({1, 8, 1, 1, 0, 1, 5, 1, 16}, {0x00, 0x7C}, {5}));
    EXPECT_EQ(pic.PaletteCount(), 6);
    EXPECT_EQ(pic.GetPixelColor(0, 0), RGB(248, 0, 0));
    // A 32-bit map on a true-colour picture is skipped over.
    Load(pic, MakeTGA({2, 24, 1, 1, 0, 1, 0, 2, 32}, Bytes(8, 0xEE), {1, 2, 3}));
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(3, 2, 1));
}

TEST(TGAReader, RejectsWhatItCannotRead) {
    struct Case {
        const char* name;
        Bytes file;
        std::string message;
    } cases[] = {
        {"depth 12", MakeTGA({2, 12, 1, 1}, {}, {1, 2}), "TGA: Not supported subformat"},
        {"type 0 (no image)", MakeTGA({0, 24, 1, 1}, {}, {1, 2, 3}), "TGA: Not supported subformat"},
        {"type 32", MakeTGA({32, 24, 1, 1}, {}, {1, 2, 3}), "TGA: Not supported subformat"},
        {"16-bit indexes", MakeTGA({1, 16, 1, 1, 0, 1, 0, 1, 24}, {1, 2, 3}, {0, 0}),
         "TGA: Not supported subformat"},
        {"map entry size 8", MakeTGA({1, 8, 1, 1, 0, 1, 0, 1, 8}, {1}, {0}), "TGA: Not supported subformat"},
        {"short header", Bytes(10, 0), "TGA: Unexpected end of file"},
        {"short raw data", MakeTGA({2, 24, 2, 2}, {}, Bytes(11, 1)), "TGA: Unexpected end of file"},
        {"short RLE data", MakeTGA({10, 24, 200, 2}, {}, {0xFF, 1, 2, 3, 0xFF, 1, 2, 3}),
         "TGA: Unexpected end of file"},
        {"huge for its data", MakeTGA({10, 24, 65535, 65535}, {}, {0xFF, 1, 2, 3}),
         "TGA: Unexpected end of file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadError(c.file), c.message);
    }
}

TEST(TGAWriter, LayoutAndLimits) {
    TPixelGraphic pic;
    pic.SetFormat(3, 2, pg24Bit);
    pic.SetPixel(0, 0, RGB(1, 2, 3));
    pic.SetPixel(0, 1, RGB(4, 5, 6));
    TTGAFileFormatWriter w;
    Bytes f = WriteWith(w, pic);
    ASSERT_EQ(f.size(), 18u + 18u);
    EXPECT_EQ(f[2], 2);
    EXPECT_EQ(f[16], 24);
    EXPECT_EQ(f[17], 0);
    // Bottom row first, blue-green-red, no padding.
    EXPECT_EQ(Bytes(f.begin() + 18, f.begin() + 21), (Bytes{6, 5, 4}));
    EXPECT_EQ(Bytes(f.begin() + 27, f.begin() + 30), (Bytes{3, 2, 1}));

    pic.SetFormat(5, 1, pg8Bit);
    pic.SetPaletteIdent(pGray256);
    pic.SetPixel(4, 0, 9);
    f = WriteWith(w, pic);
    EXPECT_EQ(f[1], 1);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[5] | (f[6] << 8), 256);
    EXPECT_EQ(f[7], 24);
    EXPECT_EQ(f.size(), 18u + 768u + 5u);
    EXPECT_EQ(f.back(), 9);

    // Sizes the 16-bit header fields cannot hold are refused, not cut.
    for (auto [wd, ht] : {std::pair{65536, 1}, std::pair{1, 65536}}) {
        pic.SetFormat(wd, ht, pg8Bit);
        EXPECT_NE(MessageOf<EPGTGAFileFormatWriter>([&] { WriteWith(w, pic); }), "");
    }
    pic.SetFormat(65535, 1, pg24Bit);
    EXPECT_NO_THROW(WriteWith(w, pic));
}

TEST(TGAReader, InfoTexts) {
    struct Case {
        int type;
        std::string subType, options;
    } cases[] = {
        {1, "Uncompressed", "Color-mapped"},     {2, "Uncompressed", "True-color"},
        {3, "Uncompressed", "\"Black-and-white\""}, {9, "Run-length encoded", "Color-mapped"},
        {10, "Run-length encoded", "True-color"}, {11, "Run-length encoded", "\"Black-and-white\""},
    };
    TTGAFileFormatReader r;
    for (const auto& c : cases) {
        const Bytes f = MakeTGA({c.type, 8, 640, 480}, {}, {});
        TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
        TPGImageInfo info;
        r.GetInfo(s, 0, info);
        EXPECT_EQ(info.SubType, c.subType);
        EXPECT_EQ(info.Options, c.options);
        EXPECT_EQ(info.Width, 640);
        EXPECT_EQ(info.Height, 480);
        EXPECT_EQ(info.Colors, "256");
    }
    for (auto [depth, colors] : {std::pair{16, "65536"}, std::pair{24, "16.7M"}, std::pair{32, "16.7M ?"}}) {
        const Bytes f = MakeTGA({2, depth, 1, 1}, {}, {});
        TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
        TPGImageInfo info;
        r.GetInfo(s, 0, info);
        EXPECT_EQ(info.Colors, colors);
        EXPECT_EQ(info.BitsPerPixel, depth);
    }
    const Bytes bad = MakeTGA({5, 8, 1, 1}, {}, {});
    TReadOnlyMemoryStream s(bad.data(), int64_t(bad.size()));
    TPGImageInfo info;
    EXPECT_EQ(MessageOf<EPGTGAFileFormatReader>([&] { r.GetInfo(s, 0, info); }),
              "TGA: Invalid value for ImageType");
    EXPECT_EQ(MessageOf<EPGTGAFileFormatReader>([&] { r.GetInfo(s, 1, info); }),
              "TGA: Invalid value for Index");
}
