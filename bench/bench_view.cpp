// Repainting the image view control against the floor of this stack: a
// widget that draws a prepared 32-bit QImage of the same size with QPainter.
// A 6000 x 4000 24-bit picture in a 1280 x 800 view, fitted and at 100 %
// (full repaints, and scrolling that repaints only the uncovered strip).
// Also the selection frame's animation step, the smooth paint picture made by
// the worker against plain CopyFrom, and the window's longest stall while the
// worker runs.
// Runs offscreen: QT_QPA_PLATFORM=offscreen is set when unset.

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <ctime>

#include "core/pixelgraphic.h"
#include "core/qt/drawing.h"
#include "view/paintworker.h"
#include "view/pgimage.h"
#include "bench_window.h"

namespace {

constexpr int kW = 6000, kH = 4000, kViewW = 1280, kViewH = 800;

std::unique_ptr<TPixelGraphic> MakePicture() {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(kW, kH, pg24Bit);
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = pg->ScanLine(y);
        for (int64_t i = 0; i < int64_t(kW) * 3; ++i)
            row[i] = uint8_t(i * 7 + y * 3);
    }
    return pg;
}

const QImage& Prepared() {
    static const QImage img = [] {
        QImage i(kW, kH, QImage::Format_RGB32);
        for (int y = 0; y < kH; ++y) {
            auto* d = reinterpret_cast<QRgb*>(i.scanLine(y));
            for (int x = 0; x < kW; ++x)
                d[x] = qRgb(x * 7, y * 3, x + y);
        }
        return i;
    }();
    return img;
}

// The floor: a scroll area whose pane draws the prepared image with
// QPainter, stretched to the pane (fitted) or at 100 %, clipped to what is
// exposed.
class TFloorPane : public QWidget {
  protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        p.setClipRegion(e->region());
        if (width() == kW)
            p.drawImage(0, 0, Prepared());
        else
            p.drawImage(rect(), Prepared());
    }
};

std::unique_ptr<QScrollArea> MakeFloor(bool fit) {
    auto a = std::make_unique<QScrollArea>();
    a->setFrameStyle(QFrame::NoFrame);
    auto* pane = new TFloorPane;
    pane->resize(fit ? QSize(kViewW, kViewW * kH / kW) : QSize(kW, kH));
    a->setWidget(pane);
    a->resize(kViewW, kViewH);
    a->show();
    QApplication::processEvents();
    return a;
}

std::unique_ptr<TPGImage> MakeView(TStretch stretch) {
    auto v = std::make_unique<TPGImage>();
    v->SetBorderStyle(bsNone);
    v->SetStretch(stretch);
    v->resize(kViewW, kViewH);
    v->TakePixelGraphic(MakePicture());
    v->show();
    QApplication::processEvents();
    return v;
}

void BM_ViewRepaintFit(benchmark::State& state) {
    auto v = MakeView(sAlwaysKAR);
    for (auto _ : state)
        v->viewport()->repaint();
}
BENCHMARK(BM_ViewRepaintFit)->Unit(benchmark::kMillisecond);

// A new picture (or a new paint size) at fit: the display tiles of what is
// exposed are made again.
void BM_ViewFirstPaintFit(benchmark::State& state) {
    auto v = MakeView(sAlwaysKAR);
    for (auto _ : state) {
        v->CurrentPixelGraphic()->Changed();
        v->viewport()->repaint();
    }
}
BENCHMARK(BM_ViewFirstPaintFit)->Unit(benchmark::kMillisecond);

void BM_ViewFirstPaint100(benchmark::State& state) {
    auto v = MakeView(sNeverKAR);
    v->horizontalScrollBar()->setValue(2000);
    v->verticalScrollBar()->setValue(1500);
    for (auto _ : state) {
        v->CurrentPixelGraphic()->Changed();
        v->viewport()->repaint();
    }
}
BENCHMARK(BM_ViewFirstPaint100)->Unit(benchmark::kMillisecond);

void BM_FloorRepaintFit(benchmark::State& state) {
    auto f = MakeFloor(true);
    for (auto _ : state)
        f->widget()->repaint();
}
BENCHMARK(BM_FloorRepaintFit)->Unit(benchmark::kMillisecond);

void BM_ViewRepaint100(benchmark::State& state) {
    auto v = MakeView(sNeverKAR);
    v->horizontalScrollBar()->setValue(2000);
    v->verticalScrollBar()->setValue(1500);
    for (auto _ : state)
        v->viewport()->repaint();
}
BENCHMARK(BM_ViewRepaint100)->Unit(benchmark::kMillisecond);

void BM_FloorRepaint100(benchmark::State& state) {
    auto f = MakeFloor(false);
    f->horizontalScrollBar()->setValue(2000);
    f->verticalScrollBar()->setValue(1500);
    for (auto _ : state)
        f->widget()->repaint();
}
BENCHMARK(BM_FloorRepaint100)->Unit(benchmark::kMillisecond);

// Scrolling down 16 rows at a time at 100 %: the view blits and repaints the
// uncovered strip.
void BM_ViewScroll100(benchmark::State& state) {
    auto v = MakeView(sNeverKAR);
    QScrollBar* bar = v->verticalScrollBar();
    int pos = 0;
    for (auto _ : state) {
        pos = (pos + 16) % (bar->maximum() - 16);
        bar->setValue(pos);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ViewScroll100)->Unit(benchmark::kMillisecond);

void BM_FloorScroll100(benchmark::State& state) {
    auto f = MakeFloor(false);
    QScrollBar* bar = f->verticalScrollBar();
    int pos = 0;
    for (auto _ : state) {
        pos = (pos + 16) % (bar->maximum() - 16);
        bar->setValue(pos);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_FloorScroll100)->Unit(benchmark::kMillisecond);

// The drawing alone, without the widget machinery: DrawToDC of the picture
// against drawImage of the prepared image, into a 1280 x 800 image.
void BM_DrawToDCFit(benchmark::State& state) {
    auto pg = MakePicture();
    QImage dev(kViewW, kViewH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&dev);
        DrawToDC(*pg, p, QRect(0, 0, kViewW, kViewW * kH / kW));
    }
}
BENCHMARK(BM_DrawToDCFit)->Unit(benchmark::kMillisecond);

void BM_DrawImageFit(benchmark::State& state) {
    QImage dev(kViewW, kViewH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&dev);
        p.drawImage(QRect(0, 0, kViewW, kViewW * kH / kW), Prepared());
    }
}
BENCHMARK(BM_DrawImageFit)->Unit(benchmark::kMillisecond);

void BM_DrawToDC100(benchmark::State& state) {
    auto pg = MakePicture();
    QImage dev(kViewW, kViewH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&dev);
        DrawToDC(*pg, p, QRect(-2000, -1500, kW, kH));
    }
}
BENCHMARK(BM_DrawToDC100)->Unit(benchmark::kMillisecond);

void BM_DrawImage100(benchmark::State& state) {
    QImage dev(kViewW, kViewH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&dev);
        p.drawImage(QPoint(-2000, -1500), Prepared());
    }
}
BENCHMARK(BM_DrawImage100)->Unit(benchmark::kMillisecond);

// ---- display conversion and selection

// One step of the selection frame's animation on a fitted picture: the
// frame and handle strips repaint, the picture beneath from its tiles.
void BM_SelectionTickFit(benchmark::State& state) {
    auto v = MakeView(sAlwaysKAR);
    v->SetActionMode(amMoveResizeCreateSelection);
    v->SetSelectionBounds(500, 400, 5000, 3200);
    v->SetSelection(true);
    v->viewport()->repaint();
    for (auto _ : state) {
        v->AnimateSelection();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SelectionTickFit)->Unit(benchmark::kMillisecond);

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

TPGPaintJob PrecisePaintJob(TPixelGraphic& source) {
    TPGPaintJob job;
    job.source = &source;
    job.paint = std::make_unique<TPixelGraphic>();
    job.paint->SetFormat(1500, 1000, pg24Bit);
    job.paint->SetStretchMode(smPrecise);
    return job;
}

// The paint picture 6000 x 4000 -> 1500 x 1000 smPrecise through the worker,
// against the plain CopyFrom it wraps.
void BM_PaintPicturePrecise(benchmark::State& state) {
    auto pg = MakePicture();
    for (auto _ : state) {
        TCreatePaintPGThread worker(PrecisePaintJob(*pg), nullptr, 1);
        std::unique_ptr<TPixelGraphic> out;
        worker.RunHere([&](std::unique_ptr<TPixelGraphic> r) { out = std::move(r); }, nullptr);
        benchmark::DoNotOptimize(out.get());
    }
}
BENCHMARK(BM_PaintPicturePrecise)->Unit(benchmark::kMillisecond);

void BM_CopyFromPrecise(benchmark::State& state) {
    auto pg = MakePicture();
    for (auto _ : state) {
        TPixelGraphic out;
        out.SetFormat(1500, 1000, pg24Bit);
        out.SetStretchMode(smPrecise);
        out.CopyFrom(*pg);
        benchmark::DoNotOptimize(out.Bits());
    }
}
BENCHMARK(BM_CopyFromPrecise)->Unit(benchmark::kMillisecond);

// The window while the worker makes the paint picture of a fitted
// 6000 x 4000 picture with smPrecise: the longest single pass of the event
// loop (paints, progress clocks, delivery), and the memory the conversion
// adds (the paint picture; no intermediate here).
void BM_ThreadedJobLongestStall(benchmark::State& state) {
    auto v = MakeView(sAlwaysKAR);
    v->SetStretchMode(smPrecise);
    double longest = 0, longestCpu = 0, total = 0;
    int64_t extra = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        v->CurrentPixelGraphic()->Changed();
        v->viewport()->repaint(); // starts the job
        double stall = double(t.nsecsElapsed()) / 1e6;
        double cpu = 0;
        auto pass = [&] {
            QElapsedTimer wall;
            wall.start();
            const double c0 = ThreadCpuMs();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            stall = std::max(stall, double(wall.nsecsElapsed()) / 1e6);
            cpu = std::max(cpu, ThreadCpuMs() - c0);
        };
        while (v->PaintJobPending())
            pass();
        pass(); // the paint of the delivered picture
        longestCpu = std::max(longestCpu, cpu);
        total += double(t.nsecsElapsed()) / 1e6;
        longest = std::max(longest, stall);
        if (v->PaintPixelGraphic()) extra = v->PaintPixelGraphic()->ImageSize();
    }
    state.counters["longest_stall_ms"] = longest;
    // The same in CPU time of the window's thread: the wall figure also counts
    // the time the thread waited for a core.
    state.counters["longest_stall_cpu_ms"] = longestCpu;
    state.counters["job_ms"] = total / double(state.iterations());
    state.counters["extra_MiB"] = double(extra) / (1 << 20);
}
BENCHMARK(BM_ThreadedJobLongestStall)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
