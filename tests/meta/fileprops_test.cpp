// The properties dialog's facts without widgets: sizes, dates, the registry's
// picture facts, the preview limit, missing and special files, the gradient.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QLocale>

#include "core/registry.h"
#include "meta/fileprops.h"
#include "meta_fixtures.h"

TEST(FileProps, SizeAndDateTexts) {
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "1K"}, {1023, "1K"}, {1024, "2K"}, {10000, "10K"}, {7000000, "6836K"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(FilePropSizeText(bytes), text) << bytes;

    const QDateTime t(QDate(2024, 3, 9), QTime(13, 5, 40));
    EXPECT_EQ(FilePropDateText(t),
              QLocale::system().toString(t.date(), QLocale::ShortFormat) + " 1:05 PM");
    EXPECT_TRUE(FilePropDateText(QDateTime(QDate(2024, 3, 9), QTime(0, 7))).endsWith(" 12:07 AM"));
}

TEST(FileProps, GradientRunsFromDarkRedToBlack) {
    TPixelGraphic bg;
    PaintFilePropBackground(bg, 364, 254);
    ASSERT_EQ(bg.GetWidth(), 364);
    ASSERT_EQ(bg.GetHeight(), 254);
    const std::pair<int, TRGB> columns[] = {
        {0, RGB(140, 0, 0)}, {182, RGB(70, 0, 0)}, {363, RGB(1, 0, 0)}};
    for (const auto& [x, c] : columns)
        for (int y : {0, 127, 253}) EXPECT_EQ(bg.GetPixelColor(x, y), c) << x << "," << y;
}

class FilePropsFiles : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString P(const QString& name) const { return dir.filePath(name); }
};

TEST_F(FilePropsFiles, JpegsBelowAndAboveThePreviewLimit) {
    WriteBytes(P("small.jpg"), MakeJpeg(40, 30, {}, 10000));
    WriteBytes(P("big.jpg"), MakeJpeg(40, 30, {}, 7000000));
    for (const char* name : {"small.jpg", "big.jpg"}) {
        SCOPED_TRACE(name);
        const TFileProperties p = FileProperties(P(name));
        EXPECT_TRUE(p.Found);
        EXPECT_TRUE(p.Recognised);
        // The same facts as the registry gives (and tavtool info prints).
        std::string type;
        TPGImageInfo info;
        ASSERT_TRUE(GetFileImageInfo(P(name).toStdString(), 0, type, info));
        EXPECT_EQ(p.Type.toStdString(), type);
        EXPECT_EQ(p.SubType.toStdString(), info.SubType);
        EXPECT_EQ(p.Options.toStdString(), info.Options);
        EXPECT_EQ(p.Colors.toStdString(), info.Colors);
        EXPECT_EQ(p.Width, 40);
        EXPECT_EQ(p.Height, 30);
        EXPECT_EQ(p.BitsPerPixel, info.BitsPerPixel);
        EXPECT_EQ(p.GraphicCount, info.GraphicCount);
        EXPECT_EQ(p.FileDate, FilePropDateText(QFileInfo(P(name)).lastModified()));
    }
    EXPECT_EQ(FileProperties(P("small.jpg")).FileSize, "10K");
    EXPECT_TRUE(FileProperties(P("small.jpg")).ShowPreview);
    EXPECT_EQ(FileProperties(P("big.jpg")).FileSize, "6836K");
    EXPECT_FALSE(FileProperties(P("big.jpg")).ShowPreview);

    const QStringList values = FilePropertyValues(FileProperties(P("small.jpg")));
    ASSERT_EQ(values.size(), FilePropertyCaptions().size());
    EXPECT_EQ(values[0], P("small.jpg"));
    EXPECT_EQ(values[6], "40");
    EXPECT_EQ(values[7], "30");
}

TEST_F(FilePropsFiles, UnrecognisedMissingAndSpecialFiles) {
    WriteBytes(P("text.jpg"), QByteArray("just some words, not a picture\n"));
    const TFileProperties text = FileProperties(P("text.jpg"));
    EXPECT_TRUE(text.Found);
    EXPECT_EQ(text.FileSize, "1K");
    EXPECT_FALSE(text.FileDate.isEmpty());
    EXPECT_FALSE(text.Recognised);
    EXPECT_FALSE(text.ShowPreview);
    EXPECT_EQ(FilePropertyValues(text).mid(3),
              QStringList({"", "", "", "0", "0", "", "0", "0"}));

    // Missing, a folder and a pipe: no facts at all, and nothing blocks.
    ASSERT_EQ(::mkfifo(QFile::encodeName(P("pipe.jpg")).constData(), 0600), 0);
    QDir().mkdir(P("folder.jpg"));
    for (const char* name : {"missing.jpg", "folder.jpg", "pipe.jpg"}) {
        SCOPED_TRACE(name);
        const TFileProperties p = FileProperties(P(name));
        EXPECT_FALSE(p.Found);
        EXPECT_EQ(p.FileName, P(name));
        EXPECT_EQ(FilePropertyValues(p).mid(1),
                  QStringList({"", "", "", "", "", "0", "0", "", "0", "0"}));
        EXPECT_FALSE(p.ShowPreview);
    }
}
