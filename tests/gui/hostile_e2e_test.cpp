// The real program under a private X server over a folder of hostile names
// and files, with absurd stored sizes: started on a file whose name looks
// like one of Qt's options ("--" before it), it steps through every file
// with "Next Image", stays inside the screen and within its memory, and
// closes at once. A second run, as an unprivileged user, opens a readable
// file in a folder that cannot be listed.

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBar>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include "../support/rawnames.h"
#include "../support/sample_files.h"
#include "browser/mainform.h"
#include "formats/library.h"
#include "input.h"
#include "screen.h"
#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";

QSize WindowSize(xcb_connection_t* c, xcb_window_t w) {
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!g) return {};
    const QSize s(g->width, g->height);
    std::free(g);
    return s;
}

using xtest::Screenshot;

// Pixels of the picture's first quadrant colour on the screen.
int QuadPixels(const QImage& s) {
    const TRGB q = samples::kQuad[0];
    const QColor want(GetRValue(q), GetGValue(q), GetBValue(q));
    int n = 0;
    for (int y = 0; y < s.height(); y += 2)
        for (int x = 0; x < s.width(); x += 2)
            n += s.pixelColor(x, y) == want;
    return n;
}

// Resident memory of a process in MB, -1 when gone.
long RssMb(qint64 pid) {
    QFile f(QString("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ')[0].toLong() / 1024;
    return -1;
}

// A picture under a name of any bytes.
void SaveQuadAs(const QString& dir, const QByteArray& name, int w, int h) {
    const QString plain = dir + "/plain-for-rename.bmp";
    samples::SaveQuad(plain, w, h);
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(),
                       (QFile::encodeName(dir) + '/' + name).constData()),
              0);
}

void WriteConf(const QString& conf, const std::vector<std::pair<QString, QString>>& values) {
    QFile::remove(conf);
    QSettings s(conf, QSettings::IniFormat);
    for (const auto& [k, v] : values)
        s.setValue(k, v);
}

// Closes the window the way a window manager does; true when the program
// ended within `ms`.
bool CloseWithin(xcb_connection_t* c, xcb_window_t w, QProcess& app, int ms) {
    QElapsedTimer t;
    t.start();
    SendDeleteWindow(c, w);
    app.waitForFinished(ms);
    const bool quick = app.state() == QProcess::NotRunning && t.elapsed() <= ms;
    for (int i = 0; i < 10 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    if (app.state() == QProcess::Running) app.kill();
    app.waitForFinished(3000);
    return quick;
}

} // namespace

TEST(ProgramHostile, StepsThroughAHostileFolderWithAbsurdSettings) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    InitImageLibrary();

    QTemporaryDir pics;
    const QString d = pics.path();
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/z").constData(), 0600), 0);
    SaveQuadAs(d, "-style=odd.bmp", 60, 40);
    SaveQuadAs(d, "<img src=z>.bmp", 61, 40);
    SaveQuadAs(d, "<h1>BIG.bmp", 62, 40);
    SaveQuadAs(d, "\xff.bmp", 63, 40);
    SaveQuadAs(d, "\xfe.bmp", 64, 40);
    SaveQuadAs(d, "\xef\xbf\xbd.bmp", 65, 40);
    SaveQuadAs(d, "tofifo.bmp", 66, 40);
    SaveQuadAs(d, "todevice.bmp", 67, 40);
    SaveQuadAs(d, "vanishes.bmp", 68, 40);
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/fifo.bmp").constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(d + "/zero.bmp").constData()), 0);
    {
        QFile e(d + "/empty.bmp");
        ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    }

    const QString conf =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    WriteConf(conf, {{"Width", "99999999"},
                     {"Height", "99999999"},
                     {"LeftWidth", "99999999"},
                     {"Left", "-99999999"},
                     {"Top", "2147483647"}});

    QProcess app;
    QTemporaryDir scratch;
    // Relative, after "--": Qt would take it for its -style option.
    app.setWorkingDirectory(d);
    ASSERT_TRUE(StartProgram(app, x, scratch, {"--", "-style=odd.bmp"}));
    // TAV_E2E_PROGRAM runs another build of the program (a release build
    // for the memory figure) the same way.
    if (!qEnvironmentVariableIsEmpty("TAV_E2E_PROGRAM")) {
        app.kill();
        app.waitForFinished();
        app.start(qEnvironmentVariable("TAV_E2E_PROGRAM"), {"--", "-style=odd.bmp"});
        ASSERT_TRUE(app.waitForStarted(10000));
    }
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(2500); // past the splash
    // Started on "-style=odd.bmp": its picture is on screen.
    int shown = 0;
    for (int i = 0; i < 50 && shown < 100; ++i) {
        shown = QuadPixels(Screenshot(c));
        if (shown < 100) QThread::msleep(200);
    }
    EXPECT_GE(shown, 100) << "the file after \"--\" was not shown";
    if (!qEnvironmentVariableIsEmpty("TAV_E2E_SHOTS"))
        Screenshot(c).save(qEnvironmentVariable("TAV_E2E_SHOTS") + "/hostile-start.png");

    // The files listed as pictures turn into a FIFO, a device and nothing.
    const QByteArray n = QFile::encodeName(d);
    ASSERT_EQ(::unlink((n + "/tofifo.bmp").constData()), 0);
    ASSERT_EQ(::mkfifo((n + "/tofifo.bmp").constData(), 0600), 0);
    ASSERT_EQ(::unlink((n + "/todevice.bmp").constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", (n + "/todevice.bmp").constData()), 0);
    ASSERT_EQ(::unlink((n + "/vanishes.bmp").constData()), 0);

    const QSize size = WindowSize(c, w);
    EXPECT_LE(size.width(), 1024);
    EXPECT_LE(size.height(), 768);

    // "Next Image" in the toolbar, as placed in a window of that size.
    QPoint nextAt;
    {
        TForm1 probe;
        probe.resize(size);
        probe.show();
        QCoreApplication::processEvents();
        QWidget* b = probe.ToolBar1->widgetForAction(probe.Command("NextImageButton"));
        ASSERT_NE(b, nullptr);
        nextAt = b->mapTo(&probe, b->rect().center());
        probe.hide();
    }
    long maxRss = 0;
    for (int i = 0; i < 11; ++i) {
        Click(c, nextAt);
        QThread::msleep(300);
        ASSERT_EQ(app.state(), QProcess::Running) << "step " << i;
        maxRss = std::max(maxRss, RssMb(app.processId()));
    }
    if (!qEnvironmentVariableIsEmpty("TAV_E2E_SHOTS"))
        Screenshot(c).save(qEnvironmentVariable("TAV_E2E_SHOTS") + "/hostile-end.png");
    // Still answering: the window closes and the program ends within 2 s.
    EXPECT_TRUE(CloseWithin(c, w, app, 2000));
    EXPECT_EQ(app.exitCode(), 0);
    // The sanitizers' shadow memory counts in a sanitized build.
#if defined(__SANITIZE_ADDRESS__)
    const long limit = 600;
#else
    const long limit = 200;
#endif
    EXPECT_LT(maxRss, limit) << "MB resident";
    std::printf("[ hostile e2e ] window %dx%d, resident at most %ld MB\n", size.width(),
                size.height(), maxRss);
    // What the program saved is what it could show.
    QSettings saved(conf, QSettings::IniFormat);
    EXPECT_LE(saved.value("Width").toInt(), 1024);
    EXPECT_LE(saved.value("LeftWidth").toInt(), 1024);
    RemoveRawEntries(d);
}

// As an unprivileged user: a file that can be read in a folder that cannot
// be listed is shown, and a box says why the list is empty.
TEST(ProgramHostile, UnlistableFolderAsAnUnprivilegedUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as nobody";
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || QProcess::execute("runuser", {"-u", "nobody", "--", "true"}) != 0)
        GTEST_SKIP() << "runuser -u nobody is not available";
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    InitImageLibrary();

    QTemporaryDir top; // 0700 as made: opened for the other user
    ::chmod(QFile::encodeName(top.path()).constData(), 0755);
    const QString locked = top.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    samples::SaveQuad(locked + "/in.bmp", 60, 40);
    ::chmod(QFile::encodeName(locked + "/in.bmp").constData(), 0644);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0311), 0); // enter, not list
    const QString home = top.filePath("home");
    for (const char* sub : {"", "/config", "/data", "/cache", "/runtime"}) {
        QDir().mkpath(home + sub);
        ASSERT_EQ(
            ::chown(QFile::encodeName(home + sub).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ::chmod(QFile::encodeName(home + "/runtime").constData(), 0700);
    QFile supp(top.filePath("lsan.supp"));
    ASSERT_TRUE(supp.open(QIODevice::WriteOnly));
    supp.write("leak:libdbus-1.so\nleak:libfontconfig.so\n");
    supp.close();
    ::chmod(QFile::encodeName(supp.fileName()).constData(), 0644);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", x.display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("XDG_RUNTIME_DIR", home + "/runtime");
    env.insert("LSAN_OPTIONS", "suppressions=" + supp.fileName());
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.setWorkingDirectory(home);
    app.start("runuser", {"-m", "-u", "nobody", "--", TAVIRLO_PATH, locked + "/in.bmp"});
    ASSERT_TRUE(app.waitForStarted(10000));
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear (X server closed to other users?)";
    // The box carries the program's name as its title.
    const xcb_window_t box = WaitForWindow(c, app, "Tavirlo");
    EXPECT_NE(box, 0u) << "no box about the folder";
    if (box) SendDeleteWindow(c, box);
    // Then the file shows all the same.
    int shown = 0;
    for (int i = 0; i < 50 && shown < 100; ++i) {
        QThread::msleep(200);
        shown = QuadPixels(Screenshot(c));
    }
    EXPECT_GE(shown, 100) << "the readable file was not shown";
    CloseWithin(c, w, app, 5000);
    EXPECT_EQ(app.exitCode(), 0);
    const QString conf = home + "/config/Ambertide/TavirloTrial.conf";
    QSettings saved(conf, QSettings::IniFormat);
    EXPECT_EQ(saved.value("Directory").toString(), locked);
    ::chmod(QFile::encodeName(locked).constData(), 0700);
}
