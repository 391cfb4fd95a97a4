// Icon reader: icons made by icotool and pamtowinicon load as 24-bit
// pictures with white where the mask is set; bad directories and images fail
// with the reader's messages.

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/format_oracle.h"
#include "formats/ico.h"

namespace {

void ReadIco(const std::vector<uint8_t>& bytes, TPixelGraphic& pic, int index) {
    tIcoFileFormatReader reader;
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    reader.Read(s, pic, index);
}

TPGImageInfo IcoInfo(const std::vector<uint8_t>& bytes) {
    tIcoFileFormatReader reader;
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    TPGImageInfo info;
    reader.GetInfo(s, 0, info);
    return info;
}

// A one-image icon of w x h at `bits`, all pixels index 1, mask set on the
// top row; `bytesInRes` and `offset` may be overridden to break it.
std::vector<uint8_t> MakeIcon(int w, int h, int bits, uint16_t type = 1, int64_t bytesInRes = -1,
                              int64_t offset = 22) {
    const int xorRow = ((w * bits + 31) / 32) * 4, andRow = ((w + 31) / 32) * 4;
    const int table = 4 << bits;
    const int64_t size = 40 + table + int64_t(xorRow + andRow) * h;
    if (bytesInRes < 0) bytesInRes = size;
    std::vector<uint8_t> b;
    auto u16 = [&](int v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto u32 = [&](int64_t v) { u16(int(v & 0xFFFF)), u16(int((v >> 16) & 0xFFFF)); };
    u16(0), u16(type), u16(1);
    b.insert(b.end(), {uint8_t(w), uint8_t(h), 0, 0});
    u16(1), u16(bits), u32(bytesInRes), u32(offset);
    u32(40), u32(w), u32(2 * h), u16(1), u16(bits), u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < (1 << bits); ++i)
        b.insert(b.end(), {uint8_t(i), uint8_t(2 * i), 200, 0});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < xorRow; ++x)
            b.push_back(bits == 8 ? 1 : bits == 4 ? 0x11 : 0xFF);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < andRow; ++x)
            b.push_back(y == h - 1 ? 0xFF : 0);
    return b;
}

TEST(IcoRead, ToolIconsLoadWithWhiteWhereMasked) {
    if (!codecoracle::Have("icotool") || !codecoracle::Have("convert") || !codecoracle::Have("pamtowinicon"))
        GTEST_SKIP() << "oracles missing";
    codecoracle::TempDir dir;
    const std::string d = dir.Path();
    // Palette PNGs with a transparent corner, made for 1, 4 and 8 bits.
    ASSERT_EQ(
        codecoracle::Run(
            "cd " + d +
            " && convert -size 32x32 +antialias xc:white -fill black -draw 'rectangle 2,2 20,20'"
            " -fill white -draw 'rectangle 0,0 5,3' -transparent white PNG8:q1.png"
            " && convert -size 32x32 +antialias xc:white -fill red -draw 'rectangle 2,2 20,20'"
            " -fill blue -draw 'rectangle 10,10 30,25' -draw 'rectangle 0,0 5,3' -fill green -draw "
            "'point 5,28'"
            " -fill white -draw 'rectangle 0,0 5,3' -transparent white PNG8:q4.png"
            " && convert -seed 1 -size 16x16 plasma:fractal -colors 100 -fill white -draw "
            "'rectangle 0,0 5,3'"
            " -transparent white PNG8:q8.png"
            " && icotool -c -b 1 -o i1.ico q1.png && icotool -c -b 4 -o i4.ico q4.png"
            " && icotool -c -b 8 -o i8.ico q8.png"
            " && pngtopam -alphapam q4.png > q4.pam && pamtowinicon q4.pam > w4.ico 2>/dev/null"
            " && icotool -c -b 1 -o multi.ico q1.png -b 8 q8.png -b 4 q4.png"),
        0);
    struct Case {
        const char* ico;
        const char* png;
        int bits;
    } cases[] = {{"i1.ico", "q1.png", 1},
                 {"i4.ico", "q4.png", 4},
                 {"i8.ico", "q8.png", 8},
                 {"w4.ico", "q4.png", 4}};
    for (const Case& c : cases) {
        std::string rgba;
        codecoracle::Run("convert '" + (dir / c.png) + "' -depth 8 rgba:-", &rgba);
        const std::vector<uint8_t> bytes = codecoracle::ReadFile(dir / c.ico);
        TPixelGraphic pic;
        ReadIco(bytes, pic, 0);
        ASSERT_EQ(pic.PixelFormat(), pg24Bit) << c.ico;
        EXPECT_TRUE(pic.GetTransparent());
        EXPECT_EQ(pic.TransparentColor(), RGB(255, 255, 255));
        ASSERT_EQ(size_t(pic.GetWidth() * pic.GetHeight() * 4), rgba.size()) << c.ico;
        int masked = 0;
        for (int y = 0; y < pic.GetHeight(); ++y)
            for (int x = 0; x < pic.GetWidth(); ++x) {
                const uint8_t* p =
                    reinterpret_cast<const uint8_t*>(rgba.data()) + 4 * (y * pic.GetWidth() + x);
                const TRGB want = p[3] == 0 ? RGB(255, 255, 255) : RGB(p[0], p[1], p[2]);
                masked += p[3] == 0;
                ASSERT_EQ(pic.GetPixel(x, y), want) << c.ico << " " << x << "," << y;
            }
        EXPECT_GT(masked, 0) << c.ico;
        const TPGImageInfo info = IcoInfo(bytes);
        EXPECT_EQ(info.BitsPerPixel, c.bits) << c.ico;
        EXPECT_EQ(info.Colors, c.bits == 1 ? "2" : c.bits == 4 ? "16" : "256") << c.ico;
    }
    const std::vector<uint8_t> multi = codecoracle::ReadFile(dir / "multi.ico");
    const TPGImageInfo info = IcoInfo(multi);
    EXPECT_EQ(info.GraphicCount, 3);
    EXPECT_EQ(info.SubType, "Sizes 16..32");
    EXPECT_EQ(info.Options, "Colors 2..256");
    TPixelGraphic pic;
    ReadIco(multi, pic, 1);
    EXPECT_EQ(pic.GetWidth(), 16);
}

TEST(IcoRead, BadDirectoriesAndImagesFail) {
    std::vector<uint8_t> good = MakeIcon(16, 16, 4);
    {
        TPixelGraphic pic;
        ReadIco(good, pic, 0);
        EXPECT_EQ(pic.GetPixel(3, 5), RGB(200, 2, 1));     // index 1: blue 1, green 2, red 200
        EXPECT_EQ(pic.GetPixel(3, 0), RGB(255, 255, 255)); // top row masked
    }
    std::vector<uint8_t> shortFile(good.begin(), good.end() - 1);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int index;
        const char* error;
    } cases[] = {
        {"too short", {0, 0, 1, 0, 1}, 0, "Not an Icon file"},
        {"cursor", MakeIcon(16, 16, 4, 2), 0, "Not an Icon file"},
        {"image passes the end", shortFile, 0, "Not an Icon file"},
        {"offset near 4 GiB", MakeIcon(16, 16, 4, 1, -1, 0xFFFFFFF0LL), 0, "Not an Icon file"},
        {"size field disagrees", MakeIcon(16, 16, 4, 1, 40 + 64 + 128 + 64 - 1), 0,
         "Index out of bounds"},
        {"128 pixels", MakeIcon(128, 128, 1), 0, "Index out of bounds"},
        {"7 pixels", MakeIcon(7, 8, 1), 0, "Index out of bounds"},
        {"index past the end", good, 1, "Index out of bounds"},
        {"index -1", good, -1, "Index out of bounds"},
    };
    for (const Case& c : cases) {
        TPixelGraphic pic;
        try {
            ReadIco(c.bytes, pic, c.index);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const EPixelGraphic& e) {
            EXPECT_STREQ(e.what(), c.error) << c.name;
        }
    }
    // A cursor's directory is still described.
    EXPECT_EQ(IcoInfo(MakeIcon(16, 16, 4, 2)).Width, 16);
    EXPECT_THROW(IcoInfo({1, 2, 3, 4, 5, 6, 7}), EPixelGraphic);
}

} // namespace
