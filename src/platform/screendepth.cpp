#include "platform/screendepth.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstdlib>

namespace {
int overrideDepth = 0;

// TAVIRLO_SCREEN_DEPTH, when it holds a sensible depth; 0 otherwise.
int EnvironmentDepth() {
    static const int depth = [] {
        const char* s = std::getenv("TAVIRLO_SCREEN_DEPTH");
        if (!s || !*s) return 0;
        char* end = nullptr;
        const long v = std::strtol(s, &end, 10);
        return *end == '\0' && v >= 1 && v <= 32 ? int(v) : 0;
    }();
    return depth;
}
} // namespace

TScreenDepthNotifier& TScreenDepthNotifier::Instance() {
    static TScreenDepthNotifier notifier;
    return notifier;
}

int ScreenDepth(const QWidget* widget) {
    if (overrideDepth > 0) return overrideDepth;
    if (const int env = EnvironmentDepth()) return env;
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen && qGuiApp) screen = QGuiApplication::primaryScreen();
    // No screen at all (a command-line tool): full colour.
    return screen && screen->depth() > 0 ? screen->depth() : 24;
}

void SetScreenDepthOverride(int bitsPerPixel) {
    const int before = ScreenDepth();
    overrideDepth = bitsPerPixel > 0 ? bitsPerPixel : 0;
    if (ScreenDepth() != before) emit TScreenDepthNotifier::Instance().DepthChanged();
}
