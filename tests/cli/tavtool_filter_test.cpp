// tavtool filter against independent tools: ImageMagick for the negative,
// Pillow for grey scale, the table filters and small kernels, netpbm's
// pnmconvol for kernels of any size. Borders are the library's own
// (renormalised) and are checked by the processing tests.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/pixelgraphic.h"
#include "formats/library.h"

namespace fs = std::filesystem;

namespace {

bool Have(const std::string& probe) {
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

// The system's Python, which carries Pillow when the test packages are in.
const char* kPython = "/usr/bin/python3";

class TavtoolFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        dir = fs::temp_directory_path() /
              ("tav_filter_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        // A photo-like picture with every kind of neighbourhood, as binary PPM.
        TPixelGraphic p;
        p.SetFormat(61, 47, pg24Bit);
        uint32_t seed = 99;
        for (int y = 0; y < 47; ++y)
            for (int x = 0; x < 61; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int n = int(seed >> 27);
                p.SetPixel(x, y,
                           RGB((x * 4 + n) & 255, (y * 5 + 2 * n) & 255, ((x ^ y) * 3 + n) & 255));
            }
        p.SaveToFile(Path("in.bmp"));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    int Tav(const std::string& args) {
        const int st = std::system(
            ("'" + std::string(TAVTOOL_PATH) + "' " + args + " 2>'" + Path("err") + "'").c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    int Sh(const std::string& cmd) { return std::system(cmd.c_str()); }
    int Python(const std::string& code) {
        std::ofstream(Path("o.py")) << code;
        return Sh(std::string(kPython) + " '" + Path("o.py") + "' '" + dir.string() + "'");
    }
    std::unique_ptr<TPixelGraphic> Load(const std::string& name) {
        auto p = std::make_unique<TPixelGraphic>();
        p->LoadFromFile(Path(name));
        return p;
    }
    // Compares the channels of two pictures over the region `margin` pixels
    // inside the border, allowing `tolerance`; returns the worst difference.
    int Worst(const TPixelGraphic& a, const TPixelGraphic& b, int margin) {
        EXPECT_EQ(a.GetWidth(), b.GetWidth());
        EXPECT_EQ(a.GetHeight(), b.GetHeight());
        int worst = 0;
        for (int y = margin; y < a.GetHeight() - margin; ++y)
            for (int x = margin; x < a.GetWidth() - margin; ++x) {
                const TRGB c = a.GetPixelColor(x, y), d = b.GetPixelColor(x, y);
                for (int s = 0; s < 24; s += 8)
                    worst = std::max(worst, std::abs(((c >> s) & 255) - ((d >> s) & 255)));
            }
        return worst;
    }

    fs::path dir;
};

const char* kPilHeader = "import sys\nfrom PIL import Image, ImageMath, ImageFilter\n"
                         "d = sys.argv[1]\nim = Image.open(d + '/in.bmp').convert('RGB')\n";

TEST_F(TavtoolFilter, NegativeEqualsImageMagick) {
    if (!Have("convert -version")) GTEST_SKIP() << "no ImageMagick";
    ASSERT_EQ(Tav("filter '" + Path("in.bmp") + "' '" + Path("out.ppm") + "' negative"), 0);
    ASSERT_EQ(Sh("convert '" + Path("in.bmp") + "' -negate '" + Path("im.ppm") + "'"), 0);
    EXPECT_EQ(Worst(*Load("out.ppm"), *Load("im.ppm"), 0), 0);
}

TEST_F(TavtoolFilter, ColourFiltersEqualPillow) {
    if (!Have(std::string(kPython) + " -c 'import PIL'")) GTEST_SKIP() << "no Pillow";
    // Division truncates toward zero in the library, Python's // floors.
    const std::string trunc =
        "def tdiv(a, b):\n    q = abs(a) // b\n    return q if a >= 0 else -q\n"
        "def clamp(v):\n    return max(0, min(255, v))\n";
    struct Case {
        const char* args;
        const char* python;
        int tolerance;
    } cases[] = {
        {"grey",
         "r, g, b = [c.convert('I') for c in im.split()]\n"
         "y = ImageMath.eval('(897*r+1761*g+342*b)/3000', r=r, g=g, b=b).convert('L')\n"
         "Image.merge('RGB', (y, y, y)).save(d + '/py.ppm')\n",
         0},
        {"grey=plain",
         "r, g, b = [c.convert('I') for c in im.split()]\n"
         "y = ImageMath.eval('(r+g+b)/3', r=r, g=g, b=b).convert('L')\n"
         "Image.merge('RGB', (y, y, y)).save(d + '/py.ppm')\n",
         0},
        {"rgb=30,-45,100",
         "v = (30, -45, 100)\n"
         "bands = [c.point([clamp(i + tdiv(v[k] * 255, 100)) for i in range(256)]) for k, c in "
         "enumerate(im.split())]\n"
         "Image.merge('RGB', bands).save(d + '/py.ppm')\n",
         0},
        {"cmy=-70,15,55",
         "v = (-70, 15, 55)\n"
         "bands = [c.point([255 - clamp(255 - i + tdiv(v[k] * 255, 100)) for i in range(256)]) for "
         "k, c in enumerate(im.split())]\n"
         "Image.merge('RGB', bands).save(d + '/py.ppm')\n",
         0},
        // The level table in doubles: exact halves may land either side.
        {"bcg=20,1.5,0.7",
         "import math\n"
         "c = 5 ** (round(math.log(1.5) * 100 / math.log(5)) / 100)\n"
         "g = 5 ** (round(math.log(0.7) * 100 / math.log(5)) / 100)\n"
         "t = [clamp(round(max(-1, min(256, ((i / 255) ** g * 255 - 127.5) * c + 127.5 + 20 * 255 "
         "* 0.01)))) for i in range(256)]\n"
         "Image.merge('RGB', [b.point(t) for b in im.split()]).save(d + '/py.ppm')\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(Tav("filter '" + Path("in.bmp") + "' '" + Path("out.ppm") + "' " + c.args), 0);
        ASSERT_EQ(Python(std::string(kPilHeader) + trunc + c.python), 0);
        EXPECT_LE(Worst(*Load("out.ppm"), *Load("py.ppm"), 0), c.tolerance);
    }
}

// A size x size kernel of small positive weights, comma separated.
std::string MakeKernel(int size, int salt) {
    std::string k;
    for (int i = 0; i < size * size; ++i)
        k += (i ? "," : "") + std::to_string((i * salt) % 7 + 1);
    return k;
}

TEST_F(TavtoolFilter, KernelsEqualPillowAndPnmconvolInside) {
    const bool pil = Have(std::string(kPython) + " -c 'import PIL'");
    const bool netpbm = Have("which pnmconvol");
    if (!pil || !netpbm) GTEST_SKIP() << "no Pillow or netpbm";
    const std::string k9 = MakeKernel(9, 5), k15 = MakeKernel(15, 3);
    struct Case {
        std::string args;
        int size;
        std::string kernel;   // the weights, row by row
        std::string pilExtra; // scale and offset for Pillow (3 x 3 and 5 x 5 only)
        bool pnm;             // pnmconvol has no offset
        int tolerance;        // odd weight sums exact; even ones meet exact halves
    } cases[] = {
        {"conv=3x3:1,2,1,2,5,2,1,2,1", 3, "1,2,1,2,5,2,1,2,1", "", true, 0},
        {"sharpen=0.75,50", 3, "-3,-7,-3,-7,112,-7,-3,-7,-3", "", true, 1},
        {"contour=1,100,white", 3, "-1,-1,-1,-1,9,-1,-1,-1,-1", ", scale=0.01, offset=255", false,
         0},
        {"conv=5x5:1,1,1,1,1,1,2,2,2,1,1,2,7,2,1,1,2,2,2,1,1,1,1,1,1", 5,
         "1,1,1,1,1,1,2,2,2,1,1,2,7,2,1,1,2,2,2,1,1,1,1,1,1", "", true, 0},
        {"conv=9x9:" + k9, 9, k9, "-", true, 1},
        {"conv=15x15:" + k15, 15, k15, "-", true, 1},
    };
    ASSERT_EQ(Sh("convert '" + Path("in.bmp") + "' '" + Path("in.ppm") + "'"), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(Tav("filter '" + Path("in.bmp") + "' '" + Path("out.ppm") + "' " + c.args), 0);
        auto out = Load("out.ppm");
        const int margin = c.size / 2;
        if (c.pilExtra != "-") {
            ASSERT_EQ(Python(std::string(kPilHeader) + "k = [" + c.kernel + "]\n" +
                             "im.filter(ImageFilter.Kernel((" + std::to_string(c.size) + ", " +
                             std::to_string(c.size) + "), k" + c.pilExtra +
                             ")).save(d + '/py.ppm')\n"),
                      0);
            EXPECT_LE(Worst(*out, *Load("py.ppm"), margin), c.tolerance) << "Pillow";
        }
        if (!c.pnm) continue;
        std::string rows;
        int n = 0;
        for (char ch : c.kernel) {
            if (ch == ',')
                rows += ++n % c.size == 0 ? ';' : ',';
            else
                rows += ch;
        }
        ASSERT_EQ(Sh("pnmconvol -matrix='" + rows + "' -normalize '" + Path("in.ppm") + "' > '" +
                     Path("pnm.ppm") + "' 2>/dev/null"),
                  0);
        EXPECT_LE(Worst(*out, *Load("pnm.ppm"), margin), c.tolerance) << "pnmconvol";
    }
}

TEST_F(TavtoolFilter, UsageMistakesExitTwoAndWriteNothing) {
    for (const char* args : {"negative=1", "blur=9,50", "hsv=0,0", "sparkle", "", "swirl=0",
                             "spray=101", "mosaic=-1", "fisheye=0"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Tav("filter '" + Path("in.bmp") + "' '" + Path("out.bmp") + "' " + args), 2);
        EXPECT_FALSE(fs::exists(Path("out.bmp")));
    }
    EXPECT_EQ(Tav("filter '" + Path("missing.bmp") + "' '" + Path("out.bmp") + "' negative"), 1);
    EXPECT_FALSE(fs::exists(Path("out.bmp")));
}

TEST_F(TavtoolFilter, EffectsRunAsTheEditorsAndTheSeedRepeatsThem) {
    auto run = [&](const std::string& steps, const std::string& out) {
        return Tav("filter '" + Path("in.bmp") + "' '" + Path(out) + "' " + steps);
    };
    // The random effects repeat with the same seed and differ with another.
    ASSERT_EQ(run("colornoise=40 spray=5 bwnoise=20 --seed 7", "a.bmp"), 0);
    ASSERT_EQ(run("colornoise=40 spray=5 bwnoise=20 --seed 7", "b.bmp"), 0);
    ASSERT_EQ(run("colornoise=40 spray=5 bwnoise=20 --seed 8", "c.bmp"), 0);
    EXPECT_EQ(Worst(*Load("a.bmp"), *Load("b.bmp"), 0), 0);
    EXPECT_GT(Worst(*Load("a.bmp"), *Load("c.bmp"), 0), 0);
    // Mosaic 10: every block takes its sample pixel (5, 5), (15, 5) ...
    ASSERT_EQ(run("mosaic=10", "m.bmp"), 0);
    auto in = Load("in.bmp"), m = Load("m.bmp");
    EXPECT_EQ(m->GetPixelColor(0, 0), in->GetPixelColor(5, 5));
    EXPECT_EQ(m->GetPixelColor(19, 9), in->GetPixelColor(15, 5));
    EXPECT_EQ(m->GetPixelColor(60, 46), in->GetPixelColor(60, 45)); // the last column clamped
    // Emboss, fisheye and swirl run on the 24-bit copy and keep the size.
    ASSERT_EQ(run("emboss fisheye swirl=50", "e.bmp"), 0);
    EXPECT_EQ(Load("e.bmp")->GetWidth(), 61);
}

} // namespace
