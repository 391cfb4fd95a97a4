// The EXIF reader over blocks built in code: the rows and their texts in both
// byte orders, and hostile blocks that must end quietly with the rows read
// before (loops, offsets past the end, sizes that wrap, amplification).

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "core/stream.h"
#include "meta/exif/exifreader.h"
#include "exif_blocks.h"

namespace {

std::vector<TExifRow> Rows(const std::vector<uint8_t>& bytes, const TExifLimits& limits = {}) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    return ReadExifRows(s, limits);
}

std::vector<std::string> Texts(const std::vector<TExifRow>& rows) {
    std::vector<std::string> t;
    for (const TExifRow& r : rows) t.push_back(r.Ifd + "|" + r.Description + "|" + r.Value);
    return t;
}

TTestField TestUndefinedEmpty() {
    return {37500, 7, 0, {}};
}

// A camera-like block: IFD0 and the thumbnail IFD1 on the main chain, then
// the Exif IFD, with one field of every type.
std::vector<uint8_t> CameraBlock(bool intel) {
    TTestBlock t(intel);
    return t.Build(
        {{TTestBlock::Ascii(271, "Canon"), TTestBlock::Ascii(272, "EOS"), t.Short(274, 6),
          t.Rational(282, 72, 1), t.Long(34665, 0)},
         {t.Short(259, 6), t.Long(513, 4294967295u)}},
        {{t.Rational(33434, 1, 250), TTestBlock::Undefined(36864, {48, 50, 49, 48}),
          TTestField{1, 7, 1, {9}}, TTestField{37380, 10, 1, t.U32({uint32_t(-1), 3})},
          TTestField{41000, 8, 1, t.U16({uint16_t(-5)})}, TTestField{41001, 9, 1, t.U32({uint32_t(-7)})},
          TTestField{41002, 1, 1, {200}}, TTestField{41003, 6, 1, {200}},
          TTestField{41004, 11, 1, t.U32({0x3F800000})}, TTestField{41005, 12, 1, std::vector<uint8_t>(8, 1)},
          TTestField{41006, 2, 4, {'a', 'b', 'c', 0}}, TestUndefinedEmpty()}});
}

const std::vector<std::string> kCameraRows = {
    "IFD0|Make|Canon",
    "IFD0|Model|EOS",
    "IFD0|Orientation|6",
    "IFD0|XResolution|72/1",
    "IFD0|ExifOffset|" /* the offset, checked apart */,
    "IFD1|Compression|6",
    "IFD1|JPEGInterchangeFormat|-1",
    "ExifIFD|Exposure Time|1/250",
    "ExifIFD|Exif Version|48,50,49,48",
    "ExifIFD|Undefined (1)|9",
    "ExifIFD|Exposure Bias Value|-1/3",
    "ExifIFD|Undefined (41000)|-5",
    "ExifIFD|Undefined (41001)|-7",
    "ExifIFD|Undefined (41002)|200",
    "ExifIFD|Undefined (41003)|200",
    "ExifIFD|Undefined (41004)|",
    "ExifIFD|Undefined (41005)|",
    "ExifIFD|Undefined (41006)|abc",
    "ExifIFD|Maker Note|",
};

} // namespace

TEST(ExifReader, CameraBlockInBothByteOrdersInsideAJpeg) {
    for (bool intel : {true, false}) {
        SCOPED_TRACE(intel ? "II" : "MM");
        const std::vector<uint8_t> block = CameraBlock(intel);
        const auto rows = Rows(InJpegSegment(block));
        auto texts = Texts(rows);
        ASSERT_EQ(texts.size(), kCameraRows.size());
        // The Exif IFD's offset counts from the TIFF header.
        EXPECT_GT(std::stoi(rows[4].Value), 8);
        texts[4] = "IFD0|ExifOffset|";
        EXPECT_EQ(texts, kCameraRows);
        EXPECT_EQ(rows[0].Tag, 271);
        EXPECT_EQ(rows[0].Type, 2);
        EXPECT_EQ(rows[0].Count, 6u);
        // A bare TIFF block (base 0) reads the same.
        EXPECT_EQ(Texts(Rows(block)).size(), kCameraRows.size());
    }
}

TEST(ExifReader, DescriptionsAndTypeSizes) {
    EXPECT_EQ(ExifTagDescription(254), "NewSubFile Type");
    EXPECT_EQ(ExifTagDescription(33437), "F Number");
    EXPECT_EQ(ExifTagDescription(41729), "Scene Type");
    EXPECT_EQ(ExifTagDescription(1), "Undefined (1)");
    EXPECT_EQ(ExifTagDescription(65535), "Undefined (65535)");
    const int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 0};
    for (int t = 0; t < 14; ++t) EXPECT_EQ(ExifTypeSize(uint16_t(t)), sizes[t]) << t;
    EXPECT_EQ(ExifTypeSize(65535), 0);
}

TEST(ExifReader, TextsAreUtf8WhenValidElseLatin1) {
    const uint8_t utf8[] = {'K', 0xC3, 0xB6, 'l', 'n'};
    const uint8_t latin1[] = {'K', 0xF6, 'l', 'n'};
    const uint8_t overlong[] = {0xC0, 0xAF};
    EXPECT_EQ(ExifText(utf8, 5), "K\xC3\xB6ln");
    EXPECT_EQ(ExifText(latin1, 4), "K\xC3\xB6ln");
    EXPECT_EQ(ExifText(overlong, 2), "\xC3\x80\xC2\xAF");
}

TEST(ExifReader, NothingFoundGivesNoRows) {
    TTestBlock t(true);
    std::vector<uint8_t> bmp(200, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    std::vector<uint8_t> low = t.Build({{t.Short(274, 1)}});
    low[2] = 41; // header number below 42
    std::vector<uint8_t> late(70, 0); // "II" only after the first 64 bytes
    late[64] = late[65] = 'I';
    for (const auto& bytes : {bmp, low, late, std::vector<uint8_t>{}, std::vector<uint8_t>{'I', 'I'}})
        EXPECT_TRUE(Rows(bytes).empty());
}

// Hostile blocks: each ends its chain (or the reading) and keeps what came before.
TEST(ExifReader, HostileBlocksEndQuietlyKeepingTheRowsBefore) {
    TTestBlock t(true);
    auto withExif = [&] {
        return t.Build({{t.Short(274, 3), t.Long(34665, 0)}}, {{t.Short(40961, 1)}});
    };
    struct TCase {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<std::string> rows;
    };
    std::vector<TCase> cases;

    // Next offset pointing at its own directory.
    auto self = t.Build({{t.Short(274, 3)}});
    t.Set(self, 8 + 2 + 12, 8, 4);
    cases.push_back({"loop to itself", self, {"IFD0|Orientation|3"}});

    // The Exif IFD back at IFD0: already read, not listed again.
    auto back = withExif();
    t.Set(back, 8 + 2 + 12 + 8, 8, 4);
    cases.push_back({"exif back to IFD0", back, {"IFD0|Orientation|3", "IFD0|ExifOffset|8"}});

    // Next offset past the end, and past 4 GiB from a late base.
    auto past = t.Build({{t.Short(274, 3)}});
    t.Set(past, 8 + 2 + 12, 0xFFFFFFF0u, 4);
    cases.push_back({"next past the end", past, {"IFD0|Orientation|3"}});

    // A value offset past the end ends the chain at that entry.
    auto farValue = t.Build({{t.Short(274, 3), TTestBlock::Ascii(271, "Nikon"), t.Short(296, 2)}});
    t.Set(farValue, 8 + 2 + 12 + 8, 0xFFFFFFFFu, 4);
    cases.push_back({"value past the end", farValue, {"IFD0|Orientation|3"}});

    // Count x size of 0x20000000 x 8 wraps to 0 in 32 bits: not inline, and
    // the first value is read from the offset.
    auto wrap = t.Build({{t.Rational(282, 72, 1)}});
    t.Set(wrap, 8 + 2 + 4, 0x20000000u, 4);
    cases.push_back({"count x size wraps", wrap, {"IFD0|XResolution|72/1"}});
    // An Undefined of 0x20000000 bytes in a tiny file: the chain ends.
    auto hugeUndef = t.Build({{t.Short(274, 3), TTestBlock::Undefined(37500, {1, 2, 3, 4, 5})}});
    t.Set(hugeUndef, 8 + 2 + 12 + 4, 0x20000000u, 4);
    cases.push_back({"undefined past the end", hugeUndef, {"IFD0|Orientation|3"}});

    // Count 0 of a multi-byte type: no first value.
    auto zero = t.Build({{TTestField{282, 5, 0, {}}, TTestField{256, 3, 0, {}}}});
    cases.push_back({"count 0", zero, {"IFD0|XResolution|", "IFD0|ImageWidth|"}});

    // Types without a size.
    auto types = t.Build({{TTestField{256, 0, 5, {1, 2, 3, 4}}, TTestField{257, 13, 9, {1, 2, 3, 4}},
                           TTestField{258, 65535, 1, {1, 2, 3, 4}}}});
    cases.push_back({"types 0, 13, 65535", types,
                     {"IFD0|ImageWidth|", "IFD0|ImageLength|", "IFD0|BitsPerSample|"}});

    // 300 Ascii bytes without a zero: 255 characters.
    auto longText = t.Build({{TTestField{270, 2, 300, std::vector<uint8_t>(300, 'x')}}});
    cases.push_back({"300 ascii bytes", longText, {"IFD0|ImageDescription|" + std::string(255, 'x')}});

    // An entry count running past the end: the directory is not read.
    auto manyEntries = t.Build({{t.Short(274, 3)}, {t.Short(259, 6)}});
    t.Set(manyEntries, 8 + 2 + 12 + 4, 60000, 2);
    cases.push_back({"entry count past the end", manyEntries, {"IFD0|Orientation|3"}});

    // "MM" at 62: the header lies beyond the first 64 bytes and comes from the data.
    TTestBlock m(false);
    auto late = m.Build({{m.Short(274, 8)}});
    std::vector<uint8_t> base62(62, 0);
    base62.insert(base62.end(), late.begin(), late.end());
    cases.push_back({"base 62", base62, {"IFD0|Orientation|8"}});
    std::vector<uint8_t> cut62(base62.begin(), base62.begin() + 66);
    cases.push_back({"base 62, header cut", cut62, {}});

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Texts(Rows(c.bytes)), c.rows);
    }
}

// Overlapping directories and many entries pointing at one large block: the
// caps end the reading long before the rows or the text get out of hand.
TEST(ExifReader, AmplificationStopsAtTheCaps) {
    TTestBlock t(true);
    // One megabyte: a directory of 65535 entries all pointing at one 256 KiB
    // Undefined block, and a chain of directories one byte apart.
    std::vector<uint8_t> b(1 << 20, 0);
    b[0] = b[1] = 'I';
    t.Set(b, 2, 42, 2);
    t.Set(b, 4, 8, 4);
    t.Set(b, 8, 65535, 2);
    for (uint32_t i = 0; i < 65535; ++i) {
        const size_t e = 10 + i * 12;
        t.Set(b, e, 37500, 2);
        t.Set(b, e + 2, 7, 2);
        t.Set(b, e + 4, 256 << 10, 4);
        t.Set(b, e + 8, 786432, 4);
    }
    // 4 MiB of value bytes: 16 rows of 256 KiB (how fast it stops is
    // bench_exif's to measure).
    EXPECT_EQ(Rows(b).size(), 16u);

    // Distinct overlapping directories: entry counts of 1 read as a chain
    // whose next offsets step through the file; the row cap ends it.
    std::vector<uint8_t> o(1 << 20, 0);
    o[0] = o[1] = 'I';
    t.Set(o, 2, 42, 2);
    t.Set(o, 4, 8, 4);
    TExifLimits small;
    small.MaxRows = 1000;
    small.MaxIfds = 1 << 30;
    // Each directory at p: count 1, one Short entry, next = p + 18.
    for (size_t p = 8; p + 18 + 18 < o.size(); p += 18) {
        t.Set(o, p, 1, 2);
        t.Set(o, p + 2, 274, 2);
        t.Set(o, p + 4, 3, 2);
        t.Set(o, p + 6, 1, 4);
        t.Set(o, p + 10, 1, 2);
        t.Set(o, p + 14, uint32_t(p + 18), 4);
    }
    EXPECT_EQ(Rows(o, small).size(), 1000u);
    // The default directory cap stops it as well.
    EXPECT_EQ(Rows(o).size(), size_t(TExifLimits{}.MaxIfds));
}

// A good block cut at every length: never a read past the data (ASan), and
// the rows are always a beginning of the full list.
TEST(ExifReader, TruncatedAtEveryLength) {
    for (bool intel : {true, false}) {
        const std::vector<uint8_t> full = InJpegSegment(CameraBlock(intel));
        const auto all = Texts(Rows(full));
        for (size_t n = 0; n <= full.size(); ++n) {
            // A fresh copy of exactly n bytes, so ASan sees any read beyond.
            std::unique_ptr<uint8_t[]> cut(new uint8_t[n ? n : 1]);
            std::memcpy(cut.get(), full.data(), n);
            TReadOnlyMemoryStream s(cut.get(), int64_t(n));
            const auto rows = Texts(ReadExifRows(s));
            ASSERT_LE(rows.size(), all.size()) << n;
            for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], all[i]) << n;
        }
    }
}
