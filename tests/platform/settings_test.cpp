#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "platform/convert.h"
#include "platform/paths.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "platform/windowplace.h"

#include <sys/stat.h>
#include <unistd.h>

TEST(Settings, AbsentValueGivesTheCallersDefault) {
    EXPECT_EQ(ReadSetting("NeverWritten", "620"), "620");
    EXPECT_EQ(ReadSetting("NeverWritten", ""), "");
}

TEST(Settings, ValuesRoundTripAsText) {
    // Texts that an INI store could mangle: commas, a leading @, quotes,
    // backslashes, spaces in the name, non-ASCII and the empty string.
    const std::pair<QString, QString> cases[] = {
        {"Left", "-13"},
        {"BG Color", "16711680"},
        {"Directory", "/tmp/a, b/c"},
        {"JPG Editor", "@ed"},
        {"Odd", "say \"hi\"; x=1"},
        {"Back", "c:\\pics\\"},
        {"Name", "Bilder Ü ß 写真"},
        {"Empty", ""},
        {"FileTypes", "0101010101"},
    };
    for (const auto& [name, value] : cases)
        WriteSetting(name, value);
    for (const auto& [name, value] : cases)
        EXPECT_EQ(ReadSetting(name, "default"), value) << name.toStdString();
}

TEST(Settings, StoreIsTheXdgConfigFileAndEveryReadGoesToIt) {
    const QString expected =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Ambertide/TavirloTrial.conf";
    EXPECT_EQ(SettingsFilePath(), expected);
    WriteSetting("Seconds", "7");
    ASSERT_TRUE(QFile::exists(expected)); // written through at once

    // Another program (or a user) edits the file: the next read sees it.
    QFile f(expected);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    text.replace("Seconds=7", "Seconds=9\nHand=a, b");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    EXPECT_EQ(ReadSetting("Seconds", "4"), "9");
    EXPECT_EQ(ReadSetting("Hand", ""), "a,b");
}

TEST(Paths, AddBackslash) {
    const std::pair<QString, QString> cases[] = {
        {"", "/"},       {"/", "/"},      {"/home/u", "/home/u/"}, {"/home/u/", "/home/u/"},
        {"a\\", "a\\/"}, {"rel", "rel/"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(AddBackslash(in), out) << in.toStdString();
    EXPECT_EQ(ExtractFilePath("/a/b/c.jpg"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.jpg"), "c.jpg");
    EXPECT_EQ(ExtractFilePath("c.jpg"), "");
}

TEST(Convert, StrToIntIsStrictDecimal) {
    const std::pair<QString, int> good[] = {
        {"0", 0},
        {"620", 620},
        {"-1", -1},
        {"+5", 5},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"007", 7},
    };
    for (const auto& [s, v] : good)
        EXPECT_EQ(StrToInt(s), v) << s.toStdString();
    const QString bad[] = {"",
                           "-",
                           "+",
                           " 1",
                           "1 ",
                           "1.5",
                           "abc",
                           "12x",
                           "2147483648",
                           "-2147483649",
                           "99999999999999999999",
                           "0x10",
                           "１"};
    for (const auto& s : bad) {
        EXPECT_EQ(StrToIntDef(s, 42), 42) << s.toStdString();
        try {
            StrToInt(s);
            ADD_FAILURE() << "accepted " << s.toStdString();
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + s.toStdString() + "' is not a valid integer value");
        }
    }
}

// A settings file that is a FIFO or a device is neither read (which would
// block) nor replaced; the defaults are used and the reason noted once.
TEST(Settings, AStoreThatIsNoRegularFileIsLeftAlone) {
    TScopedPrompts prompts;
    const QByteArray path = QFile::encodeName(SettingsFilePath());
    QDir().mkpath(QFileInfo(SettingsFilePath()).absolutePath());
    QFile::remove(SettingsFilePath());
    ShowSettingsResets(nullptr);
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
    EXPECT_EQ(ReadSetting("Width", "620"), "620");
    WriteSetting("Width", "700");
    struct stat st;
    ASSERT_EQ(::lstat(path.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(SettingsResetText().contains("not a regular file"));
    QFile::remove(SettingsFilePath());
    ASSERT_EQ(::symlink("/dev/zero", path.constData()), 0);
    EXPECT_EQ(ReadSetting("Width", "620"), "620");
    QFile::remove(SettingsFilePath());
    // Values over the bound read as the default and are noted by name.
    ShowSettingsResets(nullptr);
    WriteSetting("Long", QString(kMaxSettingLength + 1, 'x'));
    WriteSetting("Edge", QString(kMaxSettingLength, 'y'));
    EXPECT_EQ(ReadSetting("Long", "d"), "d");
    EXPECT_EQ(ReadSetting("Edge", "d").size(), kMaxSettingLength);
    EXPECT_EQ(PendingSettingResets(), QStringList{"Long"});
    ShowSettingsResets(nullptr);
    EXPECT_TRUE(PendingSettingResets().isEmpty());
    EXPECT_EQ(prompts->Messages().size(), 2); // one box each time something was noted
}

// Stored window places, whatever they hold, come back inside the screen.
TEST(WindowPlace, FitsInsideTheAvailableArea) {
    const QRect area(0, 30, 1280, 994);
    struct Case {
        QRect wanted, fitted;
    } cases[] = {
        {{100, 100, 620, 460}, {100, 100, 620, 460}},
        {{0, 0, 99999999, 99999999}, {0, 30, 1280, 994}},
        {StoredWindowRect(-99999999, 2147483647, 600, 400), {0, 624, 600, 400}},
        {StoredWindowRect(2147483647, 0, 2147483647, 99), {0, 30, 1280, 100}},
        {{1200, 900, 620, 460}, {660, 564, 620, 460}},
        {{10, 40, -5, 3}, {10, 40, 100, 100}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitWindowRect(c.wanted, area), c.fitted) << c.wanted.x() << "," << c.wanted.y();
    // No screen: the size is still capped.
    EXPECT_EQ(FitWindowRect({5, 5, 99999999, 50}, QRect()).size(), QSize(4096, 100));
    const int splits[][3] = {// pos, total, fitted (minimums 20 / 40)
                             {180, 600, 180},
                             {99999999, 600, 560},
                             {-5, 600, 20},
                             {0, 0, 0},
                             {30, 50, 10}};
    for (const auto& s : splits)
        EXPECT_EQ(FitSplitterPos(s[0], s[1], 20, 40), s[2]) << s[0] << " in " << s[1];
}
