// The album window with answered prompts: the drop rule, moving and turning
// entries, saving and opening (a bad file changes nothing), the caption
// editor, and the pages printed to PDF. The page layout as a table.

#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "album/albumlayout.h"
#include "album/qt/albumform.h"
#include "browser/statusbar.h"
#include "core/qt/print.h"
#include "formats/library.h"
#include "platform/scriptedprompts.h"

namespace {

class Album : public ::testing::Test {
  protected:
    void SetUp() override { InitImageLibrary(); }
    QString P(const char* n) const { return dir.filePath(n); }
    QTemporaryDir dir;
    TScopedPrompts prompts;
};

} // namespace

TEST(AlbumLayout, CellsAndFrames) {
    const auto cells = AlbumPageCells({2100, 2970}, 300, 300, 300, 300, 3, 2);
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells[0], QRect(300, 300, 750, 790));
    EXPECT_EQ(cells[5], QRect(1050, 1880, 750, 790));
    EXPECT_TRUE(AlbumPageCells({100, 100}, 60, 60, 60, 60, 1, 1).empty());
    EXPECT_EQ(AlbumFrameRect(QRect(0, 0, 1000, 800), 0.5, 100), QRect(100, 200, 800, 400));
    EXPECT_EQ(AlbumFrameRect(QRect(0, 0, 1001, 800), 0.5, 100).size(), QSize(801, 400)); // tie
    EXPECT_EQ(AlbumFrameRect(QRect(0, 0, 1000, 800), 2.0, 100).size(), QSize(300, 600));
    EXPECT_TRUE(AlbumFrameRect(QRect(0, 0, 100, 100), 1.0, 60).isEmpty());
}

TEST_F(Album, EntriesDropMoveRotate) {
    TfAlbum a;
    a.AddFiles(dir.path(), {"notes.txt", "x.JPEG", "noext", "x.jp", "a.jpg", "t\tab.jpg"});
    ASSERT_EQ(a.Entries().size(), 2u);
    EXPECT_EQ(a.Entries()[0].path, P("x.jp").toStdString());
    EXPECT_EQ(prompts->Messages().size(), 4);
    EXPECT_EQ(prompts->Messages().front(), "Can't edit " + P("notes.txt"));
    a.List->setCurrentItem(a.List->topLevelItem(1));
    a.MoveUp();
    EXPECT_EQ(a.Selected(), 0);
    EXPECT_EQ(a.Entries()[0].path, P("a.jpg").toStdString());
    a.MoveUp(); // already first
    EXPECT_EQ(a.Selected(), 0);
    a.Rotate(-1);
    EXPECT_EQ(a.Entries()[0].rotation, 3);
    a.Rotate(1);
    EXPECT_EQ(a.Entries()[0].rotation, 0);

    // Caption editor: Enter keeps the text (line breaks become blanks), Esc does not.
    prompts->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QLineEdit*>("Edit")->setText("Day\t1");
        return int(QDialog::Accepted);
    });
    a.EditCaption();
    EXPECT_EQ(a.Entries()[0].caption, "Day 1");
    prompts->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QLineEdit*>("Edit")->setText("gone");
        return int(QDialog::Rejected);
    });
    a.EditCaption();
    EXPECT_EQ(a.Entries()[0].caption, "Day 1");
}

TEST_F(Album, SavingAndOpening) {
    TfAlbum a;
    // Nothing to save.
    prompts->fileAnswers.push_back({P("empty.alb")});
    a.Save();
    EXPECT_EQ(prompts->Messages().last(), "You need to have entries in the Album to save");
    a.AddFiles(dir.path(), {"a.jpg", "b.png"});
    // Never saved: "Save" asks for a name.
    prompts->fileAnswers.push_back({P("my.alb")});
    a.Save();
    EXPECT_EQ(a.SaveName(), P("my.alb"));
    ASSERT_TRUE(QFile::exists(P("my.alb")));
    // "Replace …?" No runs "Save as...".
    prompts->buttonAnswers.push_back(QMessageBox::No);
    prompts->fileAnswers.push_back({P("other.alb")});
    a.Save();
    EXPECT_EQ(a.SaveName(), P("other.alb"));

    // A bad file leaves album and save name as they were.
    QFile bad(P("bad.alb"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("abc");
    bad.close();
    EXPECT_FALSE(a.OpenFile(P("bad.alb")));
    EXPECT_EQ(prompts->Messages().last(), "Error reading album file " + P("bad.alb"));
    EXPECT_EQ(a.Entries().size(), 2u);
    EXPECT_EQ(a.SaveName(), P("other.alb"));
    TfAlbum b;
    ASSERT_TRUE(b.OpenFile(P("my.alb")));
    EXPECT_EQ(b.Entries(), a.Entries());
}

TEST_F(Album, PagesPrintedToPdf) {
    TfAlbum a;
    QStringList names;
    for (int i = 0; i < 7; ++i) {
        const QString n = QString("p%1.png").arg(i);
        samples::SaveQuad(P(n.toUtf8().constData()), 60, 40);
        names << n;
    }
    a.AddFiles(dir.path(), names);
    a.Prefs->Rows->setValue(3);
    a.Prefs->Cols->setValue(2);
    QPrinter& printer = PGPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(P("album.pdf"));
    printer.setPageOrientation(QPageLayout::Portrait);
    a.Preview();
    if (qEnvironmentVariableIsSet("TAV_ALBUM_PDF"))
        QFile::copy(P("album.pdf"), qEnvironmentVariable("TAV_ALBUM_PDF"));
    printer.setOutputFileName(QString());
    QProcess info;
    info.start("pdfinfo", {P("album.pdf")});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QRegularExpression("Pages:\\s+2\\b"))) << out.toStdString();
    EXPECT_EQ(a.SB1->PanelText(0), "Done");
}
