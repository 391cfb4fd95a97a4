// Repainting the image view control against the floor of this stack: a
// widget that draws a prepared 32-bit QImage of the same size with QPainter.
// A 6000 x 4000 24-bit picture in a 1280 x 800 view, fitted and at 100 %
// (full repaints, and scrolling that repaints only the uncovered strip).
// Runs offscreen: QT_QPA_PLATFORM=offscreen is set when unset.

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include "core/pixelgraphic.h"
#include "core/qt/drawing.h"
#include "view/pgimage.h"

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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
