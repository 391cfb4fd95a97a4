#pragma once
// Tests at a screen's device pixel ratio. Qt reads QT_SCALE_FACTOR once, when
// the application starts, so such checks run in a child of the test program
// per ratio: RunAtDeviceRatios starts it with the ratio set and a filter for
// the checks; inside, ChildDeviceRatio() gives the ratio (0 in a plain run,
// where the checks skip themselves with SKIP_UNLESS_RATIO_CHILD).

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>
#include <initializer_list>

inline constexpr const char* kDeviceRatioVar = "TAV_TEST_DEVICE_RATIO";

inline double ChildDeviceRatio() {
    return qEnvironmentVariableIsSet(kDeviceRatioVar)
               ? qEnvironmentVariable(kDeviceRatioVar).toDouble()
               : 0;
}

#define SKIP_UNLESS_RATIO_CHILD()                                                                  \
    if (ChildDeviceRatio() <= 0) GTEST_SKIP() << "runs in a child at a device pixel ratio"

// Runs the tests matching `filter` in a child per ratio; each child must
// pass and skip nothing.
inline void RunAtDeviceRatios(const QString& filter, std::initializer_list<const char*> ratios) {
    for (const char* ratio : ratios) {
        SCOPED_TRACE(ratio);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_SCALE_FACTOR", ratio);
        env.insert(kDeviceRatioVar, ratio);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        // Tests may have left a folder they removed as the current one.
        child.setWorkingDirectory(QDir::tempPath());
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=" + filter, "--gtest_brief=1"});
        ASSERT_TRUE(child.waitForFinished(300000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ]")) << out.toStdString();
        EXPECT_FALSE(out.contains("SKIPPED")) << out.toStdString();
    }
}
