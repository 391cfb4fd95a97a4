// The publishing wizard with answered prompts: values reset and shared on
// Show, the page count, the output folder rules, an empty album, and the
// finished album opened only when its first page was written.

#include <QGridLayout>
#include <QProgressBar>
#include <QTest>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QPushButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "album/qt/albumform.h"
#include "album/qt/pubwizard.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"

namespace {

class Wizard : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        TfrmPubWizard::Opener() = [this](const QUrl& u) { opened << u; };
    }
    void TearDown() override {
        TfrmPubWizard::Opener() = [](const QUrl&) {};
    }
    QList<QUrl> opened;
    QTemporaryDir dir;
    TScopedPrompts prompts;
};

} // namespace

TEST_F(Wizard, ShowResetsAndSharesWithFrameSetup) {
    TfAPrefs prefs;
    prefs.Rows->setValue(4);
    prefs.Cols->setValue(5);
    TfrmPubWizard w;
    w.Quality->setValue(30);
    std::vector<TAlbumEntry> entries(21, TAlbumEntry{"/p/a.jpg", "", 0});
    prompts->dialogAnswers.push_back([&](QDialog*) {
        EXPECT_EQ(w.Quality->value(), 80);
        EXPECT_EQ(w.SharpenAmount->value(), 60);
        EXPECT_EQ(w.Rows->value(), 4);
        EXPECT_EQ(w.Columns->value(), 5);
        EXPECT_EQ(w.PageCount->text(), "2 pages");
        w.Columns->setValue(7);
        EXPECT_EQ(w.PageCount->text(), "1 page");
        // WebP thumbnails are off unless asked for.
        EXPECT_FALSE(w.Settings().webp);
        w.WebP->setChecked(true);
        EXPECT_TRUE(w.Settings().webp);
        return int(QDialog::Rejected);
    });
    w.Run(entries, &prefs);
    EXPECT_EQ(prefs.Cols->value(), 6); // the album keeps at most 6
}

TEST_F(Wizard, FoldersEmptyAlbumsAndTheFinishedAlbum) {
    TfrmPubWizard w;
    // A folder that cannot be made keeps the wizard on page 3.
    w.Pages->setCurrentIndex(2);
    w.OutputFolder->setText("/dev/null/album");
    w.Next();
    EXPECT_EQ(w.Pages->currentIndex(), 2);
    // Said in this system's terms: which folder, and why.
    EXPECT_EQ(prompts->Messages().last(), "Cannot create folder /dev/null/album: Not a directory");

    // An empty album at the last page: the message, and the wizard closes.
    w.Pages->setCurrentIndex(5);
    w.Next();
    EXPECT_EQ(prompts->Messages().last(),
              "You need to have some image files added to the Album list!");

    // A real album: pages written, the first one opened.
    samples::SaveQuad(dir.filePath("a.png"), 30, 20);
    std::vector<TAlbumEntry> entries = {
        {QFile::encodeName(dir.filePath("a.png")).toStdString(), "", 0}};
    prompts->dialogAnswers.push_back([&](QDialog*) {
        w.OutputFolder->setText(dir.filePath("out"));
        w.Pages->setCurrentIndex(5);
        w.Next();
        return int(QDialog::Accepted);
    });
    w.Run(entries, nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(dir.filePath("out/myphotos.html")));
    EXPECT_TRUE(QFile::exists(dir.filePath("out/tm_a.jpg")));

    // A folder that vanished and cannot be made again at the last page: page 3.
    prompts->dialogAnswers.push_back([&](QDialog*) {
        w.OutputFolder->setText("/dev/null/x");
        w.Pages->setCurrentIndex(5);
        w.Next();
        EXPECT_EQ(w.Pages->currentIndex(), 2);
        return int(QDialog::Rejected);
    });
    w.Run(entries, nullptr);
    EXPECT_EQ(prompts->Messages().last(), "Cannot create folder /dev/null/x: Not a directory");
    EXPECT_EQ(opened.size(), 1);
}

// The colour buttons: 4 x 5 fixed colours, and "&Other" for any colour;
// the choice reaches the page's colours as RRGGBB.
TEST_F(Wizard, ColourButtonsOfferAPaletteAndOther) {
    TfrmPubWizard w;
    QMenu* menu = w.BackgroundColor->menu();
    ASSERT_NE(menu, nullptr);
    const QList<QToolButton*> swatches = menu->findChildren<QToolButton*>();
    ASSERT_EQ(swatches.size(), 20);
    auto* grid = static_cast<QGridLayout*>(swatches[0]->parentWidget()->layout());
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->columnCount(), 5);
    menu->findChild<QToolButton*>("Colour13")->click(); // red
    EXPECT_EQ(PublishColor(w.Settings().background), "FF0000");
    prompts->colorAnswers.push_back(QColor(1, 2, 3));
    w.TextColor->menu()->findChild<QAction*>("TextColorOther")->trigger();
    EXPECT_EQ(PublishColor(w.Settings().text), "010203");
    // Cancelled: the colour stays.
    w.TextColor->menu()->findChild<QAction*>("TextColorOther")->trigger();
    EXPECT_EQ(PublishColor(w.Settings().text), "010203");
}

// Rows and Columns take typed numbers; the progress bar moves with the run
// and ends full.
TEST_F(Wizard, TypedRowsAndColumnsAndAMovingProgressBar) {
    TfrmPubWizard w;
    std::vector<TAlbumEntry> entries;
    for (int i = 0; i < 3; ++i) {
        const QString p = dir.filePath(QString("p%1.png").arg(i));
        samples::SaveQuad(p, 30, 20);
        entries.push_back({QFile::encodeName(p).toStdString(), "", 0});
    }
    QList<int> seen;
    QObject::connect(w.Progress, &QProgressBar::valueChanged, [&](int v) { seen << v; });
    prompts->dialogAnswers.push_back([&](QDialog*) {
        for (QSpinBox* s : {w.Rows, w.Columns}) {
            s->selectAll();
            QTest::keyClicks(s, "1");
        }
        EXPECT_EQ(w.Rows->value(), 1);
        EXPECT_EQ(w.Columns->value(), 1);
        EXPECT_EQ(w.PageCount->text(), "3 pages");
        w.OutputFolder->setText(dir.filePath("out"));
        w.Pages->setCurrentIndex(5);
        w.Next();
        return int(QDialog::Accepted);
    });
    w.Run(entries, nullptr);
    EXPECT_TRUE(QFile::exists(dir.filePath("out/myphotos_3.html")));
    EXPECT_TRUE(seen.contains(1) && seen.contains(2)) << seen.size();
    EXPECT_EQ(w.Progress->value(), 3);
}
