#pragma once
// The program of a window benchmark: offscreen, optionally with a scratch
// home (the settings, cache and trash of this run only), the image library
// started, then the benchmarks named on the command line.

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "formats/library.h"

inline int RunWindowBenchmarks(int argc, char** argv, bool scratchHome = false) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (scratchHome) {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
        qputenv("XDG_CACHE_HOME", (home.path() + "/.cache").toUtf8());
        qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    }
    QApplication app(argc, argv);
    InitImageLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
