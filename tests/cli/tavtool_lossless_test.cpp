// tavtool convert --lossless / --trim / --auto-orient against jpegtran.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/oracle_support.h"

namespace {

using namespace oracle;

// Exit status of tavtool with `args`; its standard error in `err`.
int Tavtool(const std::string& args, std::string* err = nullptr) {
    const std::string errFile = std::filesystem::temp_directory_path() / "tavlossless.err";
    const int st = std::system((std::string("'") + TAVTOOL_PATH + "' " + args + " >/dev/null 2>" + Q(errFile)).c_str());
    if (err) {
        const std::vector<uint8_t> b = Bytes(errFile);
        err->assign(b.begin(), b.end());
    }
    std::filesystem::remove(errFile);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128;
}

class TavtoolLosslessTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string MakeJpeg(const std::string& name, const std::string& size, int orientation) {
        const std::string ppm = dir / (name + ".ppm"), jpg = dir / name;
        EXPECT_TRUE(Shell("convert -size " + size + " -seed 5 plasma:fractal " + Q(ppm)));
        EXPECT_TRUE(Shell("cjpeg -sample 2x2 -outfile " + Q(jpg) + " " + Q(ppm)));
        EXPECT_TRUE(Shell("exiftool -q -overwrite_original -Orientation#=" + std::to_string(orientation) + " " +
                          Q(jpg)));
        return jpg;
    }
    std::vector<uint8_t> Pixels(const std::string& jpg) {
        EXPECT_TRUE(Shell("djpeg -pnm -outfile " + Q(jpg + ".pnm") + " " + Q(jpg))) << jpg;
        return Bytes(jpg + ".pnm");
    }
};

TEST_F(TavtoolLosslessTest, SwitchesDoWhatJpegtranDoes) {
    const std::string src = MakeJpeg("in.jpg", "160x96", 6);
    const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
    const std::pair<const char*, const char*> cases[] = {
        {"--rotate 90", "-rotate 90"},
        {"--rotate -90", "-rotate 270"},
        {"--rotate 180 --flip-vertical", "-flip horizontal"},
        {"--flip-horizontal --rotate 90", "-transverse"},
        {"--rotate 90 --crop 48x40+16+32", "-rotate 90 -crop 48x40+16+32"},
        {"--auto-orient", "-rotate 90"},
        {"--auto-orient --rotate 270", ""},
    };
    for (const auto& [args, jpegtranArgs] : cases) {
        SCOPED_TRACE(args);
        std::string err;
        ASSERT_EQ(Tavtool("convert " + Q(src) + " " + Q(ours) + " --lossless " + args, &err), 0) << err;
        ASSERT_TRUE(Shell("jpegtran -perfect -copy all " + std::string(jpegtranArgs) + " -outfile " + Q(theirs) +
                          " " + Q(src)));
        EXPECT_EQ(Pixels(ours), Pixels(theirs));
    }
    // --auto-orient resets the orientation it applied.
    FILE* p = ::popen(("exiftool -s3 -n -Orientation " + Q(ours)).c_str(), "r");
    char buf[16] = {};
    ASSERT_NE(p, nullptr);
    const size_t n = std::fread(buf, 1, sizeof buf - 1, p);
    ::pclose(p);
    EXPECT_EQ(std::string(buf, n), "1\n");
}

TEST_F(TavtoolLosslessTest, ImperfectSizeNeedsTrim) {
    const std::string src = MakeJpeg("odd.jpg", "157x93", 1);
    const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
    std::string err;
    EXPECT_EQ(Tavtool("convert " + Q(src) + " " + Q(ours) + " --lossless --rotate 90", &err), 1);
    EXPECT_NE(err.find("not a multiple of its block size"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(ours));
    ASSERT_EQ(Tavtool("convert " + Q(src) + " " + Q(ours) + " --lossless --trim --rotate 90", &err), 0) << err;
    ASSERT_TRUE(Shell("jpegtran -trim -rotate 90 -outfile " + Q(theirs) + " " + Q(src)));
    EXPECT_EQ(Pixels(ours), Pixels(theirs));
}

TEST_F(TavtoolLosslessTest, UsageMistakesAndDecodedAutoOrient) {
    const std::string src = MakeJpeg("in.jpg", "160x96", 8);
    const std::string out = dir / "out.jpg";
    for (const char* args : {"--lossless --rotate 45", "--lossless --size 10x10", "--trim --rotate 90",
                             "--lossless --crop 16x16+0+0 --rotate 90", "--lossless --quality 50"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Tavtool("convert " + Q(src) + " " + Q(out) + " " + args), 2);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(Tavtool("convert " + Q(src) + " " + Q(dir / "out.png") + " --lossless --rotate 90"), 2);
    // Without --lossless, any output: the decoded picture is turned upright.
    const std::string png = dir / "upright.png", theirs = dir / "theirs.png";
    ASSERT_EQ(Tavtool("convert " + Q(src) + " " + Q(png) + " --auto-orient"), 0);
    ASSERT_TRUE(Shell("djpeg -pnm " + Q(src) + " | convert - -rotate 270 " + Q(theirs)));
    ASSERT_TRUE(Shell("compare -metric AE " + Q(png) + " " + Q(theirs) + " null:"));
}

} // namespace
