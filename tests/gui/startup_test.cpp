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
    EXPECT_EQ(s.value("Width").toString(), "620");
    EXPECT_EQ(s.value("Height").toString(), "460");
    EXPECT_EQ(s.value("LeftWidth").toString(), "180");
    EXPECT_EQ(s.value("LeftHeight").toString(), "120");
    EXPECT_EQ(s.value("Seconds").toString(), "4");
    EXPECT_FALSE(s.contains("BG Color"));
}
