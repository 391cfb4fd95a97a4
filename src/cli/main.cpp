// tavtool: the image library from the command line, for scripts and batch work.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/tavtool.h"

#ifdef TAV_HAVE_METAFILES
#include <QGuiApplication>
#include <cstdlib>
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef TAV_HAVE_METAFILES
    // Metafile text needs fonts, which need a GUI application. tavtool shows
    // no window, so it never needs (or waits for) a display: offscreen, at
    // 96 dots per inch, unless the caller chose a platform.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // tavtool reports its own errors; Qt's start-up remarks (a missing
    // runtime folder and the like) would only clutter scripts' output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
#endif
    return TavToolMain(args, stdout, stderr);
}
