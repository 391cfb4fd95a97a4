// tavtool convert's editing switches against ImageMagick: exact for turns,
// flips, crops and red-eye; close for free angles, grey conversion and the
// barrel correction (different interpolation at the edges).

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "core/pixelgraphic.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

int Sh(const std::string& cmd) {
    const int st = std::system((cmd + " >/dev/null 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class TavtoolGeometry : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() /
              ("tav_geo_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string P(const std::string& name) { return "'" + (dir / name).string() + "'"; }
    int Tav(const std::string& args) { return Sh(std::string("'") + TAVTOOL_PATH + "' " + args); }
    std::unique_ptr<TPixelGraphic> Load(const std::string& name) {
        auto p = std::make_unique<TPixelGraphic>();
        p->LoadFromFile((dir / name).string());
        return p;
    }
    // A picture with a colour of its own in every pixel, saved as `name`.
    void MakeSource(const std::string& name, TPGPixelFormat f, int w, int h) {
        TPixelGraphic p;
        p.SetFormat(w, h, f);
        const int colors = PixelFormatColors(f);
        if (colors) {
            p.SetPaletteCount(colors);
            for (int i = 0; i < colors; ++i)
                p.SetPaletteEntry(i, RGB(17 * i + 5, 255 - 13 * i, (97 * i) & 255));
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.SetPixel(x, y,
                           colors ? (x * 3 + y * 5) % colors
                                  : RGB(x * 37 + y * 11, x * 5 + y * 29, x * y * 7));
        p.SaveToFile((dir / name).string());
    }
    // Pixel-for-pixel equal colours.
    void ExpectSame(const std::string& a, const std::string& b) {
        auto pa = Load(a), pb = Load(b);
        ASSERT_EQ(pa->GetWidth(), pb->GetWidth());
        ASSERT_EQ(pa->GetHeight(), pb->GetHeight());
        int bad = 0;
        for (int y = 0; y < pa->GetHeight(); ++y)
            for (int x = 0; x < pa->GetWidth(); ++x)
                if (pa->GetPixelColor(x, y) != pb->GetPixelColor(x, y) && bad++ < 5)
                    ADD_FAILURE() << a << " vs " << b << " at " << x << "," << y;
        EXPECT_EQ(bad, 0);
    }
    fs::path dir;
};

} // namespace

TEST_F(TavtoolGeometry, RightAngleTurnsAndFlipsMatchImageMagickInEveryFormat) {
    const struct {
        const char* ours;
        const char* im;
    } ops[] = {{"--rotate 90", "-rotate 90"},   {"--rotate 180", "-rotate 180"},
               {"--rotate 270", "-rotate 270"}, {"--rotate -90", "-rotate -90"},
               {"--flip-horizontal", "-flop"},  {"--flip-vertical", "-flip"}};
    for (TPGPixelFormat f : {pg1Bit, pg4Bit, pg8Bit, pg24Bit}) {
        MakeSource("in.bmp", f, 13, 6);
        for (const auto& op : ops) {
            SCOPED_TRACE(testing::Message() << "format " << int(f) << " " << op.ours);
            ASSERT_EQ(Tav("convert " + P("in.bmp") + " " + P("ours.bmp") + " " + op.ours), 0);
            ASSERT_EQ(Sh("convert " + P("in.bmp") + " " + op.im + " -depth 8 " + P("im.ppm")), 0);
            ExpectSame("ours.bmp", "im.ppm");
        }
    }
}

TEST_F(TavtoolGeometry, CropMatchesImageMagickAlsoPartlyOutside) {
    MakeSource("in.bmp", pg24Bit, 30, 20);
    MakeSource("in8.bmp", pg8Bit, 30, 20);
    for (const char* geo : {"10x5+3+4", "50x50+20+10", "8x30+-3+2", "30x20+0+0"}) {
        for (const char* in : {"in.bmp", "in8.bmp"}) {
            SCOPED_TRACE(testing::Message() << geo << " " << in);
            std::string im = geo;
            if (const auto k = im.find("+-"); k != std::string::npos) im.erase(k, 1);
            ASSERT_EQ(Tav("convert " + P(in) + " " + P("ours.bmp") + " --crop " + geo), 0);
            ASSERT_EQ(Sh("convert " + P(in) + " -crop " + im + " +repage -depth 8 " + P("im.ppm")),
                      0);
            ExpectSame("ours.bmp", "im.ppm");
        }
    }
    // A rectangle off the picture is a failure, and nothing is written.
    EXPECT_EQ(Tav("convert " + P("in.bmp") + " " + P("none.bmp") + " --crop 5x5+30+0"), 1);
    EXPECT_FALSE(fs::exists(dir / "none.bmp"));
}

TEST_F(TavtoolGeometry, RedEyeMatchesTheFxExpression) {
    MakeSource("in.bmp", pg24Bit, 40, 30);
    const struct {
        int x, y, w, h, v;
    } cases[] = {{5, 3, 20, 14, 0}, {0, 0, 40, 30, 80}, {10, 10, 7, 19, -50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.x << "," << c.y << "," << c.w << "," << c.h << ":" << c.v);
        const int cx = c.x + c.w / 2, cy = c.y + c.h / 2, r = (c.w < c.h ? c.w : c.h) / 2;
        const std::string fx = "i>=" + std::to_string(c.x) + " && i<" + std::to_string(c.x + c.w) +
                               " && j>=" + std::to_string(c.y) + " && j<" +
                               std::to_string(c.y + c.h) + " && hypot(i-" + std::to_string(cx) +
                               ",j-" + std::to_string(cy) + ")<=" + std::to_string(r) +
                               " && round(r*255)>" + std::to_string(100 - c.v) +
                               " && round(g*255)<" + std::to_string(c.v + 100) +
                               " && round(b*255)<" + std::to_string(c.v + 100) + " ? 0 : u";
        const std::string arg = std::to_string(c.x) + "," + std::to_string(c.y) + "," +
                                std::to_string(c.w) + "," + std::to_string(c.h) + ":" +
                                std::to_string(c.v);
        ASSERT_EQ(Tav("convert " + P("in.bmp") + " " + P("ours.bmp") + " --redeye " + arg), 0);
        ASSERT_EQ(Sh("convert " + P("in.bmp") + " -fx '" + fx + "' -depth 8 " + P("im.ppm")), 0);
        ExpectSame("ours.bmp", "im.ppm");
    }
}

TEST_F(TavtoolGeometry, FreeAngleIsCloseToImageMagickInsideTheTurnedEdges) {
    ASSERT_EQ(Sh("convert -size 100x100 plasma:fractal -seed 7 -blur 0x3 -depth 8 " + P("in.ppm")),
              0);
    // The same picture for both (plasma is random).
    ASSERT_EQ(Tav("convert " + P("in.ppm") + " " + P("ours.ppm") + " --rotate 45"), 0);
    ASSERT_EQ(Sh("convert " + P("in.ppm") +
                 " -background black -rotate 45 +repage -crop 142x142+1+1 +repage -depth 8 " +
                 P("im.ppm")),
              0);
    auto ours = Load("ours.ppm"), im = Load("im.ppm");
    ASSERT_EQ(ours->GetWidth(), 142);
    ASSERT_EQ(ours->GetHeight(), 142);
    ASSERT_EQ(im->GetWidth(), 142);
    double sum = 0;
    int n = 0;
    for (int y = 0; y < 142; ++y)
        for (int x = 0; x < 142; ++x) {
            // Back into the source; only points 2 pixels inside its edges.
            const double dx = x + 0.5 - 71, dy = y + 0.5 - 71, s = std::sqrt(0.5);
            const double sx = 50 + (dx + dy) * s, sy = 50 + (dy - dx) * s;
            if (sx < 2 || sy < 2 || sx > 98 || sy > 98) continue;
            const TRGB a = ours->GetPixelColor(x, y), b = im->GetPixelColor(x, y);
            sum += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                   std::abs(GetBValue(a) - GetBValue(b));
            n += 3;
        }
    ASSERT_GT(n, 10000);
    EXPECT_LT(sum / n, 2.5);
}

TEST_F(TavtoolGeometry, GreyDepthFollowsRec601AndPalettesHoldTheirColours) {
    MakeSource("in.bmp", pg24Bit, 40, 30);
    ASSERT_EQ(Tav("convert " + P("in.bmp") + " " + P("g.bmp") +
                  " --depth 8 --palette gray256 --no-dither"),
              0);
    ASSERT_EQ(Sh("convert " + P("in.bmp") + " -grayscale Rec601Luma -depth 8 " + P("im.pgm")), 0);
    ASSERT_EQ(Tav("convert " + P("in.bmp") + " " + P("ga.bmp") +
                  " --depth 8 --palette gray256 --no-dither --no-rgb-weighting"),
              0);
    ASSERT_EQ(Sh("convert " + P("in.bmp") + " -grayscale Average -depth 8 " + P("ima.pgm")), 0);
    for (auto [ours, theirs] : {std::pair{"g.bmp", "im.pgm"}, std::pair{"ga.bmp", "ima.pgm"}}) {
        auto a = Load(ours), b = Load(theirs);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_LE(
                    std::abs(GetRValue(a->GetPixelColor(x, y)) - GetRValue(b->GetPixelColor(x, y))),
                    1)
                    << ours << " " << x << "," << y;
    }
    // The named palettes: every colour shown is one of the palette's, and
    // posterize uses at most 8 colours in the 16-colour format.
    for (const char* sw : {"--depth 1 --palette bw", "--depth 4 --palette gray16",
                           "--depth 4 --palette sys16", "--depth 8 --palette special216",
                           "--depth 4 --palette optimized:5 --no-dither", "--posterize"}) {
        SCOPED_TRACE(sw);
        ASSERT_EQ(Tav("convert " + P("in.bmp") + " " + P("c.bmp") + " " + sw), 0);
        auto c = Load("c.bmp");
        std::set<TRGB> pal(c->Palette().begin(), c->Palette().end()), used;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                used.insert(c->GetPixelColor(x, y));
                ASSERT_TRUE(pal.count(c->GetPixelColor(x, y)));
            }
        if (std::string(sw) == "--posterize") {
            EXPECT_EQ(c->PixelFormat(), pg4Bit);
            EXPECT_LE(used.size(), 8u);
        }
    }
}

TEST_F(TavtoolGeometry, RadialIsCloseToImageMagicksBarrel) {
    ASSERT_EQ(Sh("convert -size 201x201 plasma:fractal -seed 3 -blur 0x4 -depth 8 " + P("in.ppm")),
              0);
    const double a = -0.02, b = 0.01, c = 0, d = 1, k = 100.5 / 100;
    char coeff[200];
    std::snprintf(coeff, sizeof coeff, "%.17g %.17g %.17g %.17g", a * k * k * k, b * k * k, c * k,
                  d);
    ASSERT_EQ(Tav("convert " + P("in.ppm") + " " + P("ours.ppm") + " --radial -0.02,0.01,0,1"), 0);
    ASSERT_EQ(Sh("convert " + P("in.ppm") +
                 " -virtual-pixel black -filter point -interpolate bilinear -distort Barrel '" +
                 coeff + "' -depth 8 " + P("im.ppm")),
              0);
    auto ours = Load("ours.ppm"), im = Load("im.ppm");
    int worst = 0;
    double sum = 0;
    int n = 0;
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x) {
            const double dx = x - 100, dy = y - 100, r = std::sqrt(dx * dx + dy * dy) / 100;
            const double f = ((a * r + b) * r + c) * r + d;
            const double sx = 100 + dx * f, sy = 100 + dy * f;
            if (sx < 1 || sy < 1 || sx > 199 || sy > 199) continue;
            const TRGB p = ours->GetPixelColor(x, y), q = im->GetPixelColor(x, y);
            for (int s : {0, 8, 16}) {
                const int e = std::abs(((p >> s) & 255) - ((q >> s) & 255));
                worst = std::max(worst, e);
                sum += e;
                ++n;
            }
        }
    EXPECT_LE(worst, 6);
    EXPECT_LT(sum / n, 1.5);
}

TEST_F(TavtoolGeometry, StepsRunInOrderAndBadValuesAreUsageErrors) {
    MakeSource("in.bmp", pg24Bit, 40, 30);
    // Crop then turn: 10 x 4 becomes 4 x 10; proportions kept by --size.
    ASSERT_EQ(
        Tav("convert " + P("in.bmp") + " " + P("a.bmp") + " --crop 10x4+0+0 --rotate 90 --size 8x"),
        0);
    auto a = Load("a.bmp");
    EXPECT_EQ(a->GetWidth(), 8);
    EXPECT_EQ(a->GetHeight(), 20);
    ASSERT_EQ(
        Tav("convert " + P("in.bmp") + " " + P("b.bmp") + " --size x15 --border 3:ff0000:ellipse"),
        0);
    auto b = Load("b.bmp");
    EXPECT_EQ(b->GetWidth(), 20);
    EXPECT_EQ(b->GetPixelColor(0, 0), RGB(255, 0, 0));
    for (const char* bad :
         {"--crop 0x5+0+0", "--crop 5x5", "--rotate nan", "--rotate 1e400", "--depth 3",
          "--depth 4 --palette gray256", "--palette bw", "--depth 4 --palette optimized:17",
          "--border 1", "--border 5:red", "--redeye 1,2,3", "--redeye 0,0,4,4:81",
          "--radial 0,0,nan,1", "--radial 0,0,0", "--size x", "--depth 24 --palette bw"}) {
        EXPECT_EQ(Tav("convert " + P("in.bmp") + " " + P("bad.bmp") + " " + bad), 2) << bad;
        EXPECT_FALSE(fs::exists(dir / "bad.bmp")) << bad;
    }
}
