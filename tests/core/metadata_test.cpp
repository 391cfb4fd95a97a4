// The metadata blocks a picture carries: the EXIF block patched for the
// saved size in place, directories read and rebuilt, hostile blocks.

#include <gtest/gtest.h>

#include <cstring>

#include "core/metadata.h"
#include "core/pixelgraphic.h"

namespace {

// A little EXIF block builder: entries as (tag, type, count, 4 value bytes).
struct TBlock {
    bool be;
    std::vector<uint8_t> b;
    explicit TBlock(bool bigEndian) : be(bigEndian) {
        b = {uint8_t(be ? 'M' : 'I'), uint8_t(be ? 'M' : 'I')};
        U16(42);
        U32(8);
    }
    void U16(uint32_t v) {
        if (be) b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
        else b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    void U32(uint32_t v) {
        if (be) b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        else b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    // A SHORT or LONG entry with one value.
    void Entry(uint16_t tag, uint16_t type, uint32_t value) {
        U16(tag);
        U16(type);
        U32(1);
        if (type == 3) {
            U16(value);
            U16(0);
        } else {
            U32(value);
        }
    }
    uint32_t Get(size_t at, int bytes) const {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint32_t(b[at + size_t(i)]) << (8 * (be ? bytes - 1 - i : i));
        return v;
    }
};

// IFD0 { Orientation, Make "Canon", ExifIFD -> { PixelXDimension SHORT,
// PixelYDimension LONG } }.
TBlock CameraBlock(bool be) {
    TBlock t(be);
    // IFD0 at 8: 3 entries (2 + 36 + 4 = 42 bytes), "Canon\0" at 50, ExifIFD at 56.
    t.U16(3);
    t.Entry(271, 2, 0); // Make: value offset patched below
    t.Entry(274, 3, 6);
    t.Entry(34665, 4, 56);
    t.U32(0);
    while (t.b.size() < 50) t.b.push_back(0);
    const char make[] = "Canon";
    t.b.insert(t.b.end(), make, make + 6);
    // The Make entry: count 6 at offset 50.
    const size_t makeEntry = 10;
    TBlock fix(be);
    fix.b.clear();
    fix.U32(6);
    fix.U32(50);
    std::memcpy(&t.b[makeEntry + 4], fix.b.data(), 8);
    t.U16(2);
    t.Entry(0xA002, 3, 4000);
    t.Entry(0xA003, 4, 3000);
    t.U32(0);
    return t;
}

} // namespace

TEST(Metadata, SavedSizeAndOrientationArePatchedInPlace) {
    for (bool be : {false, true}) {
        SCOPED_TRACE(be ? "big-endian" : "little-endian");
        const TBlock src = CameraBlock(be);
        ASSERT_TRUE(IsExifBlock(src.b));
        EXPECT_EQ(ExifBlockOrientation(src.b), 6);

        TBlock out = src;
        out.b = ExifBlockForSave(src.b, 640, 480);
        ASSERT_EQ(out.b.size(), src.b.size()); // nothing moves
        // ExifIFD entries at 56 + 2: X (SHORT) then Y (LONG).
        EXPECT_EQ(out.Get(58 + 8, 2), 640u);
        EXPECT_EQ(out.Get(70 + 8, 4), 480u);
        // A width a SHORT cannot hold turns the entry into a LONG.
        out.b = ExifBlockForSave(src.b, 70000, 5);
        EXPECT_EQ(out.Get(58 + 2, 2), 4u);
        EXPECT_EQ(out.Get(58 + 8, 4), 70000u);

        SetExifBlockOrientation(out.b, 1);
        EXPECT_EQ(ExifBlockOrientation(out.b), 1);
        // Everything else is as it was, the maker's name among it.
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out.b[50])), "Canon");
    }
}

TEST(Metadata, DirectoriesRebuildIntoAnEquivalentBlock) {
    for (bool be : {false, true}) {
        SCOPED_TRACE(be ? "big-endian" : "little-endian");
        TExifDirectories dirs;
        ASSERT_TRUE(ReadExifDirectories(CameraBlock(be).b, dirs));
        EXPECT_EQ(dirs.BigEndian, be);
        ASSERT_EQ(dirs.Ifd0.size(), 2u); // Make and Orientation; the pointer is not an entry
        ASSERT_EQ(dirs.ExifIfd.size(), 2u);
        EXPECT_EQ(std::string(dirs.Ifd0[0].Value.begin(), dirs.Ifd0[0].Value.end()),
                  std::string("Canon\0", 6));

        const std::vector<uint8_t> rebuilt = BuildExifBlock(dirs);
        TExifDirectories again;
        ASSERT_TRUE(ReadExifDirectories(rebuilt, again));
        ASSERT_EQ(again.Ifd0.size(), dirs.Ifd0.size());
        ASSERT_EQ(again.ExifIfd.size(), dirs.ExifIfd.size());
        for (size_t i = 0; i < dirs.ExifIfd.size(); ++i) {
            EXPECT_EQ(again.ExifIfd[i].Tag, dirs.ExifIfd[i].Tag);
            EXPECT_EQ(again.ExifIfd[i].Value, dirs.ExifIfd[i].Value);
        }
        EXPECT_EQ(ExifBlockOrientation(rebuilt), 6);
    }
}

TEST(Metadata, HostileBlocksAreLeftAsTheyAre) {
    TBlock loop(false);
    loop.U16(1);
    loop.Entry(34665, 4, 8); // the Exif directory is IFD0 itself
    loop.U32(8);             // and IFD0 is its own next directory
    TBlock huge(false);
    huge.U16(0xFFFF); // more entries than bytes
    TBlock wild(false);
    wild.U16(1);
    wild.U16(271);
    wild.U16(2);
    wild.U32(0xFFFFFFF0u); // a count whose value lies far outside
    wild.U32(0x7FFFFFF0u);
    wild.U32(0);
    const std::vector<std::vector<uint8_t>> blocks = {
        {}, {'I', 'I', 42, 0}, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F}, loop.b, huge.b, wild.b};
    for (const auto& b : blocks) {
        EXPECT_EQ(ExifBlockForSave(b, 10, 10).size(), b.size());
        EXPECT_EQ(ExifBlockOrientation(b), 1);
        TExifDirectories dirs;
        ReadExifDirectories(b, dirs); // may fail, never reads outside
        (void)BuildExifBlock(dirs);
    }
}

TEST(Metadata, TravelsWithThePicture) {
    TPixelGraphic a;
    a.SetFormat(2, 2, pg24Bit);
    a.SetExifBlock(CameraBlock(false).b);
    a.SetICCProfile({1, 2, 3});
    TPGMetadata m = a.Metadata();
    EXPECT_TRUE(m.AddComment("hello"));
    a.SetMetadata(m);
    TPixelGraphic b;
    b.Assign(&a);
    EXPECT_EQ(b.Metadata(), a.Metadata());
    EXPECT_EQ(b.Comments(), std::vector<std::string>{"hello"});
    // Comments stop at their caps.
    TPGMetadata many;
    for (size_t i = 0; i < kPGMaxComments; ++i) EXPECT_TRUE(many.AddComment("x"));
    EXPECT_FALSE(many.AddComment("one too many"));
    EXPECT_FALSE(TPGMetadata{}.AddComment(std::string(kPGMaxCommentBytes + 1, 'x')));
}
