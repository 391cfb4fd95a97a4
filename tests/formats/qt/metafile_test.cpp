// Metafile readers: Windows metafiles (with and without the placeable
// header) and enhanced metafiles built here record by record play into
// pictures with the shapes, bitmaps and text in the right places; broken
// headers and records fail cleanly.

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/qt/metafile_qt.h"
#include "metafile_builders.h"

namespace {
using namespace metatest;

// A red rectangle over the left half, a blue ellipse in the right half,
// a green polygon triangle at the bottom left (logical 1000 x 500).
Wmf Shapes() {
    Wmf w;
    w.Rec(0x0103, {8})               // anisotropic
        .Rec(0x020B, {0, 0})         // window origin
        .Rec(0x020C, {500, 1000})    // window extent y, x
        .Rec(0x02FC, {0, 255, 0, 0}) // brush: solid red
        .Rec(0x012D, {0})
        .Rec(0x02FA, {5, 0, 0, 0, 0}) // null pen
        .Rec(0x012D, {1})
        .Rec(0x041B, {250, 500, 0, 0}) // rectangle b, r, t, l
        .Rec(0x01F0, {0})
        .Rec(0x02FC, {0, 0, 255, 0}) // brush: solid blue, slot 0 again
        .Rec(0x012D, {0})
        .Rec(0x0418, {500, 1000, 0, 600}) // ellipse
        .Rec(0x02FC, {0, 0xFF00, 0, 0})   // green, slot 2
        .Rec(0x012D, {2})
        .Rec(0x0324, {3, 0, 300, 400, 500, 0, 500}); // polygon
    return w;
}

TEST(Metafile, WindowsMetafileShapesWithAndWithoutHeader) {
    tWMFFileFormatReader reader;
    ASSERT_TRUE(reader.CheckSignature(Shapes().Build(true).data(), 17));
    ASSERT_TRUE(reader.CheckSignature(Shapes().Build(false).data(), 17));
    // Placeable: 1000 x 500 units at 1000 per inch = 1 x 0.5 inch at 96 dpi.
    TPixelGraphic pic;
    ReadMeta(reader, Shapes().Build(true), pic);
    ASSERT_EQ(pic.GetWidth(), 96);
    ASSERT_EQ(pic.GetHeight(), 48);
    EXPECT_EQ(pic.PixelFormat(), pg24Bit);
    EXPECT_EQ(pic.GetPixelColor(10, 5), RGB(255, 0, 0));
    EXPECT_EQ(pic.GetPixelColor(76, 24), RGB(0, 0, 255));
    EXPECT_EQ(pic.GetPixelColor(5, 45), RGB(0, 255, 0));
    EXPECT_EQ(pic.GetPixelColor(58, 45), RGB(255, 255, 255));
    TPGImageInfo info = MetaInfo(reader, Shapes().Build(true));
    EXPECT_EQ(info.SubType, "Placeable, Aldus header");
    EXPECT_EQ(info.Width, 96);
    EXPECT_EQ(info.Colors, "16.7M");
    EXPECT_EQ(info.BitsPerPixel, 24);

    // Without a header (or with a broken checksum) the made-up 100 x 50 units
    // at screen resolution apply; the window records still fill the picture.
    for (bool placeable : {false, true}) {
        TPixelGraphic p2;
        const auto bytes = Shapes().Build(placeable, 0, 0, 1000, 500, 1000, false);
        ReadMeta(reader, bytes, p2);
        EXPECT_EQ(p2.GetWidth(), 99);
        EXPECT_EQ(p2.GetHeight(), 49);
        EXPECT_EQ(p2.GetPixelColor(10, 5), RGB(255, 0, 0));
        EXPECT_EQ(p2.GetPixelColor(80, 24), RGB(0, 0, 255));
        EXPECT_EQ(MetaInfo(reader, bytes).SubType, "No header");
    }

    // Thumbnails: 1000 x 500 pixels come out at 130 x 65.
    TPixelGraphic thumb;
    thumb.SetFastRead(true);
    ReadMeta(reader, Shapes().Build(true, 0, 0, 1000, 500, 96), thumb);
    EXPECT_EQ(thumb.GetWidth(), 130);
    EXPECT_EQ(thumb.GetHeight(), 65);
    EXPECT_EQ(thumb.GetPixelColor(10, 10), RGB(255, 0, 0));
}

TEST(Metafile, WindowsMetafileTextAndBitmap) {
    tWMFFileFormatReader reader;
    Wmf w;
    // A 2 x 2 24-bit DIB (bottom-up): bottom row red, green; top row blue, white.
    Bytes bmi;
    bmi.u32(40).u32(2).u32(2).u16(1).u16(24).u32(0).u32(16).u32(0).u32(0).u32(0).u32(0);
    bmi.raw({0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0});
    // STRETCHDIB: rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
    std::vector<int> params = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 250, 500, 0, 0};
    for (size_t i = 0; i + 1 < bmi.b.size(); i += 2)
        params.push_back(bmi.b[i] | bmi.b[i + 1] << 8);
    w.Rec(0x020C, {500, 1000}).Rec(0x0F43, params);
    // Font 150 units high, black text at (550, 300), transparent background.
    std::vector<int> font = {-150, 0, 0, 0, 700, 0, 0, 0, 0};
    const char face[] = "Sans";
    for (int i = 0; i < 16; ++i)
        font.push_back(i < 2 ? face[2 * i] | face[2 * i + 1] << 8 : 0);
    w.Rec(0x02FB, font).Rec(0x012D, {0}).Rec(0x0102, {1}).Rec(0x0209, Color(0, 0, 0));
    w.Rec(0x0521, {4, 'W' | 'W' << 8, 'W' | 'W' << 8, 300, 550});
    TPixelGraphic pic;
    ReadMeta(reader, w.Build(true), pic);
    ASSERT_EQ(pic.GetWidth(), 96);
    EXPECT_EQ(pic.GetPixelColor(5, 3), RGB(0, 0, 255)); // top left of the bitmap
    EXPECT_EQ(pic.GetPixelColor(40, 3), RGB(255, 255, 255));
    EXPECT_EQ(pic.GetPixelColor(5, 20), RGB(255, 0, 0));
    EXPECT_EQ(pic.GetPixelColor(40, 20), RGB(0, 255, 0));
    int dark = 0;
    for (int y = 28; y < 48; ++y)
        for (int x = 52; x < 96; ++x)
            dark += GetRValue(pic.GetPixelColor(x, y)) < 100;
    EXPECT_GT(dark, 20) << "text drawn";
}

// The right edge of the dark pixels of a text line.
int TextRight(const std::vector<std::pair<int, std::vector<int>>>& spacing) {
    tWMFFileFormatReader reader;
    Wmf w;
    w.Rec(0x020C, {500, 2000});
    std::vector<int> font = {-150, 0, 0, 0, 400, 0, 0, 0, 0};
    const char face[] = "Sans";
    for (int i = 0; i < 16; ++i)
        font.push_back(i < 2 ? face[2 * i] | face[2 * i + 1] << 8 : 0);
    w.Rec(0x02FB, font).Rec(0x012D, {0}).Rec(0x0102, {1}).Rec(0x0209, Color(0, 0, 0));
    for (const auto& [record, params] : spacing)
        w.Rec(record, params);
    w.Rec(0x0521, {5, 'W' | ' ' << 8, 'W' | ' ' << 8, 'W', 100, 50});
    TPixelGraphic pic;
    ReadMeta(reader, w.Build(true), pic);
    int right = -1;
    for (int y = 0; y < pic.GetHeight(); ++y)
        for (int x = 0; x < pic.GetWidth(); ++x)
            if (GetRValue(pic.GetPixelColor(x, y)) < 100) right = std::max(right, x);
    return right;
}

TEST(Metafile, CharacterExtraAndJustificationWidenText) {
    const int plain = TextRight({});
    ASSERT_GT(plain, 0) << "text drawn";
    // 100 logical units are 5 pixels here: four gaps after the first W.
    const int extra = TextRight({{0x0108, {100}}});
    EXPECT_GE(extra - plain, 15);
    // 400 units (20 pixels) shared by the two blanks.
    const int justified = TextRight({{0x020A, {2, 400}}});
    EXPECT_GE(justified - plain, 15);
    EXPECT_EQ(TextRight({{0x020A, {2, 400}}, {0x020A, {0, 0}}}), plain);
}

TEST(Metafile, DeviceDependentPatternBrushes) {
    // 8 x 8 tiles over a picture 96 pixels wide (1 logical unit = 1 pixel).
    auto play = [](std::vector<int> bitmap16) {
        tWMFFileFormatReader reader;
        Wmf w;
        w.Rec(0x020C, {48, 96}).Rec(0x0209, Color(0, 0, 255)).Rec(0x0201, Color(255, 255, 0));
        w.Rec(0x02FA, {5, 0, 0, 0, 0}).Rec(0x012D, {0});
        w.Rec(0x01F9, bitmap16).Rec(0x012D, {1}).Rec(0x041B, {48, 96, 0, 0});
        TPixelGraphic pic;
        ReadMeta(reader, w.Build(true), pic);
        return pic.GetWidth() >= 16 ? std::pair(pic.GetPixelColor(1, 3), pic.GetPixelColor(13, 3))
                                    : std::pair(TRGB(1), TRGB(1));
    };
    // Type, width, height, width bytes, planes | bits << 8, bits pointer;
    // 18 unused bytes; rows.
    std::vector<int> mono = {0, 8, 8, 2, 0x0101, 0, 0};
    mono.resize(16, 0);
    for (int y = 0; y < 8; ++y)
        mono.push_back(0x000F); // 0000 1111: text colour, then background colour
    EXPECT_EQ(play(mono), std::pair(RGB(0, 0, 255), RGB(255, 255, 0)));
    std::vector<int> rgb = {0, 8, 8, 24, 0x1801, 0, 0};
    rgb.resize(16, 0);
    // Built byte by byte: 24-bit rows of 4 red then 4 green pixels.
    std::vector<uint8_t> row;
    for (int x = 0; x < 8; ++x)
        row.insert(row.end(), x < 4 ? std::initializer_list<uint8_t>{0, 0, 255}
                                    : std::initializer_list<uint8_t>{0, 255, 0});
    for (int y = 0; y < 8; ++y)
        for (size_t i = 0; i < row.size(); i += 2)
            rgb.push_back(row[i] | row[i + 1] << 8);
    EXPECT_EQ(play(rgb), std::pair(RGB(255, 0, 0), RGB(0, 255, 0)));
    // A depth that needs the recording device's palette, or rows past the
    // record: grey.
    std::vector<int> eight = {0, 8, 8, 8, 0x0801, 0, 0};
    eight.resize(16 + 32, 0);
    EXPECT_EQ(play(eight), std::pair(RGB(128, 128, 128), RGB(128, 128, 128)));
    mono.resize(18);
    EXPECT_EQ(play(mono), std::pair(RGB(128, 128, 128), RGB(128, 128, 128)));
}

TEST(Metafile, EnhancedMetafileShapesPathsAndBitmap) {
    tEMFFileFormatReader reader;
    Emf e;
    // Frame 2540 x 1270 hundredths of a mm = 96 x 48 pixels at 96 dpi.
    e.Rec(39, I32s({1, 0, RGB(255, 0, 0), 0})) // brush 1: red
        .Rec(37, I32s({1}))
        .Rec(37, I32s({0x80000008}))       // stock null pen
        .Rec(43, I32s({0, 0, 1270, 1270})) // rectangle, left half
        .Rec(39, I32s({2, 0, RGB(0, 0, 255), 0}))
        .Rec(37, I32s({2}))
        .Rec(59, {}) // path: triangle on the right
        .Rec(27, I32s({1400, 0}))
        .Rec(54, I32s({2540, 0}))
        .Rec(54, I32s({2540, 1270}))
        .Rec(61, {})
        .Rec(60, {})
        .Rec(62, I32s({0, 0, 0, 0}));
    // STRETCHDIBITS of a 1 x 1 green 32-bit DIB into the bottom left corner.
    Bytes sd;
    sd.u32(0).u32(0).u32(0).u32(0);                  // bounds
    sd.u32(0).u32(1000).u32(0).u32(0).u32(1).u32(1); // dest origin, src origin, src size
    sd.u32(80).u32(40).u32(120).u32(4).u32(0).u32(0x00CC0020).u32(270).u32(270);
    sd.u32(40).u32(1).u32(1).u16(1).u16(32).u32(0).u32(4).u32(0).u32(0).u32(0).u32(0);
    sd.raw({0, 255, 0, 0});
    e.Rec(81, sd.b);
    const std::vector<uint8_t> bytes = e.Build(2540, 1270);
    ASSERT_TRUE(reader.CheckSignature(bytes.data(), 17));
    TPixelGraphic pic;
    ReadMeta(reader, bytes, pic);
    ASSERT_EQ(pic.GetWidth(), 96);
    ASSERT_EQ(pic.GetHeight(), 48);
    EXPECT_EQ(pic.GetPixelColor(20, 10), RGB(255, 0, 0));
    EXPECT_EQ(pic.GetPixelColor(92, 10), RGB(0, 0, 255));
    EXPECT_EQ(pic.GetPixelColor(60, 40), RGB(255, 255, 255));
    EXPECT_EQ(pic.GetPixelColor(3, 40), RGB(0, 255, 0));
    EXPECT_EQ(MetaInfo(reader, bytes).SubType, "");
}

// EXTTEXTOUTW with character advances puts each character where the file
// says, not where the font would.
TEST(Metafile, EnhancedTextWithCharacterAdvances) {
    tEMFFileFormatReader reader;
    auto withAdvances = [](bool dx) {
        Emf e;
        Bytes font;
        font.u32(1).u32(-2000).u32(0).u32(0).u32(0).u32(700).u32(0).u32(0);
        for (int i = 0; i < 32; ++i)
            font.u16(i < 4 ? "Sans"[i] : 0);
        Bytes text;
        text.u32(0).u32(0).u32(0).u32(0).u32(1).u32(0).u32(0); // bounds, mode, scales
        text.u32(500).u32(500).u32(2).u32(76).u32(0).u32(0).u32(0).u32(0).u32(0);
        text.u32(dx ? 80 : 0).u16('I').u16('I').u32(6000).u32(0);
        e.Rec(82, font.b).Rec(37, I32s({1})).Rec(18, I32s({1})).Rec(84, text.b);
        return e.Build(10160, 5080);
    };
    auto darkIn = [](TPixelGraphic& pic, int x0, int x1) {
        int n = 0;
        for (int y = 0; y < pic.GetHeight(); ++y)
            for (int x = x0; x < x1; ++x)
                n += GetRValue(pic.GetPixelColor(x, y)) < 100;
        return n;
    };
    TPixelGraphic spaced, plain;
    ReadMeta(reader, withAdvances(true), spaced);
    ReadMeta(reader, withAdvances(false), plain);
    ASSERT_EQ(spaced.GetWidth(), 384);
    // 500 and 6500 units are pixels 19 and 246.
    EXPECT_GT(darkIn(spaced, 15, 80), 50);
    EXPECT_EQ(darkIn(spaced, 100, 230), 0);
    EXPECT_GT(darkIn(spaced, 240, 310), 50);
    EXPECT_EQ(darkIn(plain, 240, 384), 0) << "without advances the font spaces the text";
}

TEST(Metafile, BrokenFilesFailCleanly) {
    tWMFFileFormatReader wmf;
    tEMFFileFormatReader emf;
    // A polygon whose count claims far more points than the record holds,
    // and a record whose size passes the end: drawing stops, nothing breaks.
    Wmf bad = Shapes();
    bad.Rec(0x0324, {30000, 1, 2});
    std::vector<uint8_t> cut = Shapes().Build(true);
    cut.resize(cut.size() - 10);
    Emf badEmf;
    badEmf.Rec(86, I32s({0, 0, 0, 0, 1000000}));    // POLYGON16 with a huge count
    badEmf.Rec(81, std::vector<uint8_t>(72, 0xFF)); // STRETCHDIBITS with offsets beyond the record
    struct Case {
        const char* name;
        TFileFormatReader* reader;
        std::vector<uint8_t> bytes;
        bool fails;
    } cases[] = {
        {"zero width box", &wmf, Shapes().Build(true, 10, 0, 10, 500), true},
        {"box of absurd size", &wmf, Shapes().Build(true, -32768, -32768, 32767, 32767, 1), true},
        {"no metafile", &wmf, {1, 2, 3}, true},
        {"empty", &emf, {}, true},
        {"EMF frame zero high", &emf, Emf().Build(2540, 0), true},
        {"EMF without millimetres", &emf, Emf().Build(2540, 1270, 0), true},
        {"point count beyond record", &wmf, bad.Build(true), false},
        {"last record cut", &wmf, cut, false},
        {"EMF counts and offsets beyond record", &emf, badEmf.Build(2540, 1270), false},
    };
    for (const Case& c : cases) {
        TPixelGraphic pic;
        if (c.fails) {
            try {
                ReadMeta(*c.reader, c.bytes, pic);
                ADD_FAILURE() << c.name << ": no exception";
            } catch (const EPixelGraphic& e) {
                EXPECT_STREQ(e.what(), "Invalid Metafile") << c.name;
            }
            EXPECT_THROW(MetaInfo(*c.reader, c.bytes), EPixelGraphic) << c.name;
        } else {
            EXPECT_NO_THROW(ReadMeta(*c.reader, c.bytes, pic)) << c.name;
            EXPECT_GT(pic.GetWidth(), 0) << c.name;
        }
    }
}

} // namespace

// The load-size hint plays the drawing at the size asked (its shorter side
// at the hint) and never at the nominal size first; a hint the picture does
// not exceed, and thumbnails of fast reads, keep today's sizes.
TEST(Metafile, LoadSizeHintPlaysAtTheSizeAsked) {
    tWMFFileFormatReader wmf;
    const auto shapes = Shapes().Build(true, 0, 0, 1000, 500, 96); // 1000 x 500 pixels
    struct Case {
        int hint;
        bool fast;
        int w, h;
    };
    for (const Case& c : {Case{100, false, 200, 100}, Case{499, false, 998, 499},
                          Case{500, false, 1000, 500}, Case{0, false, 1000, 500},
                          Case{100, true, 130, 65}, Case{600, true, 130, 65}}) {
        TPixelGraphic pic;
        pic.SetLoadSizeHint(c.hint);
        pic.SetFastRead(c.fast);
        ReadMeta(wmf, shapes, pic);
        ASSERT_EQ(pic.GetWidth(), c.w) << c.hint;
        ASSERT_EQ(pic.GetHeight(), c.h) << c.hint;
        // The shapes keep their places at every size.
        EXPECT_EQ(pic.GetPixelColor(c.w / 50, c.h / 10), RGB(255, 0, 0)) << c.hint;
        EXPECT_EQ(pic.GetPixelColor(c.w * 8 / 10, c.h / 2), RGB(0, 0, 255)) << c.hint;
        EXPECT_EQ(pic.GetPixelColor(c.w / 100, c.h * 95 / 100), RGB(0, 255, 0)) << c.hint;
    }

    // A poster frame of 3.2 m x 4.1 m (over 12000 x 15000 pixels at full
    // size) comes out at the hint: tall, so the width is the shorter side.
    tEMFFileFormatReader emf;
    Emf poster;
    poster.Rec(39, I32s({1, 0, RGB(255, 0, 0), 0}))
        .Rec(37, I32s({1}))
        .Rec(37, I32s({0x80000008}))
        .Rec(43, I32s({0, 0, 160000, 205000})); // the top left quarter
    const auto bytes = poster.Build(320000, 410000);
    const TPGImageInfo info = MetaInfo(emf, bytes);
    ASSERT_GT(info.Width, 12000);
    TPixelGraphic pic;
    pic.SetLoadSizeHint(300);
    ReadMeta(emf, bytes, pic);
    EXPECT_EQ(pic.GetWidth(), 300);
    EXPECT_EQ(pic.GetHeight(), int(std::nearbyint(300.0 * info.Height / info.Width)));
    EXPECT_EQ(pic.GetPixelColor(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(pic.GetPixelColor(290, pic.GetHeight() - 10), RGB(255, 255, 255));
}
