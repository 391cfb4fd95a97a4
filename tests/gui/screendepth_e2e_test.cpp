// The real program under a private X server told to draw for a palette
// screen through TAVIRLO_SCREEN_DEPTH: a full-colour photo in the preview
// shows at most 252 colours at 8 bits and only the 16 system colours at 4.

#include <QColor>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/palettes.h"
#include "core/pixelgraphic.h"
#include "formats/library.h"
#include "screen.h"
#include "xserver.h"

using namespace xtest;

namespace {

const char* kTitle = "Tavirlo 7.8 by Ambertide Software";
const QColor kPane(200, 0, 200); // not a system colour
constexpr int kW = 300, kH = 200;

// Colours of the picture as the screen shows it, once the preview shows it
// (none when it never did).
QSet<QRgb> ShownColours(const QString& picture, const QString& depth) {
    TXServer x;
    if (!x.Start()) return {};
    if (depth.isEmpty())
        qunsetenv("TAVIRLO_SCREEN_DEPTH");
    else
        qputenv("TAVIRLO_SCREEN_DEPTH", depth.toUtf8());
    QProcess app;
    QTemporaryDir scratch;
    const bool started = StartProgram(app, x, scratch, {picture});
    qunsetenv("TAVIRLO_SCREEN_DEPTH");
    if (!started) return {};
    XConnection connection(x.display);
    xcb_connection_t* c = connection.c;
    const xcb_window_t w = WaitForWindow(c, app, kTitle);
    QSet<QRgb> colours;
    QElapsedTimer wait;
    wait.start();
    // The splash window may cover the main window for a moment.
    while (w && wait.elapsed() < 20000) {
        QThread::msleep(300);
        const QImage s = Screenshot(c);
        const QRect pane = FindPane(s, kPane);
        if (pane.isEmpty()) continue;
        const QRect shown = QRect(pane.topLeft() + QPoint(4, 4), QSize(kW, kH)) & s.rect();
        QSet<QRgb> seen;
        bool covered = shown.size() == QSize(kW, kH);
        for (int y = shown.top(); y <= shown.bottom() && covered; ++y)
            for (int xx = shown.left(); xx <= shown.right(); ++xx) {
                const QRgb q = s.pixel(xx, y) & 0xFFFFFF;
                if (QColor(q) == kPane) covered = false;
                seen.insert(q);
            }
        if (covered && seen.size() > 8) {
            colours = seen;
            break;
        }
    }
    for (int i = 0; i < 15 && app.state() == QProcess::Running; ++i) {
        SendDeleteWindow(c, w);
        app.waitForFinished(1000);
    }
    if (app.state() != QProcess::NotRunning) {
        app.kill();
        app.waitForFinished();
    }
    return colours;
}

TEST(ProgramScreenDepth, PaletteScreensPreviewWithTheirColoursOnly) {
    {
        TXServer probe;
        if (!probe.Start()) GTEST_SKIP() << "no Xvfb available";
    }
    InitImageLibrary();
    QTemporaryDir pics;
    const QString photo = pics.filePath("photo.bmp");
    {
        TPixelGraphic pg;
        pg.SetFormat(kW, kH, pg24Bit);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                pg.SetPixelColor(x, y,
                                 RGB(x * 255 / kW, y * 255 / kH, 255 - (x + y) * 255 / (kW + kH)));
        pg.SaveToFile(photo.toStdString());
    }
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
    const QSet<QRgb> full = ShownColours(photo, "");
    EXPECT_GT(full.size(), 252) << "the photo itself has more colours";
    const QSet<QRgb> eight = ShownColours(photo, "8");
    ASSERT_FALSE(eight.isEmpty()) << "nothing shown at 8 bits";
    EXPECT_LE(eight.size(), 252);
    const QSet<QRgb> four = ShownColours(photo, "4");
    ASSERT_FALSE(four.isEmpty()) << "nothing shown at 4 bits";
    EXPECT_LE(four.size(), 16);
    for (QRgb q : four)
        EXPECT_NE(
            std::find(Sys16Palette.begin(), Sys16Palette.end(), RGB(qRed(q), qGreen(q), qBlue(q))),
            Sys16Palette.end())
            << QColor(q).name().toStdString();
}

} // namespace
