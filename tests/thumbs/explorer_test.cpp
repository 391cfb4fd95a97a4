// The thumbnail explorer's runs on real files: thumbnails land on their own
// items, Esc and folder changes stop a run, saving answers through prompts.

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "browser/filelist.h"
#include "browser/statusbar.h"
#include "support/scriptedprompts.h"
#include "support/device_ratio.h"
#include "support/sample_files.h"
#include "thumbs/qt/savethumbnail.h"
#include "thumbs/qt/thumbnails.h"
#include "thumbs/qt/toolwidgets.h"
#include "thumbs/thumbrun.h"
#include "thumbtest_util.h"

using namespace samples;

namespace {
// A picture of one colour.
void WriteSolid(const QString& path, int w, int h, TRGB c) {
    TPixelGraphic p;
    p.SetFormat(w, h, pg24Bit);
    p.SetBackgroundColor(c);
    p.Clear();
    p.SaveToFile(path.toStdString());
}

QRgb Centre(const QPixmap& p) {
    return p.toImage().pixel(p.width() / 2, 2);
}

class Explorer : public ::testing::Test {
  protected:
    QTemporaryDir a, b;
    std::unique_ptr<TfrmThumbnails> w = std::make_unique<TfrmThumbnails>();
    void TearDown() override {
        w.reset();
        TThumbRun::BeforeLoad = nullptr;
    }
    QString Panel(int i) const { return w->StatusBar1->PanelText(i); }
    bool WaitIdle(int ms = 20000) {
        return QTest::qWaitFor([&] { return !w->Running(); }, ms);
    }
    static void Slow() {
        TThumbRun::BeforeLoad = [](const QString&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        };
    }
};
} // namespace

TEST_F(Explorer, EveryItemGetsItsOwnThumbnailOnce) {
    for (int i = 0; i < 6; ++i)
        WriteSolid(a.filePath(QString("p%1.bmp").arg(i)), 30 + 20 * i, 40, RGB(200, 10 * i, 0));
    WriteBytes(a.filePath("broken.jpg"), {0xFF, 0xD8, 0xFF});
    w->FolderChange(a.path());
    ASSERT_EQ(w->LV1->Count(), 7);
    EXPECT_EQ(Panel(1), "7 files");
    w->ThumbnailsClick();
    EXPECT_EQ(Panel(1), "Press ESC to cancel...");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Panel(1), "Thumbnails loaded");
    EXPECT_EQ(Panel(3), "");
    EXPECT_EQ(w->ThumbnailCount(), 7);
    for (int i = 0; i < 6; ++i) {
        const QPixmap p = w->ThumbnailOf(QString("p%1.bmp").arg(i));
        ASSERT_EQ(p.width(), 64);
        EXPECT_EQ(qRed(Centre(p)), 200) << i;
        EXPECT_EQ(qGreen(Centre(p)), 10 * i) << i;
    }
    // The unreadable file shows the question mark, not an empty slot.
    EXPECT_FALSE(w->ThumbnailOf("broken.jpg").isNull());
    // "Thumbnails" again on the same folder starts nothing.
    const quint64 gen = w->Generation;
    w->ThumbnailsClick();
    EXPECT_EQ(w->Generation, gen);
    EXPECT_FALSE(w->Running());
    // A size choice remakes them at the new size.
    w->ChooseSize(96);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(w->ThumbnailOf("p0.bmp").width(), 96);
}

// On a scaled screen the thumbnails have the device pixels of their square.
TEST_F(Explorer, AtRatioThumbnailsAreMadeForTheDevicePixels) {
    SKIP_UNLESS_RATIO_CHILD();
    const double r = ChildDeviceRatio();
    WriteSolid(a.filePath("p.bmp"), 300, 200, RGB(200, 30, 0));
    w->FolderChange(a.path());
    w->ThumbnailsClick();
    ASSERT_TRUE(WaitIdle());
    const QPixmap p = w->ThumbnailOf("p.bmp");
    EXPECT_EQ(p.width(), int(std::ceil(64 * r - 1e-9)));
    EXPECT_EQ(p.devicePixelRatio(), r);
    EXPECT_NEAR(p.deviceIndependentSize().width(), 64, 1);
}

TEST(ExplorerHiDpi, ThumbnailsAtRatios) {
    if (ChildDeviceRatio() > 0) GTEST_SKIP() << "the child itself";
    RunAtDeviceRatios("Explorer.AtRatio*", {"1", "1.5", "2"});
}

TEST_F(Explorer, EscStopsTheRun) {
    for (int i = 0; i < 30; ++i)
        WriteSolid(a.filePath(QString("p%1.bmp").arg(i, 2, 10, QChar('0'))), 20, 20, RGB(1, 2, 3));
    Slow();
    w->FolderChange(a.path());
    w->ThumbnailsClick();
    QTest::qWait(100);
    QTest::keyClick(w->LV1, Qt::Key_Escape);
    w->Esc(); // offscreen windows get no shortcut without focus: press it as the handler would
    EXPECT_EQ(Panel(1), "Stopped by user!");
    EXPECT_FALSE(w->Running());
    QTest::qWait(300);
    EXPECT_EQ(Panel(1), "Stopped by user!");
    EXPECT_LT(w->ThumbnailCount(), 30);
}

TEST_F(Explorer, FolderChangeMidRunLandsNoOldThumbnail) {
    // Same names, different colours: a late thumbnail of the first folder
    // would show red on the second.
    for (int i = 0; i < 12; ++i) {
        const QString n = QString("p%1.bmp").arg(i, 2, 10, QChar('0'));
        WriteSolid(a.filePath(n), 20, 20, RGB(255, 0, 0));
        WriteSolid(b.filePath(n), 20, 20, RGB(0, 0, 255));
    }
    Slow();
    w->FolderChange(a.path());
    w->ThumbnailsClick();
    QTest::qWait(60);
    w->FolderChange(b.path());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Panel(1), "Thumbnails loaded");
    EXPECT_EQ(w->ThumbnailCount(), 12);
    for (int i = 0; i < 12; ++i) {
        const QPixmap p = w->ThumbnailOf(QString("p%1.bmp").arg(i, 2, 10, QChar('0')));
        EXPECT_EQ(qBlue(Centre(p)), 255) << i;
        EXPECT_EQ(qRed(Centre(p)), 0) << i;
    }
}

TEST_F(Explorer, WindowDestroyedMidRun) {
    for (int i = 0; i < 10; ++i)
        WriteSolid(a.filePath(QString("p%1.bmp").arg(i)), 20, 20, RGB(1, 2, 3));
    Slow();
    w->FolderChange(a.path());
    w->ThumbnailsClick();
    QTest::qWait(50);
    w.reset(); // joins the workers; nothing posts to a dead window
    QTest::qWait(100);
}

TEST_F(Explorer, SavingThumbnailsThroughTheDialog) {
    WriteSolid(a.filePath("beach.jpg"), 120, 80, RGB(10, 120, 200));
    WriteSolid(a.filePath("x.y.png"), 50, 100, RGB(10, 120, 200));
    w->FolderChange(a.path());
    TScopedPrompts prompts;
    // Nothing selected.
    w->SaveThumbnails();
    EXPECT_EQ(prompts->Messages(), QStringList{"Select files to convert by clicking on them"});

    w->LV1->selectAll();
    QString count;
    prompts->dialogAnswers.push_back([&](QDialog* d) {
        auto* s = static_cast<TfrmSaveThumbnail*>(d);
        count = s->lblCount->text();
        EXPECT_EQ(s->edFolder->text(), QDir::cleanPath(a.path()) + "/");
        s->cbFormat->setCurrentIndex(4); // TGA
        s->cbSize->setCurrentIndex(2);   // 96
        return int(QDialog::Accepted);
    });
    w->SaveThumbnails();
    EXPECT_EQ(count, "Files to save: 2");
    // "Done processing", then the refill of the saved-into folder counts anew.
    EXPECT_EQ(Panel(1), "4 files");
    EXPECT_TRUE(QFile::exists(a.filePath("thm_beach.tga")));
    EXPECT_TRUE(QFile::exists(a.filePath("thm_x.tga")));
    // The list was refilled with the new files.
    EXPECT_EQ(w->LV1->Count(), 4);

    // An empty prefix with the same format names the source itself.
    QFile f(a.filePath("beach.jpg"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    w->LV1->clearSelection();
    for (int r = 0; r < w->LV1->Count(); ++r)
        if (w->LV1->Caption(r) == "beach.jpg")
            w->LV1->selectionModel()->select(w->LV1->Model()->index(r, 0),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
    prompts->dialogAnswers.push_back([](QDialog* d) {
        auto* s = static_cast<TfrmSaveThumbnail*>(d);
        s->edPrefix->setText("");
        s->cbFormat->setCurrentIndex(1); // JPG
        return int(QDialog::Accepted);
    });
    w->SaveThumbnails();
    ASSERT_FALSE(prompts->Messages().isEmpty());
    EXPECT_TRUE(prompts->Messages().last().startsWith("Would overwrite "))
        << prompts->Messages().last().toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();

    // A prefix leading out of the folder writes nothing.
    w->LV1->selectAll();
    prompts->dialogAnswers.push_back([](QDialog* d) {
        static_cast<TfrmSaveThumbnail*>(d)->edPrefix->setText("../x");
        return int(QDialog::Accepted);
    });
    w->SaveThumbnails();
    EXPECT_EQ(prompts->Messages().last(), "Invalid file prefix");
    EXPECT_EQ(QDir(a.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(Explorer, HandOverShowsTheFolderInDetailsAndCloseDeselects) {
    WriteSolid(a.filePath("b.bmp"), 10, 10, RGB(1, 2, 3));
    WriteSolid(a.filePath("a.bmp"), 10, 10, RGB(1, 2, 3));
    w->SetListStyle(TfrmThumbnails::lsIcon);
    w->TakeHandOver(a.path(), {});
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->ListStyle(), TfrmThumbnails::lsDetails);
    EXPECT_TRUE(w->tbDetails->isChecked());
    ASSERT_EQ(w->LV1->Count(), 2);
    EXPECT_EQ(w->LV1->Caption(0), "a.bmp"); // sorted by name on show
    EXPECT_EQ(w->LV1->Model()->Tag, 2);
    w->LV1->selectAll();
    // The grid view shares the selection.
    EXPECT_EQ(w->IconView->selectionModel()->selectedRows().size(), 2);
    w->close();
    EXPECT_EQ(w->LV1->SelCount(), 0);
}

// The output folder is settled once: a missing one is made after one
// question, one that cannot be made is one message, and files that fail one
// by one ask once (Cancel stops), never a box per file.
TEST_F(Explorer, SavingIntoAMissingOrBadFolderAsksOnce) {
    for (int i = 0; i < 5; ++i)
        WriteSolid(a.filePath(QString("p%1.bmp").arg(i)), 20, 20, RGB(9, 9, 9));
    w->FolderChange(a.path());
    w->LV1->selectAll();
    TScopedPrompts prompts;
    auto saveTo = [&](const QString& folder) {
        prompts->dialogAnswers.push_back([folder](QDialog* d) {
            static_cast<TfrmSaveThumbnail*>(d)->edFolder->setText(folder);
            return int(QDialog::Accepted);
        });
        w->SaveThumbnails();
    };

    const QString missing = b.filePath("new/deeper");
    prompts->buttonAnswers.push_back(QMessageBox::Yes);
    saveTo(missing);
    ASSERT_EQ(prompts->Messages().size(), 1);
    EXPECT_EQ(prompts->Messages()[0],
              "The folder " + QDir::cleanPath(missing) + " does not exist. Create it?");
    EXPECT_EQ(QDir(missing).entryList(QDir::Files).size(), 5);

    // Declined: nothing made.
    saveTo(b.filePath("other"));
    EXPECT_FALSE(QFileInfo::exists(b.filePath("other")));
    EXPECT_EQ(prompts->Messages().size(), 2);

    // A folder that cannot be made is one message saying why.
    prompts->buttonAnswers.push_back(QMessageBox::Yes);
    saveTo(a.filePath("p0.bmp") + "/sub");
    ASSERT_EQ(prompts->Messages().size(), 4);
    EXPECT_EQ(prompts->Messages()[3],
              "Cannot create folder " + a.filePath("p0.bmp") + "/sub: Not a directory");

    // Every source unreadable: one question; Cancel stops the run there.
    for (int i = 0; i < 5; ++i)
        WriteBytes(a.filePath(QString("p%1.bmp").arg(i)), {'B', 'M', 1});
    prompts->asked.clear();
    ASSERT_TRUE(QDir(b.path()).mkdir("bad"));
    saveTo(b.filePath("bad"));
    ASSERT_EQ(prompts->Messages().size(), 1);
    EXPECT_TRUE(prompts->Messages()[0].startsWith("Error reading " + QDir::cleanPath(a.path())))
        << prompts->Messages()[0].toStdString();
    const auto question = std::find_if(prompts->asked.begin(), prompts->asked.end(),
                                       [](const TPromptRecord& r) { return r.kind == "message"; });
    ASSERT_NE(question, prompts->asked.end());
    EXPECT_TRUE(question->buttons & QMessageBox::Cancel);
    // Going on: the other failures are counted without a box.
    prompts->asked.clear();
    prompts->buttonAnswers.push_back(QMessageBox::Yes);
    saveTo(b.filePath("bad"));
    EXPECT_EQ(prompts->Messages().size(), 1);
    EXPECT_EQ(Panel(1), "5 not written");
}

// The thumbnails view works like the details view: its items drag out,
// a click selects the row the commands act on, a double-click opens the
// picture; each thumbnail sits in the middle of its cell.
TEST_F(Explorer, ThumbnailsViewSelectsDragsOpensAndCentres) {
    WriteSolid(a.filePath("img_20240101_0001.bmp"), 40, 40, RGB(200, 0, 0));
    WriteSolid(a.filePath("img_20240101_0002.bmp"), 40, 20, RGB(200, 0, 0));
    w->resize(600, 400);
    w->show();
    w->FolderChange(a.path());
    w->ThumbnailsClick();
    ASSERT_TRUE(WaitIdle());
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->IconView->dragEnabled());

    const QModelIndex first = w->IconView->model()->index(0, 0);
    const QRect cell = w->IconView->visualRect(first);
    EXPECT_EQ(cell.size(), w->IconView->gridSize());
    QTest::mouseClick(w->IconView->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(w->LV1->SelCount(), 1);
    w->UpdatePopupCommands();
    EXPECT_TRUE(w->ViewImage1->isEnabled());
    EXPECT_TRUE(w->ImageProperties1->isEnabled());
    EXPECT_TRUE(w->SaveAsThumbnail1->isEnabled());

    // The red square of the first thumbnail: centred across, not at the top.
    w->IconView->clearSelection();
    QCoreApplication::processEvents();
    const QImage shot = w->IconView->viewport()->grab().toImage().convertToFormat(
        QImage::Format_RGB32);
    QRect red;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb c = shot.pixel(x * shot.width() / w->IconView->viewport()->width(),
                                      y * shot.height() / w->IconView->viewport()->height());
            if (qRed(c) > 180 && qGreen(c) < 40) red |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(red.isEmpty());
    EXPECT_LE(std::abs(red.center().x() - cell.center().x()), 1);
    EXPECT_GE(red.top() - cell.top(), 4);

    // A double-click on the selected item opens the View Image window on it.
    QTest::mouseClick(w->IconView->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(w->LV1->SelCount(), 1);
    emit w->IconView->doubleClicked(first);
    QCoreApplication::processEvents();
    QWidget* viewer = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->windowTitle() == "img_20240101_0001.bmp") viewer = t;
    ASSERT_NE(viewer, nullptr);
    delete viewer;
}

// Names elided in the middle keep their ends, where they differ.
TEST(ThumbWidgets, ElideKeepsTheEnd) {
    const QFontMetrics fm(QApplication::font());
    const QString a = "img_20240101_0001.jpg", b = "img_20240101_0002.jpg";
    const int width = fm.horizontalAdvance(a) * 2 / 3;
    const QString ea = ElideKeepingEnd(fm, a, width), eb = ElideKeepingEnd(fm, b, width);
    EXPECT_NE(ea, eb);
    EXPECT_TRUE(ea.endsWith("0001.jpg")) << ea.toStdString();
    EXPECT_TRUE(ea.startsWith("im")) << ea.toStdString();
    EXPECT_TRUE(ea.contains(QChar(0x2026)));
    EXPECT_LE(fm.horizontalAdvance(ea), width);
    EXPECT_EQ(ElideKeepingEnd(fm, a, fm.horizontalAdvance(a)), a);
    EXPECT_EQ(ElideKeepingEnd(fm, a, 1), QString(QChar(0x2026)));
}

// The items in view are made first, then the rest in order; nothing twice.
TEST(ThumbRunOrder, PreferredItemsComeFirst) {
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << QString("/nonexistent/p%1.bmp").arg(i);
    std::mutex m;
    std::condition_variable cv;
    bool preferred = false;
    QStringList order;
    TThumbRun::BeforeLoad = [&](const QString& p) {
        std::unique_lock lock(m);
        order << p.section('/', -1);
        cv.notify_all();
        cv.wait(lock, [&] { return preferred; }); // the first item waits for the choice
    };
    QObject receiver;
    {
        TThumbRun run(paths, TThumbOptions{}, 1, &receiver, 1);
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return !order.isEmpty(); });
        }
        run.Prefer(6, 8);
        run.Prefer(6, 42); // clamped to the last item
        {
            std::lock_guard lock(m);
            preferred = true;
        }
        cv.notify_all();
        run.Wait();
    }
    TThumbRun::BeforeLoad = nullptr;
    EXPECT_EQ(order.join(","), "p0.bmp,p6.bmp,p7.bmp,p8.bmp,p9.bmp,p1.bmp,p2.bmp,p3.bmp,p4.bmp,p5.bmp");
    QCoreApplication::sendPostedEvents(&receiver);
}
