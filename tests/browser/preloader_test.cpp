// Pictures decoded ahead on the worker thread: given out only when they are
// what a plain load gives now, and taken by the preview when it steps.

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "../support/sample_files.h"
#include "browser/mainform.h"
#include "browser/preloader.h"
#include "browser/preview.h"
#include "core/options.h"
#include "fixtures.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"
#include "view/pgimage.h"

namespace {

std::unique_ptr<TPixelGraphic> PlainLoad(const QString& path, const TPreloadSettings& s) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetReadWarningAction(s.readWarningAction);
    pg->SetBackgroundColor(s.backgroundColor);
    pg->LoadFromFile(QFile::encodeName(path).toStdString());
    return pg;
}

void ExpectSamePicture(const TPixelGraphic& a, const TPixelGraphic& b, const QString& what) {
    const std::string w = what.toStdString();
    ASSERT_EQ(a.GetWidth(), b.GetWidth()) << w;
    ASSERT_EQ(a.GetHeight(), b.GetHeight()) << w;
    ASSERT_EQ(a.PixelFormat(), b.PixelFormat()) << w;
    EXPECT_EQ(a.Gamma(), b.Gamma()) << w;
    EXPECT_EQ(a.Palette(), b.Palette()) << w;
    EXPECT_EQ(a.PaletteIdent(), b.PaletteIdent()) << w;
    const int64_t rowBytes = (int64_t(a.GetWidth()) * PixelFormatBits(a.PixelFormat()) + 7) / 8;
    for (int y = 0; y < a.GetHeight(); ++y)
        ASSERT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(rowBytes)), 0)
            << w << " row " << y;
}

class Preloader : public ::testing::Test {
  protected:
    void SetUp() override {
        InitImageLibrary();
        ClearSettings();
        ViewAllFiles = false;
    }
    void TearDown() override { GammaCorrection = savedGamma; }
    QString Path(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    bool savedGamma = GammaCorrection;
};

} // namespace

TEST_F(Preloader, GivesWhatAPlainLoadGives) {
    samples::SaveQuad(Path("a.jpg"), 301, 203);
    samples::SaveQuad(Path("b.png"), 97, 45, true);
    samples::SaveQuad(Path("c.bmp"), 64, 33, true);
    samples::SaveQuad(Path("d.tif"), 50, 20);
    samples::SaveQuad(Path("e.tga"), 31, 17);
    ASSERT_TRUE(samples::WriteQuadPcx(Path("f.pcx"), 40, 30));
    const QStringList files = {Path("a.jpg"), Path("b.png"), Path("c.bmp"),
                               Path("d.tif"), Path("e.tga"), Path("f.pcx")};
    for (const TPreloadSettings s : {TPreloadSettings{}, TPreloadSettings{pgwaIgnore, 0x00FF00}}) {
        TPreloader pre;
        pre.Want(files, s);
        pre.WaitIdle();
        EXPECT_EQ(pre.Ready().size(), files.size());
        for (const QString& f : files) {
            auto ahead = pre.Take(f, s);
            ASSERT_NE(ahead, nullptr) << f.toStdString();
            ExpectSamePicture(*ahead, *PlainLoad(f, s), f);
            EXPECT_EQ(pre.Take(f, s), nullptr) << "given out twice";
        }
    }
}

TEST_F(Preloader, StaleResultsAreDropped) {
    samples::SaveQuad(Path("a.bmp"), 40, 20);
    samples::SaveQuad(Path("b.bmp"), 40, 20);
    const QString a = Path("a.bmp");
    const TPreloadSettings s;
    struct Case {
        const char* what;
        std::function<void(TPreloader&)> change;
        TPreloadSettings asked;
    };
    const Case cases[] = {
        {"nothing changed (control)", [](TPreloader&) {}, s},
        {"folder or order changed", [](TPreloader& p) { p.Invalidate(); }, s},
        {"no longer wanted", [&](TPreloader& p) { p.Want({Path("b.bmp")}, s); }, s},
        {"switched off", [](TPreloader& p) { p.SetEnabled(false); }, s},
        {"other load settings", [](TPreloader&) {}, TPreloadSettings{pgwaIgnore, 0x123456}},
        {"process-wide options changed", [](TPreloader&) { GammaCorrection = !GammaCorrection; },
         s},
        {"file rewritten",
         [&](TPreloader&) {
             samples::SaveQuad(a, 40, 20, true);
             // Same size on disk or not, the times and inode tell.
         },
         s},
        {"file touched",
         [&](TPreloader&) {
             utimbuf t{time_t(1000000), time_t(1000000)};
             ::utime(QFile::encodeName(a).constData(), &t);
         },
         s},
        {"file gone", [&](TPreloader&) { QFile::remove(a); }, s},
    };
    for (const Case& c : cases) {
        samples::SaveQuad(a, 40, 20);
        GammaCorrection = savedGamma;
        TPreloader pre;
        pre.Want({a}, s);
        pre.WaitIdle();
        ASSERT_EQ(pre.Ready(), QStringList{a}) << c.what;
        c.change(pre);
        const bool control = QString(c.what).startsWith("nothing");
        EXPECT_EQ(pre.Take(a, c.asked) != nullptr, control) << c.what;
    }
}

TEST_F(Preloader, BrokenAndMissingFilesAreLeftToThePlainLoad) {
    ASSERT_TRUE(samples::WriteBytes(Path("bad.jpg"), std::vector<uint8_t>(500, 0xFF)));
    TPreloader pre;
    pre.Want({Path("bad.jpg"), Path("none.png")}, {});
    pre.WaitIdle();
    EXPECT_TRUE(pre.Ready().isEmpty());
    EXPECT_EQ(pre.Take(Path("bad.jpg"), {}), nullptr);
}

TEST_F(Preloader, MetafilesAndAskingLoadsAreLeftToTheWindowsThread) {
    // The reader is chosen by content first: a metafile named .jpg is
    // played by the metafile reader, which draws with the window system's
    // fonts and belongs on the window's thread. The worker leaves it alone;
    // the picture beside it is decoded ahead as usual.
    RegisterMetafileFormats();
    ASSERT_TRUE(samples::WriteQuadWmf(Path("m.jpg"), 100, 80));
    ASSERT_TRUE(samples::WriteQuadWmf(Path("w.png"), 50, 40));
    samples::SaveQuad(Path("a.jpg"), 40, 30);
    TPreloader pre;
    pre.Want({Path("m.jpg"), Path("w.png"), Path("a.jpg")}, {});
    pre.WaitIdle();
    EXPECT_EQ(pre.Ready(), QStringList{Path("a.jpg")});
    EXPECT_EQ(pre.Take(Path("m.jpg"), {}), nullptr);
    // Loads whose warnings ask in a message box stay there too.
    for (TPGWarningAction asks : {pgwaOKBox, pgwaOKCancelBox}) {
        pre.Want({Path("a.jpg")}, {asks, 0});
        pre.WaitIdle();
        EXPECT_TRUE(pre.Ready().isEmpty()) << int(asks);
    }
    // The plain load on this thread plays it.
    auto plain = PlainLoad(Path("m.jpg"), {});
    EXPECT_GT(plain->GetWidth(), 0);
}

TEST_F(Preloader, StepsShowThePictureDecodedAhead) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"})
        samples::SaveQuad(Path(n), 120, 80);
    ASSERT_TRUE(samples::WriteQuadGif(Path("d.gif"), 120, 80));
    auto form = std::make_unique<TForm1>();
    form->show();
    QCoreApplication::processEvents();
    TPreview* pv = form->Preview;
    ASSERT_TRUE(form->OpenFolder(dir.path()));
    QAction* next = form->Command("NextImageButton");
    auto step = [&](QAction* a) {
        a->trigger();
        while (pv->LoadQueued() || pv->PreloadPending())
            QCoreApplication::processEvents();
        pv->Preloader().WaitIdle();
    };
    step(next); // a.jpg: next b.jpg; before it d.gif, which has its own control
    EXPECT_EQ(pv->Preloader().Ready(), QStringList{Path("b.jpg")});
    step(next); // b.jpg from the worker
    EXPECT_EQ(pv->PGImage1->FileName(), QFile::encodeName(Path("b.jpg")).toStdString());
    ExpectSamePicture(*pv->PGImage1->CurrentPixelGraphic(),
                      *PlainLoad(Path("b.jpg"), {pgwaIgnore, pv->PGImage1->BackGroundColor()}),
                      "b.jpg shown");
    EXPECT_EQ(pv->Preloader().Ready(), (QStringList{Path("a.jpg"), Path("c.jpg")}));
    // A refreshed list drops what was decoded for the old one.
    form->RefreshList();
    EXPECT_TRUE(pv->Preloader().Ready().isEmpty());
    form->close();
}

// Decoding ahead keeps to its memory budget: pictures are held only while
// they fit beside the others, and one larger than the budget on its own is
// never decoded ahead (the plain load still shows it).
TEST_F(Preloader, KeepsToItsMemoryBudget) {
    EXPECT_EQ(TPreloader().Budget(), 512LL << 20);
    // 24-bit 200 x 100: 60,000 bytes each.
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
        samples::SaveQuad(Path(n), 200, 100);
    samples::SaveQuad(Path("big.bmp"), 400, 300); // 360,000 bytes
    const QStringList three = {Path("a.bmp"), Path("b.bmp"), Path("c.bmp")};
    struct Case {
        long long budget;
        QStringList want;
        int ready;
    } cases[] = {
        {1 << 20, three, 3},
        {130000, three, 2}, // the first two in the order asked for
        {50000, three, 0},
        {300000, {Path("big.bmp"), Path("a.bmp")}, 1},
    };
    for (const Case& c : cases) {
        TPreloader pre;
        pre.SetBudget(c.budget);
        pre.Want(c.want, {});
        pre.WaitIdle();
        EXPECT_EQ(pre.Ready().size(), c.ready) << c.budget;
        EXPECT_LE(pre.HeldBytes(), c.budget);
        if (c.ready == 2) {
            EXPECT_TRUE(pre.Ready().contains(Path("a.bmp")));
            EXPECT_TRUE(pre.Ready().contains(Path("b.bmp")));
        }
        EXPECT_FALSE(pre.Ready().contains(Path("big.bmp")));
    }
}
