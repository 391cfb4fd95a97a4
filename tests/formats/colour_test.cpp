// Colour management: pictures converted from their ICC profiles, checked
// against ImageMagick's -profile (lcms underneath) on the same pixels, and
// profiles a file may carry that must be ignored.

#include <gtest/gtest.h>

#include <lcms2.h>

#include <cstring>
#include <fstream>

#include "core/colour.h"
#include "formats/gifexport.h"
#include "formats/library.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

const std::string kIcc = "/usr/share/color/icc/colord/";

void WritePpm(const TPixelGraphic& g, const std::string& file) {
    std::ofstream o(file, std::ios::binary);
    o << "P6\n" << g.GetWidth() << ' ' << g.GetHeight() << "\n255\n";
    for (int y = 0; y < g.GetHeight(); ++y)
        for (int x = 0; x < g.GetWidth(); ++x) {
            const TRGB c = g.GetPixelColor(x, y);
            const char p[3] = {char(GetRValue(c)), char(GetGValue(c)), char(GetBValue(c))};
            o.write(p, 3);
        }
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y)) return false;
    return true;
}

class Colour : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitImageLibrary(); }
    TempDir dir;
};

// A tagged JPEG (the tag put in by exiftool) converted to sRGB matches what
// ImageMagick's -profile makes of the same decoded pixels. The swapped
// profile turns red into green; rows go in bands on several threads, so the
// picture is tall enough for more than one band.
TEST_F(Colour, TaggedJpegMatchesImageMagick) {
    const std::string ppm = dir / "src.ppm", jpg = dir / "src.jpg";
    ASSERT_TRUE(Shell("convert -size 96x300 -seed 7 plasma:red-blue -depth 8 " + Q(ppm) +
                      " && cjpeg -quality 95 " + Q(ppm) + " > " + Q(jpg)));
    for (const char* name : {"AdobeRGB1998.icc", "ProPhotoRGB.icc", "SwappedRedAndGreen.icc"}) {
        SCOPED_TRACE(name);
        const std::string icc = kIcc + name, tagged = dir / "tagged.jpg";
        ASSERT_TRUE(Shell("cp " + Q(jpg) + " " + Q(tagged) +
                          " && exiftool -q -overwrite_original " + Q("-icc_profile<=" + icc) + " " +
                          Q(tagged)));
        TPixelGraphic g;
        g.LoadFromFile(tagged);
        ASSERT_EQ(g.ICCProfile(), Bytes(icc));
        ASSERT_TRUE(PGNeedsColourConversion(g, TPGColourTarget::sRGB));

        // The oracle converts the pixels our reader decoded.
        const std::string raw = dir / "raw.ppm", back = dir / "out.ppm";
        WritePpm(g, raw);
        ASSERT_TRUE(Shell("convert " + Q(raw) + " -profile " + Q(icc) + " -profile " +
                          Q(kIcc + "sRGB.icc") + " " + Q(back)));
        const Pnm expected = ReadPnm(back);

        ASSERT_TRUE(PGConvertColours(g, TPGColourTarget::sRGB));
        EXPECT_LE(MaxDifference(g, expected), 1);
        EXPECT_TRUE(g.ICCProfile().empty()); // now plain sRGB
        EXPECT_FALSE(PGConvertColours(g, TPGColourTarget::sRGB));
    }

    // Pure red under the swapped profile is green; a palette picture has its
    // palette converted and keeps its indices.
    TPixelGraphic red, pal;
    red.SetFormat(4, 3, pg24Bit);
    for (int x = 0; x < 4; ++x)
        red.SetPixelColor(x, 1, RGB(255, 0, 0));
    red.SetICCProfile(Bytes(kIcc + "SwappedRedAndGreen.icc"));
    pal.SetFormat(2, 1, pg8Bit);
    pal.SetPaletteCount(2);
    pal.SetPaletteEntry(1, RGB(255, 0, 0));
    pal.SetPixel(0, 0, 1);
    pal.SetICCProfile(red.ICCProfile());
    ASSERT_TRUE(PGConvertColours(red, TPGColourTarget::Display)); // no display profile: sRGB
    ASSERT_TRUE(PGConvertColours(pal, TPGColourTarget::sRGB));
    for (TRGB c : {red.GetPixelColor(2, 1), pal.PaletteEntry(1)}) {
        EXPECT_GT(GetGValue(c), 200) << std::hex << c;
        EXPECT_LT(GetRValue(c), 60) << std::hex << c;
    }
    EXPECT_EQ(pal.GetPixel(0, 0), 1);
}

// Saving: JPEG, PNG and TIFF keep the profile byte for byte and the numbers
// as they are; formats without a profile get the colours in sRGB (red under
// the swapped profile is saved green). The picture itself is not changed.
TEST_F(Colour, SavingKeepsTheMeaning) {
    const std::vector<uint8_t> swapped = Bytes(kIcc + "SwappedRedAndGreen.icc");
    TPixelGraphic g;
    g.SetFormat(16, 16, pg24Bit);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            g.SetPixelColor(x, y, RGB(240, 20, 10));
    g.SetICCProfile(swapped);
    g.SetSaveColorResWarningAction(pgwaIgnore);
    struct Case {
        const char* ext;
        bool keepsProfile;
    } cases[] = {{"png", true},  {"tif", true},  {"jpg", true},  {"bmp", false},
                 {"tga", false}, {"ppm", false}, {"webp", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string file = dir / (std::string("out.") + c.ext);
        g.SaveToFile(file);
        TPixelGraphic back;
        back.LoadFromFile(file);
        const TRGB p = back.GetPixelColor(8, 8);
        if (c.keepsProfile) {
            EXPECT_EQ(back.ICCProfile(), swapped);
            EXPECT_GT(GetRValue(p), 200) << std::hex << p;
        } else {
            EXPECT_TRUE(back.ICCProfile().empty());
            EXPECT_GT(GetGValue(p), 180) << std::hex << p;
            EXPECT_LT(GetRValue(p), 80) << std::hex << p;
        }
    }
    // GIF goes through its own export.
    ASSERT_TRUE(ExportGIF(g, dir / "out.gif", false, 0, false));
    TPixelGraphic gif;
    gif.LoadFromFile(dir / "out.gif");
    EXPECT_GT(GetGValue(gif.GetPixelColor(8, 8)), 180);
    EXPECT_LT(GetRValue(gif.GetPixelColor(8, 8)), 80);

    EXPECT_EQ(g.ICCProfile(), swapped);
    EXPECT_EQ(g.GetPixelColor(3, 3), RGB(240, 20, 10));
}

// A grey JPEG tagged with a linear grey profile is lighter in sRGB and stays
// neutral (linear 50 % is sRGB 188); a grey profile says nothing about a
// 24-bit picture.
TEST_F(Colour, GreyJpegWithGreyProfile) {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE h = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsFreeToneCurve(linear);
    cmsUInt32Number size = 0;
    ASSERT_TRUE(cmsSaveProfileToMem(h, nullptr, &size));
    std::vector<uint8_t> grey(size);
    ASSERT_TRUE(cmsSaveProfileToMem(h, grey.data(), &size));
    cmsCloseProfile(h);
    const std::string icc = dir / "grey.icc", jpg = dir / "grey.jpg";
    WriteBytes(icc, grey);
    ASSERT_TRUE(
        Shell("convert -size 8x8 xc:'gray(128)' -depth 8 pgm:- | cjpeg -grayscale -quality 100 > " +
              Q(jpg) + " && exiftool -q -overwrite_original " + Q("-icc_profile<=" + icc) + " " +
              Q(jpg)));
    TPixelGraphic g;
    g.LoadFromFile(jpg);
    ASSERT_EQ(g.PixelFormat(), pg8Bit);
    ASSERT_EQ(g.ICCProfile(), grey);
    const int before = g.GetPixel(3, 3);
    ASSERT_TRUE(PGConvertColours(g, TPGColourTarget::sRGB));
    EXPECT_EQ(g.GetPixel(3, 3), before); // the palette changed, not the indices
    const TRGB c = g.GetPixelColor(3, 3);
    EXPECT_NEAR(GetRValue(c), 188, 1);
    EXPECT_EQ(GetRValue(c), GetGValue(c));
    EXPECT_EQ(GetGValue(c), GetBValue(c));

    TPixelGraphic rgb;
    rgb.SetFormat(2, 2, pg24Bit);
    rgb.SetICCProfile(grey);
    EXPECT_TRUE(PGUsableProfile(grey));
    EXPECT_FALSE(PGConvertColours(rgb, TPGColourTarget::sRGB));
}

// Profiles that must be ignored without a word: cut, with a tag count far
// past the file, of another colour space, too large, or no profile at all.
// The picture keeps its pixels and nothing throws.
TEST_F(Colour, HostileProfilesAreIgnored) {
    const std::vector<uint8_t> good = Bytes(kIcc + "AdobeRGB1998.icc");
    ASSERT_GT(good.size(), 200u);
    std::vector<uint8_t> cut(good.begin(), good.begin() + 200);
    std::vector<uint8_t> tags = good;
    tags[128] = tags[129] = tags[130] = tags[131] = 0xFF;
    std::vector<uint8_t> cmyk = good;
    std::memcpy(cmyk.data() + 16, "CMYK", 4);
    std::vector<uint8_t> huge = good;
    huge.resize(kPGMaxProfileBytes + 1);
    std::vector<uint8_t> noise(4000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 37 + 11);
    struct Case {
        const char* what;
        std::vector<uint8_t> icc;
    } cases[] = {{"cut", cut},        {"tag count", tags}, {"CMYK", cmyk},
                 {"too large", huge}, {"noise", noise},    {"none", {}}};
    TPixelGraphic ref;
    ref.SetFormat(5, 4, pg24Bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ref.SetPixelColor(x, y, RGB(x * 50, y * 60, 200));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPixelGraphic g;
        g.Assign(&ref);
        g.SetICCProfile(c.icc);
        EXPECT_FALSE(PGUsableProfile(c.icc));
        EXPECT_FALSE(PGNeedsColourConversion(g, TPGColourTarget::Display));
        EXPECT_FALSE(PGConvertColours(g, TPGColourTarget::sRGB));
        EXPECT_TRUE(SamePixels(g, ref));
        EXPECT_EQ(g.ICCProfile(), c.icc);
    }
    // A display profile that is no usable one leaves the display sRGB.
    EXPECT_FALSE(PGSetDisplayProfile(cmyk));
    EXPECT_EQ(PGDisplayProfileDescription(), "sRGB");
}

} // namespace
