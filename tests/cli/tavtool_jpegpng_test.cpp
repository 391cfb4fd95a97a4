// tavtool with JPEG and PNG files: conversions agree with libjpeg's own
// tools, written PNG files pass pngcheck, info prints the format's texts.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct JpegPngTool : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("tav_jpegpng_" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string P(const std::string& n) const { return "'" + (dir / n).string() + "'"; }
    static bool Sh(const std::string& cmd) {
        return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) == 0;
    }
    std::string Tool(const std::string& args) const {
        const std::string out = (dir / "stdout").string();
        if (std::system(
                (std::string("'") + TAVTOOL_PATH + "' " + args + " >'" + out + "' 2>&1").c_str()) !=
            0)
            return "(failed)";
        std::ifstream f(out);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    std::string Bytes(const std::string& n) const {
        std::ifstream f(dir / n, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
};

TEST_F(JpegPngTool, ConvertsLikeTheLibraryTools) {
    ASSERT_TRUE(Sh("convert -size 91x37 -seed 3 plasma:fractal -type TrueColor BMP3:" +
                   (dir / "src.bmp").string()));
    ASSERT_TRUE(
        Sh("cjpeg -quality 80 -baseline -dct float -outfile " + P("ref.jpg") + " " + P("src.bmp")));
    // BMP -> JPEG at quality 80 gives the reference encoder's bytes.
    ASSERT_EQ(Tool("convert " + P("src.bmp") + " " + P("ours.jpg") + " --quality 80"), "");
    EXPECT_TRUE(Bytes("ours.jpg") == Bytes("ref.jpg"));
    // JPEG -> BMP decodes as djpeg does.
    ASSERT_EQ(Tool("convert " + P("ref.jpg") + " " + P("ours.bmp")), "");
    ASSERT_TRUE(Sh("djpeg -pnm -dct int -outfile " + P("ref.ppm") + " " + P("ref.jpg")));
    ASSERT_TRUE(Sh("bmptopnm " + P("ours.bmp") + " > " + P("ours.ppm")));
    EXPECT_TRUE(Bytes("ours.ppm") == Bytes("ref.ppm"));
    // JPEG -> PNG passes pngcheck and holds the same pixels.
    ASSERT_EQ(Tool("convert " + P("ref.jpg") + " " + P("ours.png")), "");
    EXPECT_TRUE(Sh("pngcheck -q " + P("ours.png")));
    ASSERT_TRUE(Sh("pngtopam " + P("ours.png") + " > " + P("png.ppm")));
    EXPECT_TRUE(Bytes("png.ppm") == Bytes("ref.ppm"));

    EXPECT_EQ(
        Tool("info " + P("ref.jpg")),
        "Type: JPEG (JFIF compliant)\nSubType: JFIF, YCbCr\nOptions: \nWidth: 91\nHeight: 37\n"
        "Colors: 16.7M\nBitsPerPixel: 24\nGraphicCount: 1\n");
    EXPECT_EQ(
        Tool("info " + P("ours.png")),
        "Type: Portable Network Graphics\nSubType: RGB\nOptions: (gama)\nWidth: 91\nHeight: 37\n"
        "Colors: 16.7M\nBitsPerPixel: 24\nGraphicCount: 1\n");
}

} // namespace
