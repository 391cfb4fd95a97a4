#pragma once
// A private X server for the end-to-end checks and the few X calls they
// make: finding a top-level window by its title and closing it the way a
// window manager does.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QString>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace xtest {

// A private Xvfb on a display it picks itself: the server takes the first
// free display and says which, so test programs running side by side never
// talk to each other's server.
struct TXServer {
    QProcess proc;
    QString display;
    bool Start() {
        proc.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!proc.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        QByteArray said;
        while (t.elapsed() < 20000 && proc.state() == QProcess::Running) {
            proc.waitForReadyRead(100);
            said += proc.readAllStandardOutput();
            if (said.endsWith('\n')) {
                bool ok = false;
                const int n = said.trimmed().toInt(&ok);
                if (!ok) break;
                display = QString(":%1").arg(n);
                return true;
            }
        }
        proc.kill();
        proc.waitForFinished();
        return false;
    }
    ~TXServer() {
        proc.terminate();
        if (!proc.waitForFinished(5000)) proc.kill();
    }
};

// Starts the real program on the test's X server with `args`. Leaks that
// the system's D-Bus and fontconfig libraries keep to the end are not ours;
// `scratch` holds the suppression file for as long as the program runs.
inline bool StartProgram(QProcess& app, const TXServer& x, const QTemporaryDir& scratch,
                         const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", x.display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    const QString supp = scratch.filePath("lsan.supp");
    QFile f(supp);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("leak:libdbus-1.so\nleak:libfontconfig.so\n");
    f.close();
    env.insert("LSAN_OPTIONS", "suppressions=" + supp);
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(TAVIRLO_PATH, args);
    return app.waitForStarted(10000);
}

// A connection to the test's X server that is closed however the test ends.
struct XConnection {
    xcb_connection_t* c;
    explicit XConnection(const QString& display) : c(xcb_connect(display.toUtf8().constData(), nullptr)) {}
    ~XConnection() { xcb_disconnect(c); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
};

inline xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

inline QString WindowTitle(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netName,
                           xcb_atom_t utf8) {
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
inline xcb_window_t FindWindow(xcb_connection_t* c, const QString& title) {
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

// Waits up to 30 s for the program's window carrying `title`; 0 when it did
// not appear (or the program ended first).
inline xcb_window_t WaitForWindow(xcb_connection_t* c, const QProcess& app, const QString& title) {
    xcb_window_t w = 0;
    QElapsedTimer t;
    t.start();
    while (!w && t.elapsed() < 30000 && app.state() == QProcess::Running) {
        w = FindWindow(c, title);
        if (!w) QThread::msleep(100);
    }
    return w;
}

inline void SendDeleteWindow(xcb_connection_t* c, xcb_window_t w) {
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

} // namespace xtest
