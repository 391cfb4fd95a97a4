#include <QHeaderView>
#include <QUrl>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/filelist.h"
#include "browser/statusbar.h"
#include "fixtures.h"
#include "platform/convert.h"

namespace {

QStringList Names(const TFileListView& v) {
    QStringList r;
    for (int i = 0; i < v.Count(); ++i)
        r << v.Caption(i);
    return r;
}

QString Cell(const TFileListView& v, int row, int col) {
    return v.Model()->data(v.Model()->index(row, col), Qt::DisplayRole).toString();
}

// A folder that exercises what a listing must leave out or get right.
struct Folder {
    QTemporaryDir dir;
    QString P(const QString& n) const { return dir.filePath(n); }
    Folder() {
        MakeFile(P("a.JPG"), 5000);
        MakeFile(P("b.gif"), 1024);
        MakeFile(P("c.txt"), 10);
        MakeFile(P("z.bmp"), 0);
        MakeFile(P("m.PnG"), 1023);
        MakeFile(P("big.tif"), 1025);
        MakeFile(P("d.jpeg"), 10);
        MakeFile(P("e.TIFF"), 10);
        MakeFile(P("f.webp"), 10);
        MakeFile(P("noext"), 10);
        MakeFile(P(".hidden.jpg"), 10);  // hidden: never listed
        QDir(dir.path()).mkdir("x.jpg"); // a folder that looks like a picture
        ::mkfifo(QFile::encodeName(P("fifo.png")).constData(), 0600);
        QFile::link(P("a.JPG"), P("link.jpg"));    // a link to a file is a file
        QFile::link(P("gone.bmp"), P("dead.bmp")); // a dangling link is nothing
    }
};

} // namespace

TEST(FileList, ListsPlainVisibleFilesByMask) {
    Folder f;
    TPanelStatusBar sb({{25, Qt::AlignLeft}, {80, Qt::AlignHCenter}});
    TFileListView v;
    struct Case {
        QString mask;
        bool all;
        QStringList names;
    };
    const Case cases[] = {
        {FileMaskFromTypes("111111111111111"),
         false,
         {"a.JPG", "b.gif", "big.tif", "d.jpeg", "e.TIFF", "f.webp", "link.jpg", "m.PnG", "z.bmp"}},
        // Stored before the table grew: the new types count as checked.
        {FileMaskFromTypes("1111111111"),
         false,
         {"a.JPG", "b.gif", "big.tif", "d.jpeg", "e.TIFF", "f.webp", "link.jpg", "m.PnG", "z.bmp"}},
        {FileMaskFromTypes("111111"), false, {"a.JPG", "b.gif", "d.jpeg", "f.webp", "link.jpg", "z.bmp"}},
        {FileMaskFromTypes("000000000100000"), false, {"big.tif", "e.TIFF"}},
        {FileMaskFromTypes("000000000001000"), false, {"f.webp"}},
        {"", false, {}},
        {"",
         true,
         {"a.JPG", "b.gif", "big.tif", "c.txt", "d.jpeg", "e.TIFF", "f.webp", "link.jpg", "m.PnG",
          "noext", "z.bmp"}},
    };
    for (const Case& c : cases) {
        ViewAllFiles = c.all;
        FillFileList(&v, f.dir.path(), &sb, c.mask);
        v.SortItems();
        EXPECT_EQ(Names(v), c.names) << c.mask.toStdString();
        EXPECT_EQ(sb.PanelText(1),
                  QString::number(c.names.size()) + (c.names.size() == 1 ? " file" : " files"));
    }
    ViewAllFiles = false;
    EXPECT_EQ(v.ListedFolder(), f.dir.path());
    EXPECT_EQ(QDir::currentPath(), f.dir.path()); // the listed folder is current
}

TEST(FileList, ColumnsShowSizeTypeAndEvenSecondTimes) {
    Folder f;
    MakeFile(f.P("t.jpg"), 2048, 1000000001); // odd second
    TFileListView v;
    ViewAllFiles = true;
    FillFileList(&v, f.dir.path(), nullptr, "");
    ViewAllFiles = false;
    v.SortItems();
    struct Row {
        QString name, size, type;
    };
    const Row rows[] = {{"a.JPG", "5", "JPG"}, {"b.gif", "2", "GIF"},  {"big.tif", "2", "TIF"},
                        {"c.txt", "1", "TXT"}, {"d.jpeg", "1", "JPE"}, {"m.PnG", "1", "PNG"},
                        {"noext", "1", ""},    {"t.jpg", "3", "JPG"},  {"z.bmp", "1", "BMP"}};
    for (const Row& r : rows) {
        const int i = Names(v).indexOf(r.name);
        ASSERT_GE(i, 0) << r.name.toStdString();
        EXPECT_EQ(Cell(v, i, 1), r.size) << r.name.toStdString();
        EXPECT_EQ(Cell(v, i, 2), r.type) << r.name.toStdString();
    }
    const int t = Names(v).indexOf("t.jpg");
    EXPECT_EQ(v.Model()->Item(t).modified, 1000000000);
    EXPECT_EQ(Cell(v, t, 3), FileTimeText(1000000000));
    EXPECT_EQ(v.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Name (Images)");
}

TEST(FileList, SortsByEveryColumnAndASecondClickReverses) {
    QTemporaryDir d;
    const qint64 day = 86400, t0 = 1600000000;
    MakeFile(d.filePath("b.jpg"), 3000, t0 + day);
    MakeFile(d.filePath("A.png"), 100, t0 + 2 * day);
    MakeFile(d.filePath("c.JPG"), 5000, t0);
    MakeFile(d.filePath("_x.gif"), 2000, t0);
    MakeFile(d.filePath("é.bmp"), 10, t0 + day);
    TFileListView v;
    FillFileList(&v, d.path(), nullptr, FileMaskFromTypes("1111111111"));
    struct Case {
        int click;
        QStringList order;
    };
    // Names fold a..z only and compare by code: "_" sorts after "A".."Z",
    // "é" after everything ASCII.
    const Case cases[] = {
        {0, {"é.bmp", "_x.gif", "c.JPG", "b.jpg", "A.png"}}, // name was already column 0: reversed
        {0, {"A.png", "b.jpg", "c.JPG", "_x.gif", "é.bmp"}},
        {2, {"é.bmp", "_x.gif", "b.jpg", "c.JPG", "A.png"}}, // type, then name
        {3, {"c.JPG", "_x.gif", "b.jpg", "é.bmp", "A.png"}}, // time, then name
        {3, {"A.png", "é.bmp", "b.jpg", "_x.gif", "c.JPG"}},
        {1, {"A.png", "é.bmp", "_x.gif", "b.jpg", "c.JPG"}},
        {1, {"c.JPG", "b.jpg", "_x.gif", "A.png", "é.bmp"}},
    };
    v.SortItems();
    for (const Case& c : cases) {
        v.ColumnClick(c.click);
        EXPECT_EQ(Names(v), c.order) << "column " << c.click;
    }
    EXPECT_EQ(v.header()->sortIndicatorSection(), 1);
    EXPECT_EQ(v.header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST(FileList, SelectionFollowsItsItemsThroughASort) {
    QTemporaryDir d;
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"})
        MakeFile(d.filePath(n), 1);
    TFileListView v;
    FillFileList(&v, d.path(), nullptr, "*.jpg;");
    v.SortItems();
    v.selectionModel()->select(v.Model()->index(0, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    v.ColumnClick(0); // descending: a.jpg moves to the end
    EXPECT_EQ(v.SelectedNames(), QStringList{"a.jpg"});
    EXPECT_EQ(v.selectionModel()->selectedRows().value(0).row(), 2);
}

TEST(FileList, AFolderThatCannotBeEnteredLeavesTheListAsItWas) {
    Folder f;
    TPanelStatusBar sb({{25, Qt::AlignLeft}, {80, Qt::AlignHCenter}});
    TFileListView v;
    FillFileList(&v, f.dir.path(), &sb, "*.gif;");
    ASSERT_EQ(v.Count(), 1);
    for (const QString& bad : {f.P("missing"), f.P("c.txt")}) {
        EXPECT_THROW(FillFileList(&v, bad, &sb, "*.gif;"), EInOutError);
        EXPECT_EQ(Names(v), QStringList{"b.gif"});
        EXPECT_EQ(v.ListedFolder(), f.dir.path());
        EXPECT_EQ(sb.PanelText(1), "1 file");
    }
}

TEST(FileList, MaskMatching) {
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"a.JPG", "*.jpg", true},
        {"a.jpg.txt", "*.jpg", false},
        {"ajpg", "*.jpg", false},
        {"noext", "*.*", true},
        {"x.jpeg", "*.jpg", false},
        {"a.b.jpg", "*.jpg", true},
        {"abc.gif", "a?c.*", true},
        {"ÄB.PNG", "äb.png", true},
        {"", "*", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)), c.match)
            << c.name << " " << c.pattern;
    EXPECT_EQ(FileMaskFromTypes("111111111100000"),
              "*.jpg;*.jpeg;*.jpe;*.jfif;*.jif;*.gif;*.bmp;*.dib;*.rle;*.ico;*.wmf;*.emf;*.avi;"
              "*.pcx;*.png;*.tga;*.tif;*.tiff;");
    EXPECT_EQ(FileMaskFromTypes("010000000100001"), "*.gif;*.tif;*.tiff;*.jxl;");
    EXPECT_EQ(FileMaskFromTypes("0100000001101"),
              "*.gif;*.tif;*.tiff;*.pbm;*.pgm;*.ppm;*.pnm;*.avif;*.heic;*.heif;*.jxl;");
    EXPECT_EQ(FileMaskFromTypes("1x00000000000000000"), "*.jpg;*.jpeg;*.jpe;*.jfif;*.jif;");
}

TEST(FileList, DragCarriesTagFolderAndNames) {
    QTemporaryDir d;
    MakeFile(d.filePath("a\nb.jpg"), 1); // a newline is legal in a name
    MakeFile(d.filePath("c.jpg"), 1);
    TFileListView v;
    v.Model()->Tag = 1;
    FillFileList(&v, d.path(), nullptr, "*.jpg;");
    v.SortItems();
    std::unique_ptr<QMimeData> m(v.Model()->mimeData(
        {v.Model()->index(0, 0), v.Model()->index(0, 2), v.Model()->index(1, 1)}));
    const auto drag = DecodeFileDrag(m.get());
    ASSERT_TRUE(drag.has_value());
    EXPECT_EQ(drag->tag, 1);
    EXPECT_EQ(drag->folder, d.path());
    EXPECT_EQ(drag->names, (QStringList{"a\nb.jpg", "c.jpg"}));
    EXPECT_EQ(m->urls().size(), 2);
    EXPECT_EQ(m->urls()[1].toLocalFile(), d.filePath("c.jpg"));
    EXPECT_EQ(drag->NativePath(0), QFile::encodeName(d.filePath("a\nb.jpg")));

    // Names that are no valid text travel as their bytes, in the private
    // format and in the URLs other programs read.
    const QByteArray raw = QFile::encodeName(d.path()) + "/\xff.jpg";
    {
        QFile f;
        ASSERT_TRUE(f.open(::open(raw.constData(), O_WRONLY | O_CREAT, 0644), QIODevice::WriteOnly,
                           QFileDevice::AutoCloseHandle));
    }
    FillFileList(&v, d.path(), nullptr, "*.jpg;");
    v.SortItems();
    int row = -1;
    for (int r = 0; r < v.Count(); ++r)
        if (v.Model()->Item(r).rawName == "\xff.jpg") row = r;
    ASSERT_GE(row, 0);
    EXPECT_EQ(v.NativePath(row), raw);
    std::unique_ptr<QMimeData> rm(v.Model()->mimeData({v.Model()->index(row, 0)}));
    const auto rd = DecodeFileDrag(rm.get());
    ASSERT_TRUE(rd.has_value());
    EXPECT_EQ(rd->NativePath(0), raw);
    EXPECT_EQ(rm->urls()[0].toEncoded(), "file://" + raw.toPercentEncoding("/"));
    ::unlink(raw.constData());

    QMimeData junk;
    junk.setData(kFileDragMime, "\x01\x02");
    EXPECT_FALSE(DecodeFileDrag(&junk).has_value());
    EXPECT_FALSE(DecodeFileDrag(nullptr).has_value());
}

// What a drop names: a file-list drag's names joined to its folder, only
// when each is one entry of an absolute folder; other programs' local URLs
// as they are.
TEST(FileList, DroppedFilesAreEntriesOfTheirFolder) {
    struct Case {
        QString folder;
        QStringList names;
        QStringList paths, refused;
    };
    const Case cases[] = {
        {"/pics", {"a.jpg", "b c.png"}, {"/pics/a.jpg", "/pics/b c.png"}, {}},
        {"/", {"a.jpg"}, {"/a.jpg"}, {}},
        {"/pics/", {"a.jpg"}, {"/pics/a.jpg"}, {}},
        {"/pics",
         {"", ".", "..", "../etc/passwd", "/etc/passwd", QString("a") + QChar(0) + "b", "ok.jpg"},
         {"/pics/ok.jpg"},
         {"/pics/", "/pics/.", "/pics/..", "/pics/../etc/passwd", "/pics//etc/passwd",
          QString("/pics/a") + QChar(0) + "b"}},
        {"pics", {"a.jpg"}, {}, {"pics/a.jpg"}},
    };
    for (const Case& c : cases) {
        TFileDrag d;
        d.folder = c.folder;
        d.names = c.names;
        std::unique_ptr<QMimeData> m(EncodeFileDrag(d));
        QStringList refused, paths;
        for (const TDroppedFile& f : DecodeDroppedFiles(m.get(), &refused))
            paths << f.Path();
        EXPECT_EQ(paths, c.paths) << c.folder.toStdString();
        EXPECT_EQ(refused, c.refused) << c.folder.toStdString();
    }

    // Other programs' drops: local files only, each its URL's file.
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile("/a/b.jpg"), QUrl("https://example.org/c.jpg"),
                  QUrl::fromLocalFile("/top.png"), QUrl::fromLocalFile("/a/dir/")});
    QStringList paths;
    for (const TDroppedFile& f : DecodeDroppedFiles(&urls))
        paths << f.Path();
    EXPECT_EQ(paths, (QStringList{"/a/b.jpg", "/top.png", "/a/dir/"}));
    EXPECT_TRUE(DecodeDroppedFiles(nullptr).empty());
}
