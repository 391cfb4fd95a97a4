// The real program under a private X server, stepping through a folder that
// holds one file of every type the preview shows: started on the first file,
// "Next Image" is clicked for each, and the screen shows each picture's
// quadrant colours where the preview puts it (4 pixels into the pane).
// With TAV_E2E_SHOTS set to a folder, the screenshots are kept there.

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <cstdlib>
#include <gtest/gtest.h>
#include <span>
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
const QColor kPane(0, 128, 128); // the pane's colour, set through "BG Color"

bool Near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <=
           tolerance;
}

QRect FindPane(const QImage& s) {
    return xtest::FindPane(s, kPane);
}

// The shown picture's size: the run of non-pane pixels from its corner.
QSize ShownSize(const QImage& s, QPoint corner) {
    int w = 0, h = 0;
    while (corner.x() + w < s.width() && s.pixelColor(corner.x() + w, corner.y() + 1) != kPane)
        ++w;
    while (corner.y() + h < s.height() && s.pixelColor(corner.x() + 1, corner.y() + h) != kPane)
        ++h;
    return {w, h};
}

struct Expected {
    const char* name;
    QSize size; // empty: measured (metafiles follow the screen's resolution)
    bool quads; // false: a clip whose frames are red, then blue
    int tolerance;
};

// The colour at the middle of the shown picture.
QColor Middle(const QImage& s, const QRect& pane, QSize size) {
    return s.pixelColor(pane.topLeft() + QPoint(4 + size.width() / 2, 4 + size.height() / 2));
}

// What is wrong with the screen for `e`, or empty when it shows it.
QString Check(const QImage& s, const QRect& pane, const Expected& e) {
    if (pane.isEmpty()) return "no pane found";
    const QPoint corner = pane.topLeft() + QPoint(4, 4);
    const QSize size = ShownSize(s, corner);
    if (!e.size.isEmpty() && size != e.size)
        return QString("shown at %1 x %2").arg(size.width()).arg(size.height());
    if (size.width() < 8 || size.height() < 8) return "nothing shown";
    if (!e.quads) {
        const QColor m = Middle(s, pane, size);
        return Near(m, Qt::red, 90) || Near(m, Qt::blue, 90)
                   ? QString()
                   : QString("the clip shows %1").arg(m.name());
    }
    const int w = size.width(), h = size.height();
    const QPoint at[4] = {
        {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int q = 0; q < 4; ++q) {
        const QColor got = s.pixelColor(corner + at[q]);
        const TRGB t = samples::kQuad[q];
        const QColor want = e.quads ? QColor(GetRValue(t), GetGValue(t), GetBValue(t)) : Qt::black;
        if (!Near(got, want, e.tolerance))
            return QString("quadrant %1 is %2, not %3").arg(q).arg(got.name(), want.name());
    }
    return {};
}

} // namespace

TEST(ProgramPreview, StepsThroughOneFileOfEveryType) {
    TXServer x;
    if (!x.Start()) GTEST_SKIP() << "no Xvfb available";
    InitImageLibrary();

    QTemporaryDir pics;
    auto p = [&](const char* n) { return pics.filePath(n); };
    samples::SaveQuad(p("a.bmp"), 120, 80);
    ASSERT_TRUE(samples::WriteQuadGif(p("b.gif"), 120, 80));
    ASSERT_TRUE(samples::WriteQuadIco(p("c.ico"), 48, 48));
    ASSERT_TRUE(samples::WriteQuadIco32(p("c2.ico"), 256, 256));
    samples::SaveQuad(p("d.jpg"), 120, 80);
    ASSERT_TRUE(samples::WriteQuadPcx(p("e.pcx"), 120, 80));
    samples::SaveQuad(p("f.png"), 120, 80, true);
    samples::SaveQuad(p("g.tga"), 120, 80);
    samples::SaveQuad(p("h.tif"), 120, 80);
    ASSERT_TRUE(samples::WriteQuadWmf(p("i.wmf"), 100, 60));
    // Two red frames, then two blue ones, at five frames a second.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                           "'color=c=red:s=64x48:r=5:d=0.4[a];color=c=blue:s=64x48:r=5:d=0.4[b];"
                           "[a][b]concat' -c:v mjpeg '" +
                           p("j.avi").toStdString() + "'")
                              .c_str()),
              0);
    const Expected files[] = {
        {"a.bmp", {120, 80}, true, 0},  {"b.gif", {120, 80}, true, 0},
        {"c.ico", {48, 48}, true, 0},   {"c2.ico", {256, 256}, true, 0},
        {"d.jpg", {120, 80}, true, 30}, {"e.pcx", {120, 80}, true, 0},
        {"f.png", {120, 80}, true, 0},  {"g.tga", {120, 80}, true, 0},
        {"h.tif", {120, 80}, true, 0},  {"i.wmf", {}, true, 0},
        {"j.avi", {64, 48}, false, 0},  {"a.bmp", {120, 80}, true, 0}, // wraps to the first
    };

    // A fixed window with a pane of its own colour, at the screen's corner.
    const QString conf =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    QFile::remove(conf);
    {
        QSettings s(conf, QSettings::IniFormat);
        s.setValue("BG Color",
                   QString::number(kPane.red() | kPane.green() << 8 | kPane.blue() << 16));
        s.setValue("Width", "900");
        s.setValue("Height", "650");
    }
    // Where "Next Image" sits in a window of that size.
    QPoint nextAt;
    {
        TForm1 probe;
        probe.show();
        QCoreApplication::processEvents();
        QWidget* b = probe.ToolBar1->widgetForAction(probe.Command("NextImageButton"));
        ASSERT_NE(b, nullptr);
        nextAt = b->mapTo(&probe, b->rect().center());
        probe.hide(); // hidden, not closed: it writes no settings
    }

    QProcess app;
    QTemporaryDir scratch;
    ASSERT_TRUE(StartProgram(app, x, scratch, {p("a.bmp")}));

    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    ASSERT_NE(w, 0u) << "main window did not appear";

    const QString keep = QString::fromLocal8Bit(qgetenv("TAV_E2E_SHOTS"));
    // Waits until the screen shows `e`; the last screen and its fault
    // otherwise.
    auto waitFor = [&](const Expected& e, int shot) {
        QString fault = "no screen";
        QImage s;
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 15000) {
            s = Screenshot(c);
            fault = Check(s, FindPane(s), e);
            if (fault.isEmpty()) break;
            QThread::msleep(100);
        }
        if (!keep.isEmpty())
            s.save(QDir(keep).filePath(QString("shot%1-%2.png").arg(shot).arg(e.name)));
        return fault;
    };
    // The splash window may still cover the main window for a moment.
    QThread::msleep(2500);
    EXPECT_EQ(waitFor(files[0], 0), "") << "started on a.bmp";
    // The file started on is the selected one: "Next Image" goes on from it.
    int shot = 1;
    for (const Expected& e : std::span(files).subspan(1)) {
        Click(c, nextAt);
        EXPECT_EQ(waitFor(e, shot++), "") << e.name;
        if (e.quads) continue;
        // The clip plays: its middle turns from one colour to the other.
        QImage s = Screenshot(c);
        const QRect pane = FindPane(s);
        const QColor first = Middle(s, pane, e.size);
        bool moved = false;
        QElapsedTimer wait;
        wait.start();
        while (!moved && wait.elapsed() < 5000) {
            QThread::msleep(50);
            s = Screenshot(c);
            const QColor now = Middle(s, FindPane(s), e.size);
            moved = !Near(now, first, 90) && (Near(now, Qt::red, 90) || Near(now, Qt::blue, 90));
        }
        EXPECT_TRUE(moved) << "the clip stays on " << first.name().toStdString();
    }

    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    app.waitForFinished(1000);
    ASSERT_EQ(app.state(), QProcess::NotRunning);
    EXPECT_EQ(app.exitCode(), 0);
}
