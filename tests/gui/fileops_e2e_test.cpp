// The real program under a private X server: a file is renamed with F2,
// typing and Enter, then deleted with Delete and Enter on the question, and
// lands in the trash. Keys and clicks go through the X server as a user's
// would.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include "../support/sample_files.h"
#include "browser/mainform.h"
#include "formats/library.h"
#include "input.h"
#include "screen.h"
#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";

using xtest::Screenshot;

// With TAV_E2E_SHOTS set to a folder, the screen at each step is kept there.
void Shot(xcb_connection_t* c, const char* name) {
    const QString keep = qEnvironmentVariable("TAV_E2E_SHOTS");
    if (!keep.isEmpty()) Screenshot(c).save(QDir(keep).filePath(QString(name) + ".png"));
}

bool WaitUntil(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (done()) return true;
        QThread::msleep(100);
    }
    return done();
}

constexpr uint32_t kF2 = 0xffbf, kReturn = 0xff0d, kDelete = 0xffff;

} // namespace

TEST(ProgramFileOps, RenameWithF2ThenDeleteToTrash) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    InitImageLibrary();

    // The folder beside the test's data folder: the trash is on its disk.
    const QString pics = QDir::homePath() + "/e2e_fileops";
    QDir(pics).removeRecursively();
    QDir().mkpath(pics);
    samples::SaveQuad(pics + "/a.jpg", 120, 80);
    samples::SaveQuad(pics + "/b.jpg", 120, 80);
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";

    const QString conf =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    QFile::remove(conf);
    {
        QSettings s(conf, QSettings::IniFormat);
        s.setValue("Width", "900");
        s.setValue("Height", "650");
    }
    // Where the list's first row sits in a window of that size.
    QPoint firstRow;
    {
        TForm1 probe;
        probe.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(probe.OpenFolder(pics));
        const QRect r = probe.SLV1->visualRect(probe.SLV1->Model()->index(0, 0));
        firstRow = probe.SLV1->viewport()->mapTo(&probe, r.center());
        probe.hide(); // hidden, not closed: it writes no settings
    }

    QProcess app;
    QTemporaryDir scratch;
    ASSERT_TRUE(StartProgram(app, x, scratch, {pics}));
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(2500); // the splash window goes

    Click(c, firstRow);
    QThread::msleep(500);
    Key(c, kF2);
    QThread::msleep(800);
    Shot(c, "fileops_1_f2");
    for (char ch : std::string("new.jpg"))
        Key(c, uint32_t(ch));
    Key(c, kReturn);
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(pics + "/new.jpg"); })) << "not renamed";
    EXPECT_FALSE(QFile::exists(pics + "/a.jpg"));

    // Renamed in place: still the first row. With no window manager to
    // give the main window the keyboard back after the dialog, do as one.
    Shot(c, "fileops_2_renamed");
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    xcb_flush(c);
    Click(c, firstRow);
    QThread::msleep(500);
    Shot(c, "fileops_3_clicked");
    Key(c, kDelete);
    QThread::msleep(1500);
    Shot(c, "fileops_after_delete");
    // "Yes" is the question's default; the box may take a moment to come up
    // under the sanitizers, and Enter in the list itself does nothing.
    bool trashed = false;
    for (int i = 0; i < 8 && !trashed; ++i) {
        QThread::msleep(1000);
        Key(c, kReturn);
        trashed = WaitUntil([&] { return QFile::exists(trash + "/files/new.jpg"); }, 1000);
    }
    EXPECT_TRUE(trashed) << "not in the trash";
    EXPECT_FALSE(QFile::exists(pics + "/new.jpg"));
    EXPECT_TRUE(QFile::exists(trash + "/info/new.jpg.trashinfo"));
    EXPECT_TRUE(QFile::exists(pics + "/b.jpg"));

    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    ASSERT_EQ(app.state(), QProcess::NotRunning);
    EXPECT_EQ(app.exitCode(), 0);
    QDir(pics).removeRecursively();
    QFile::remove(trash + "/files/new.jpg");
    QFile::remove(trash + "/info/new.jpg.trashinfo");
}
