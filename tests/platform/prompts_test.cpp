#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "formats/library.h"
#include "platform/qtprompts.h"
#include "support/scriptedprompts.h"

TEST(Prompts, ScriptedAnswersInOrderAndUnansweredPromptsNeverBlock) {
    TScopedPrompts p;
    p->buttonAnswers = {QMessageBox::Yes};
    p->colorAnswers = {QColor(1, 2, 3)};
    p->fileAnswers = {{"/x/a.jpg"}};

    EXPECT_EQ(MessageDlg("Delete?", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    // Queues are empty now: the safe answer comes back at once.
    EXPECT_EQ(MessageDlg("Again?", QMessageBox::Question,
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
              QMessageBox::Cancel);
    EXPECT_EQ(Prompts().MessageBox(nullptr, "t", "c", QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::Warning),
              QMessageBox::Yes); // first button when there is no Cancel
    EXPECT_EQ(Prompts().ChooseColor(nullptr, Qt::white, true), QColor(1, 2, 3));
    EXPECT_FALSE(Prompts().ChooseColor(nullptr, Qt::white, true).has_value());
    EXPECT_EQ(Prompts().OpenFileName(nullptr, {"Open", "", "", ""}, nullptr), "/x/a.jpg");
    EXPECT_EQ(Prompts().SaveFileName(nullptr, {"Save", "", "", ""}, nullptr), "");
    EXPECT_FALSE(Prompts().PrintDialog(nullptr, nullptr));

    ASSERT_EQ(p->asked.size(), 8u);
    EXPECT_EQ(p->Messages(), (QStringList{"Delete?", "Again?", "t"}));
    EXPECT_EQ(p->asked[0].caption, QApplication::applicationName());
    EXPECT_EQ(p->asked[6].kind, "save");
    EXPECT_EQ(p->asked[6].text, "Save");
}

TEST(Prompts, ScopeRestoresTheRealDialogs) {
    {
        TScopedPrompts p;
        EXPECT_NE(dynamic_cast<TScriptedPrompts*>(&Prompts()), nullptr);
    }
    EXPECT_NE(dynamic_cast<TQtPrompts*>(&Prompts()), nullptr);
}

TEST(Prompts, LibraryWarningsGoThroughTheService) {
    TScopedPrompts p;
    InstallLibraryPrompts();
    p->buttonAnswers = {QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    EXPECT_EQ(PGMessageBox("bad row", "Warning", TPGBoxButtons::OKCancel), TPGBoxResult::Cancel);
    EXPECT_EQ(PGMessageBox("bad row", "Warning", TPGBoxButtons::OKCancel), TPGBoxResult::OK);
    // An OK box means OK however it was closed.
    EXPECT_EQ(PGMessageBox("note", "Warning", TPGBoxButtons::OK), TPGBoxResult::OK);
    ASSERT_EQ(p->asked.size(), 3u);
    EXPECT_EQ(p->asked[0].text, "bad row");
    EXPECT_EQ(p->asked[0].caption, "Warning");
    EXPECT_EQ(p->asked[0].icon, QMessageBox::Warning);
    EXPECT_EQ(p->asked[2].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    PGMessageBoxHandler = nullptr;
}

TEST(Prompts, OwnDialogsAreAnsweredByTheTestAndRejectedWhenUnanswered) {
    TScopedPrompts p;
    QDialog dlg;
    dlg.setObjectName("TfRotate");
    bool sawVisible = false;
    p->dialogAnswers.push_back([&](QDialog* d) {
        sawVisible = d->isVisible();
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(ExecDialog(&dlg), QDialog::Accepted);
    EXPECT_TRUE(sawVisible);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(ExecDialog(&dlg), QDialog::Rejected); // nothing queued: never blocks
    ASSERT_EQ(p->asked.size(), 2u);
    EXPECT_EQ(p->asked[0].kind, "dialog");
    EXPECT_EQ(p->asked[0].text, "TfRotate");
}

TEST(PicturePreview, SmallPicturesOfFilesAndNothingForTheRest) {
    InitImageLibrary();
    QTemporaryDir dir;
    TPixelGraphic pg;
    pg.SetFormat(400, 200, pg24Bit);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x)
            pg.SetPixel(x, y, x < 200 ? RGB(255, 0, 0) : RGB(0, 0, 255));
    pg.SaveToFile(dir.filePath("p.png").toStdString());
    const QImage img = PicturePreview(dir.filePath("p.png"), 128);
    EXPECT_EQ(img.size(), QSize(128, 64));
    EXPECT_EQ(QColor(img.pixel(10, 30)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(img.pixel(120, 30)), QColor(0, 0, 255));
    QFile text(dir.filePath("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    EXPECT_TRUE(PicturePreview(dir.filePath("notes.jpg"), 128).isNull());
    EXPECT_TRUE(PicturePreview(dir.path(), 128).isNull());
    EXPECT_TRUE(PicturePreview(dir.filePath("missing.png"), 128).isNull());
}
