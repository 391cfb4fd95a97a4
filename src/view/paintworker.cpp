#include "view/paintworker.h"

#include <QCoreApplication>
#include <QObject>

#include "core/optpalette.h"
#include "view/paintrules.h"

QEvent::Type TPGPaintDoneEvent::EventType() {
    static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
    return t;
}

QEvent::Type TPGPaintProgressEvent::EventType() {
    static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
    return t;
}

std::function<int64_t()> TCreatePaintPGThread::Clock = [] {
    return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count());
};

TCreatePaintPGThread::TCreatePaintPGThread(TPGPaintJob job, QObject* target, uint64_t generation)
    : job_(std::move(job)), target_(target), generation_(generation) {}

TCreatePaintPGThread::~TCreatePaintPGThread() {
    Stop();
}

void TCreatePaintPGThread::Stop() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

void TCreatePaintPGThread::Start() {
    thread_ = std::thread([this] {
        std::unique_ptr<TPixelGraphic> result;
        try {
            result = Work();
        } catch (...) {
            // An error in the conversion leaves the control without a paint
            // picture; it must not end the program from a thread.
            result.reset();
        }
        if (StopRequested()) result.reset();
        finished_.store(true, std::memory_order_release);
        // Posted even when nothing came out, so the control knows the job is
        // over and stops waiting for it.
        QCoreApplication::postEvent(target_, new TPGPaintDoneEvent(generation_, std::move(result)));
    });
}

void TCreatePaintPGThread::RunHere(const std::function<void(std::unique_ptr<TPixelGraphic>)>& done,
                                   const std::function<void(int, int)>& progress) {
    directProgress_ = progress;
    std::unique_ptr<TPixelGraphic> result;
    try {
        result = Work();
    } catch (...) {
        result.reset();
    }
    if (StopRequested()) result.reset();
    finished_.store(true, std::memory_order_release);
    if (done) done(std::move(result));
}

void TCreatePaintPGThread::OnProgress(int step, int max, bool& abort) {
    const int percent = PGProgressPercent(step, max);
    const int64_t now = Clock();
    if (percent != lastPercent_ && now / 50 != lastTime_ / 50) {
        lastPercent_ = percent;
        lastTime_ = now;
        if (directProgress_)
            directProgress_(step_, percent);
        else if (target_)
            QCoreApplication::postEvent(
                target_, new TPGPaintProgressEvent(generation_, step_, percent, now / 50));
    }
    abort = StopRequested();
}

std::unique_ptr<TPixelGraphic> TCreatePaintPGThread::Work() {
    lastPercent_ = 0;
    lastTime_ = Clock();
    step_ = 1;
    TPixelGraphic* source = job_.source;
    std::unique_ptr<TPixelGraphic> paint = std::move(job_.paint);
    if (!source || !paint) return nullptr;
    auto progress = [this](TObject*, int step, int max, bool& abort) {
        OnProgress(step, max, abort);
    };
    paint->OnProgress = progress;
    TPixelGraphic* inter = source;
    if (job_.intermediate) {
        job_.intermediate->OnProgress = progress;
        if (StopRequested()) return nullptr;
        job_.intermediate->CopyFrom(*source);
        inter = job_.intermediate.get();
        ++step_;
    }
    if (job_.optimise) {
        if (StopRequested()) return nullptr;
        BuildOptimizedPalette(*paint, *inter, 252, true);
        ++step_;
    }
    if (StopRequested()) return nullptr;
    if (job_.optimise && inter->PixelFormat() == pg8Bit && inter->GetWidth() == paint->GetWidth() &&
        inter->GetHeight() == paint->GetHeight())
        MapThroughIndexTable(*inter, *paint);
    else
        paint->CopyFrom(*inter);
    ++step_;
    job_.intermediate.reset();
    if (StopRequested()) return nullptr;
    // The control connects its own events when it takes the picture.
    paint->OnProgress = nullptr;
    return paint;
}

void TCreatePaintPGThread::MapThroughIndexTable(TPixelGraphic& inter, TPixelGraphic& paint) {
    // Each source value needs one nearest-colour search, not each pixel.
    // Values past the palette show entry 0, as drawing the picture does.
    const auto& pal = inter.Palette();
    const bool cache = paint.UseColorCache();
    paint.SetUseColorCache(false);
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) {
        const TRGB c = size_t(i) < pal.size() ? pal[size_t(i)] & 0xFFFFFF
                       : pal.empty()          ? 0
                                              : pal[0] & 0xFFFFFF;
        table[i] = uint8_t(paint.NearestPaletteIndex(c));
    }
    paint.SetUseColorCache(cache);
    const int w = paint.GetWidth(), h = paint.GetHeight();
    const TPixelGraphic& src = inter;
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = src.ScanLine(y);
        uint8_t* out = paint.ScanLine(y);
        for (int x = 0; x < w; ++x)
            out[x] = table[in[x]];
        bool abort = false;
        OnProgress(y, h - 1, abort);
        if (abort) return;
    }
}
