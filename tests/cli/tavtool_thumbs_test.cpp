// tavtool thumbs and tavtool sheet as scripts use them: outputs, exit codes,
// and the guard that keeps them off their own sources.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/pixelgraphic.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {
std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class TavtoolThumbs : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() /
              ("tav_thumbs_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }

    int Run(const std::string& args, std::string* err = nullptr) {
        const std::string cmd = std::string("'") + TAVTOOL_PATH + "' " + args + " >/dev/null 2>'" +
                                (dir / "stderr").string() + "'";
        const int st = std::system(cmd.c_str());
        if (err) *err = Slurp(dir / "stderr");
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    std::string P(const std::string& name) { return "'" + (dir / name).string() + "'"; }
    void Write(const std::string& name, int w, int h) {
        TPixelGraphic g;
        g.SetFormat(w, h, pg24Bit);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                g.SetPixel(x, y, RGB(x % 256, y % 256, 90));
        g.SaveToFile((dir / name).string());
    }
    void Size(const std::string& name, int& w, int& h) {
        TPixelGraphic g;
        g.LoadFromFile((dir / name).string());
        w = g.GetWidth();
        h = g.GetHeight();
    }
    fs::path dir;
};
} // namespace

TEST_F(TavtoolThumbs, WritesSquaresAndReportsFailures) {
    Write("wide.jpg", 300, 200);
    Write("tall.png", 100, 200);
    std::ofstream(dir / "broken.jpg") << "not a picture";
    std::string err;
    EXPECT_EQ(Run("thumbs " + P("wide.jpg") + " " + P("tall.png") + " " + P("broken.jpg") +
                      " --size 96 --format png --jobs 2 --out " + P("out"),
                  &err),
              1);
    EXPECT_NE(err.find("broken.jpg"), std::string::npos) << err;
    int w = 0, h = 0;
    Size("out/thm_wide.png", w, h);
    EXPECT_EQ(w, 96);
    EXPECT_EQ(h, 96);
    EXPECT_TRUE(fs::exists(dir / "out/thm_tall.png"));
    EXPECT_FALSE(fs::exists(dir / "out/thm_broken.png"));
    // Without --out each thumbnail lands beside its file.
    EXPECT_EQ(Run("thumbs " + P("wide.jpg") + " --format tga"), 0);
    EXPECT_TRUE(fs::exists(dir / "thm_wide.tga"));
}

TEST_F(TavtoolThumbs, NeverOverwritesASourceAndRefusesBadPrefixes) {
    Write("beach.jpg", 120, 80);
    const std::string before = Slurp(dir / "beach.jpg");
    std::string err;
    EXPECT_EQ(Run("thumbs " + P("beach.jpg") + " --prefix '' --format jpg", &err), 1);
    EXPECT_NE(err.find("Would overwrite"), std::string::npos) << err;
    EXPECT_EQ(Slurp(dir / "beach.jpg"), before);
    EXPECT_EQ(Run("thumbs " + P("beach.jpg") + " --prefix ../x --out " + P("out")), 2);
    EXPECT_EQ(Run("thumbs " + P("beach.jpg") + " --size 0"), 2);
    EXPECT_EQ(Run("thumbs " + P("beach.jpg") + " --format gif"), 2);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    EXPECT_FALSE(fs::exists(dir / "x.bmp"));
}

TEST_F(TavtoolThumbs, SheetOfSevenAndItsGuard) {
    std::string files;
    for (int i = 0; i < 7; ++i) {
        Write("p" + std::to_string(i) + ".bmp", 40 + 30 * i, 60);
        files += " " + P("p" + std::to_string(i) + ".bmp");
    }
    EXPECT_EQ(Run("sheet " + P("sheet.png") + files), 0);
    int w = 0, h = 0;
    Size("sheet.png", w, h);
    EXPECT_EQ(w, 716);
    EXPECT_EQ(h, 282);
    const std::string before = Slurp(dir / "p0.bmp");
    std::string err;
    EXPECT_EQ(Run("sheet " + P("p0.bmp") + files, &err), 1);
    EXPECT_NE(err.find("Would overwrite"), std::string::npos) << err;
    EXPECT_EQ(Slurp(dir / "p0.bmp"), before);
    EXPECT_EQ(Run("sheet " + P("s.png") + files + " --size 20"), 2);
    EXPECT_EQ(Run("sheet " + P("s.png")), 2);
    // No picture could be read: nothing is written.
    EXPECT_EQ(Run("sheet " + P("none.png") + " " + P("missing.jpg") + " " + P("gone.bmp"), &err),
              1);
    EXPECT_NE(err.find("no picture could be read"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "none.png"));
    // One that could: the sheet is written, the failure still counts.
    EXPECT_EQ(Run("sheet " + P("some.png") + " " + P("missing.jpg") + " " + P("p0.bmp")), 1);
    EXPECT_TRUE(fs::exists(dir / "some.png"));
}
