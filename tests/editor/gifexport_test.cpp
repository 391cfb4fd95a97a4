#include <QFileInfo>
#include <QLabel>
#include <QProcess>

#include "editor/qt/giftrans.h"
#include "editor_fixture.h"

namespace {

const QString kReduce = "GIF images can only have 256 colors. I will optimize the colors...";

std::string Gifsicle(const QString& path) {
    QProcess p;
    p.start("gifsicle", {"--info", path});
    p.waitForFinished(20000);
    return p.readAllStandardOutput().toStdString() + p.readAllStandardError().toStdString();
}

TEST_F(EditorTest, GIFExportOfATrueColourPictureSaysItReducesFirst) {
    Show(pg24Bit, 40, 30);
    prompts_->fileAnswers.push_back({Path("t")});
    Trigger("ExportasGIF89a1");
    EXPECT_EQ(prompts_->Messages(), QStringList{kReduce});
    EXPECT_EQ(prompts_->asked.back().text, "GIF89a Export");
    QFile f(Path("t.gif"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(6), "GIF89a");
    const std::string info = Gifsicle(Path("t.gif"));
    EXPECT_EQ(info.find("interlaced"), std::string::npos) << info;
    EXPECT_EQ(info.find("transparent"), std::string::npos) << info;
    TPixelGraphic back;
    back.LoadFromFile(QFile::encodeName(Path("t.gif")).toStdString());
    EXPECT_LE(back.PaletteCount(), 256);
    EXPECT_EQ(back.GetWidth(), 40);
    // The picture in the editor stays as it was.
    EXPECT_EQ(ed_->PGImage1->CurrentPixelGraphic()->PixelFormat(), pg24Bit);
}

TEST_F(EditorTest, GIFExportOfAPalettePictureWritesItAsItIs) {
    Show(pg8Bit, 16, 16);
    prompts_->fileAnswers.push_back({Path("p.gif")});
    Trigger("ExportasGIF89a1");
    EXPECT_TRUE(prompts_->Messages().isEmpty());
    TPixelGraphic back;
    back.LoadFromFile(QFile::encodeName(Path("p.gif")).toStdString());
    EXPECT_EQ(Pixels(back), Shown());
}

TEST_F(EditorTest, GIFExportIntoAnUnwritableFolderLeavesNoFile) {
    Show(pg8Bit, 8, 8);
    // A "folder" that is a plain file cannot be written into, even by root.
    QFile blocker(Path("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompts_->fileAnswers.push_back({Path("blocker/x.gif")});
    Trigger("ExportasGIF89a1");
    EXPECT_EQ(prompts_->Messages().size(), 1);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"blocker"});
}

TEST_F(EditorTest, TransparencySelectorReportsTheColourUnderThePointer) {
    TfrmGIFTrans sel;
    // Three columns of three colours, shown 1:1.
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(3, 1, pg8Bit);
    pg->SetPaletteCount(3);
    pg->SetPaletteEntry(0, RGB(255, 0, 0));
    pg->SetPaletteEntry(1, RGB(0, 128, 0));
    pg->SetPaletteEntry(2, RGB(1, 2, 3));
    for (int x = 0; x < 3; ++x)
        pg->SetPixel(x, 0, x);
    sel.PGImage1->SetStretch(sNeverKAR);
    sel.PGImage1->TakePixelGraphic(std::move(pg));
    sel.show();
    EXPECT_EQ(sel.LastColor(), 0); // no move yet: black
    struct Case {
        int x;
        const char *r, *g, *b;
    } const cases[] = {{0, "R=255", "G=0", "B=0"},
                       {1, "R=0", "G=128", "B=0"},
                       {2, "R=1", "G=2", "B=3"},
                       {500, "R=1", "G=2", "B=3"}};
    for (const Case& c : cases) {
        sel.PointerMoved(c.x, 0);
        EXPECT_EQ(sel.SBR->text(), c.r) << c.x;
        EXPECT_EQ(sel.SBG->text(), c.g);
        EXPECT_EQ(sel.SBB->text(), c.b);
    }
    EXPECT_EQ(sel.LastColor(), RGB(1, 2, 3));
}

} // namespace
