#include "tools/filesearch.h"

#include <gtest/gtest.h>

#include <QFile>

#include "formats/droptypes.h"
#include "tools/drives.h"
#include "tools_fixtures.h"

namespace {

struct SearchTree {
    QTemporaryDir tmp;
    QString root;
    SearchTree() : root(tmp.path()) {
        for (const char* f : {"a.jpg", "sub/b.JPG", ".hidden/c.jpg", ".d.jpg", "sub/deep/e.png",
                              "locked/x.jpg", "mnt/y.jpg", "notes.txt"})
            WriteFile(root + '/' + f, f);
        QFile::link(root, root + "/sub/up");               // a link to an ancestor
        QFile::link(root + "/sub", root + "/dir.jpg");     // a link to a folder
        QFile::link(root + "/a.jpg", root + "/flink.jpg"); // a link to a file
        QFile::link(root + "/none", root + "/dead.jpg");   // dangling
    }
};

struct Outcome {
    TSearchEnd end;
    QStringList paths; // relative to the root, sorted
    int folders = 0;
};

Outcome Search(const SearchTree& t, const QString& pattern, std::size_t cap = kSearchResultCap,
               bool seams = true) {
    TSearchWalk w(pattern);
    w.cap = cap;
    std::vector<QByteArray> found;
    Outcome o;
    w.onFound = [&](QByteArray&& p) { found.push_back(std::move(p)); };
    w.onFolder = [&](const QByteArray&) { ++o.folders; };
    if (seams) {
        w.seams.refuseOpen = [](const QByteArray& f) { return f.endsWith("/locked/"); };
        w.seams.device = [](const QByteArray& f, dev_t real) {
            return f.endsWith("/mnt/") ? real + 1 : real;
        };
    }
    o.end = w.Walk(QFile::encodeName(t.root));
    SortSearchResults(found);
    for (const QByteArray& p : found)
        o.paths << QFile::decodeName(p).mid(t.root.size() + 1);
    return o;
}

} // namespace

TEST(SearchWalk, FindsVisibleFilesOnOneFileSystemOnce) {
    SearchTree t;
    const Outcome o = Search(t, "*.jpg");
    EXPECT_EQ(o.end, TSearchEnd::Finished);
    // Not: hidden names, the unreadable folder, the other device, links to
    // folders (so the ancestor link ends), dangling links.
    EXPECT_EQ(o.paths, QStringList({"a.jpg", "flink.jpg", "sub/b.JPG"}));
    EXPECT_EQ(o.folders, 4); // root, sub, sub/deep and the unreadable one tried

    // Without the seams the same tree gives the other two, and still ends.
    EXPECT_EQ(Search(t, "*.JPG", kSearchResultCap, false).paths,
              QStringList({"a.jpg", "flink.jpg", "locked/x.jpg", "mnt/y.jpg", "sub/b.JPG"}));
    EXPECT_EQ(Search(t, "?.png").paths, QStringList({"sub/deep/e.png"}));
    EXPECT_EQ(Search(t, "*.*").paths.size(), 5); // every visible regular file
}

TEST(SearchWalk, CapKeepsEarlierResultsAndStops) {
    SearchTree t;
    const Outcome o = Search(t, "*.jpg", 2);
    EXPECT_EQ(o.end, TSearchEnd::CapReached);
    EXPECT_EQ(o.paths.size(), 2);
}

TEST(SearchWalk, StopFlagAndBadRoots) {
    SearchTree t;
    std::atomic<bool> stop{true};
    TSearchWalk w("*");
    w.stop = &stop;
    int found = 0;
    w.onFound = [&](QByteArray&&) { ++found; };
    EXPECT_EQ(w.Walk(QFile::encodeName(t.root)), TSearchEnd::Stopped);
    EXPECT_EQ(found, 0);

    int err = 0;
    TSearchWalk missing("*");
    EXPECT_EQ(missing.Walk(QFile::encodeName(t.root + "/none"), &err), TSearchEnd::RootFailed);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(missing.Walk(QFile::encodeName(t.root + "/a.jpg"), &err), TSearchEnd::RootFailed);
    EXPECT_EQ(err, ENOTDIR);
}

TEST(SearchRules, PatternsOrderAndResultRow) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.jpg", "A.JPG", true},
        {"*.jpg", "a.jpeg", false},
        {"?.jpg", "ab.jpg", false},
        {"*.*", "noext", true},
        {"a*b*c", "aXbYbZc", true},
        {"*", "", true},
        {"*.jpg", "Été.JPG", true},
        {"é*", "É.png", true},
        {"", "a", false},
        {"**.jpg", "x.jpg", true},
        {"*x", "xxxxxxxxxxxxxxy", false},
        // Lists separated by ";": any of them.
        {"*.jpg;*.webp", "x.WEBP", true},
        {"*.jpg;*.webp", "x.png", false},
        {";;", "a", false},
        {"*.png;*.*", "noext", true},
        {"*.x;é*", "É.png", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
        const TNamePattern p(QString::fromUtf8(c.pattern));
        const QByteArray bytes(c.name);
        EXPECT_EQ(p.Matches(bytes.constData(), std::size_t(bytes.size())), c.match);
        EXPECT_EQ(p.Matches(QString::fromUtf8(c.name)), c.match);
    }

    // The window's "every picture type" list.
    const TNamePattern pictures(QString::fromStdString(PicturePatterns(";")));
    for (const char* n : {"a.HEIC", "b.jxl", "c.jfif", "d.Webp", "e.avif", "f.pnm", "g.tiff"})
        EXPECT_TRUE(pictures.Matches(QString(n))) << n;
    for (const char* n : {"c.avi", "d.txt", "jpg"}) EXPECT_FALSE(pictures.Matches(QString(n))) << n;

    std::vector<QByteArray> paths{"/b/x", "/B/a", "/a/Z", "/a/y", "/b/X"};
    SortSearchResults(paths);
    EXPECT_EQ(paths, (std::vector<QByteArray>{"/a/y", "/a/Z", "/B/a", "/b/X", "/b/x"}));

    const QStringList names{"IMG_10.jpg", "img_1.jpg.bak", "IMG_1.jpg"};
    EXPECT_EQ(FindResultRow(names, "IMG_1.jpg"), 2); // the exact name first
    EXPECT_EQ(FindResultRow(names, "img_1.JPG"), 1); // else the first beginning with it
    EXPECT_EQ(FindResultRow(names, "x.jpg"), -1);
}

TEST(SearchRules, DrivesAreRealFileSystems) {
    EXPECT_TRUE(IsPseudoFileSystem("proc"));
    EXPECT_TRUE(IsPseudoFileSystem("squashfs"));
    EXPECT_FALSE(IsPseudoFileSystem("ext4"));
    for (const TDrive& d : ListDrives()) {
        EXPECT_TRUE(d.root.startsWith('/'));
        EXPECT_TRUE(d.Entry().startsWith(d.root + " ("));
    }
    const std::vector<TDrive> drives{{"/", "root"}, {"/media/card", "CARD"}};
    EXPECT_EQ(DriveOf(drives, "/media/card/DCIM"), 1);
    EXPECT_EQ(DriveOf(drives, "/media/cardigan"), 0);
    EXPECT_EQ(DriveOf(drives, "/home"), 0);
}
