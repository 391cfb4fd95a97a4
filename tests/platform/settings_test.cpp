#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "platform/convert.h"
#include "platform/paths.h"
#include "platform/settings.h"

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
