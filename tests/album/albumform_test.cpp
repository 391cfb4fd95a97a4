// The album window with answered prompts: the drop rule, moving and turning
// entries, saving and opening (a bad file changes nothing), the caption
// editor, and the pages printed to PDF. The page layout as a table.

#include <QCoreApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "album/albumlayout.h"
#include "album/albumprint.h"
#include "album/qt/albumform.h"
#include "browser/form1.h"
#include "browser/mainform.h"
#include "browser/statusbar.h"
#include "core/qt/print.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"

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
    EXPECT_EQ(a.Entries()[0].path, P("x.JPEG").toStdString());
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
    // Saving the album being edited writes its own file without asking.
    a.List->setCurrentItem(a.List->topLevelItem(0));
    a.Rotate(1);
    const size_t asked = prompts->asked.size();
    a.Save();
    EXPECT_EQ(prompts->asked.size(), asked);
    TAlbum saved;
    std::string error;
    ASSERT_TRUE(ReadAlbumFile(P("my.alb").toStdString(), saved, error));
    EXPECT_EQ(saved.entries, a.Entries());
    prompts->fileAnswers.push_back({P("other.alb")});
    a.SaveAs();
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
    EXPECT_EQ(a.StatusBar1->PanelText(0), "Done");
}

// Captions sit in their own band under the picture and never leave their
// cell, however long: the picture keeps out of the band, the ink stays in it.
TEST_F(Album, CaptionsHaveTheirOwnBandAndAreElided) {
    const QString longName =
        P("a_very_long_file_name_that_would_never_fit_under_its_picture_0001.jpg");
    samples::SaveQuad(longName, 200, 200);
    samples::SaveQuad(P("short.jpg"), 200, 100);
    TAlbum album;
    album.header.rows = 2;
    album.header.columns = 2;
    album.header.border = 10;
    album.header.fontName = "DejaVu Sans";
    album.header.fontSize = 10;
    for (const QString& p : {longName, P("short.jpg")})
        album.entries.push_back({p.toStdString(), "", 0});
    TAlbumPrintSetup setup;
    setup.paper = QSize(850, 1100);
    setup.dpiX = setup.dpiY = 100;
    for (int option : {1, 2}) {
        album.header.captionOption = option;
        album.entries[0].caption = "A caption far too long for the width of its cell on the page";
        const auto frames = AlbumPrepareFrames(album, setup, {}, {});
        ASSERT_EQ(frames.size(), 2u);
        for (const TAlbumFrame& f : frames) {
            ASSERT_FALSE(f.band.isEmpty());
            EXPECT_TRUE(f.cell.contains(f.band));
            EXPECT_EQ(f.band.bottom(), f.cell.bottom());
            EXPECT_FALSE(f.rect.intersects(f.band)) << option;
            EXPECT_TRUE(f.cell.contains(f.rect));
        }
        QImage page(setup.paper, QImage::Format_RGB32);
        page.setDotsPerMeterX(3937);
        page.setDotsPerMeterY(3937);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            AlbumPaintFrames(frames, p, true, AlbumCaptionFont(album.header), QColor(255, 0, 255),
                             {});
        }
        // Magenta ink only inside the bands; some in each.
        std::vector<int> inkPerBand(frames.size(), 0);
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                if (!(qRed(c) > 200 && qGreen(c) < 120 && qBlue(c) > 200)) continue;
                bool inside = false;
                for (size_t i = 0; i < frames.size(); ++i)
                    if (frames[i].band.contains(x, y)) {
                        inside = true;
                        ++inkPerBand[i];
                    }
                ASSERT_TRUE(inside) << "ink at " << x << "," << y << " option " << option;
            }
        for (size_t i = 0; i < frames.size(); ++i)
            if (!frames[i].caption.isEmpty()) EXPECT_GT(inkPerBand[i], 0) << i;
    }
    // Without captions the picture has the whole cell.
    album.header.captionOption = 0;
    const auto frames = AlbumPrepareFrames(album, setup, {}, {});
    EXPECT_TRUE(frames[0].band.isEmpty());
    EXPECT_EQ(frames[0].rect, AlbumFrameRect(frames[0].cell, 1.0, 10));
}

// "Import Directory" says so when the browser's folder holds no pictures.
TEST_F(Album, ImportingAFolderWithoutPicturesSaysSo) {
    TForm1 form;
    SetForm1(&form);
    QDir(dir.path()).mkdir("empty");
    ASSERT_TRUE(form.OpenFolder(P("empty")));
    TfAlbum a;
    a.ImportAll();
    EXPECT_TRUE(a.Entries().empty());
    EXPECT_EQ(prompts->Messages(), QStringList{"There are no pictures to import in " + P("empty")});
    QDir(dir.path()).mkdir("pics");
    samples::SaveQuad(P("pics/a.jpg"), 10, 10);
    form.show(); // the first show reads the file mask
    QCoreApplication::processEvents();
    ASSERT_TRUE(form.OpenFolder(P("pics")));
    ASSERT_EQ(form.SLV1->Count(), 1);
    a.ImportAll();
    EXPECT_EQ(a.Entries().size(), 1u);
    EXPECT_EQ(prompts->Messages().size(), 1);
    SetForm1(nullptr);
}
