// The desktop entry: Exec arguments quoted by the Desktop Entry rules, and
// entries the desktop's own checker accepts whatever path the program has.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/desktopentry.h"

TEST(DesktopEntry, ExecArgumentsAreQuotedAndEscaped) {
    const std::pair<QString, QString> cases[] = {
        {"tavirlo", "tavirlo"},
        {"/usr/bin/tavirlo", "/usr/bin/tavirlo"},
        {"--open", "--open"},
        {"/opt/My Apps/tavirlo", R"("/opt/My Apps/tavirlo")"},
        // Inside quotes " ` $ \ take a backslash; the entry's string syntax
        // then doubles every backslash.
        {R"(/opt/a"b/t)", R"("/opt/a\\"b/t")"},
        {"/opt/$HOME/t", R"("/opt/\\$HOME/t")"},
        {R"(/opt/a\b/t)", R"("/opt/a\\\\b/t")"},
        {"/opt/100%/t", "/opt/100%%/t"},
        {"", R"("")"},
    };
    for (const auto& [arg, want] : cases)
        EXPECT_EQ(DesktopExecArgument(arg).toStdString(), want.toStdString()) << arg.toStdString();
}

TEST(DesktopEntry, TheCheckerAcceptsEntriesForAwkwardProgramPaths) {
    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (validate.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    QTemporaryDir dir;
    for (const QStringList& command :
         {QStringList{"tavirlo"}, QStringList{"/opt/My Apps/ta$v%i`r\"lo", "--open"},
          QStringList{"/home/u/bin\\x/tavirlo"}}) {
        const QString path = dir.filePath("tavirlo.desktop");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(DesktopEntryText(command, ReadableMimeTypes()).toUtf8());
        f.close();
        QProcess p;
        p.start(validate, {path});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
        EXPECT_EQ(p.readAllStandardOutput().toStdString(), "") << command.join(' ').toStdString();
    }
}
