// EXIF values as people read them, in both byte orders, next to the raw
// form that stays for scripts; the Image Properties type of a camera JPEG.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/stream.h"
#include "exif_blocks.h"
#include "meta/exif/exifdecode.h"
#include "meta/exif/exifreader.h"
#include "meta/fileprops.h"
#include "meta_fixtures.h"

namespace {

std::vector<TExifRow> Rows(const std::vector<uint8_t>& bytes) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    return ReadExifRows(s);
}

} // namespace

TEST(ExifDecode, ValuesReadAsPeopleReadThem) {
    for (bool intel : {true, false}) {
        SCOPED_TRACE(intel ? "Intel" : "Motorola");
        TTestBlock t(intel);
        struct Case {
            TTestField field;
            const char* raw;
            const char* text;
        } const cases[] = {
            {t.Rational(33434, 1, 250), "1/250", "1/250 s"},
            {t.Rational(33434, 4, 1), "4/1", "4 s"},
            {t.Rational(33437, 56, 10), "56/10", "f/5.6"},
            {TTestBlock::Undefined(36864, {48, 50, 50, 49}), "48,50,50,49", "0221"},
            {t.Short(37385, 0x19), "25", "Flash fired, auto mode"},
            {t.Short(37385, 0x10), "16", "Flash did not fire, compulsory off"},
            {t.Short(37385, 0x20), "32", "No flash function"},
            {t.Short(34850, 3), "3", "Aperture-priority AE"},
            {t.Short(37383, 5), "5", "Multi-segment"},
            {t.Rational(37386, 50, 1), "50/1", "50 mm"},
            {TTestField{37380, 10, 1, t.U32({uint32_t(-1), 3})}, "-1/3", "-0.33 EV"},
            {t.Short(40961, 0xFFFF), "65535", "Uncalibrated"},
            {t.Short(41986, 0), "0", "Auto"},
            {t.Short(41987, 1), "1", "Manual"},
            {t.Short(41990, 9), "9", "Unknown (9)"},
            // (An "ASCII" code would put "II" into the first 64 bytes, where
            // the byte-order mark is looked for; eight zeros mean the same.)
            {TTestBlock::Undefined(37510, {0, 0, 0, 0, 0, 0, 0, 0, 'h', 'i'}), "0,0,0,0,0,0,0,0,104,105",
             "hi"},
            {t.Rational(33434, 1, 0), "1/0", "1/0"}, // no reading of a zero denominator
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.field.tag);
            const auto rows = Rows(t.Build({{t.Long(34665, 0)}}, {{c.field}}));
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_EQ(rows[1].Value, c.raw);
            EXPECT_EQ(rows[1].Text, c.text);
        }
        // Tags beyond the old table have names.
        EXPECT_EQ(ExifTagDescription(41985), "Custom Rendered");
        EXPECT_EQ(ExifGpsTagDescription(2), "GPS Latitude");
    }
}

TEST(ExifDecode, GpsCoordinatesCarryTheirReference) {
    const uint8_t deg[] = {0, 0, 0, 48, 0, 0, 0, 1, 0, 0, 0, 51, 0, 0, 0, 1,
                           0, 4, 132, 56, 0, 0, 39, 16}; // 48/1 51/1 295992/10000
    TExifValues v;
    v.Type = 5;
    v.Count = 3;
    v.Bytes = deg;
    v.Size = sizeof deg;
    v.Intel = false;
    EXPECT_EQ(ExifDecodedText(TExifDirectory::Gps, 2, v, "N"), "48\u00B051'29.6\"N");
    // 59.96 seconds round into the next minute.
    const uint8_t carry[] = {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 59, 0, 0, 0, 1,
                             0, 0, 23, 108, 0, 0, 0, 100}; // 2/1 59/1 5996/100
    v.Bytes = carry;
    EXPECT_EQ(ExifDecodedText(TExifDirectory::Gps, 4, v, "W"), "3\u00B00'0.0\"W");
}

TEST(ExifDecode, PropertiesNameACameraJpegByItsSegments) {
    QTemporaryDir dir;
    TTestBlock t(true);
    const auto exif = t.Build({{TTestBlock::Ascii(271, "Canon")}});
    struct Case {
        const char* name;
        bool jfif;
        std::vector<uint8_t> exif;
        const char* type;
    } const cases[] = {
        {"exif.jpg", false, exif, "JPEG (EXIF)"},
        {"jfif.jpg", true, {}, "JPEG (JFIF compliant)"},
        {"bare.jpg", false, {}, "JPEG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        QByteArray bytes = MakeJpeg(8, 8, c.exif);
        if (!c.jfif) {
            // The library writes a JFIF segment; a camera does not.
            const qsizetype at = bytes.indexOf(QByteArray("\xFF\xE0", 2));
            ASSERT_GT(at, 0);
            const int len = (uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]);
            bytes.remove(at, 2 + len);
        }
        WriteBytes(path, bytes);
        EXPECT_EQ(FileProperties(path).Type, c.type);
    }
}
