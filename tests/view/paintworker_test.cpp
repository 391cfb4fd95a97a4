// The paint worker on its own: results and progress as posted events, the
// progress throttle, stopping through the progress abort, the index table.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "support/test_pictures.h"
#include "view/paintworker.h"

namespace {

// Collects what a worker posts.
class TRecorder : public QObject {
  public:
    std::vector<TPGPaintProgressEvent> progress;
    std::unique_ptr<TPixelGraphic> result;
    bool done = false;

  protected:
    void customEvent(QEvent* e) override {
        if (e->type() == TPGPaintDoneEvent::EventType()) {
            done = true;
            result = std::move(static_cast<TPGPaintDoneEvent*>(e)->picture);
        } else if (e->type() == TPGPaintProgressEvent::EventType()) {
            progress.push_back(*static_cast<TPGPaintProgressEvent*>(e));
        }
    }
};

void WaitFor(const std::function<bool()>& ready) {
    QElapsedTimer t;
    t.start();
    while (!ready() && t.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::unique_ptr<TPixelGraphic> Photo(int w, int h) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pg->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = uint8_t(x * 255 / w);
            row[3 * x + 1] = uint8_t(y * 255 / h);
            row[3 * x + 2] = uint8_t((x + y) * 3);
        }
    }
    return pg;
}

TPGPaintJob ResampleJob(TPixelGraphic& source, int w, int h) {
    TPGPaintJob job;
    job.source = &source;
    job.paint = std::make_unique<TPixelGraphic>();
    job.paint->SetFormat(w, h, pg24Bit);
    job.paint->SetStretchMode(smPrecise);
    return job;
}

// A clock the test moves: `step` milliseconds per reading.
struct TFakeClock {
    explicit TFakeClock(int64_t step) {
        saved = TCreatePaintPGThread::Clock;
        TCreatePaintPGThread::Clock = [this, step] { return readings++ * step; };
    }
    ~TFakeClock() { TCreatePaintPGThread::Clock = saved; }
    std::function<int64_t()> saved;
    std::atomic<int64_t> readings{0};
};

TEST(TCreatePaintPGThread, PostsThrottledProgressAndOwnsItsResult) {
    TFakeClock clock(7); // a row every 7 ms: about one report in seven rows
    auto source = Photo(300, 400);
    TRecorder rec;
    TCreatePaintPGThread worker(ResampleJob(*source, 150, 200), &rec, 5);
    worker.Start();
    WaitFor([&] { return rec.done; });
    ASSERT_TRUE(rec.result);
    EXPECT_EQ(rec.result->GetWidth(), 150);
    EXPECT_TRUE(worker.Finished());
    ASSERT_GE(rec.progress.size(), 10u);
    for (size_t i = 0; i < rec.progress.size(); ++i) {
        EXPECT_EQ(rec.progress[i].generation, 5u);
        EXPECT_EQ(rec.progress[i].step, 1);
        if (i > 0) {
            // One report per new percentage and 50-millisecond slot.
            EXPECT_GT(rec.progress[i].slot, rec.progress[i - 1].slot);
            EXPECT_GT(rec.progress[i].percent, rec.progress[i - 1].percent);
        }
    }
    // The same as the plain copy.
    TPixelGraphic plain;
    plain.SetFormat(150, 200, pg24Bit);
    plain.SetStretchMode(smPrecise);
    plain.CopyFrom(*source);
    for (int y = 0; y < 200; ++y)
        ASSERT_EQ(0, std::memcmp(plain.ScanLine(y), rec.result->ScanLine(y), 450)) << y;
}

TEST(TCreatePaintPGThread, StopAbortsTheRunningResampleThroughTheProgressAbort) {
    TFakeClock clock(1);
    auto source = Photo(400, 2000);
    TCreatePaintPGThread worker(ResampleJob(*source, 200, 1000), nullptr, 1);
    int reports = 0;
    int64_t readingsAtStop = 0;
    bool delivered = false, gotNull = false;
    worker.RunHere(
        [&](std::unique_ptr<TPixelGraphic> pg) {
            delivered = true;
            gotNull = !pg;
        },
        [&](int, int) {
            if (++reports == 1) {
                worker.RequestStop();
                readingsAtStop = clock.readings;
            }
        });
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(gotNull);
    EXPECT_EQ(reports, 1);
    // The resample left at the next row instead of running through its
    // 1000 rows.
    EXPECT_LE(clock.readings - readingsAtStop, 2);
}

TEST(TCreatePaintPGThread, IndexTableGivesEachPixelItsNearestEntry) {
    auto source = MakeTestPicture(pg8Bit, 61, 37);
    source->SetPaletteCount(200); // values past the palette show entry 0
    TPGPaintJob job;
    job.source = source.get();
    job.paint = std::make_unique<TPixelGraphic>();
    job.paint->SetFormat(61, 37, pg8Bit);
    job.optimise = true;
    TCreatePaintPGThread worker(std::move(job), nullptr, 1);
    std::unique_ptr<TPixelGraphic> out;
    worker.RunHere([&](std::unique_ptr<TPixelGraphic> pg) { out = std::move(pg); }, nullptr);
    ASSERT_TRUE(out);
    EXPECT_LE(out->PaletteCount(), 252);
    out->SetUseColorCache(false);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 61; ++x) {
            const int v = source->GetPixel(x, y);
            const TRGB c = v < 200 ? source->PaletteEntry(v) : source->PaletteEntry(0);
            ASSERT_EQ(out->GetPixel(x, y), out->NearestPaletteIndex(c)) << x << "," << y;
        }
}

TEST(TCreatePaintPGThread, FailuresDeliverNothingAndStopBeforeStartJoinsNothing) {
    // A picture with a pixel value past its palette makes the copy fail:
    // caught on the thread, nothing delivered, the program goes on.
    auto source = MakeTestPicture(pg8Bit, 20, 20);
    source->SetPaletteCount(4);
    TPGPaintJob job;
    job.source = source.get();
    job.paint = std::make_unique<TPixelGraphic>();
    job.paint->SetFormat(10, 10, pg24Bit);
    TRecorder rec;
    TCreatePaintPGThread worker(std::move(job), &rec, 2);
    worker.Start();
    WaitFor([&] { return rec.done; });
    EXPECT_TRUE(rec.done);
    EXPECT_FALSE(rec.result);
    TCreatePaintPGThread idle(TPGPaintJob{}, &rec, 3);
    idle.Stop();
    EXPECT_FALSE(idle.Finished());
}

} // namespace
