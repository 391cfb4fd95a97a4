// Metadata through the readers and writers, with exiftool as the oracle: a
// camera JPEG's EXIF block, ICC profile and comment survive a save as JPEG,
// PNG and TIFF (the saved size written into the EXIF block, the profile byte
// for byte), and broken ICC chunk sequences are dropped, not believed.

#include <gtest/gtest.h>

#include <cstring>

#include "core/prompts.h"
#include "core/stream.h"
#include "format_oracle.h"
#include "formats/library.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

// A made-up RGB display profile of `size` bytes (header, empty tag table,
// patterned filler), large enough to need several JPEG segments.
std::vector<uint8_t> TestProfile(size_t size) {
    std::vector<uint8_t> p(size);
    for (size_t i = 132; i < size; ++i) p[i] = uint8_t(i * 7 + i / 251);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) p[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
    };
    auto sig = [&](size_t at, const char* s) { std::memcpy(&p[at], s, 4); };
    put32(0, uint32_t(size));
    put32(8, 0x02100000);
    sig(12, "mntr");
    sig(16, "RGB ");
    sig(20, "XYZ ");
    sig(36, "acsp");
    put32(64, 0);
    put32(68, 0x0000F6D6); // the D50 illuminant of the connection space
    put32(72, 0x00010000);
    put32(76, 0x0000D32D);
    put32(128, 0);
    return p;
}

std::string Tool(const std::string& cmd) {
    std::string out;
    codecoracle::Run(cmd, &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

class MetadataTest : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        InitImageLibrary();
        PGMessageBoxHandler = nullptr;
    }
    // A JPEG as a camera writes it: EXIF (no JFIF segment), a large ICC
    // profile and a comment, all from exiftool.
    std::string CameraJpeg(const std::vector<uint8_t>& icc) {
        const std::string f = dir / "camera.jpg";
        WriteBytes(dir / "profile.icc", icc);
        EXPECT_TRUE(Shell("convert -size 120x80 gradient:red-blue -strip " + Q(f)));
        EXPECT_TRUE(Shell("exiftool -q -overwrite_original -JFIF:all= -Make=Canon '-Model=EOS 5D'"
                          " '-DateTimeOriginal=2024:03:09 13:05:40' -Orientation#=6"
                          " -ExifImageWidth=120 -ExifImageHeight=80 -GPSLatitude=48.858222"
                          " -GPSLatitudeRef=N '-Comment=shot in Paris'"
                          " '-ICC_Profile<=" + dir / "profile.icc" + "' " + Q(f)));
        return f;
    }
    std::string Tag(const std::string& file, const std::string& tag) {
        return Tool("exiftool -s3 -n -" + tag + " " + Q(file));
    }
};

} // namespace

TEST_F(MetadataTest, CameraJpegKeepsItsBlocksInEveryFormatThatHoldsThem) {
    const std::vector<uint8_t> icc = TestProfile(150000); // three APP2 chunks
    const std::string src = CameraJpeg(icc);
    TPixelGraphic picture;
    picture.LoadFromFile(src);
    EXPECT_EQ(picture.ICCProfile(), icc);
    ASSERT_FALSE(picture.ExifBlock().empty());
    EXPECT_EQ(picture.Comments(), std::vector<std::string>{"shot in Paris"});

    // A smaller picture with the same metadata, as a resize makes it.
    TPixelGraphic smaller;
    smaller.SetFormat(60, 40, pg24Bit);
    smaller.SetMetadata(picture.Metadata());
    for (const char* ext : {"jpg", "png", "tif"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir / (std::string("out.") + ext);
        smaller.SaveToFile(out);
        EXPECT_EQ(Tag(out, "Make"), "Canon");
        EXPECT_EQ(Tag(out, "Model"), "EOS 5D");
        EXPECT_EQ(Tag(out, "DateTimeOriginal"), "2024:03:09 13:05:40");
        EXPECT_EQ(Tag(out, "Orientation"), "6");
        EXPECT_EQ(Tag(out, "GPSLatitudeRef"), "N");
        EXPECT_EQ(Tag(out, "ExifImageWidth"), "60");
        EXPECT_EQ(Tag(out, "ExifImageHeight"), "40");
        Tool("exiftool -b -ICC_Profile " + Q(out) + " > " + Q(dir / "back.icc"));
        EXPECT_EQ(Bytes(dir / "back.icc"), icc);
        if (std::string(ext) != "tif") {
            EXPECT_EQ(Tag(out, "Comment"), "shot in Paris");
        }
        // And our own reader finds them again.
        TPixelGraphic again;
        again.LoadFromFile(out);
        EXPECT_EQ(again.ICCProfile(), icc);
        EXPECT_EQ(ExifBlockOrientation(again.ExifBlock()), 6);
    }
}

TEST_F(MetadataTest, BrokenICCChunksAreDropped) {
    const std::vector<uint8_t> icc = TestProfile(150000);
    const std::vector<uint8_t> file = Bytes(CameraJpeg(icc));
    const std::string marker("ICC_PROFILE\0", 12);
    std::vector<size_t> chunks;
    for (size_t at = 0; (at = std::string(file.begin(), file.end()).find(marker, at)) !=
                        std::string::npos;
         ++at)
        chunks.push_back(at);
    ASSERT_EQ(chunks.size(), 3u);
    struct Case {
        const char* what;
        size_t chunk, offset; // byte after the marker: 0 sequence, 1 count
        uint8_t value;
    } cases[] = {
        {"a sequence number twice", 2, 0, 2},
        {"a count that differs", 1, 1, 4},
        {"sequence number 0", 0, 0, 0},
        {"a count of 0", 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> broken = file;
        broken[chunks[c.chunk] + marker.size() + c.offset] = c.value;
        WriteBytes(dir / "broken.jpg", broken);
        TPixelGraphic picture;
        picture.LoadFromFile(dir / "broken.jpg");
        EXPECT_EQ(picture.GetWidth(), 120);
        EXPECT_TRUE(picture.ICCProfile().empty());
        EXPECT_FALSE(picture.ExifBlock().empty());
    }
}

TEST_F(MetadataTest, PngRefusesAProfileOfAnotherColourSpaceInsteadOfFailing) {
    // A grey picture cannot carry an RGB profile in PNG: saved without it.
    TPixelGraphic grey;
    grey.SetFormat(8, 8, pg8Bit);
    grey.SetPaletteIdent(pGray256);
    grey.SetICCProfile(TestProfile(4000));
    grey.SaveToFile(dir / "grey.png");
    TPixelGraphic back;
    back.LoadFromFile(dir / "grey.png");
    EXPECT_EQ(back.GetWidth(), 8);
    EXPECT_TRUE(back.ICCProfile().empty());
    // A file without metadata loads without any, also over a picture that had some.
    back.LoadFromFile(dir / "grey.png");
    TPixelGraphic plain;
    plain.SetICCProfile({1});
    plain.LoadFromFile(dir / "grey.png");
    EXPECT_TRUE(plain.Metadata().Empty());
}
