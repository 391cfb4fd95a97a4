// PCX, Targa, PBM/PGM/PPM and TIFF through the registry: saving and loading
// by file name, and tavtool convert and info between them.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "core/pixelgraphic.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

int Tavtool(const std::string& args) {
    const int st = std::system(("'" + std::string(TAVTOOL_PATH) + "' " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

} // namespace

TEST(RasterFormats, SaveLoadAndConvertByName) {
    InitImageLibrary();
    const fs::path dir = fs::temp_directory_path() / ("tav_raster_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    TPixelGraphic src;
    src.SetFormat(23, 9, pg24Bit);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 23; ++x) src.SetPixel(x, y, RGB(x * 11, y * 28, (x * y) % 256));
    src.SaveToFile((dir / "src.ppm").string());
    // Each extension keeps full colour or falls back to what it can store;
    // loading what was saved gives the same pixels as the picture saved.
    for (const char* ext : {"tga", "tif", "tiff", "ppm", "pgm", "pbm"}) {
        SCOPED_TRACE(ext);
        const std::string out = (dir / (std::string("a.") + ext)).string();
        ASSERT_EQ(Tavtool("convert '" + (dir / "src.ppm").string() + "' '" + out + "'"), 0);
        TPixelGraphic a;
        a.LoadFromFile(out);
        EXPECT_EQ(a.GetWidth(), 23);
        EXPECT_EQ(a.GetHeight(), 9);
        if (std::string(ext) == "tga" || std::string(ext).starts_with("tif") || std::string(ext) == "ppm") {
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 23; ++x) ASSERT_EQ(a.GetPixelColor(x, y), src.GetPixel(x, y));
        }
        // And back to PPM through the library.
        a.SaveToFile((dir / "back.ppm").string());
        TPixelGraphic b;
        b.LoadFromFile((dir / "back.ppm").string());
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 23; ++x) ASSERT_EQ(b.GetPixelColor(x, y), a.GetPixelColor(x, y));
        EXPECT_EQ(Tavtool("info '" + out + "'"), 0);
    }
    // PBM/PGM/PPM output is plain text unless asked for binary.
    auto magic = [&](const char* name) {
        FILE* f = std::fopen((dir / name).string().c_str(), "rb");
        char m[3] = {};
        if (f) {
            (void)std::fread(m, 1, 2, f);
            std::fclose(f);
        }
        return std::string(m);
    };
    const std::string in = "'" + (dir / "src.ppm").string() + "' ";
    ASSERT_EQ(Tavtool("convert " + in + "'" + (dir / "t.ppm").string() + "'"), 0);
    ASSERT_EQ(Tavtool("convert " + in + "'" + (dir / "b.ppm").string() + "' --binary"), 0);
    ASSERT_EQ(Tavtool("convert " + in + "'" + (dir / "b.pgm").string() + "' --binary"), 0);
    EXPECT_EQ(magic("t.ppm"), "P3");
    EXPECT_EQ(magic("b.ppm"), "P6");
    EXPECT_EQ(magic("b.pgm"), "P5");
    TPixelGraphic bin;
    bin.LoadFromFile((dir / "b.ppm").string());
    EXPECT_EQ(bin.GetPixel(22, 8), src.GetPixel(22, 8));

    // A Targa file is found by its extension only.
    TPixelGraphic t;
    EXPECT_ANY_THROW(t.LoadFromFile((dir / "src.ppm").string() + ".missing"));
    fs::copy_file(dir / "a.tga", dir / "a.bmp");
    EXPECT_ANY_THROW(t.LoadFromFile((dir / "a.bmp").string()));
    fs::remove_all(dir);
}
