#pragma once
// TCreatePaintPGThread: makes the view control's paint picture, the converted
// copy it draws when the screen cannot show the picture as it is or when a
// smooth stretch is wanted. Threaded, it runs on its own std::thread and
// reports by posting events that own their payload to the control; without a
// thread the control runs the same work in place and gets direct calls.
//
// The worker reads the source picture and writes only the pictures it was
// given; the control stops it (Stop: request, then join) before it changes,
// frees or hands out the source. A stop request reaches the running image
// operation through the progress callback's abort output, so stopping is
// prompt even in the middle of a large resample.

#include <QEvent>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "core/pixelgraphic.h"

class QObject;

// Completion: the finished paint picture (null when the job failed). Jobs
// carry the control's generation; the control frees events of older jobs
// unused.
class TPGPaintDoneEvent : public QEvent {
  public:
    static QEvent::Type EventType();
    TPGPaintDoneEvent(uint64_t generation, std::unique_ptr<TPixelGraphic> picture)
        : QEvent(EventType()), generation(generation), picture(std::move(picture)) {}
    uint64_t generation;
    std::unique_ptr<TPixelGraphic> picture;
};

// Progress of the current step: step (1-based) and percentage 0 to 100.
// `slot` is the 50-millisecond slot it was reported in.
class TPGPaintProgressEvent : public QEvent {
  public:
    static QEvent::Type EventType();
    TPGPaintProgressEvent(uint64_t generation, int step, int percent, int64_t slot)
        : QEvent(EventType()), generation(generation), step(step), percent(percent), slot(slot) {}
    uint64_t generation;
    int step, percent;
    int64_t slot;
};

struct TPGPaintJob {
    TPixelGraphic* source = nullptr; // read only
    // A 24-bit picture of paint size to stretch the source into first; null
    // when the source itself is the intermediate.
    std::unique_ptr<TPixelGraphic> intermediate;
    // Format, palette, size and options set; owned by the worker until
    // delivered.
    std::unique_ptr<TPixelGraphic> paint;
    bool optimise = false;
};

class TCreatePaintPGThread {
  public:
    // Threaded: events go to `target` (which must outlive the worker or stop
    // it first). Direct: `target` may be null and the callbacks are used.
    TCreatePaintPGThread(TPGPaintJob job, QObject* target, uint64_t generation);
    ~TCreatePaintPGThread(); // stops and joins
    TCreatePaintPGThread(const TCreatePaintPGThread&) = delete;
    TCreatePaintPGThread& operator=(const TCreatePaintPGThread&) = delete;

    // Runs the work on a new thread, posting events.
    void Start();
    // Runs the work here; `done` receives the result (null when it failed or
    // was stopped), `progress` each report.
    void RunHere(const std::function<void(std::unique_ptr<TPixelGraphic>)>& done,
                 const std::function<void(int step, int percent)>& progress);
    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // Requests a stop and waits until the thread has ended.
    void Stop();
    // The work ended (delivered, failed or stopped).
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    uint64_t Generation() const { return generation_; }

    // Milliseconds of the clock progress is throttled by; replaceable by tests.
    static std::function<int64_t()> Clock;

  private:
    std::unique_ptr<TPixelGraphic> Work();
    void OnProgress(int step, int max, bool& abort);
    void MapThroughIndexTable(TPixelGraphic& inter, TPixelGraphic& paint);

    TPGPaintJob job_;
    QObject* target_;
    uint64_t generation_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    int step_ = 1;
    int lastPercent_ = 0;
    int64_t lastTime_ = 0;
    std::function<void(int, int)> directProgress_;
};
