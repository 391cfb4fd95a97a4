// `tavirlo --open` under a private X server: the first run starts the
// program, a second run hands its file to the running one and ends.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";

int CountWindows(xcb_connection_t* c, const QString& title) {
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME"), utf8 = Atom(c, "UTF8_STRING");
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree) return 0;
    int n = 0;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        if (WindowTitle(c, kids[i], netName, utf8) == title) ++n;
    std::free(tree);
    return n;
}

// Pixels of the screen close to `colour`.
int CountColour(xcb_connection_t* c, QColor colour) {
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto* r = xcb_get_image_reply(c,
                                  xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, 0, 0,
                                                s->width_in_pixels, s->height_in_pixels, ~0u),
                                  nullptr);
    if (!r) return 0;
    const QImage img(xcb_get_image_data(r), s->width_in_pixels, s->height_in_pixels,
                     QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - colour.red()) < 8 && std::abs(p.green() - colour.green()) < 8 &&
                std::abs(p.blue() - colour.blue()) < 8)
                ++n;
        }
    std::free(r);
    return n;
}

} // namespace

TEST(ProgramOpen, ASecondOpenReachesTheRunningProgram) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    QTemporaryDir pics;
    const QString red = pics.filePath("red \"x\" ][.png"), blue = pics.filePath("blue.png");
    for (const auto& [path, colour] :
         {std::pair{red, QColor(Qt::red)}, std::pair{blue, QColor(Qt::blue)}}) {
        QImage img(120, 120, QImage::Format_RGB32);
        img.fill(colour);
        ASSERT_TRUE(img.save(path, "PNG"));
    }
    const QString socket = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + "/tavirlo";

    QProcess app;
    QTemporaryDir scratch;
    ASSERT_TRUE(StartProgram(app, x, scratch, {"--open", red}));
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";

    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(socket) && t.elapsed() < 10000)
        QThread::msleep(50);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(socket).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A relative FILE is taken from the second run's own folder.
    QProcess second;
    QTemporaryDir scratch2;
    second.setWorkingDirectory(pics.path());
    ASSERT_TRUE(StartProgram(second, x, scratch2, {"--open", "blue.png"}));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(CountWindows(c, kTitle), 1);

    int blues = 0;
    t.restart();
    while ((blues = CountColour(c, Qt::blue)) < 1000 && t.elapsed() < 10000)
        QThread::msleep(100);
    EXPECT_GE(blues, 1000) << "the second file was not shown";

    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    EXPECT_EQ(app.state(), QProcess::NotRunning);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(socket)); // removed when the program ends
}
