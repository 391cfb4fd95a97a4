// JPEG and PNG through the registry: choice by signature, gamma correction
// on load, colour-resolution fallback on save.

#include <gtest/gtest.h>

#include <cmath>

#include "core/options.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/library.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

TEST(JpegPngRegistry, LoadAndSaveThroughTheRegistry) {
    InitImageLibrary();
    TempDir dir;
    const std::string ppm = dir / "src.ppm", gama = dir / "gama.png", misnamed = dir / "png.jpg";
    ASSERT_TRUE(Shell("convert -size 40x30 gradient:red-blue " + Q(ppm)));
    ASSERT_TRUE(Shell("pnmtopng -gamma 0.45455 " + Q(ppm) + " > " + Q(gama)));
    ASSERT_TRUE(Shell("cp " + Q(gama) + " " + Q(misnamed)));
    const Pnm src = ReadPnm(ppm);

    // A file gamma of 2.2 (what sRGB tools write) is the display's: the
    // pixels load as stored (the 16-bit samples cut to 8 bits, hence 1 level).
    // The signature wins over a wrong extension.
    TPixelGraphic g;
    g.LoadFromFile(misnamed);
    EXPECT_EQ(g.PixelFormat(), pg24Bit);
    EXPECT_LE(MaxDifference(g, src), 1);

    // What we write carries the display gamma and loads back unchanged.
    TPixelGraphic h;
    FromPnm(h, src);
    h.SaveToFile(dir / "out.png");
    TPixelGraphic back;
    back.LoadFromFile(dir / "out.png");
    EXPECT_EQ(MaxDifference(back, src), 0);

    // A grey picture is saved as a one-component JPEG, a colour one with
    // three; a 16-colour picture is converted to 24 bits first.
    struct Case {
        TPGPixelFormat format;
        TPaletteIdent ident;
        int bits;
    } cases[] = {{pg4Bit, pSys16, 24}, {pg8Bit, pGray256, 8}, {pg24Bit, pTrueColor, 24}};
    for (const Case& c : cases) {
        TPixelGraphic p;
        p.SetFormat(16, 8, c.format);
        if (c.format != pg24Bit) {
            p.SetPaletteIdent(c.ident);
        }
        p.SetSaveColorResWarningAction(pgwaIgnore);
        p.SaveToFile(dir / "out.JPG");
        std::string type;
        TPGImageInfo info;
        ASSERT_TRUE(GetFileImageInfo(dir / "out.JPG", 0, type, info));
        EXPECT_EQ(type, "JPEG (JFIF compliant)");
        EXPECT_EQ(info.BitsPerPixel, c.bits);
    }
}

} // namespace
