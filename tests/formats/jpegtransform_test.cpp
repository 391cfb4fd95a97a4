// Lossless JPEG transforms against jpegtran: the same operation must decode to
// the same pixels, keep every marker, and refuse what it cannot do exactly.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/exceptions.h"
#include "formats/jpegtransform.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

struct TurnCase {
    TJpegTurn turn;
    const char* jpegtranArgs;
};

const TurnCase kTurnCases[] = {
    {TJpegTurn::FlipHorizontal, "-flip horizontal"}, {TJpegTurn::FlipVertical, "-flip vertical"},
    {TJpegTurn::Transpose, "-transpose"},            {TJpegTurn::Transverse, "-transverse"},
    {TJpegTurn::Rotate90, "-rotate 90"},             {TJpegTurn::Rotate180, "-rotate 180"},
    {TJpegTurn::Rotate270, "-rotate 270"},
};

class JpegTransformTest : public ::testing::Test {
  protected:
    TempDir dir;

    // A 160 x 96 picture (whole blocks for every sampling) or any size,
    // encoded with `cjpegArgs`, carrying an ICC profile, a comment and EXIF
    // with `exiftoolArgs`.
    std::string MakeJpeg(const std::string& name, const std::string& cjpegArgs, const std::string& size = "160x96",
                         const std::string& exiftoolArgs = "-Artist=Keeper") {
        const std::string ppm = dir / (name + ".ppm"), plain = dir / (name + ".plain.jpg"),
                          icc = dir / "profile.icc", jpg = dir / name;
        if (!std::filesystem::exists(icc)) {
            std::vector<uint8_t> fake(300, 0x5A);
            const std::string tag = "TEST-ICC-PROFILE";
            std::copy(tag.begin(), tag.end(), fake.begin() + 40);
            WriteBytes(icc, fake);
        }
        EXPECT_TRUE(Shell("convert -size " + size + " -seed 3 plasma:fractal " + Q(ppm)));
        EXPECT_TRUE(Shell("cjpeg " + cjpegArgs + " -outfile " + Q(plain) + " " + Q(ppm)));
        const std::string keep = cjpegArgs.find("-progressive") != std::string::npos ? "-progressive " : "";
        EXPECT_TRUE(Shell("jpegtran -copy all " + keep + "-icc " + Q(icc) + " " + Q(plain) + " | wrjpgcom -comment " +
                          "'kept comment' > " + Q(jpg)));
        EXPECT_TRUE(Shell("exiftool -q -overwrite_original " + exiftoolArgs + " " + Q(jpg)));
        return jpg;
    }

    // The decoded pixels of a JPEG file (as djpeg writes them).
    std::vector<uint8_t> Pixels(const std::string& jpg) {
        const std::string out = jpg + ".pnm";
        EXPECT_TRUE(Shell("djpeg -pnm -outfile " + Q(out) + " " + Q(jpg))) << jpg;
        return Bytes(out);
    }

    std::string Tag(const std::string& jpg, const std::string& tag) {
        const std::string out = jpg + ".tag";
        Shell("exiftool -s3 -n -" + tag + " " + Q(jpg) + " > " + Q(out));
        const std::vector<uint8_t> b = Bytes(out);
        std::string s(b.begin(), b.end());
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        return s;
    }

    static bool Contains(const std::vector<uint8_t>& data, const std::string& text) {
        return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
    }
};

TEST_F(JpegTransformTest, EveryTurnDecodesLikeJpegtranAndKeepsEveryMarker) {
    const std::pair<const char*, const char*> samples[] = {
        {"444.jpg", "-sample 1x1"},       {"422.jpg", "-sample 2x1"},
        {"420.jpg", "-sample 2x2"},       {"grey.jpg", "-grayscale"},
        {"progressive.jpg", "-progressive"},
    };
    for (const auto& [name, args] : samples) {
        const std::string src = MakeJpeg(name, args);
        for (const TurnCase& c : kTurnCases) {
            SCOPED_TRACE(std::string(name) + " " + c.jpegtranArgs);
            const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
            TJpegTransform t;
            t.turn = c.turn;
            const TJpegTransformResult r = JpegTransformFile(src, ours, t);
            ASSERT_TRUE(Shell("jpegtran -perfect -copy all " + std::string(c.jpegtranArgs) + " -outfile " +
                              Q(theirs) + " " + Q(src)));
            EXPECT_EQ(Pixels(ours), Pixels(theirs));
            EXPECT_EQ(r.width, JpegTurnSwapsSides(c.turn) ? 96 : 160);
            const std::vector<uint8_t> bytes = Bytes(ours);
            EXPECT_EQ(r.data, bytes);
            EXPECT_TRUE(Contains(bytes, "TEST-ICC-PROFILE"));
            EXPECT_TRUE(Contains(bytes, "kept comment"));
            EXPECT_TRUE(Contains(bytes, "Exif"));
            EXPECT_TRUE(Contains(bytes, "Keeper")); // the EXIF Artist
        }
        // A progressive source stays progressive.
        if (std::string(name) == "progressive.jpg") {
            EXPECT_EQ(Tag(dir / "ours.jpg", "EncodingProcess"), "2");
        }
    }
}

TEST_F(JpegTransformTest, AppliesTheExifOrientationAndResetsIt) {
    // Each orientation against the turn jpegtran's users give it; the EXIF
    // thumbnail turns with the picture.
    const char* const ops[] = {"", "-flip horizontal", "-rotate 180", "-flip vertical",
                               "-transpose", "-rotate 90", "-transverse", "-rotate 270"};
    const std::string thumbPpm = dir / "thumb.ppm", thumb = dir / "thumb.jpg";
    ASSERT_TRUE(Shell("convert -size 64x48 -seed 9 plasma:fractal " + Q(thumbPpm) + " && cjpeg -outfile " +
                      Q(thumb) + " " + Q(thumbPpm)));
    for (int o = 2; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const std::string src = MakeJpeg("o" + std::to_string(o) + ".jpg", "-sample 2x2", "160x96",
                                         "-Artist=Keeper -Orientation#=" + std::to_string(o) + " -XMP-tiff:Orientation#=" + std::to_string(o) +
                                             " -ExifImageWidth=160 -ExifImageHeight=96 " + Q("-ThumbnailImage<=" + thumb));
        const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
        EXPECT_EQ(JpegExifOrientationOf(Bytes(src).data(), Bytes(src).size()), o);
        TJpegTransform t;
        t.applyExifOrientation = true;
        JpegTransformFile(src, ours, t);
        ASSERT_TRUE(Shell("jpegtran -perfect -copy all " + std::string(ops[o - 1]) + " -outfile " + Q(theirs) +
                          " " + Q(src)));
        EXPECT_EQ(Pixels(ours), Pixels(theirs));
        EXPECT_EQ(Tag(ours, "EXIF:Orientation"), "1");
        EXPECT_EQ(Tag(ours, "XMP-tiff:Orientation"), "1");
        EXPECT_EQ(Tag(ours, "Artist"), "Keeper");
        const bool swaps = o >= 5;
        EXPECT_EQ(Tag(ours, "ExifImageWidth"), swaps ? "96" : "160");
        const std::string oursThumb = dir / "ours-thumb.jpg", theirsThumb = dir / "theirs-thumb.jpg";
        ASSERT_TRUE(Shell("exiftool -b -ThumbnailImage " + Q(ours) + " > " + Q(oursThumb)));
        ASSERT_TRUE(Shell("jpegtran -trim " + std::string(ops[o - 1]) + " -outfile " + Q(theirsThumb) + " " +
                          Q(thumb)));
        EXPECT_EQ(Pixels(oursThumb), Pixels(theirsThumb));
    }
    // Orientation 6 and a further turn back: the pixels stay, the tag resets.
    const std::string src = dir / "o6.jpg", ours = dir / "back.jpg";
    TJpegTransform t;
    t.applyExifOrientation = true;
    t.turn = TJpegTurn::Rotate270;
    JpegTransformFile(src, ours, t);
    EXPECT_EQ(Pixels(ours), Pixels(src));
    EXPECT_EQ(Tag(ours, "Orientation"), "1");
    // Nothing to apply: the file is left as it is.
    const std::string upright = MakeJpeg("upright.jpg", "-sample 2x2");
    const std::vector<uint8_t> before = Bytes(upright);
    struct stat st0 {}, st1 {};
    stat(upright.c_str(), &st0);
    t.turn = TJpegTurn::None;
    EXPECT_FALSE(JpegTransformFile(upright, upright, t).changed);
    stat(upright.c_str(), &st1);
    EXPECT_EQ(Bytes(upright), before);
    EXPECT_EQ(st0.st_ino, st1.st_ino);
}

TEST_F(JpegTransformTest, ImperfectSizeIsRefusedUnlessTrimmedAsJpegtranTrims) {
    const std::string src = MakeJpeg("odd.jpg", "-sample 2x2", "157x93");
    const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
    for (const TurnCase& c : kTurnCases) {
        SCOPED_TRACE(c.jpegtranArgs);
        TJpegTransform t;
        t.turn = c.turn;
        std::filesystem::remove(ours);
        if (c.turn == TJpegTurn::Transpose) {
            EXPECT_NO_THROW(JpegTransformFile(src, ours, t)); // moves no edge block
        } else {
            try {
                JpegTransformFile(src, ours, t);
                ADD_FAILURE() << "an inexact turn was done";
            } catch (const EPGJPGFileFormatReaderWriter& e) {
                EXPECT_NE(std::string(e.what()).find("157 x 93"), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("block size (16 x 16)"), std::string::npos) << e.what();
            }
            EXPECT_FALSE(std::filesystem::exists(ours));
        }
        t.trim = true;
        JpegTransformFile(src, ours, t);
        ASSERT_TRUE(Shell("jpegtran -trim -copy all " + std::string(c.jpegtranArgs) + " -outfile " + Q(theirs) +
                          " " + Q(src)));
        EXPECT_EQ(Pixels(ours), Pixels(theirs));
    }
}

TEST_F(JpegTransformTest, CropsOnTheBlockGridOfTheTurnedPicture) {
    // Blocks of 16 x 8, turned 8 x 16; TurboJPEG also wants the crop on the
    // source's grid, so both: multiples of 16.
    const std::string src = MakeJpeg("crop.jpg", "-sample 2x1");
    const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
    TJpegTransform t;
    t.turn = TJpegTurn::Rotate90;
    t.crop = true;
    t.cropX = 16;
    t.cropY = 32;
    t.cropWidth = 50;
    t.cropHeight = 77;
    const TJpegTransformResult r = JpegTransformFile(src, ours, t);
    ASSERT_TRUE(Shell("jpegtran -perfect -copy all -rotate 90 -crop 50x77+16+32 -outfile " + Q(theirs) + " " + Q(src)));
    EXPECT_EQ(Pixels(ours), Pixels(theirs));
    EXPECT_EQ(r.width, 50);
    EXPECT_EQ(r.height, 77);
    // Off the grid, or off the picture: refused, nothing written.
    std::filesystem::remove(ours);
    for (auto [x, y, w, h] : {std::array{8, 32, 50, 77}, std::array{16, 8, 50, 77}, std::array{16, 32, 90, 77},
                              std::array{0, 0, 0, 10}}) {
        t.cropX = x, t.cropY = y, t.cropWidth = w, t.cropHeight = h;
        EXPECT_THROW(JpegTransformFile(src, ours, t), EPGJPGFileFormatReaderWriter);
        EXPECT_FALSE(std::filesystem::exists(ours));
    }
}

TEST_F(JpegTransformTest, FailureLeavesSourceAndTargetAsTheyWere) {
    const std::string src = MakeJpeg("ro.jpg", "-sample 2x2");
    const std::vector<uint8_t> before = Bytes(src);
    TJpegTransform t;
    t.turn = TJpegTurn::Rotate90;
    // A read-only file turned in place: refused by name, untouched.
    chmod(src.c_str(), 0444);
    try {
        JpegTransformFile(src, src, t);
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(src), std::string::npos) << e.what();
    }
    EXPECT_EQ(Bytes(src), before);
    // A damaged source over an existing target: the target stays.
    const std::string cut = dir / "cut.jpg", target = dir / "target.jpg";
    WriteBytes(cut, std::vector<uint8_t>(before.begin(), before.begin() + std::ptrdiff_t(before.size() / 2)));
    WriteBytes(target, {1, 2, 3});
    EXPECT_THROW(JpegTransformFile(cut, target, t), EPGJPGFileFormatReaderWriter);
    EXPECT_EQ(Bytes(target), (std::vector<uint8_t>{1, 2, 3}));
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left: " << e.path();
}

TEST(JpegTurnTest, TurnsCompose) {
    EXPECT_EQ(JpegTurnThen(TJpegTurn::Rotate90, TJpegTurn::Rotate90), TJpegTurn::Rotate180);
    EXPECT_EQ(JpegTurnThen(TJpegTurn::Rotate90, TJpegTurn::Rotate270), TJpegTurn::None);
    EXPECT_EQ(JpegTurnThen(TJpegTurn::FlipHorizontal, TJpegTurn::Rotate90), TJpegTurn::Transverse);
    EXPECT_EQ(JpegTurnThen(TJpegTurn::FlipVertical, TJpegTurn::FlipHorizontal), TJpegTurn::Rotate180);
    EXPECT_EQ(JpegTurnThen(TJpegTurn::Transpose, TJpegTurn::Transpose), TJpegTurn::None);
}

} // namespace
