// Saved thumbnails: every format read back by ImageMagick, and the guard that
// keeps a run off its own sources.

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/registry.h"
#include "thumbs/thumbsave.h"
#include "thumbtest_util.h"

namespace {
QByteArray Sha(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The file's pixels as decoded by ImageMagick, as a 24-bit picture.
bool MagickRead(const QString& path, int w, int h, TPixelGraphic& out) {
    QProcess p;
    // TGA files are stored bottom-up; ImageMagick keeps that as an
    // orientation tag unless asked to apply it.
    p.start("convert", {path, "-auto-orient", "-depth", "8", "rgb:-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return false;
    const QByteArray b = p.readAllStandardOutput();
    if (b.size() != qsizetype(w) * h * 3) return false;
    out.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const char* px = b.constData() + (qsizetype(y) * w + x) * 3;
            out.SetPixel(x, y, RGB(uint8_t(px[0]), uint8_t(px[1]), uint8_t(px[2])));
        }
    return true;
}

class ThumbSave : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const QString& n) const { return dir.filePath(n); }
    TPixelGraphic source, scaled, square;
    TThumbOptions Opts(int S) const {
        TThumbOptions o;
        o.size = S;
        o.fast = false;
        o.loadHint = 2 * S;
        return o;
    }
    // Plans and runs one save; the messages of refused or failed items.
    QStringList Run(const QStringList& sources, const QString& out, const QString& prefix,
                    const QString& ext, int S = 64) {
        QStringList problems;
        for (const auto& it : PlanThumbnailSaves(sources, out, prefix, ext)) {
            try {
                SaveThumbnailItem(it, sources, Opts(S), source, scaled, square);
            } catch (const std::exception& e) {
                problems << QString::fromStdString(e.what());
            }
        }
        return problems;
    }
};
} // namespace

TEST_F(ThumbSave, EveryFormatReadsBackAsTheSquare) {
    WritePhotoJpeg(Path("photo.jpg"), 300, 200);
    // The reference: ImageMagick's own resize of the same decoded file.
    QProcess::execute("convert", {Path("photo.jpg"), "-resize", "64x42!", Path("ref.png")});
    TPixelGraphic ref;
    ASSERT_TRUE(MagickRead(Path("ref.png"), 64, 42, ref));
    for (const QString& fmt : ThumbSaveFormatTexts()) {
        const QString ext = ExtFromFormatText(fmt);
        ASSERT_TRUE(Run({Path("photo.jpg")}, dir.path(), "thm_", ext).isEmpty())
            << ext.toStdString();
        TPixelGraphic back;
        ASSERT_TRUE(MagickRead(Path("thm_photo." + ext), 64, 64, back)) << ext.toStdString();
        if (ext != "jpg") {
            for (int y = 42; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    ASSERT_EQ(back.GetPixel(x, y), kThumbBackground)
                        << ext.toStdString() << " " << x << "," << y;
        }
        TPixelGraphic content;
        content.SetFormat(64, 42, pg24Bit);
        content.CopyRect(0, 0, back, 0, 0, 64, 42);
        EXPECT_GE(Psnr(content, ref), 30.0) << ext.toStdString();
    }
}

TEST_F(ThumbSave, NeverWritesOverASource) {
    WritePhotoJpeg(Path("beach.jpg"), 120, 80);
    const QByteArray before = Sha(Path("beach.jpg"));
    // An empty prefix with the same folder and format names the source itself.
    QStringList p = Run({Path("beach.jpg")}, dir.path(), "", "jpg");
    ASSERT_EQ(p.size(), 1);
    EXPECT_TRUE(p[0].startsWith("Would overwrite ")) << p[0].toStdString();
    // The same through a linked folder.
    QTemporaryDir other;
    ASSERT_TRUE(QFile::link(dir.path(), other.filePath("link")));
    p = Run({Path("beach.jpg")}, other.filePath("link"), "", "jpg");
    ASSERT_EQ(p.size(), 1);
    EXPECT_TRUE(p[0].startsWith("Would overwrite "));
    EXPECT_EQ(Sha(Path("beach.jpg")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"beach.jpg"});
}

TEST_F(ThumbSave, TwoSourcesOfOneNameKeepTheFirst) {
    WritePhotoJpeg(Path("a.jpg"), 100, 50);
    WritePhotoJpeg(Path("tall.jpg"), 50, 100);
    ASSERT_TRUE(QFile::copy(Path("tall.jpg"), Path("a.png.jpg")));
    // a.jpg and a.png.jpg both become thm_a.bmp.
    const QStringList p = Run({Path("a.jpg"), Path("a.png.jpg")}, dir.path(), "thm_", "bmp");
    ASSERT_EQ(p.size(), 1);
    EXPECT_EQ(p[0], "Would overwrite " + QFileInfo(dir.path()).canonicalFilePath() + "/thm_a.bmp");
    TPixelGraphic back;
    back.LoadFromFile(Path("thm_a.bmp").toStdString());
    // The wide first picture leaves the lower half empty.
    EXPECT_EQ(back.GetPixel(0, 40), kThumbBackground);
}

TEST_F(ThumbSave, PlanStaysInsideTheFolder) {
    const auto items = PlanThumbnailSaves({Path("x.jpg")}, dir.path(), "thm_", "png");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(QFileInfo(items[0].output).dir().canonicalPath(),
              QFileInfo(dir.path()).canonicalFilePath());
    EXPECT_FALSE(ValidThumbPrefix("../x"));
}
