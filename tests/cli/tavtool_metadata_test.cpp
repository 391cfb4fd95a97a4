// tavtool convert keeps a camera JPEG's metadata (EXIF with the new size,
// the ICC profile byte for byte) in every format that holds it, checked with
// exiftool.

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/library.h"
#include "formats/oracle_support.h"

using oracle::Q;

namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

} // namespace

TEST(TavtoolMetadata, ConvertKeepsExifAndProfile) {
    oracle::TempDir dir;
    const std::string src = dir / "camera.jpg";
    ASSERT_TRUE(oracle::Shell("convert -size 96x64 gradient:red-blue -strip " + Q(src)));
    ASSERT_TRUE(oracle::Shell(
        "exiftool -q -overwrite_original -Make=Nikon -Model=D750"
        " '-DateTimeOriginal=2023:07:01 08:00:00' -ExifImageWidth=96 -ExifImageHeight=64 " +
        Q(src)));
    // A small RGB display profile: header, no tags, filler.
    std::vector<uint8_t> icc(600);
    for (size_t i = 0; i < icc.size(); ++i) icc[i] = uint8_t(i % 251);
    const uint8_t header[] = {0, 0, 2, 88}; // 600
    std::copy(header, header + 4, icc.begin());
    std::copy_n("mntrRGB XYZ ", 12, icc.begin() + 12);
    std::copy_n("acsp", 4, icc.begin() + 36);
    std::fill(icc.begin() + 64, icc.begin() + 68, 0);
    // The D50 illuminant of the connection space.
    const uint8_t d50[] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
    std::copy(d50, d50 + 12, icc.begin() + 68);
    std::fill(icc.begin() + 128, icc.begin() + 132, 0);
    oracle::WriteBytes(dir / "p.icc", icc);
    ASSERT_TRUE(oracle::Shell("exiftool -q -overwrite_original '-ICC_Profile<=" + dir / "p.icc" +
                              "' " + Q(src)));

    for (const char* ext : {"jpg", "png", "tif"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir / (std::string("out.") + ext);
        ASSERT_EQ(Output(std::string("'") + TAVTOOL_PATH + "' convert " + Q(src) + " " + Q(out) +
                      " --size 48x32 2>&1"),
                  "");
        auto tag = [&](const char* t) { return Output("exiftool -s3 -n -" + std::string(t) + " " + Q(out)); };
        EXPECT_EQ(tag("Make"), "Nikon");
        EXPECT_EQ(tag("Model"), "D750");
        EXPECT_EQ(tag("DateTimeOriginal"), "2023:07:01 08:00:00");
        EXPECT_EQ(tag("ExifImageWidth"), "48");
        EXPECT_EQ(tag("ExifImageHeight"), "32");
        ASSERT_TRUE(oracle::Shell("exiftool -b -ICC_Profile " + Q(out) + " > " + Q(dir / "back.icc")));
        EXPECT_EQ(oracle::Bytes(dir / "back.icc"), icc);
    }
}

// --profile: keep writes the profile where the format holds one and sRGB
// pixels where it cannot; srgb converts and drops it; strip drops it and
// keeps the numbers. Red under a profile that swaps red and green is green.
TEST(TavtoolMetadata, ConvertProfileChoices) {
    InitImageLibrary();
    oracle::TempDir dir;
    const std::string src = dir / "tagged.jpg",
                      icc = "/usr/share/color/icc/colord/SwappedRedAndGreen.icc";
    ASSERT_TRUE(oracle::Shell("convert -size 16x16 xc:'rgb(230,30,20)' -quality 95 " + Q(src) +
                              " && exiftool -q -overwrite_original " + Q("-icc_profile<=" + icc) +
                              " " + Q(src)));
    struct Case {
        const char* args;
        const char* ext;
        bool profile, green;
    } cases[] = {{"", "png", true, false},
                 {"", "bmp", false, true},
                 {"--profile srgb", "png", false, true},
                 {"--profile strip", "tif", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " " + c.ext);
        const std::string out = dir / (std::string("out.") + c.ext);
        ASSERT_EQ(Output(std::string("'") + TAVTOOL_PATH + "' convert " + Q(src) + " " + Q(out) +
                         " " + c.args + " 2>&1"),
                  "");
        TPixelGraphic g;
        g.LoadFromFile(out);
        EXPECT_EQ(g.ICCProfile().empty(), !c.profile);
        const TRGB p = g.GetPixelColor(8, 8);
        EXPECT_EQ(GetGValue(p) > GetRValue(p), c.green) << std::hex << p;
    }
    EXPECT_NE(Output(std::string("'") + TAVTOOL_PATH + "' convert " + Q(src) + " " +
                     Q(dir / "x.jpg") + " --lossless --profile srgb 2>&1"),
              "");
}
