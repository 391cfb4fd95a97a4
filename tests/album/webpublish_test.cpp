// Web publishing: the page text line by line, escaping checked by an HTML5
// parser, Fit sizes, byte copies and re-encodes, and an output folder that
// holds the album's own pictures.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "album/webpublish.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "formats/webp.h"
#include "formats/library.h"

namespace {

QStringList Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QString s = QString::fromUtf8(f.readAll());
    if (s.endsWith("\r\n")) s.chop(2);
    return s.split("\r\n");
}

QByteArray Sha(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

QSize SizeOf(const QString& path) {
    TPixelGraphic pg;
    pg.LoadFromFile(QFile::encodeName(path).toStdString());
    return {pg.GetWidth(), pg.GetHeight()};
}

class Publishing : public ::testing::Test {
  protected:
    void SetUp() override { InitImageLibrary(); }
    QString P(const QString& n) const { return src.filePath(n); }
    TAlbumEntry Entry(const QString& name, int r = 0, const char* caption = "") {
        return {QFile::encodeName(P(name)).toStdString(), caption, r};
    }
    TPublishSettings Settings() {
        TPublishSettings s;
        s.folder = out.path();
        s.autoSharpen = false;
        return s;
    }
    QTemporaryDir src, out;
};

} // namespace

TEST(PublishRules, CountsColoursFitsNames) {
    EXPECT_EQ(PublishPageCount(7, 3, 2), 2);
    EXPECT_EQ(PublishPageCount(6, 3, 2), 1);
    EXPECT_EQ(PublishPageCountText(1), "1 page");
    EXPECT_EQ(PublishPageCountText(3), "3 pages");
    EXPECT_EQ(PublishColor(RGB(1, 2, 3)), "010203");
    EXPECT_EQ(PublishColor(0xFFFFFF), "FFFFFF");
    EXPECT_EQ(PublishFit({300, 200}, 96), QSize(96, 64));
    EXPECT_EQ(PublishFit({200, 300}, 96), QSize(64, 96));
    EXPECT_EQ(PublishFit({50, 50}, 96), QSize(96, 96));
    EXPECT_EQ(PublishFit({2000, 1}, 96), QSize(96, 1));
    EXPECT_EQ(PublishPageBase("index"), "index");
    EXPECT_EQ(PublishPageBase("my.photos.html"), "my");
    EXPECT_EQ(PublishPageBase(".html"), "");
    EXPECT_EQ(PublishPageBase("a/b.html"), "");
    EXPECT_EQ(PublishBaseName("/x/a.b.png"), "a");
}

TEST_F(Publishing, PagesLineByLine) {
    std::vector<TAlbumEntry> entries;
    for (int i = 0; i < 7; ++i) {
        samples::SaveQuad(P(QString("p%1.png").arg(i)), 30, 20);
        entries.push_back(Entry(QString("p%1.png").arg(i), 0, "cap"));
    }
    TPublishSettings s = Settings();
    s.captionOption = 1;
    s.showFrames = true;
    TPublishResult r = Publish(entries, s);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join("\n").toStdString();
    // The first page is the name given; the pages after it are numbered.
    EXPECT_EQ(r.firstPage, QDir(out.path()).filePath("myphotos.html"));
    EXPECT_FALSE(QFile::exists(QDir(out.path()).filePath("myphotos_1.html")));
    const QStringList p2 = Lines(QDir(out.path()).filePath("myphotos_2.html"));
    ASSERT_GE(p2.size(), 18);
    EXPECT_EQ(p2[0], "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
    EXPECT_EQ(p2[12], "<p>Page <a href=\"myphotos.html\">1</a> 2</p>");
    EXPECT_EQ(p2[14], "<table border=\"3\" width=\"1\" height = \"1\" cellspacing=\"0\" "
                      "cellpadding=\"12\">");
    EXPECT_EQ(p2[15], "<tr>");
    EXPECT_EQ(p2[16], "<td align=\"center\"><a href=\"p6.jpg\"><img border=\"1\" "
                      "src=\"tm_p6.jpg\" alt=\"p6.jpg\"><BR>p6.jpg</a></td>");
    EXPECT_EQ(p2[17], "</tr>");
    // No empty row after the last picture.
    EXPECT_EQ(p2[18], "</table>");
    const QStringList p1 = Lines(r.firstPage);
    EXPECT_EQ(p1.filter("<tr>").size(), 2);
    EXPECT_EQ(p1.filter(" alt=\"p0.jpg\"").size(), 1);

    // Six entries: one page, no links line; "index" has no dot.
    entries.pop_back();
    s.pageName = "index";
    s.captionOption = 0;
    s.showFrames = false;
    s.background = RGB(1, 2, 3);
    r = Publish(entries, s);
    const QStringList one = Lines(QDir(out.path()).filePath("index.html"));
    ASSERT_GE(one.size(), 12);
    EXPECT_EQ(one[8], "<body bgcolor=\"#010203\">");
    EXPECT_EQ(one[11], "<font color=\"#000000\">");
    EXPECT_EQ(one[12], "<h1></h1>");

    // A typed extension is the page's own: "index.html" is the first page.
    s.pageName = "index.html";
    s.rows = 1;
    s.columns = 2;
    r = Publish(entries, s);
    EXPECT_EQ(r.firstPage, QDir(out.path()).filePath("index.html"));
    EXPECT_TRUE(QFile::exists(QDir(out.path()).filePath("index_3.html")));
    EXPECT_FALSE(QFile::exists(QDir(out.path()).filePath("index_1.html")));
    // Captions are the alternative texts when there are captions.
    s.captionOption = 2;
    r = Publish(entries, s);
    EXPECT_EQ(Lines(r.firstPage).filter(" alt=\"cap\"><BR>cap</a>").size(), 2);
}

TEST_F(Publishing, EscapedTextsAndLinksThatResolve) {
    const QStringList names = {"a&b.png", "<i>.png", "\"q\".png",    "#1.png",
                               "50%.png", "a b.png", "\xc3\xa9.png", "x?y.png"};
    std::vector<TAlbumEntry> entries;
    for (const QString& n : names) {
        samples::SaveQuad(P(n), 20, 20);
        entries.push_back(Entry(n, 0, "<b>&\"caption\""));
    }
    TPublishSettings s = Settings();
    s.captionOption = 2;
    s.title = "T&<x>";
    s.header = "<script>x</script>";
    s.footer = "50% \"off\"";
    s.columns = 8;
    ASSERT_TRUE(Publish(entries, s).messages.isEmpty());
    // An HTML5 parser gives back the raw texts, and every link names a file.
    const QString script = R"(
import html5lib, sys, os, urllib.parse
doc = html5lib.parse(open(sys.argv[1], 'rb'), namespaceHTMLElements=False)
print(doc.find('.//title').text)
print(doc.find('.//h1').text)
print(doc.find('.//i').text)
for a in doc.iter('a'):
    for link in (a.get('href'), a.find('img').get('src')):
        p = os.path.join(os.path.dirname(sys.argv[1]), urllib.parse.unquote(link))
        print('ok' if os.path.isfile(p) else 'missing ' + p)
    print(''.join(a.itertext()))
)";
    QProcess py;
    py.start("/usr/bin/python3", {"-c", script, QDir(out.path()).filePath("myphotos.html")});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QStringList got = QString::fromUtf8(py.readAllStandardOutput()).split('\n');
    ASSERT_GE(got.size(), 3 + 3 * 8) << py.readAllStandardError().toStdString();
    EXPECT_EQ(got[0], "T&<x>");
    EXPECT_EQ(got[1], "<script>x</script>");
    EXPECT_EQ(got[2], "50% \"off\"");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got[3 + 3 * i], "ok") << names[i].toStdString();
        EXPECT_EQ(got[4 + 3 * i], "ok") << names[i].toStdString();
        EXPECT_EQ(got[5 + 3 * i], "<b>&\"caption\"");
    }
}

TEST_F(Publishing, PicturesCopiedTurnedAndNeverOverSources) {
    {
        TPixelGraphic pg;
        pg.SetFormat(800, 600, pg24Bit);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                pg.SetPixel(x, y, RGB(x & 255, y & 255, 90));
        pg.SaveToFile(QFile::encodeName(P("photo.jpg")).toStdString());
    }
    samples::SaveQuad(P("a.b.png"), 30, 20);
    TPublishSettings s = Settings();
    std::vector<TAlbumEntry> entries = {Entry("photo.jpg"), Entry("a.b.png"),
                                        Entry("photo.jpg", 1)};
    TPublishResult r = Publish(entries, s);
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_EQ(Sha(QDir(out.path()).filePath("photo.jpg")), Sha(P("photo.jpg")));  // byte copy
    EXPECT_EQ(SizeOf(QDir(out.path()).filePath("photo_2.jpg")), QSize(600, 800)); // turned
    EXPECT_EQ(SizeOf(QDir(out.path()).filePath("a.jpg")), QSize(30, 20));
    EXPECT_EQ(SizeOf(QDir(out.path()).filePath("tm_a.jpg")), QSize(96, 64));

    // Published into the sources' own folder: not one source changes.
    samples::SaveQuad(P("a.png"), 20, 20);
    samples::SaveQuad(P("a.jpg"), 20, 20);
    const QByteArray png = Sha(P("a.png")), jpg = Sha(P("a.jpg")), photo = Sha(P("photo.jpg"));
    s.folder = src.path();
    r = Publish({Entry("a.png"), Entry("a.jpg"), Entry("photo.jpg")}, s);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join("\n").toStdString();
    EXPECT_EQ(Sha(P("a.png")), png);
    EXPECT_EQ(Sha(P("a.jpg")), jpg);
    EXPECT_EQ(Sha(P("photo.jpg")), photo);
    EXPECT_TRUE(QFile::exists(P("a_2.jpg"))); // the PNG's copy, beside the JPEG source

    // An unreadable entry is reported and left out; the rest is published.
    QFile junk(P("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    s.folder = out.path();
    r = Publish({Entry("junk.jpg"), Entry("a.b.png")}, s);
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_EQ(r.messages[0], "Can't load graphic file " + P("junk.jpg"));
    EXPECT_FALSE(r.firstPage.isEmpty());

    // Pictures are made two at a time; what each one reports still comes
    // in album order, whichever failed first.
    samples::SaveQuad(P("bad.png"), 40, 40);
    QFile bad(P("bad.png"));
    ASSERT_TRUE(bad.open(QIODevice::ReadWrite));
    QByteArray bytes = bad.readAll();
    const qsizetype idat = bytes.indexOf("IDAT");
    ASSERT_GT(idat, 0);
    bytes[idat + 6] = char(bytes[idat + 6] ^ 0x55); // the header reads, the pixels do not
    bad.seek(0);
    bad.write(bytes);
    bad.close();
    r = Publish({Entry("bad.png"), Entry("a.b.png"), Entry("junk.jpg"), Entry("photo.jpg")}, s);
    ASSERT_EQ(r.messages.size(), 2);
    EXPECT_EQ(r.messages[0], "Can't load graphic file " + P("bad.png"));
    EXPECT_EQ(r.messages[1], "Can't load graphic file " + P("junk.jpg"));
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(r.written, 2);
    EXPECT_EQ(SizeOf(QDir(out.path()).filePath("tm_photo.jpg")), QSize(96, 72));
}

// With WebP on, each thumbnail is also a WebP file that the page shows
// through <picture>, the JPEG one its fallback. A WebP picture of the album
// is never written over, and the editor's WebP settings are as they were.
TEST_F(Publishing, WebPThumbnailsWithTheJpegAsFallback) {
    samples::SaveQuad(P("a.png"), 30, 20);
    samples::SaveQuad(P("b.png"), 20, 30);
    const QString albumWebP = QDir(out.path()).filePath("tm_b.webp");
    samples::SaveQuad(albumWebP, 30, 20);
    const QByteArray albumSha = Sha(albumWebP);
    const std::vector<TAlbumEntry> entries = {
        Entry("a.png"), Entry("b.png"), {QFile::encodeName(albumWebP).toStdString(), "", 0}};
    WebPQuality = 33;
    WebPLossless = true;
    TPublishSettings s = Settings();
    s.webp = true;
    const TPublishResult r = Publish(entries, s);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join("\n").toStdString();
    EXPECT_EQ(WebPQuality, 33);
    EXPECT_TRUE(WebPLossless);
    const QStringList page = Lines(r.firstPage);
    EXPECT_EQ(page.filter("<td align=\"center\"><a href=\"a.jpg\"><picture><source "
                          "type=\"image/webp\" srcset=\"tm_a.webp\"><img border=\"1\" "
                          "src=\"tm_a.jpg\" alt=\"a.jpg\"></picture></a></td>")
                  .size(),
              1);
    EXPECT_EQ(page.filter("srcset=\"tm_b_2.webp\"><img border=\"1\" src=\"tm_b_2.jpg\"").size(), 1);
    EXPECT_EQ(Sha(albumWebP), albumSha);
    const QDir o(out.path());
    EXPECT_EQ(SizeOf(o.filePath("tm_a.webp")), QSize(96, 64));
    EXPECT_EQ(SizeOf(o.filePath("tm_b_2.webp")), QSize(64, 96));
    EXPECT_EQ(SizeOf(o.filePath("tm_a.jpg")), QSize(96, 64));
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetFileImageInfo(QFile::encodeName(o.filePath("tm_a.webp")).toStdString(), 0,
                                 type, info));
    EXPECT_EQ(info.SubType, "Lossy");

    // Off, as by default: no WebP file is written.
    QTemporaryDir plain;
    s.webp = false;
    s.folder = plain.path();
    Publish(entries, s);
    EXPECT_TRUE(QDir(plain.path()).entryList({"*.webp"}).isEmpty());
    EXPECT_EQ(Lines(QDir(plain.path()).filePath("myphotos.html")).filter("picture").size(), 0);
}
