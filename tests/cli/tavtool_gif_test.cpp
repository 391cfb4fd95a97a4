// tavtool with GIF output (through the shared GIF export) and GIF, icon and
// metafile input.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

class TavtoolGif : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() / ("tav_cli_gif_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    int Run(const std::string& args, std::string* out = nullptr) {
        const std::string o = (dir / "out.txt").string();
        const int st = std::system(
            (std::string("'") + TAVTOOL_PATH + "' " + args + " >'" + o + "' 2>&1").c_str());
        if (out) {
            std::ifstream in(o);
            out->assign(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::string P(const std::string& name) { return "'" + (dir / name).string() + "'"; }
    fs::path dir;
};

TEST_F(TavtoolGif, TrueColourBecomesInterlacedTransparentGif) {
    // A smooth 24-bit gradient with a pure black block (the transparent colour).
    TPixelGraphic src;
    src.SetFormat(120, 80, pg24Bit);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            src.SetPixel(x, y, x < 10 && y < 10 ? 0 : RGB(x * 2, y * 3, 128));
    src.SaveToFile((dir / "in.bmp").string());

    std::string out;
    ASSERT_EQ(
        Run("convert " + P("in.bmp") + " " + P("out.gif") + " --interlace --transparent 000000",
            &out),
        0)
        << out;
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetFileImageInfo((dir / "out.gif").string(), 0, type, info));
    EXPECT_EQ(type, "GIF");
    EXPECT_EQ(info.Options, "Interlaced");
    TPixelGraphic back;
    back.LoadFromFile((dir / "out.gif").string());
    ASSERT_EQ(back.GetWidth(), 120);
    // Dithered to 252 colours: pixels close on average; the black block is
    // whatever black was mapped to, and that colour is the transparent one.
    int64_t err = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            const TRGB a = src.GetPixel(x, y), b = back.GetPixelColor(x, y);
            err += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                   std::abs(GetBValue(a) - GetBValue(b));
        }
    EXPECT_LT(double(err) / (120 * 80 * 3), 12.0);
    const TRGB black = back.GetPixelColor(5, 5);
    EXPECT_LE(GetRValue(black) + GetGValue(black) + GetBValue(black), 24);
    // The transparent flag of the graphic control block is set.
    std::ifstream f(dir / "out.gif", std::ios::binary);
    std::vector<uint8_t> g((std::istreambuf_iterator<char>(f)), {});
    const size_t gce = 13 + (size_t(3) << ((g[10] & 7) + 1));
    ASSERT_EQ(g[gce + 3] & 1, 1);
    const int t = g[gce + 6];
    EXPECT_EQ(RGB(g[13 + 3 * t], g[14 + 3 * t], g[15 + 3 * t]), black);
}

TEST_F(TavtoolGif, OptionMistakesAndForeignOutputs) {
    TPixelGraphic src;
    src.SetFormat(4, 4, pg24Bit);
    src.SaveToFile((dir / "in.bmp").string());
    EXPECT_EQ(Run("convert " + P("in.bmp") + " " + P("o.gif") + " --transparent 12345"), 2);
    EXPECT_EQ(Run("convert " + P("in.bmp") + " " + P("o.gif") + " --transparent GGGGGG"), 2);
    EXPECT_EQ(Run("convert " + P("in.bmp") + " " + P("o.bmp") + " --interlace"), 1);
    EXPECT_FALSE(fs::exists(dir / "o.bmp"));
    EXPECT_FALSE(fs::exists(dir / "o.gif"));
}

TEST_F(TavtoolGif, ReadsMetafilesAndIcons) {
    // A placeable metafile, 2 x 1 inch at 96 dpi, filled with a red rectangle.
    std::vector<uint8_t> w = {0xD7, 0xCD, 0xC6, 0x9A, 0,   0, 0, 0, 0, 0,
                              200,  0,    100,  0,    100, 0, 0, 0, 0, 0};
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= uint16_t(w[i] | w[i + 1] << 8);
    w.insert(w.end(), {uint8_t(sum), uint8_t(sum >> 8)});
    const std::vector<uint8_t> body = {
        1, 0, 9, 0, 0,    3, 30,  0, 0,   0, 1, 0, 7, 0, 0, 0, 0, 0, // header: 30 words, 1 object
        7, 0, 0, 0, 0xFC, 2, 0,   0, 255, 0, 0, 0, 0, 0,             // solid red brush
        4, 0, 0, 0, 0x2D, 1, 0,   0,                                 // select it
        7, 0, 0, 0, 0x1B, 4, 100, 0, 200, 0, 0, 0, 0, 0,             // rectangle
        3, 0, 0, 0, 0,    0};
    w.insert(w.end(), body.begin(), body.end());
    std::ofstream((dir / "r.wmf").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(w.data()), std::streamsize(w.size()));
    std::string out;
    ASSERT_EQ(Run("info " + P("r.wmf"), &out), 0) << out;
    EXPECT_NE(out.find("Type: Windows Metafile"), std::string::npos) << out;
    EXPECT_NE(out.find("Width: 192"), std::string::npos) << out;
    ASSERT_EQ(Run("convert " + P("r.wmf") + " " + P("r.bmp"), &out), 0) << out;
    TPixelGraphic pic;
    pic.LoadFromFile((dir / "r.bmp").string());
    EXPECT_EQ(pic.GetWidth(), 192);
    EXPECT_EQ(pic.GetPixelColor(100, 50), RGB(255, 0, 0));
    // A non-GIF named .gif is refused instead of giving an empty picture.
    std::ofstream((dir / "bad.gif").string()) << "GIF89a";
    EXPECT_EQ(Run("convert " + P("bad.gif") + " " + P("bad.bmp"), &out), 1);
    EXPECT_FALSE(fs::exists(dir / "bad.bmp"));
}

} // namespace
