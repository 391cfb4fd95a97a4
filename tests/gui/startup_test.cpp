// The real program under a private X server: it starts on a picture, its
// main window appears with its title, and closing that window like a window
// manager would ends the program and writes the settings.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "xserver.h"

namespace {
const char* kTitle = "Tavirlo 7.8 by Ambertide Software";
} // namespace

using namespace xtest;

TEST(Program, StartsOnAPictureAndSavesItsSettingsWhenClosed) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";

    QTemporaryDir pics;
    for (const char* n : {"a.jpg", "b.png", "c.txt"}) {
        QFile f(pics.filePath(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString conf =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    QFile::remove(conf);

    QProcess app;
    QTemporaryDir scratch;
    ASSERT_TRUE(StartProgram(app, x, scratch, {pics.filePath("a.jpg")}));

    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(500);              // let the first show finish listing
    EXPECT_FALSE(QFile::exists(conf)); // nothing written before the close

    // A close that arrives while the program is still starting up may be
    // lost; ask again until it ends, as an impatient user would.
    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    app.waitForFinished(1000);
    ASSERT_EQ(app.state(), QProcess::NotRunning)
        << "closing the main window did not end the program; settings written: "
        << QFile::exists(conf);
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);

    ASSERT_TRUE(QFile::exists(conf));
    QSettings s(conf, QSettings::IniFormat);
    EXPECT_EQ(s.value("Directory").toString(), pics.path());
    // No saved place: about 70 % of the 1024 x 768 screen, centred.
    EXPECT_EQ(s.value("Width").toString(), "716");
    EXPECT_EQ(s.value("Height").toString(), "537");
    EXPECT_NEAR(s.value("Left").toInt() + 716 / 2, 1024 / 2, 12);
    EXPECT_NEAR(s.value("Top").toInt() + 537 / 2, 768 / 2, 40);
    EXPECT_GE(s.value("LeftWidth").toInt(), 180);
    EXPECT_GE(s.value("LeftHeight").toInt(), 120);
    EXPECT_EQ(s.value("Seconds").toString(), "4");
    EXPECT_FALSE(s.contains("BG Color"));
}

// The command line answers for itself: help and version print and end
// without a window; `--open` of a file that is not there says so and fails.
TEST(Program, HelpVersionAndAMissingFileAnswerOnTheCommandLine) {
    struct TCase {
        QStringList args;
        int exitCode;
        const char* out; // start of stdout
        const char* err; // part of stderr
    };
    QTemporaryDir dir;
    const QString missing = dir.filePath("no such.png");
    const TCase cases[] = {
        {{"--help"}, 0, "Usage: tavirlo", ""},         {{"-h"}, 0, "Usage: tavirlo", ""},
        {{"--version"}, 0, "tavirlo 7.8\n", ""},       {{"--open", missing}, 1, "", "no such file"},
        {{"--open", dir.path()}, 1, "", "not a file"}, {{"--open"}, 2, "", "--open takes one FILE"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY"); // none needed, and none used
        env.insert("QT_QPA_PLATFORM", "xcb");
        p.setProcessEnvironment(env);
        p.start(TAVIRLO_PATH, c.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(!*c.out || out.startsWith(c.out)) << out.toStdString();
        EXPECT_TRUE(err.contains(c.err)) << err.toStdString();
        if (QString(c.err).contains("file")) EXPECT_TRUE(err.contains(c.args.last()));
    }
}
