// tavtool as scripts use it: exit codes, the info lines, conversion, and no
// output left behind by a failure.

#include <algorithm>
#include <gtest/gtest.h>

#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
    int code;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Tavtool : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() /
              ("tav_cli_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs tavtool with arguments (quoted for the shell) and collects its output.
    TRun Run(const std::string& args) {
        const std::string cmd = std::string("'") + TAVTOOL_PATH + "' " + args + " >'" +
                                (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() +
                                "'";
        const int st = std::system(cmd.c_str());
        TRun r{WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st), Slurp(dir / "stdout"),
               Slurp(dir / "stderr")};
        fs::remove(dir / "stdout");
        fs::remove(dir / "stderr");
        return r;
    }
    std::string P(const std::string& name) { return "'" + (dir / name).string() + "'"; }

    void WritePicture(const std::string& name, TPGPixelFormat f, int w, int h) {
        TPixelGraphic g;
        g.SetFormat(w, h, f);
        if (f != pg24Bit)
            g.SetPaletteIdent(f == pg1Bit ? pBlackWhite : f == pg4Bit ? pSys16 : pGray256);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                g.SetPixel(x, y,
                           f == pg24Bit ? RGB(x * 9, y * 7, x ^ y) : (x + y) % g.ColorCount());
        g.SaveToFile((dir / name).string());
    }
    fs::path dir;
};

} // namespace

TEST_F(Tavtool, InfoPrintsOneLinePerField) {
    WritePicture("a.bmp", pg4Bit, 21, 9);
    TRun r = Run("info " + P("a.bmp"));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Type: Bitmap\nSubType: Windows, RGB\nOptions: \nWidth: 21\nHeight: 9\n"
                     "Colors: 16\nBitsPerPixel: 4\nGraphicCount: 1\n");
}

TEST_F(Tavtool, ExitCodesAndMessages) {
    WritePicture("a.bmp", pg24Bit, 4, 4);
    std::ofstream(dir / "junk.bmp") << "BM this is not a bitmap at all";
    std::ofstream(dir / "text.txt") << "hello";
    struct Case {
        std::string args;
        int code;
        std::string errHas;
    } cases[] = {
        {"", 2, "no command given"},
        {"frobnicate", 2, "unknown command"},
        {"info", 2, "info needs exactly one FILE"},
        {"info " + P("a.bmp") + " --index", 2, "--index needs a value"},
        {"info " + P("a.bmp") + " --index -1", 2, "--index -1 is out of range: a number from 0"},
        {"info " + P("a.bmp") + " --size 3x3", 2, "unknown option"},
        {"convert " + P("a.bmp"), 2, "convert needs IN and OUT"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --size 0x5", 2,
         "--size 0x5 is out of range: a number from 1 to 1048576"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --size 1e30x2", 2,
         "--size 1e30x2 is out of range: a number from 1 to 1048576"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --size 2.5x2", 2, "invalid value"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --stretch best", 2, "invalid value"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --quality 101", 2,
         "--quality 101 is out of range: a number from 1 to 100"},
        {"convert " + P("a.bmp") + " " + P("b.bmp") + " --size 100000x100000", 1,
         "--size 100000x100000 is too large: the picture would take 28611 MiB, more than the "
         "1024 MiB a picture may take"},
        {"thumbs " + P("a.bmp") + " --size 1e9", 2, "--size 1e9 is out of range: it takes from 16 to 1024"},
        {"sheet " + P("s.png") + " " + P("a.bmp") + " --cols x", 2,
         "--cols needs a number from 2 to 20, not \"x\""},
        {"info " + P("missing.bmp"), 1, "Cannot open file"},
        {"info " + P("text.txt"), 1, "Unknown file format"},
        {"info " + P("a.bmp") + " --index 1", 1, "BMP: Invalid value for Index"},
        {"convert " + P("junk.bmp") + " " + P("out.bmp"), 1, "BMP: "},
        {"convert " + P("a.bmp") + " " + P("out.xyz"), 1, "Unknown file extension \"xyz\""},
        {"convert " + P("a.bmp") + " " + P("nodir/out.bmp"), 1, "Cannot create file"},
        {"--version", 0, ""},
    };
    for (const Case& c : cases) {
        TRun r = Run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << c.args << "\n" << r.err;
        // A usage mistake is its one line and where the help is, no more.
        if (c.code == 2) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << c.args << "\n" << r.err;
            EXPECT_NE(r.err.find("\ntry 'tavtool --help'\n"), std::string::npos) << r.err;
        }
    }
    // Numbers in exponent form are numbers.
    TRun e = Run("convert " + P("a.bmp") + " " + P("e.jpg") + " --size 1e1x8E0 --quality 9.5e1");
    EXPECT_EQ(e.code, 0) << e.err;
    EXPECT_TRUE(fs::exists(dir / "e.jpg"));
    // Failures left nothing behind.
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
    EXPECT_FALSE(fs::exists(dir / "out.xyz"));
    EXPECT_FALSE(fs::exists(dir / "b.bmp"));
    EXPECT_FALSE(fs::exists(dir / "s.png"));
}

TEST_F(Tavtool, ConvertKeepsThePixelsAndNeverCrashesOnGarbage) {
    WritePicture("a.bmp", pg8Bit, 17, 5);
    TRun r = Run("convert " + P("a.bmp") + " " + P("b.DIB"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(dir / "a.bmp"), Slurp(dir / "b.DIB"));
    // Every truncation of a valid file and a few garbled bytes: a clean
    // failure or a picture, never a signal, never a partial output file.
    const std::string good = Slurp(dir / "a.bmp");
    for (size_t cut :
         {size_t(2), size_t(14), size_t(20), size_t(54), size_t(300), good.size() - 1}) {
        std::ofstream(dir / "cut.bmp", std::ios::binary) << good.substr(0, cut);
        r = Run("convert " + P("cut.bmp") + " " + P("o.bmp"));
        EXPECT_EQ(r.code, 1) << cut << r.err;
        EXPECT_FALSE(fs::exists(dir / "o.bmp"));
    }
    for (size_t at : {size_t(18), size_t(22), size_t(28), size_t(30), size_t(46)}) {
        std::string bad = good;
        bad[at] = char(0xFF);
        bad[at + 1] = char(0xFF);
        std::ofstream(dir / "bad.bmp", std::ios::binary) << bad;
        r = Run("convert " + P("bad.bmp") + " " + P("o.bmp"));
        EXPECT_TRUE(r.code == 0 || r.code == 1) << at << r.err;
        if (r.code == 1) {
            EXPECT_FALSE(fs::exists(dir / "o.bmp"));
        }
        fs::remove(dir / "o.bmp");
    }
}

TEST_F(Tavtool, ConvertReducesToOptimisedPalettes) {
    WritePicture("a.bmp", pg24Bit, 30, 20);
    for (auto [colors, format, count] :
         {std::tuple{"2", pg1Bit, 2}, {"16", pg4Bit, 16}, {"256", pg8Bit, 252}}) {
        TRun r = Run("convert " + P("a.bmp") + " " + P("c.bmp") + " --colors " + colors);
        ASSERT_EQ(r.code, 0) << colors << r.err;
        TPixelGraphic g;
        g.LoadFromFile((dir / "c.bmp").string());
        EXPECT_EQ(g.PixelFormat(), format) << colors;
        EXPECT_LE(g.PaletteCount(), count) << colors;
        EXPECT_GE(g.PaletteCount(), 2) << colors;
    }
    EXPECT_EQ(Run("convert " + P("a.bmp") + " " + P("c.bmp") + " --colors 8").code, 2);
}

TEST_F(Tavtool, ConvertResamplesWithEachMode) {
    WritePicture("a.bmp", pg8Bit, 30, 20);
    for (const char* mode : {"fast", "medium", "precise"}) {
        TRun r = Run("convert " + P("a.bmp") + " " + P("s.bmp") + " --size 10x7 --stretch " + mode);
        ASSERT_EQ(r.code, 0) << mode << r.err;
        TPixelGraphic g;
        g.LoadFromFile((dir / "s.bmp").string());
        EXPECT_EQ(g.GetWidth(), 10);
        EXPECT_EQ(g.GetHeight(), 7);
        EXPECT_EQ(g.PixelFormat(), pg24Bit);
    }
}

TEST_F(Tavtool, JpegOptionsReachTheWriter) {
    WritePicture("a.bmp", pg24Bit, 64, 48);
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("lo.jpg") + " --quality 5").code, 0);
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("hi.jpg") + " --quality 100").code, 0);
    EXPECT_LT(fs::file_size(dir / "lo.jpg"), fs::file_size(dir / "hi.jpg"));
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("p.jpg") + " --progressive").code, 0);
    // A progressive file carries a progressive frame marker (SOF2).
    const std::string p = Slurp(dir / "p.jpg");
    EXPECT_NE(p.find("\xFF\xC2"), std::string::npos);
    EXPECT_EQ(Slurp(dir / "lo.jpg").find("\xFF\xC2"), std::string::npos);
    // A picture the format cannot hold is reduced, and tavtool says so.
    WritePicture("p4.bmp", pg4Bit, 8, 8);
    TRun r = Run("convert " + P("p4.bmp") + " " + P("p4.jpg"));
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("cannot hold 16 system colors; saved with 16.7 million colors"),
              std::string::npos)
        << r.err;
}

TEST_F(Tavtool, TiffAndPngWriterSwitchesReachTheFiles) {
    WritePicture("a.bmp", pg24Bit, 20, 10);
    struct Case {
        const char* args;
        const char* out;
        const char* check; // a command line on the output, its output must hold `want`
        const char* want;
    };
    const Case cases[] = {
        {"--tiff-compression packbits", "p.tif", "tiffinfo", "PackBits"},
        {"--tiff-compression none", "n.tif", "tiffinfo", "Compression Scheme: None"},
        {"--tiff-compression lzw", "l.tif", "tiffinfo", "Compression Scheme: LZW"},
        {"--tiff-compression deflate", "d.tif", "tiffinfo", "Compression Scheme: AdobeDeflate"},
        {"--tiff-byte-order motorola", "m.tif", "tiffdump", "big-endian"},
        {"--tiff-byte-order intel", "i.tif", "tiffdump", "little-endian"},
        {"--tiff-cmyk", "c.tif", "tiffinfo", "separated"},
        {"--tiff-resolution 150/200,cm", "r.tif", "tiffinfo", "Resolution: 150, 200 pixels/cm"},
        {"--tiff-resolution 72", "s.tif", "tiffinfo", "Resolution: 72, 72 pixels/inch"},
        {"--png-gamma on", "g.png", "pngcheck -v", "gAMA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P(c.out) + " " + c.args).code, 0);
        const std::string listing = (dir / "listing").string();
        std::system((std::string(c.check) + " " + P(c.out) + " >'" + listing + "' 2>&1").c_str());
        EXPECT_NE(Slurp(listing).find(c.want), std::string::npos) << Slurp(listing);
    }
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("o.png") + " --png-gamma off").code, 0);
    std::system(("pngcheck -v " + P("o.png") + " >'" + (dir / "l2").string() + "'").c_str());
    EXPECT_EQ(Slurp(dir / "l2").find("gAMA"), std::string::npos);

    for (const char* bad :
         {"--tiff-compression jpeg", "--tiff-byte-order big", "--png-gamma yes",
          "--tiff-resolution 0", "--tiff-resolution 72,mm", "--tiff-resolution 7/x"}) {
        TRun r = Run("convert " + P("a.bmp") + " " + P("x.tif") + " " + bad);
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_NE(r.err.find(std::string(bad).substr(0, std::string(bad).find(' '))),
                  std::string::npos)
            << bad;
    }
}

// WebP and AVIF out, every new format back in: the switches reach the
// writers, the reference decoders read what we wrote, and a cut file of any
// of the new formats fails with status 1 and leaves no output.
TEST_F(Tavtool, TodaysFormatsConvertBothWays) {
    if (std::system("command -v dwebp avifdec >/dev/null 2>&1") != 0) GTEST_SKIP() << "reference decoders missing";
    WritePicture("a.bmp", pg24Bit, 33, 21);
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("l.webp") + " --lossless").code, 0);
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("q.webp") + " --quality 20").code, 0);
    ASSERT_EQ(Run("convert " + P("a.bmp") + " " + P("s.avif") + " --quality 50 --speed 10").code, 0);
    EXPECT_LT(fs::file_size(dir / "q.webp"), fs::file_size(dir / "l.webp"));
    EXPECT_EQ(std::system(("dwebp -quiet " + P("l.webp") + " -o /dev/null").c_str()), 0);
    EXPECT_EQ(std::system(("avifdec " + P("s.avif") + " " + P("s.png") + " >/dev/null").c_str()), 0);
    // Lossless WebP back to BMP: the same pixels.
    ASSERT_EQ(Run("convert " + P("l.webp") + " " + P("back.bmp")).code, 0);
    TPixelGraphic a, b;
    a.LoadFromFile((dir / "a.bmp").string());
    b.LoadFromFile((dir / "back.bmp").string());
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            ASSERT_EQ(a.GetPixelColor(x, y), b.GetPixelColor(x, y)) << x << "," << y;
    TRun info = Run("info " + P("s.avif"));
    EXPECT_NE(info.out.find("Width: 33"), std::string::npos) << info.out;
    // convert --to makes the files beside their sources.
    ASSERT_EQ(Run("convert --to webp --lossless " + P("a.bmp")).code, 0);
    EXPECT_TRUE(fs::exists(dir / "a.webp"));
    ASSERT_EQ(Run("convert --to avif --speed 10 --quality 70 " + P("back.bmp")).code, 0);
    EXPECT_TRUE(fs::exists(dir / "back.avif"));
    EXPECT_EQ(Run("convert --to avif --speed 11 " + P("a.bmp")).code, 2);
    EXPECT_EQ(Run("convert " + P("a.bmp") + " " + P("x.avif") + " --speed fast").code, 2);

    for (const char* name : {"l.webp", "s.avif"}) {
        const std::string good = Slurp(dir / name);
        for (size_t cut : {size_t(30), good.size() / 2, good.size() - 4}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(cut));
            std::ofstream(dir / "cut.bin", std::ios::binary) << good.substr(0, cut);
            const TRun r = Run("convert " + P("cut.bin") + " " + P("o.bmp"));
            EXPECT_EQ(r.code, 1) << r.err;
            EXPECT_FALSE(r.err.empty());
            EXPECT_FALSE(fs::exists(dir / "o.bmp"));
        }
    }
}
