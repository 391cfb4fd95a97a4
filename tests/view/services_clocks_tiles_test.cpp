// Printing through the prompts service, the progress clock hands, and the
// display tiles' memory budget.

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/qt/print.h"
#include "support/scriptedprompts.h"
#include "support/test_pictures.h"
#include "view/clocks.h"
#include "view/services.h"
#include "view/tilecache.h"

namespace {

TEST(ViewServices, PrintDialogIsAskedThroughThePromptsService) {
    InstallViewServices();
    TScopedPrompts prompts;
    QTemporaryDir dir;
    QPrinter& printer = PGPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    auto pg = MakeTestPicture(pg24Bit, 20, 10);
    prompts->printAnswers = {false, true};
    printer.setOutputFileName(dir.filePath("cancelled.pdf"));
    Print(*pg, true, false);
    EXPECT_FALSE(QFile::exists(dir.filePath("cancelled.pdf")));
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    Print(*pg, true, false);
    EXPECT_TRUE(QFile::exists(dir.filePath("printed.pdf")));
    ASSERT_EQ(prompts->asked.size(), 2u);
    EXPECT_EQ(prompts->asked[0].kind, "print");
}

TEST(PGClockHands, AnglesFollowStepAndPercent) {
    struct Case {
        int step, percent;
        QPoint hour, minute;
    } cases[] = {
        {1, 0, {7, 1}, {7, 0}},    // both straight up
        {1, 25, {8, 1}, {14, 7}},  // minute hand at three, hour hand a little on
        {4, 0, {13, 7}, {7, 0}},   // step 4: hour hand at three
        {7, 50, {5, 13}, {7, 14}}, // past six
    };
    for (const Case& c : cases) {
        const TPGClockHands h = PGClockHands(0, 0, c.step, c.percent);
        EXPECT_EQ(h.centre, QPoint(7, 7));
        EXPECT_EQ(h.hour, c.hour) << c.step << " " << c.percent;
        EXPECT_EQ(h.minute, c.minute) << c.step << " " << c.percent;
    }
}

TEST(TPGTileCache, StaysWithinItsBudgetAndDrawsTheSame) {
    auto pg = MakeTestPicture(pg24Bit, 1000, 700);
    const int64_t tileBytes = int64_t(TPGTileCache::kTile) * TPGTileCache::kTile * 4;
    const int64_t budget = 3 * tileBytes;
    // A 300 x 300 window meets at most this many tiles.
    const int64_t perPaint =
        int64_t(300 / TPGTileCache::kTile + 2) * (300 / TPGTileCache::kTile + 2);
    TPGTileCache cache(budget);
    QImage dev(300, 300, QImage::Format_RGB32);
    // Walk a 300 x 300 window over the picture at 100 %.
    for (int step = 0; step < 4; ++step) {
        const QPoint at(-step * 200, -step * 100);
        {
            QPainter p(&dev);
            cache.Draw(p, *pg, QRect(at, QSize(1000, 700)), false, false, dev.rect());
        }
        // Tiles of the current paint are kept even above the budget.
        EXPECT_LE(cache.BytesHeld(), std::max<int64_t>(budget, perPaint * tileBytes));
        for (QPoint q : {QPoint(0, 0), QPoint(299, 299), QPoint(150, 17)})
            ASSERT_EQ(dev.pixel(q) & 0xFFFFFF,
                      ShownColor(*pg, q.x() - at.x(), q.y() - at.y()) & 0xFFFFFF);
    }
    // A repaint of the same place makes no new tiles.
    const int made = cache.TilesMade();
    QPainter p(&dev);
    cache.Draw(p, *pg, QRect(QPoint(-600, -300), QSize(1000, 700)), false, false, dev.rect());
    EXPECT_EQ(cache.TilesMade(), made);
}

} // namespace
