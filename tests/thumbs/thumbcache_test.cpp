// The shared thumbnail cache: entries other programs can read, remade when
// the file changes, hostile entries ignored, other programs' entries used.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "thumbs/thumbcache.h"
#include "thumbtest_util.h"

namespace {
// Runs Python (the system's, with Pillow) and returns its output.
QString Py(const QString& code, const QStringList& args = {}) {
    QProcess p;
    p.start("/usr/bin/python3", QStringList{"-c", code} + args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void SetMTime(const QString& path, time_t t) {
    utimbuf u{t, t};
    ::utime(QFile::encodeName(path).constData(), &u);
}

// A Pillow-made entry of one colour with the given keys.
void PillowEntry(const QString& out, const QString& uri, qint64 mtime, int w, int h, int green) {
    Py("import sys\nfrom PIL import Image, PngImagePlugin\n"
       "i = PngImagePlugin.PngInfo()\ni.add_text('Thumb::URI', sys.argv[2])\n"
       "i.add_text('Thumb::MTime', sys.argv[3])\n"
       "Image.new('RGB', (int(sys.argv[4]), int(sys.argv[5])), (0, int(sys.argv[6]), 0))"
       ".save(sys.argv[1], pnginfo=i)",
       {out, uri, QString::number(mtime), QString::number(w), QString::number(h),
        QString::number(green)});
}

class ThumbCache : public ::testing::Test {
  protected:
    QTemporaryDir pics, cache;
    QByteArray previous = qgetenv("XDG_CACHE_HOME");
    void SetUp() override { qputenv("XDG_CACHE_HOME", cache.path().toUtf8()); }
    void TearDown() override { qputenv("XDG_CACHE_HOME", previous); }
    TThumbOptions Grid() const {
        TThumbOptions o;
        o.size = 64;
        o.loadHint = 64;
        o.cache = true;
        return o;
    }
};
} // namespace

TEST_F(ThumbCache, EntriesOtherProgramsCanRead) {
    const QString photo = pics.filePath("photo one.jpg");
    WritePhotoJpeg(photo, 400, 300);
    SetMTime(photo, 1500000000);
    TPixelGraphic sq;
    ASSERT_TRUE(MakeCachedThumbnail(photo.toStdString(), Grid(), sq));
    const QString entry = ThumbCachePath(photo, 64);
    ASSERT_TRUE(QFile::exists(entry)) << entry.toStdString();
    EXPECT_EQ(QFileInfo(entry).permissions() & 0x0777,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    const QString out =
        Py("import sys, hashlib\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
           "u = im.info['Thumb::URI']\n"
           "print(u, im.info['Thumb::MTime'], im.size[0], im.size[1], "
           "hashlib.md5(u.encode()).hexdigest() + '.png')",
           {entry});
    const QString uri = QUrl::fromLocalFile(photo).toString(QUrl::FullyEncoded);
    EXPECT_EQ(out, uri + " 1500000000 128 96 " + QFileInfo(entry).fileName());

    // A changed file is made again.
    SetMTime(photo, 1500000100);
    ASSERT_TRUE(MakeCachedThumbnail(photo.toStdString(), Grid(), sq));
    EXPECT_EQ(
        Py("import sys\nfrom PIL import Image\nprint(Image.open(sys.argv[1]).info['Thumb::MTime'])",
           {entry}),
        "1500000100");
}

TEST_F(ThumbCache, HostileEntriesAreIgnoredAndGoodOnesUsed) {
    const QString photo = pics.filePath("p.bmp");
    TPixelGraphic red;
    red.SetFormat(200, 100, pg24Bit);
    red.SetBackgroundColor(RGB(255, 0, 0));
    red.Clear();
    red.SaveToFile(photo.toStdString());
    SetMTime(photo, 1600000000);
    const QString entry = ThumbCachePath(photo, 64);
    QDir().mkpath(QFileInfo(entry).absolutePath());
    const QString uri = ThumbFileUri(photo);
    struct Case {
        const char* what;
        std::function<void()> make;
    } cases[] = {
        {"wrong URI",
         [&] { PillowEntry(entry, "file:///elsewhere.bmp", 1600000000, 128, 64, 200); }},
        {"wrong MTime", [&] { PillowEntry(entry, uri, 1, 128, 64, 200); }},
        {"too big", [&] { PillowEntry(entry, uri, 1600000000, 5000, 5000, 200); }},
        {"truncated",
         [&] {
             PillowEntry(entry, uri, 1600000000, 128, 64, 200);
             QFile f(entry);
             f.open(QIODevice::ReadWrite);
             f.resize(f.size() / 2);
         }},
    };
    for (const Case& c : cases) {
        c.make();
        TPixelGraphic sq;
        ASSERT_TRUE(MakeCachedThumbnail(photo.toStdString(), Grid(), sq)) << c.what;
        EXPECT_EQ(sq.GetPixel(32, 10), int(RGB(255, 0, 0))) << c.what;
    }
    // Another program's matching entry is used even when the file itself no
    // longer decodes (its time unchanged).
    PillowEntry(entry, uri, 1600000000, 128, 64, 200);
    QFile f(photo);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("garbage");
    f.close();
    SetMTime(photo, 1600000000);
    TPixelGraphic sq;
    ASSERT_TRUE(MakeCachedThumbnail(photo.toStdString(), Grid(), sq));
    EXPECT_EQ(sq.GetPixel(32, 10), int(RGB(0, 200, 0)));
    // Without size keys the header is asked; it fails, so the entry's shape
    // (2:1) places it: 64 x 32 at the top.
    EXPECT_EQ(sq.GetPixel(32, 40), int(kThumbBackground));
}

TEST_F(ThumbCache, NothingForFilesInsideTheCache) {
    const QString inside = cache.filePath("thumbnails/normal/x.bmp");
    QDir().mkpath(QFileInfo(inside).absolutePath());
    TPixelGraphic p;
    p.SetFormat(10, 10, pg24Bit);
    p.SaveToFile(inside.toStdString());
    TPixelGraphic sq;
    ASSERT_TRUE(MakeCachedThumbnail(inside.toStdString(), Grid(), sq));
    EXPECT_EQ(QDir(QFileInfo(inside).absolutePath()).entryList(QDir::Files), QStringList{"x.bmp"});
}
