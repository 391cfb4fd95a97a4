#include "tools/increname.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <QFileInfo>
#include <cerrno>

#include "tools_fixtures.h"

TEST(IncRenameRules, NumbersNamesAndExtensions) {
    EXPECT_FALSE(ParseRunningNumber("").has_value());
    EXPECT_FALSE(ParseRunningNumber("1a").has_value());
    EXPECT_FALSE(ParseRunningNumber("-1").has_value());
    const auto n = ParseRunningNumber("0098");
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->first, 98);
    EXPECT_EQ(n->width, 4);

    struct Case {
        const char* line;
        const char* name;
        qint64 n;
        int width;
        const char* target;
    } cases[] = {
        {"/p/IMG_7.jpg", "Trip", 1, 3, "/p/Trip_001.jpg"},
        {"/p/b.JPG", "Trip", 2, 3, "/p/Trip_002.JPG"},
        {"/p/x", "Trip", 9, 1, "/p/Trip_9"},
        {"/p/x", "Trip", 10, 1, "/p/Trip_10"},
        {"/p/x.tar.gz", "T", 100, 4, "/p/T_0100.gz"},
        {"/p.d/file", "T", 1, 1, "/p.d/T_1"},       // a dot in the folder is no extension
        {"/p/.hidden", "T", 1, 1, "/p/T_1.hidden"}, // everything after the last dot
        {"/p/a.jpg", "", 5, 2, "/p/_05.jpg"},
        {"/p/a.jpg", "../x", 1, 1, ""},      // would leave the folder
        {"ERROR * /p/a.jpg", "T", 1, 1, ""}, // not a path
        {"a.jpg", "T", 1, 1, ""},            // relative: no folder to trust
        {"/p/", "T", 1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(IncRenameTarget(c.line, c.name, c.n, c.width), QString(c.target));
    }
    EXPECT_EQ(FormatRunningNumber(99999 + 1, 5), "100000");
}

class IncRenameRun : public ::testing::Test {
  protected:
    QString P(const QString& name) const { return tmp_.path() + '/' + name; }
    void Make(const QStringList& names) {
        for (const QString& n : names)
            WriteFile(P(n), n.toUtf8());
    }
    QStringList Run(const QStringList& lines, const QString& name, const QString& number,
                    const TRenameFn& fn = {}) {
        auto steps = PlanIncRename(lines, name, *ParseRunningNumber(number));
        // Every run is first played dry: it touches nothing and foretells
        // the real run exactly (a failure put in by `fn` it cannot know).
        auto dry = steps;
        const auto before = Snapshot(tmp_.path());
        DryRunIncRename(dry);
        EXPECT_EQ(Snapshot(tmp_.path()), before);
        RunIncRename(steps, fn);
        if (!fn) EXPECT_EQ(IncRenameResults(dry), IncRenameResults(steps));
        return IncRenameResults(steps);
    }
    QTemporaryDir tmp_;
};

TEST_F(IncRenameRun, RenamesInListOrderKeepingExtensions) {
    Make({"IMG_7.jpg", "b.JPG", "noext"});
    EXPECT_EQ(Run({P("IMG_7.jpg"), P("b.JPG"), P("noext")}, "Trip", "001"),
              QStringList({P("Trip_001.jpg"), P("Trip_002.JPG"), P("Trip_003")}));
    EXPECT_EQ(ReadFile(P("Trip_001.jpg")), "IMG_7.jpg");
    EXPECT_EQ(ReadFile(P("Trip_002.JPG")), "b.JPG");
    EXPECT_EQ(ReadFile(P("Trip_003")), "noext");
    EXPECT_EQ(Snapshot(tmp_.path()).size(), 3);
}

TEST_F(IncRenameRun, WidthGrowsPastTheEdit) {
    Make({"a", "b", "c"});
    EXPECT_EQ(Run({P("a"), P("b"), P("c")}, "N", "9"),
              QStringList({P("N_9"), P("N_10"), P("N_11")}));
    EXPECT_EQ(Run({P("N_9"), P("N_10"), P("N_11")}, "M", "0098"),
              QStringList({P("M_0098"), P("M_0099"), P("M_0100")}));
}

// The second file's name is taken by a stranger: that file is marked and
// keeps its name, the stranger is untouched, the third takes number 3.
TEST_F(IncRenameRun, ATakenNameIsNeverReplaced) {
    Make({"a.jpg", "b.jpg", "c.jpg", "T_2.jpg"});
    const QStringList out = Run({P("a.jpg"), P("b.jpg"), P("c.jpg")}, "T", "1");
    EXPECT_EQ(out, QStringList({P("T_1.jpg"), "ERROR * " + P("b.jpg"), P("T_3.jpg")}));
    EXPECT_EQ(ReadFile(P("T_2.jpg")), "T_2.jpg");
    EXPECT_EQ(ReadFile(P("b.jpg")), "b.jpg");
    EXPECT_EQ(Snapshot(tmp_.path()).size(), 4);

    // Marked lines stay marked (a second mark) and touch nothing.
    const QStringList again = Run(out, "U", "1");
    EXPECT_EQ(again[1], "ERROR * ERROR * " + P("b.jpg"));
    EXPECT_EQ(Snapshot(tmp_.path()).size(), 4);
}

// Rerunning over renamed files, in any order, keeps every line and file.
TEST_F(IncRenameRun, RerunKeepsEveryLine) {
    Make({"x.jpg", "y.jpg", "z.jpg"});
    const QStringList first = Run({P("x.jpg"), P("y.jpg"), P("z.jpg")}, "T", "1");
    const auto before = Snapshot(tmp_.path());
    EXPECT_EQ(Run(first, "T", "1"), first); // every file already has its name
    EXPECT_EQ(Snapshot(tmp_.path()), before);

    // T_3 -> T_2 waits until T_2 has become T_4, T_1 -> T_3 until T_3 moved.
    const QStringList moved = Run({P("T_3.jpg"), P("T_1.jpg"), P("T_2.jpg")}, "T", "2");
    EXPECT_EQ(moved, QStringList({P("T_2.jpg"), P("T_3.jpg"), P("T_4.jpg")}));
    EXPECT_EQ(ReadFile(P("T_2.jpg")), "z.jpg");
    EXPECT_EQ(ReadFile(P("T_3.jpg")), "x.jpg");
    EXPECT_EQ(ReadFile(P("T_4.jpg")), "y.jpg");

    // Swapping two names has no order that works: both marked, both kept.
    const auto swapBefore = Snapshot(tmp_.path());
    EXPECT_EQ(Run({P("T_3.jpg"), P("T_2.jpg")}, "T", "2"),
              QStringList({"ERROR * " + P("T_3.jpg"), "ERROR * " + P("T_2.jpg")}));
    EXPECT_EQ(Snapshot(tmp_.path()), swapBefore);
}

// A step failing half-way leaves the rest of the plan sound: every file is
// under one of its two names and the report says which.
TEST_F(IncRenameRun, AFailureHalfWayLosesNothing) {
    Make({"a.jpg", "b.jpg", "c.jpg"});
    int calls = 0;
    const TRenameFn flaky = [&](const QString& from, const QString& to) {
        return ++calls == 2 ? EIO : RenameFileNoReplace(from, to);
    };
    QDir(tmp_.path()).mkdir("folder.d");
    const QStringList out =
        Run({P("a.jpg"), P("b.jpg"), P("c.jpg"), P("gone.jpg"), P("folder.d")}, "T", "1", flaky);
    EXPECT_EQ(out, QStringList({P("T_1.jpg"), "ERROR * " + P("b.jpg"), P("T_3.jpg"),
                                "ERROR * " + P("gone.jpg"), "ERROR * " + P("folder.d")}));
    EXPECT_EQ(Snapshot(tmp_.path()).keys(), QStringList({"T_1.jpg", "T_3.jpg", "b.jpg"}));
    EXPECT_TRUE(QFileInfo(P("folder.d")).isDir()); // folders are not numbered
}

TEST(IncRenameOrder, NaturalOrderAsFileManagersSort) {
    QStringList names = {"pic 10.jpg", "pic 2.jpg", "Pic 1.jpg", "pic 02.jpg", "pic.jpg",
                         "a100", "a20b", "a20a", "IMG_0009", "img_10"};
    std::stable_sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, QStringList({"a20a", "a20b", "a100", "IMG_0009", "img_10", "Pic 1.jpg",
                                  "pic 02.jpg", "pic 2.jpg", "pic 10.jpg", "pic.jpg"}));
}
