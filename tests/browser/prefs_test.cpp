// Preferences and file associations.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "browser/associations.h"
#include "browser/mainform.h"
#include "browser/prefs.h"
#include "browser/toolwindows.h"
#include "core/colour.h"
#include "fixtures.h"
#include "support/scriptedprompts.h"

namespace {

QStringList ListNames(const TForm1& f) {
    QStringList r;
    for (int i = 0; i < f.SLV1->Count(); ++i)
        r << f.SLV1->Caption(i);
    r.sort();
    return r;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Prefs, OkWritesEverythingCancelWritesNothing) {
    ClearSettings();
    TScopedPrompts prompts;
    RegisterPrefsWindow();
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    QTemporaryDir dir;
    for (const char* n : {"a.jpg", "b.png", "c.gif", "d.bmp"})
        MakeFile(dir.filePath(n), 10);
    {
        TForm1 form;
        form.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(form.OpenFolder(dir.path()));
        EXPECT_EQ(form.SLV1->Count(), 4);
        QAction* cmd = form.Command("Set Preferences...");
        ASSERT_TRUE(cmd && cmd->isEnabled());

        // Cancel after changing everything: nothing is written.
        prompts->dialogAnswers.push_back([](QDialog* d) {
            auto* p = static_cast<TfPrefs*>(d);
            for (QCheckBox* c : p->Check)
                c->setChecked(false);
            p->Edit[0]->setText("/usr/bin/gimp");
            p->PermanentItem->setChecked(true);
            p->CancelBtn->click();
            return int(QDialog::Rejected);
        });
        cmd->trigger();
        EXPECT_EQ(ReadSetting("FileTypes", "none"), "none");
        EXPECT_EQ(ReadSetting("JPG Editor", "none"), "none");
        EXPECT_EQ(form.SLV1->Count(), 4);

        // Only JPG and PNG, an editor, permanent deletion without asking.
        prompts->fileAnswers.push_back({"/opt/gif editor"});
        prompts->dialogAnswers.push_back([](QDialog* d) {
            auto* p = static_cast<TfPrefs*>(d);
            EXPECT_TRUE(p->RecycleItem->isChecked()); // re-read, not kept from the Cancel
            EXPECT_TRUE(p->Edit[0]->text().isEmpty());
            EXPECT_EQ(p->Check.size(), 15u);
            EXPECT_EQ(p->Check[11]->text(), "WEBP");
            for (size_t i = 0; i < p->Check.size(); ++i)
                p->Check[i]->setChecked(i == 0 || i == 7);
            p->Locate[1]->click(); // "Locate" puts the chosen file into its row
            p->PermanentItem->setChecked(true);
            p->cbConfirmDeletions->setChecked(false);
            EXPECT_TRUE(p->cbColourManagement->isChecked()); // on by default
            EXPECT_EQ(p->DisplayProfileLabel->text(), "Display profile: sRGB");
            p->cbColourManagement->setChecked(false);
            p->OKBtn->click();
            return int(QDialog::Accepted);
        });
        cmd->trigger();
        EXPECT_EQ(ReadSetting("FileTypes", ""), "100000010000000");
        EXPECT_EQ(ReadSetting("GIF Editor", ""), "/opt/gif editor");
        EXPECT_EQ(ReadSetting("Deletions", ""), "1");
        EXPECT_EQ(ReadSetting("Confirm Deletions", ""), "0");
        EXPECT_EQ(form.DeletionMode, 1);
        EXPECT_FALSE(form.ConfirmDeletions);
        EXPECT_EQ(ReadSetting("Colour Management", ""), "0");
        EXPECT_FALSE(ColourManagement);
        ColourManagement = true;
        LoadColourManagementSetting(); // what the next start reads
        EXPECT_FALSE(ColourManagement);
        ColourManagement = true;
        EXPECT_EQ(ListNames(form), QStringList({"a.jpg", "b.png"}));

        // Opening again shows the stored values; a short "FileTypes" counts
        // the missing positions of the first ten as unchecked and the types
        // added after them as checked.
        WriteSetting("FileTypes", "01");
        prompts->dialogAnswers.push_back([](QDialog* d) {
            auto* p = static_cast<TfPrefs*>(d);
            EXPECT_TRUE(p->PermanentItem->isChecked());
            EXPECT_FALSE(p->cbConfirmDeletions->isChecked());
            EXPECT_FALSE(p->cbColourManagement->isChecked());
            EXPECT_EQ(p->Edit[1]->text(), "/opt/gif editor");
            for (int i = 0; i < 15; ++i)
                EXPECT_EQ(p->Check[i]->isChecked(), i == 1 || i >= 10) << i;
            EXPECT_TRUE(p->Associate->isVisible());
            p->PageControl1->setCurrentIndex(1);
            EXPECT_FALSE(p->Associate->isVisible());
            return int(QDialog::Rejected);
        });
        cmd->trigger();
        form.close();
    }
    SetToolWindows(nullptr);
}

TEST(Associations, MimeappsKeepsEveryOtherByte) {
    const QByteArray before = "# mine\r\n[Added Associations]\r\nimage/gif=gimp.desktop;\r\n"
                              "[Default Applications]\r\nimage/png=eog.desktop;\r\n"
                              "image/gif = other.desktop;\r\n\r\n[Removed Associations]\r\n";
    const QByteArray after = SetDefaultApplication(before, "image/gif", "tavirlo.desktop");
    EXPECT_EQ(after, QByteArray("# mine\r\n[Added Associations]\r\nimage/gif=gimp.desktop;\r\n"
                                "[Default Applications]\r\nimage/png=eog.desktop;\r\n"
                                "image/gif=tavirlo.desktop;\r\n\r\n[Removed Associations]\r\n"));
    EXPECT_EQ(SetDefaultApplication("[Default Applications]\nimage/png=eog.desktop;\n", "image/gif",
                                    "tavirlo.desktop"),
              QByteArray("[Default Applications]\nimage/gif=tavirlo.desktop;\n"
                         "image/png=eog.desktop;\n"));
    EXPECT_EQ(SetDefaultApplication("x=1", "image/gif", "tavirlo.desktop"),
              QByteArray("x=1\n[Default Applications]\nimage/gif=tavirlo.desktop;\n"));
    EXPECT_EQ(MimeTypeOfFileType("ico"), "image/vnd.microsoft.icon");
    EXPECT_EQ(MimeTypeOfFileType("PCX"), "image/vnd.zbrush.pcx");
    EXPECT_EQ(MimeTypeOfFileType("AVI"), "video/x-msvideo");
}

TEST(Associations, AssociateWritesAValidEntryTheDesktopUses) {
    QTemporaryDir home;
    const TAssociationPaths paths{home.filePath("data/applications"),
                                  home.filePath("config/mimeapps.list")};
    QDir().mkpath(home.filePath("config"));
    {
        QFile f(paths.mimeapps);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# kept\r\n[Default Applications]\r\ntext/plain=ed.desktop;\r\n");
    }
    AssociateFileType("GIF", "/opt/My Apps/tavirlo", paths);
    AssociateFileType("JPG", "/opt/My Apps/tavirlo", paths);
    const QByteArray entry = ReadAll(paths.applications + "/tavirlo.desktop");
    EXPECT_TRUE(entry.contains("Exec=\"/opt/My Apps/tavirlo\" --open %f\n")) << entry.constData();
    EXPECT_EQ(DesktopEntryMimeTypes(entry), QStringList({"image/gif", "image/jpeg"}));
    EXPECT_EQ(ReadAll(paths.mimeapps),
              QByteArray("# kept\r\n[Default Applications]\r\nimage/jpeg=tavirlo.desktop;\r\n"
                         "image/gif=tavirlo.desktop;\r\ntext/plain=ed.desktop;\r\n"));

    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        QProcess v;
        v.start("desktop-file-validate", {paths.applications + "/tavirlo.desktop"});
        ASSERT_TRUE(v.waitForFinished(10000));
        EXPECT_EQ(v.exitCode(), 0) << v.readAllStandardOutput().constData();
    }
    if (!QStandardPaths::findExecutable("xdg-mime").isEmpty()) {
        QProcess q;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        q.setProcessEnvironment(env);
        q.start("xdg-mime", {"query", "default", "image/gif"});
        ASSERT_TRUE(q.waitForFinished(10000));
        EXPECT_EQ(q.readAllStandardOutput().trimmed(), "tavirlo.desktop");
    }
}

TEST(Associations, AnUnwritableFolderIsReportedAndNothingIsHalfWritten) {
    QTemporaryDir home;
    MakeFile(home.filePath("applications"), 3); // a plain file where the folder goes
    const TAssociationPaths paths{home.filePath("applications"), home.filePath("mimeapps.list")};
    try {
        AssociateFileType("PNG", "/usr/bin/tavirlo", paths);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryError& e) {
        EXPECT_EQ(QString::fromStdString(e.Message()),
                  "Cannot create key " + home.filePath("applications/tavirlo.desktop") +
                      ", the user account may not have the required rights to create registry "
                      "keys under HKEY_CLASSES_ROOT.");
    }
    EXPECT_FALSE(QFileInfo::exists(paths.mimeapps));
    EXPECT_EQ(QFileInfo(home.filePath("applications")).size(), 3);
}
