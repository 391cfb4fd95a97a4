// The preview's icon loader against icons written by other tools: each
// image kind decoded and composited over a known colour, compared with the
// source composited the same way.

#include "formats/desktopicon.h"

#include <gtest/gtest.h>

#include "core/stream.h"
#include "formats/library.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

constexpr TRGB kBackground = RGB(40, 90, 200);

// Writes src<N>.png sources and want<N>.ppm (the source over the background)
// for each size; `kind` chooses the content: "alpha" (soft alpha ramp, many
// colours) or "binary" (16 colours, alpha 0 or 255, exact in any depth).
bool MakeSources(const TempDir& dir, const std::string& kind, std::initializer_list<int> sizes) {
    std::string list;
    for (int s : sizes)
        list += std::to_string(s) + ",";
    const std::string script = R"PY(
import sys
from PIL import Image
out, kind, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3].split(',') if s]
bg = (40, 90, 200)
pal = [(0,0,0),(255,255,255),(255,0,0),(0,255,0),(0,0,255),(255,255,0),(0,255,255),(255,0,255),
       (128,0,0),(0,128,0),(0,0,128),(128,128,0),(0,128,128),(128,0,128),(192,192,192),(128,128,128)]
for n in sizes:
    im = Image.new('RGBA', (n, n))
    for y in range(n):
        for x in range(n):
            if kind == 'alpha':
                c = (x * 255 // (n - 1), y * 255 // (n - 1), (x + y) * 127 // (n - 1))
                a = 0 if x < n // 4 else min(255, (x * 2 + y) * 255 // (3 * (n - 1)) + 40)
            else:
                c = pal[(x * 4 // n) + 4 * (y * 4 // n)]
                a = 0 if (x + y) % 7 == 0 else 255
            im.putpixel((x, y), c + (a,))
    im.save(f'{out}/src{n}.png')
    want = Image.new('RGB', (n, n), bg)
    want.paste(im, (0, 0), im)
    want.save(f'{out}/want{n}.ppm')
)PY";
    const std::string py = dir / "make.py";
    std::ofstream(py) << script;
    return Shell(std::string(kPython) + " " + Q(py) + " " + Q(dir.path.string()) + " " + kind +
                 " " + list);
}

// Largest difference of any channel between the loaded icon and want<n>.ppm.
int Difference(const TPixelGraphic& pg, const Pnm& want) {
    if (pg.GetWidth() != want.width || pg.GetHeight() != want.height) return 999;
    int worst = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const TRGB a = pg.GetPixelColor(x, y), b = want.Color(x, y);
            worst = std::max({worst, std::abs(int(GetRValue(a)) - int(GetRValue(b))),
                              std::abs(int(GetGValue(a)) - int(GetGValue(b))),
                              std::abs(int(GetBValue(a)) - int(GetBValue(b)))});
        }
    return worst;
}

bool Load(const std::string& file, TPixelGraphic& pg) {
    TFileStream f(file, TFileStream::OpenRead);
    return LoadDesktopIcon(f, kBackground, pg);
}

class DesktopIcon : public ::testing::Test {
  protected:
    void SetUp() override { InitImageLibrary(); }
    TempDir dir;
};

} // namespace

TEST_F(DesktopIcon, IconsOfOtherToolsShowTheirLargestDeepestImage) {
    ASSERT_TRUE(MakeSources(dir, "alpha", {16, 48, 256}));
    struct Case {
        const char* name;
        std::string command; // makes x.ico from the sources
        int size;            // the image that must be shown
    };
    const std::string d = dir.path.string();
    const Case cases[] = {
        {"icotool 32-bit",
         "icotool -c -b 32 -o " + d + "/x.ico " + d + "/src16.png " + d + "/src48.png", 48},
        {"icotool PNG entry",
         "icotool -c -o " + d + "/x.ico " + d + "/src16.png -r " + d + "/src256.png", 256},
        {"Pillow PNG entries",
         std::string(kPython) + " -c \"from PIL import Image; Image.open('" + d +
             "/src256.png').save('" + d + "/x.ico', sizes=[(256,256),(48,48),(16,16)])\"",
         256},
        {"ImageMagick auto-resize",
         "convert " + d + "/src256.png -define icon:auto-resize=256,48,16 " + d + "/x.ico", 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir / "x.ico");
        ASSERT_TRUE(Shell(c.command));
        TPixelGraphic pg;
        ASSERT_TRUE(Load(dir / "x.ico", pg));
        EXPECT_EQ(pg.GetWidth(), c.size);
        // ImageMagick resamples its own 256 image; the others store ours.
        EXPECT_LE(Difference(pg, ReadPnm(dir / ("want" + std::to_string(c.size) + ".ppm"))), 1);
    }
}

TEST_F(DesktopIcon, PaletteAndTrueColourImagesWithMasks) {
    ASSERT_TRUE(MakeSources(dir, "binary", {32}));
    const std::string d = dir.path.string();
    for (int bits : {1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bits);
        std::filesystem::remove(dir / "x.ico");
        std::string src = d + "/src32.png";
        if (bits == 1) {
            // Two colours: black and white with the mask.
            ASSERT_TRUE(
                Shell(std::string(kPython) + " -c \"from PIL import Image; im=Image.open('" + src +
                      "'); px=im.load()\nfor y in range(32):\n for x in range(32):\n  "
                      "r,g,b,a=px[x,y]; v=255 if r+g+b>300 else 0; px[x,y]=(v,v,v,a)\nim.save('" +
                      d +
                      "/bw.png')\nbg=Image.new('RGB',(32,32),(40,90,200)); bg.paste(im,(0,0),im); "
                      "bg.save('" +
                      d + "/wantbw.ppm')\""));
            src = d + "/bw.png";
        }
        ASSERT_TRUE(Shell("icotool -c -b " + std::to_string(bits) + " -o " + d + "/x.ico " + src));
        // icotool keeps a deeper image when the colours do not fit: make sure
        // each depth really is in the file.
        ASSERT_TRUE(Shell("icotool -l " + d +
                          "/x.ico | grep -q -- '--bit-depth=" + std::to_string(bits) + " '"));
        TPixelGraphic pg;
        ASSERT_TRUE(Load(dir / "x.ico", pg));
        EXPECT_EQ(Difference(pg, ReadPnm(dir / (bits == 1 ? "wantbw.ppm" : "want32.ppm"))), 0);
    }
}

TEST_F(DesktopIcon, DamagedIconsReadNothingAndLeaveThePictureAlone) {
    ASSERT_TRUE(MakeSources(dir, "alpha", {48}));
    ASSERT_TRUE(Shell("icotool -c -o " + (dir / "ok.ico") + " -r " + (dir / "src48.png")));
    const std::vector<uint8_t> ok = Bytes(dir / "ok.ico");
    ASSERT_GT(ok.size(), 100u);

    auto patched = [&](auto change) {
        std::vector<uint8_t> b = ok;
        change(b);
        return b;
    };
    const std::vector<std::vector<uint8_t>> broken = {
        patched([](auto& b) { b[4] = b[5] = 0; }), // no entries
        patched([](auto& b) {
            b[18] = 0xFF;
            b[19] = 0xFF;
            b[20] = 0x7F;
        }), // entry past the end
        std::vector<uint8_t>(ok.begin(), ok.begin() + std::ptrdiff_t(ok.size() / 2)), // PNG cut
        std::vector<uint8_t>(ok.begin(), ok.begin() + 10), // directory cut
        {0, 0, 1, 0, 1, 0},
    };
    for (size_t i = 0; i < broken.size(); ++i) {
        SCOPED_TRACE(i);
        TPixelGraphic pg;
        pg.SetFormat(3, 3, pg24Bit);
        TReadOnlyMemoryStream s(broken[i].data(), int64_t(broken[i].size()));
        EXPECT_FALSE(LoadDesktopIcon(s, kBackground, pg));
        EXPECT_EQ(pg.GetWidth(), 3);
    }
}
