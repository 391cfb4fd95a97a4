// The real program under a private X server: F1 in the main window opens the
// help window at its contents, and closing the main window with the help
// window still open ends the program, with exit status 0 (the help window
// never keeps it alive and goes before the application object).

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include "input.h"
#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";

} // namespace

TEST(ProgramHelp, F1OpensTheHelpAndTheProgramStillEndsCleanly) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    QTemporaryDir folder, scratch;
    QProcess app;
    ASSERT_TRUE(StartProgram(app, x, scratch, {folder.path()}));

    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(500);

    // Without a window manager the keys go to the window under the pointer:
    // click into the main window's file list first.
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    ASSERT_NE(g, nullptr);
    const int16_t px = int16_t(g->x + 60), py = int16_t(g->y + g->height - 80);
    std::free(g);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, px, py, 0);
    xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c);
    QThread::msleep(300);

    const xcb_keycode_t f1 = KeyCode(c, 0xffbe); // XK_F1
    ASSERT_NE(f1, 0);
    xcb_window_t help = 0;
    // A key that arrives while the window is still taking the focus may be
    // lost: press again, as a user would.
    for (int i = 0; i < 5 && !help && app.state() == QProcess::Running; ++i) {
        xcb_test_fake_input(c, XCB_KEY_PRESS, f1, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, f1, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(c);
        for (int t = 0; t < 30 && !help; ++t) {
            help = FindWindow(c, "Tavirlo Help - Contents");
            if (!help) QThread::msleep(100);
        }
    }
    EXPECT_NE(help, 0u) << "F1 did not open the help at its contents";

    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    ASSERT_EQ(app.state(), QProcess::NotRunning)
        << "closing the main window did not end the program";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
}
