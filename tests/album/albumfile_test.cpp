// Album files: the exact bytes written, round trips, old versions and
// windows-1252 captions, and hostile files that must leave nothing behind.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "album/file/albumfile.h"

namespace {

std::string Header(const char* rows = "  3", const char* version = "7.80") {
    std::string h = std::string(rows) + "  2100" + "0" + "0" + std::string(35, ' ') + "Arial" +
                    " 8" + " -2147483640" + "0" + "0";
    std::string v = version;
    v.resize(1000, ' ');
    return h + v;
}

} // namespace

TEST(AlbumFile, WritesTheExactBytes) {
    TAlbum a;
    a.entries.push_back({"/pics/a.jpg", "Paris: day 1", 2});
    std::string b;
    ASSERT_TRUE(SerializeAlbum(a, b));
    EXPECT_EQ(b.substr(0, kAlbumHeaderSize), Header());
    EXPECT_EQ(b.substr(kAlbumHeaderSize), std::string("\x02/pics/a.jpg\tParis: day 1\r\n"));
}

TEST(AlbumFile, RoundTripsAndOlderFiles) {
    TAlbum a;
    a.header.rows = 6;
    a.header.columns = 1;
    a.header.border = 500;
    a.header.printFrames = true;
    a.header.captionOption = 2;
    a.header.fontName = "DejaVu Sans";
    a.header.fontSize = 12;
    a.header.fontColor = 255;
    a.header.bold = true;
    for (int r = 0; r < 4; ++r)
        a.entries.push_back({"/p/" + std::to_string(r) + ".jpg",
                             r == 1 ? "" : "\xc3\x89t\xc3\xa9 Z\xc3\xbcrich", r});
    std::string b;
    ASSERT_TRUE(SerializeAlbum(a, b));
    TAlbum back;
    ASSERT_TRUE(ParseAlbum(b, back));
    EXPECT_EQ(back.header, a.header);
    EXPECT_EQ(back.entries, a.entries);

    // A version block not starting with "7": no rotation bytes.
    ASSERT_TRUE(ParseAlbum(Header("  3", "6.00") + "/p/x.jpg\tcap\r\n", back));
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].path, "/p/x.jpg");
    EXPECT_EQ(back.entries[0].rotation, 0);
    // A caption written on Windows (windows-1252) reads as UTF-8.
    ASSERT_TRUE(ParseAlbum(Header() + std::string("\x01/p/y.jpg\tCaf\xe9 \x80\r\n"), back));
    EXPECT_EQ(back.entries[0].caption, "Caf\xc3\xa9 \xe2\x82\xac");
    // Ending right after the version block: an empty album.
    ASSERT_TRUE(ParseAlbum(Header(), back));
    EXPECT_TRUE(back.entries.empty());
    // Out-of-range numbers are brought into range.
    ASSERT_TRUE(ParseAlbum(Header("  0"), back));
    EXPECT_EQ(back.header.rows, 1);
    ASSERT_TRUE(ParseAlbum(Header(" 99"), back));
    EXPECT_EQ(back.header.rows, 6);
}

TEST(AlbumFile, HostileFilesAreRefusedWhole) {
    const std::string good = Header() + std::string("\x01/p/a.jpg\tA\r\n");
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"truncated header", good.substr(0, 500)},
        {"rows abc", "abc" + good.substr(3)},
        {"rotation byte 7", Header() + std::string("\x07/p/a.jpg\tA\r\n")},
        {"no TAB", Header() + std::string("\x01/p/a.jpg A\r\n")},
        {"no CR LF", Header() + std::string("\x01/p/a.jpg\tA")},
        {"lone LF", Header() + std::string("\x01/p/a\n.jpg\tA\r\n")},
        {"NUL", Header() + std::string("\x01/p/a.jpg\tA\0B\r\n", 14)},
        {"1 MiB path", Header() + "\x01" + std::string(1 << 20, 'p') + "\tA\r\n"},
        {"caption over 64 KiB", Header() + "\x01/p\t" + std::string(65537, 'c') + "\r\n"},
    };
    for (const Case& c : cases) {
        TAlbum a;
        a.entries.push_back({"/kept.jpg", "kept", 1});
        EXPECT_FALSE(ParseAlbum(c.bytes, a)) << c.what;
        ASSERT_EQ(a.entries.size(), 1u) << c.what;
        EXPECT_EQ(a.entries[0].path, "/kept.jpg") << c.what;
    }
    // Writing never produces a file that cannot be read back.
    TAlbum bad;
    bad.entries.push_back({"/p/a\tb.jpg", "", 0});
    std::string out;
    EXPECT_FALSE(SerializeAlbum(bad, out));
    EXPECT_EQ(AlbumCleanCaption("a\tb\r\nc"), "a b  c");
}

TEST(AlbumFile, FilesOnDisk) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("x.alb").toStdString();
    TAlbum a;
    a.entries.push_back({"/p/a.jpg", "A", 3});
    std::string error;
    ASSERT_TRUE(WriteAlbumFile(path, a, error)) << error;
    TAlbum back;
    ASSERT_TRUE(ReadAlbumFile(path, back, error)) << error;
    EXPECT_EQ(back.entries, a.entries);
    const std::string missing = dir.filePath("missing.alb").toStdString();
    EXPECT_FALSE(ReadAlbumFile(missing, back, error));
    EXPECT_EQ(error, "Error reading album file " + missing);
    EXPECT_FALSE(ReadAlbumFile(dir.path().toStdString(), back, error)); // a folder
}
