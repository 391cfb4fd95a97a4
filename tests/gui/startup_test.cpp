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

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";

// A private Xvfb on the first free display from :91 on.
struct TXServer {
    QProcess proc;
    QString display;
    bool Start() {
        for (int n = 91; n < 140; ++n) {
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
                continue;
            proc.start("Xvfb",
                       {QString(":%1").arg(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
            if (!proc.waitForStarted(5000)) return false;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 10000 && proc.state() == QProcess::Running) {
                if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n))) {
                    display = QString(":%1").arg(n);
                    QThread::msleep(200);
                    return true;
                }
                QThread::msleep(50);
            }
            proc.kill();
            proc.waitForFinished();
        }
        return false;
    }
    ~TXServer() {
        proc.terminate();
        if (!proc.waitForFinished(5000)) proc.kill();
    }
};

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

QString WindowTitle(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netName, xcb_atom_t utf8) {
    for (auto [prop, type] : {std::pair{netName, utf8}, std::pair{xcb_atom_t(XCB_ATOM_WM_NAME),
                                                                  xcb_atom_t(XCB_ATOM_STRING)}}) {
        auto* r =
            xcb_get_property_reply(c, xcb_get_property(c, 0, w, prop, type, 0, 1024), nullptr);
        if (!r) continue;
        const QString s = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)),
                                            xcb_get_property_value_length(r));
        std::free(r);
        if (!s.isEmpty()) return s;
    }
    return {};
}

// The top-level window carrying `title`, or 0.
xcb_window_t FindWindow(xcb_connection_t* c, const QString& title) {
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME"), utf8 = Atom(c, "UTF8_STRING");
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree) return 0;
    xcb_window_t found = 0;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
        if (WindowTitle(c, kids[i], netName, utf8) == title) found = kids[i];
    std::free(tree);
    return found;
}

void SendDeleteWindow(xcb_connection_t* c, xcb_window_t w) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = Atom(c, "WM_PROTOCOLS");
    ev.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

} // namespace

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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", x.display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    // The system's D-Bus library keeps a buffer to the end; that is not ours.
    QTemporaryDir scratch;
    const QString supp = scratch.filePath("lsan.supp");
    {
        QFile f(supp);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("leak:libdbus-1.so\nleak:libfontconfig.so\n");
    }
    env.insert("LSAN_OPTIONS", "suppressions=" + supp);
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(TAVIRLO_PATH, {pics.filePath("a.jpg")});
    ASSERT_TRUE(app.waitForStarted(10000));

    xcb_connection_t* c = xcb_connect(x.display.toUtf8().constData(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    xcb_window_t w = 0;
    QElapsedTimer t;
    t.start();
    while (!w && t.elapsed() < 30000 && app.state() == QProcess::Running) {
        w = FindWindow(c, kTitle);
        if (!w) QThread::msleep(100);
    }
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(500);              // let the first show finish listing
    EXPECT_FALSE(QFile::exists(conf)); // nothing written before the close

    // A close that arrives while the program is still starting up may be
    // lost; ask again until it ends, as an impatient user would.
    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    xcb_disconnect(c);
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
