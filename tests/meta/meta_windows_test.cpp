// The EXIF window and the properties dialog as real widgets: rows, columns
// and colours, the open failure, following the main list only while open
// and only to another file, copying, and the dialog's rows and preview.

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "exif_blocks.h"
#include "meta/qt/exifform.h"
#include "meta/qt/fileprop.h"
#include "meta/qt/register.h"
#include "meta_fixtures.h"
#include "platform/paths.h"
#include "support/scriptedprompts.h"
#include "platform/settings.h"
#include "view/pgimage.h"

namespace {

std::vector<uint8_t> OrientationBlock(uint16_t orientation, const std::string& make) {
    TTestBlock t(true);
    return t.Build({{TTestBlock::Ascii(271, make), t.Short(274, orientation)}});
}

QStringList ShownRows(const TfrmEXIF& w) {
    QStringList r;
    for (const auto& row : w.Model()->Rows()) r << row.Description + "=" + row.Value;
    return r;
}

class MetaWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        QFile::remove(SettingsFilePath());
        WriteBytes(P("a.jpg"), MakeJpeg(16, 16, OrientationBlock(6, "Alpha")));
        WriteBytes(P("b.jpg"), MakeJpeg(16, 16, OrientationBlock(3, "Beta")));
    }
    QString P(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    TScopedPrompts prompts;
};

} // namespace

TEST_F(MetaWindows, ExifWindowListsTheRows) {
    TfrmEXIF w;
    EXPECT_EQ(w.windowTitle(), "EXIF Data");
    EXPECT_EQ(w.size(), QSize(339, 600));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w.ListView1->columnWidth(0), 158);
    EXPECT_EQ(w.ListView1->columnWidth(1), 400);
    EXPECT_EQ(w.ListView1->palette().color(QPalette::Base), QColor(255, 254, 234));
    EXPECT_EQ(w.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Description");
    EXPECT_EQ(w.Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole), "Value");

    w.ShowFile(P("a.jpg"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ShownRows(w), QStringList({"Make=Alpha", "Orientation=Rotate 90 CW"}));
    EXPECT_TRUE(prompts->asked.empty());

    // Copy: the selected rows as tab-separated lines.
    w.ListView1->selectAll();
    w.CopySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Make\tAlpha\nOrientation\tRotate 90 CW\n");

    // A file that cannot be opened: the error is told, the list is empty.
    w.Read(P("gone.jpg"));
    EXPECT_TRUE(ShownRows(w).isEmpty());
    ASSERT_EQ(prompts->Messages().size(), 1);
    EXPECT_TRUE(prompts->Messages()[0].contains("gone.jpg"));

    // A file without a block says so, without a message box.
    WriteBytes(P("plain.txt"), QByteArray(100, 'x'));
    w.Read(P("plain.txt"));
    EXPECT_EQ(ShownRows(w), QStringList({"No EXIF data="}));
    EXPECT_EQ(prompts->Messages().size(), 1);
}

TEST_F(MetaWindows, LongValuesAreCutForDisplayButCopiedWhole) {
    TTestBlock t(true);
    WriteBytes(P("note.jpg"), MakeJpeg(8, 8, t.Build({{TTestBlock::Undefined(37500, std::vector<uint8_t>(20000, 7))}})));
    TfrmEXIF w;
    w.Read(P("note.jpg"));
    ASSERT_EQ(w.Model()->rowCount(), 1);
    const QModelIndex v = w.Model()->index(0, 1);
    EXPECT_EQ(w.Model()->data(v, Qt::DisplayRole).toString().size(), TExifListModel::kShownChars + 1);
    EXPECT_EQ(w.Model()->data(v, Qt::UserRole).toString().size(), 20000 * 2 - 1);
    w.ListView1->selectAll();
    EXPECT_EQ(w.SelectedText().size(), QString("Maker Note\t").size() + 20000 * 2 - 1 + 1);
}

TEST_F(MetaWindows, ExifWindowFollowsTheListOnlyWhileOpenAndOnlyToAnotherFile) {
    TForm1 form;
    form.show();
    ASSERT_TRUE(form.OpenFolder(dir.path()));
    TfrmEXIF w;
    auto select = [&](const QString& name) {
        for (int i = 0; i < form.SLV1->Count(); ++i)
            if (form.SLV1->Caption(i) == name)
                form.SLV1->selectionModel()->select(form.SLV1->model()->index(i, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    };
    // Hidden: selections are not read.
    select("a.jpg");
    EXPECT_TRUE(w.FileName().isEmpty());

    w.ShowFile(AddBackslash(form.ListedFolder()) + "a.jpg");
    EXPECT_EQ(ShownRows(w), QStringList({"Make=Alpha", "Orientation=Rotate 90 CW"}));
    select("b.jpg");
    EXPECT_EQ(w.FileName(), AddBackslash(form.ListedFolder()) + "b.jpg");
    EXPECT_EQ(ShownRows(w), QStringList({"Make=Beta", "Orientation=Rotate 180"}));

    // The same file again is not read again: a file changed meanwhile keeps
    // its old rows until another file is chosen.
    WriteBytes(P("b.jpg"), MakeJpeg(16, 16, OrientationBlock(8, "Gamma")));
    form.SLV1->clearSelection();
    select("b.jpg");
    EXPECT_EQ(ShownRows(w), QStringList({"Make=Beta", "Orientation=Rotate 180"}));

    w.hide();
    select("a.jpg");
    EXPECT_EQ(ShownRows(w), QStringList({"Make=Beta", "Orientation=Rotate 180"}));
}

TEST_F(MetaWindows, PopupCommandsOpenTheWindowsWithTheSelectedFile) {
    RegisterMetaWindows();
    TToolWindows tools;
    SetToolWindows(&tools);
    {
        TForm1 form;
        tools.CreateAll();
        form.UpdateToolCommands();
        form.show();
        ASSERT_TRUE(form.OpenFolder(dir.path()));
        form.SLV1->selectionModel()->select(form.SLV1->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
        form.UpdatePopupMenu1();
        QAction* exif = form.Command("EXIF Data...");
        QAction* props = form.Command("Image Properties...");
        ASSERT_TRUE(exif && props);
        EXPECT_TRUE(exif->isEnabled());
        EXPECT_TRUE(props->isEnabled());

        exif->trigger();
        auto* w = qobject_cast<TfrmEXIF*>(tools.Find("TfrmEXIF"));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(ShownRows(*w), QStringList({"Make=Alpha", "Orientation=Rotate 90 CW"}));
        // "Next Image" moves the list on; the open window follows.
        form.SLV1->setCurrentIndex(form.SLV1->model()->index(0, 0));
        form.Command("NextImageButton")->trigger();
        EXPECT_EQ(ShownRows(*w), QStringList({"Make=Beta", "Orientation=Rotate 180"}));
        form.Command("PreviousImageButton")->trigger();
        EXPECT_EQ(ShownRows(*w), QStringList({"Make=Alpha", "Orientation=Rotate 90 CW"}));

        QString shownName;
        prompts->dialogAnswers.push_back([&](QDialog* d) {
            auto* p = qobject_cast<TfrmFileProp*>(d);
            shownName = p ? p->Values[0]->text() : QString();
            return int(QDialog::Accepted);
        });
        props->trigger();
        EXPECT_EQ(shownName, AddBackslash(form.ListedFolder()) + "a.jpg");
        w->hide();
    }
    SetToolWindows(nullptr);
}

TEST_F(MetaWindows, PropertiesDialogShowsTheFactsAndForgetsThemForAMissingFile) {
    TfrmFileProp d;
    EXPECT_EQ(d.windowTitle(), "Image Properties");
    EXPECT_EQ(d.size(), QSize(364, 254));
    EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(d.Preview->geometry(), QRect(248, 128, 105, 121));
    ASSERT_NE(d.Background->CurrentPixelGraphic(), nullptr);
    EXPECT_EQ(d.Background->CurrentPixelGraphic()->GetPixelColor(0, 0), RGB(140, 0, 0));
    for (QLabel* l : d.findChildren<QLabel*>()) EXPECT_EQ(l->textFormat(), Qt::PlainText);

    QStringList texts;
    bool preview = false;
    auto answer = [&](QDialog*) {
        texts.clear();
        for (QLabel* l : d.Values) texts << l->text();
        preview = d.Preview->isVisible();
        return int(QDialog::Accepted);
    };
    WriteBytes(P("small.jpg"), MakeJpeg(40, 30, {}, 10000));
    prompts->dialogAnswers.push_back(answer);
    d.ShowFile(P("small.jpg"));
    ASSERT_EQ(texts.size(), 11);
    EXPECT_EQ(texts[2], "10K");
    EXPECT_EQ(texts[6], "40");
    EXPECT_EQ(texts[7], "30");
    EXPECT_TRUE(preview);
    EXPECT_EQ(d.Preview->ImageWidth(), 40);

    // A missing file after a good one: nothing of the good one stays.
    prompts->dialogAnswers.push_back(answer);
    d.ShowFile(P("gone.jpg"));
    EXPECT_EQ(texts.mid(1), QStringList({"", "", "", "", "", "0", "0", "", "0", "0"}));
    EXPECT_FALSE(preview);

    // A recognised file whose picture fails to load: facts, no stale preview.
    prompts->dialogAnswers.push_back(answer);
    d.ShowFile(P("small.jpg"));
    EXPECT_TRUE(preview);
    // (Its frame header claims 60000 x 60000: the facts read, the picture
    // is over the library's size cap.)
    QByteArray huge = MakeJpeg(40, 30);
    const qsizetype sof = huge.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    for (int i : {5, 7}) {
        huge[sof + i] = char(0xEA);
        huge[sof + i + 1] = char(0x60);
    }
    WriteBytes(P("huge.jpg"), huge);
    ASSERT_TRUE(FileProperties(P("huge.jpg")).ShowPreview);
    prompts->dialogAnswers.push_back(answer);
    d.ShowFile(P("huge.jpg"));
    EXPECT_EQ(texts[6], "60000");
    EXPECT_FALSE(preview);

    // Through the shared entry point, without a running program.
    prompts->dialogAnswers.push_back([&](QDialog* shown) {
        texts = {qobject_cast<TfrmFileProp*>(shown)->Values[0]->text()};
        return int(QDialog::Accepted);
    });
    ShowImageProperties(nullptr, P("small.jpg"));
    EXPECT_EQ(texts, QStringList({P("small.jpg")}));
}
