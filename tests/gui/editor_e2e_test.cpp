// The editor in the real program under a private X server: F8 on a listed
// picture opens it in the editor; "Rotate Right" turns what the screen shows
// (sides swapped, each quadrant a quarter turn on), and Undo brings the
// picture back as it was. Keys and clicks go through the X server.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <algorithm>
#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include "../support/sample_files.h"
#include "browser/mainform.h"
#include "core/pixelgraphic.h"
#include "editor/qt/editorwindow.h"
#include "formats/library.h"
#include "input.h"
#include "screen.h"
#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";
const char* kEditor = "Tavirlo Image Editor";

// The window's top left corner on the screen.
QPoint Origin(xcb_connection_t* c, xcb_window_t w) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* r =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr);
    QPoint p;
    if (r) p = QPoint(r->dst_x, r->dst_y);
    std::free(r);
    return p;
}

// Where the quadrant colours are inside `area` of the screen: their bounding
// box, and the colour index at each corner of it (-1 for none).
struct TShownQuads {
    QRect box;
    int corner[4] = {-1, -1, -1, -1}; // top left, top right, bottom left, bottom right
};
TShownQuads FindQuads(const QImage& s, const QRect& area) {
    auto quadAt = [&](int x, int y) {
        const QColor c = s.pixelColor(x, y);
        for (int q = 0; q < 4; ++q) {
            const TRGB t = samples::kQuad[q];
            if (c == QColor(GetRValue(t), GetGValue(t), GetBValue(t))) return q;
        }
        return -1;
    };
    TShownQuads r;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (quadAt(x, y) >= 0) r.box |= QRect(x, y, 1, 1);
    if (r.box.isEmpty()) return r;
    r.corner[0] = quadAt(r.box.left() + 2, r.box.top() + 2);
    r.corner[1] = quadAt(r.box.right() - 2, r.box.top() + 2);
    r.corner[2] = quadAt(r.box.left() + 2, r.box.bottom() - 2);
    r.corner[3] = quadAt(r.box.right() - 2, r.box.bottom() - 2);
    return r;
}

// A titled top-level window other than `known` (a message box), or 0.
xcb_window_t OtherWindow(xcb_connection_t* c, std::initializer_list<xcb_window_t> known) {
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME"), utf8 = Atom(c, "UTF8_STRING");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree) return 0;
    xcb_window_t found = 0;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        if (std::find(known.begin(), known.end(), kids[i]) != known.end()) continue;
        auto* a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr);
        const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        if (viewable && !WindowTitle(c, kids[i], netName, utf8).isEmpty()) found = kids[i];
    }
    std::free(tree);
    return found;
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

constexpr uint32_t kF8 = 0xffc5;

} // namespace

TEST(ProgramEditor, F8OpensThePictureRotateRightAndUndo) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    InitImageLibrary();
    QTemporaryDir pics;
    samples::SaveQuad(pics.filePath("a.bmp"), 120, 80);

    const QString conf =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    QFile::remove(conf);
    {
        QSettings s(conf, QSettings::IniFormat);
        s.setValue("Width", "900");
        s.setValue("Height", "650");
        s.setValue("AcquireLeft", "40");
        s.setValue("AcquireTop", "40");
        s.setValue("AcquireWidth", "600");
        s.setValue("AcquireHeight", "400");
    }
    // Where the list's first row and the editor's "Rotate Right" sit.
    QPoint firstRow, rotateAt;
    {
        TForm1 probe;
        probe.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(probe.OpenFolder(pics.path()));
        const QRect r = probe.SLV1->visualRect(probe.SLV1->Model()->index(0, 0));
        firstRow = probe.SLV1->viewport()->mapTo(&probe, r.center());
        probe.hide();
        TfrmAcquire editor;
        editor.resize(600, 400);
        editor.show();
        QCoreApplication::processEvents();
        auto* tb = editor.findChild<QToolBar*>("ToolBar1");
        ASSERT_NE(tb, nullptr);
        QWidget* b = tb->widgetForAction(editor.findChild<QAction*>("tbRotateRight"));
        ASSERT_NE(b, nullptr);
        rotateAt = b->mapTo(&editor, b->rect().center());
        editor.hide();
    }

    QProcess app;
    QTemporaryDir scratch;
    ASSERT_TRUE(StartProgram(app, x, scratch, {pics.path()}));
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";
    QThread::msleep(2500); // the splash window goes

    Click(c, firstRow);
    QThread::msleep(500);
    Key(c, kF8);
    const xcb_window_t ed = WaitForWindow(c, app, kEditor);
    ASSERT_NE(ed, 0u) << "the editor did not appear";
    const QPoint at = Origin(c, ed);
    const QRect area(at, QSize(600, 400));
    const QString keep = qEnvironmentVariable("TAV_E2E_SHOTS");
    auto shown = [&](const char* name) {
        const QImage s = Screenshot(c);
        if (!keep.isEmpty()) s.save(QDir(keep).filePath(QString("editor_%1.png").arg(name)));
        return FindQuads(s, area);
    };

    TShownQuads q;
    EXPECT_TRUE(WaitUntil([&] { return (q = shown("opened")).box.size() == QSize(120, 80); }))
        << "opened at " << q.box.width() << " x " << q.box.height();
    EXPECT_EQ(q.corner[0], 0);
    EXPECT_EQ(q.corner[3], 3);

    // A quarter turn to the right: the bottom left quadrant comes to the top left.
    Click(c, at + rotateAt);
    EXPECT_TRUE(WaitUntil([&] { return (q = shown("rotated")).box.size() == QSize(80, 120); }))
        << "rotated to " << q.box.width() << " x " << q.box.height();
    EXPECT_EQ(q.corner[0], 2);
    EXPECT_EQ(q.corner[1], 0);
    EXPECT_EQ(q.corner[2], 3);
    EXPECT_EQ(q.corner[3], 1);

    // Undo (Ctrl+Z) brings it back.
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, ed, XCB_CURRENT_TIME);
    xcb_flush(c);
    Key(c, 'z', true);
    EXPECT_TRUE(WaitUntil([&] { return (q = shown("undone")).box.size() == QSize(120, 80); }))
        << "after undo " << q.box.width() << " x " << q.box.height();
    EXPECT_EQ(q.corner[0], 0);
    EXPECT_EQ(q.corner[3], 3);

    // Undone back to what it was, the picture is not changed; turned again,
    // it is: closing asks whether to save it; "No" lets the program end.
    Click(c, at + rotateAt);
    EXPECT_TRUE(WaitUntil([&] { return (q = shown("rotated again")).box.size() == QSize(80, 120); }));
    bool asked = false;
    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
        if (app.state() != QProcess::Running) break;
        if (const xcb_window_t box = OtherWindow(c, {w, ed})) {
            asked = true;
            xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, box, XCB_CURRENT_TIME);
            xcb_flush(c);
            shown("asked");
            Key(c, 'n');
            app.waitForFinished(2000);
        }
    }
    EXPECT_TRUE(asked) << "no question about the changed picture";
    if (app.state() == QProcess::Running) app.kill();
    app.waitForFinished(3000);
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    // "No" kept the file as it was.
    TPixelGraphic after;
    after.LoadFromFile(QFile::encodeName(pics.filePath("a.bmp")).toStdString());
    EXPECT_EQ(after.GetWidth(), 120);
}
