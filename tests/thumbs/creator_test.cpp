// The ThumbTav Creator window: drops, building, saving through prompts, and
// the options' Size edit.

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "browser/filelist.h"
#include "browser/statusbar.h"
#include "support/scriptedprompts.h"
#include "platform/windowplace.h"
#include "thumbs/qt/thumbedit.h"
#include "thumbs/qt/thumbtavoptions.h"
#include "thumbs/qt/toolwidgets.h"
#include "thumbtest_util.h"
#include "view/pgimage.h"

namespace {
class Creator : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    TfrmThumbEdit w;
    QString Solid(const QString& name, int s) {
        TPixelGraphic p;
        p.SetFormat(s, s, pg24Bit);
        p.SetBackgroundColor(RGB(0, 90, 0));
        p.Clear();
        p.SaveToFile(dir.filePath(name).toStdString());
        return dir.filePath(name);
    }
};
} // namespace

TEST_F(Creator, DropsKeepPicturesOnly) {
    TFileDrag d{2, dir.path(), {"a.jpg", "notes.txt", "b.PNG", "../c.jpg"}, {}};
    std::unique_ptr<QMimeData> m(EncodeFileDrag(d));
    EXPECT_EQ(TSheetFileList::DroppedPictures(m.get()),
              (QStringList{dir.path() + "/a.jpg", dir.path() + "/b.PNG"}));
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile("/x/y.gif"), QUrl::fromLocalFile("/x/z.doc"),
                  QUrl("http://example.org/a.jpg")});
    EXPECT_EQ(TSheetFileList::DroppedPictures(&urls), QStringList{"/x/y.gif"});
}

TEST_F(Creator, GenerateAndSave) {
    TScopedPrompts prompts;
    EXPECT_FALSE(w.SaveAs1->isEnabled());
    w.Generate();
    EXPECT_EQ(prompts->Messages(),
              QStringList{"You must drag some images into the listbox first!"});

    QStringList files;
    for (int i = 0; i < 7; ++i)
        files << Solid(QString("p%1.bmp").arg(i), 40 + i);
    w.AddFiles(files);
    w.Generate();
    EXPECT_EQ(w.StatusBar1->PanelText(0), "ThumbTav size : 716 X 282");
    EXPECT_EQ(w.StatusBar1->PanelText(1), "Processing 7 of 7");
    ASSERT_TRUE(w.HasSheet());
    EXPECT_TRUE(w.SaveAs1->isEnabled());
    EXPECT_EQ(w.PGImage1->CurrentPixelGraphic()->GetWidth(), 716);

    // Saving over a listed picture is refused; elsewhere it is written, the
    // extension coming from the chosen type when the name has none.
    prompts->fileAnswers.push_back({files[0]});
    w.SaveAs();
    EXPECT_TRUE(prompts->Messages().last().startsWith("Would overwrite "));
    prompts->fileAnswers.push_back({dir.filePath("sheet.png")});
    w.SaveAs();
    TPixelGraphic back;
    back.LoadFromFile(dir.filePath("sheet.png").toStdString());
    EXPECT_EQ(back.GetHeight(), 282);

    // A Size out of range stops the build and keeps the old sheet.
    TfrmThumbTavOptions* o = w.OptionsWindow();
    o->edSize->setText("");
    w.Generate();
    EXPECT_EQ(prompts->Messages().last(), "Invalid value. Enter a value between 30 and 900");
    EXPECT_EQ(o->edSize->text(), "96");
    EXPECT_EQ(w.PGImage1->CurrentPixelGraphic()->GetWidth(), 716);

    w.ClearAll();
    EXPECT_EQ(w.lbFiles->count(), 0);
}

// The options show every tab's name whole and the system's font faces with
// the sheet's own chosen; the list of files elides long paths in the middle
// instead of cutting them; the windows open wholly on the screen.
TEST_F(Creator, OptionsAndListsReadWholeAndWindowsFitTheScreen) {
    TfrmThumbTavOptions* o = w.OptionsWindow();
    EXPECT_EQ(o->PageControl1->tabBar()->elideMode(), Qt::ElideNone);
    EXPECT_GE(o->sizeHint().width(), o->PageControl1->tabBar()->sizeHint().width());
    for (QComboBox* faces : {o->cbTitleFace, o->cbFooterFace}) {
        EXPECT_GT(faces->count(), 0);
        EXPECT_FALSE(faces->currentText().isEmpty());
    }
    // The face shown first is the sheet's own: the sheet is unchanged.
    EXPECT_EQ(o->Options().titleFace, "");
    EXPECT_EQ(o->Options().footerFace, "");

    const QString deep = dir.filePath(QString("a_folder_with_a_long_name/").repeated(4));
    QDir().mkpath(deep);
    const QString file = Solid("x.bmp", 8);
    QFile::copy(file, deep + "img_0815.bmp");
    w.AddFiles({deep + "img_0815.bmp"});
    w.resize(500, 400);
    w.show();
    QCoreApplication::processEvents();
    const QModelIndex first = w.lbFiles->model()->index(0, 0);
    QStyleOptionViewItem opt;
    opt.initFrom(w.lbFiles);
    opt.widget = w.lbFiles;
    EXPECT_LE(w.lbFiles->itemDelegate()->sizeHint(opt, first).width(),
              w.lbFiles->viewport()->width());
    const QString shown =
        ElideKeepingEnd(w.lbFiles->fontMetrics(), deep + "img_0815.bmp",
                        w.lbFiles->viewport()->width() - 10);
    EXPECT_TRUE(shown.endsWith("img_0815.bmp")) << shown.toStdString();

    // A window taller than the screen is shrunk and placed on it whole.
    QWidget big;
    big.resize(300, 5000);
    PlaceOnScreen(&big);
    const QRect area = big.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(QRect(big.pos(), big.size()))) << big.pos().y() << " " << big.height();
}
