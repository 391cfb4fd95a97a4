#pragma once
// A run of grid thumbnails on one or two worker threads. Each finished
// thumbnail is posted to the receiver as a TThumbReadyEvent that owns its
// image and carries the run's generation and the item's index, so the window
// drops whatever a stale run still delivers. The run works on a snapshot of
// paths, never on the live list.

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "thumbs/thumbmaker.h"

class TThumbReadyEvent : public QEvent {
  public:
    static QEvent::Type Kind();
    TThumbReadyEvent(quint64 generation, int index, QImage image, bool readable)
        : QEvent(Kind()), generation(generation), index(index), image(std::move(image)),
          readable(readable) {}
    quint64 generation;
    int index;
    QImage image;
    bool readable;
};

// Posted once, after every thumbnail of a run that was not cancelled.
class TThumbDoneEvent : public QEvent {
  public:
    static QEvent::Type Kind();
    explicit TThumbDoneEvent(quint64 generation) : QEvent(Kind()), generation(generation) {}
    quint64 generation;
};

class TThumbRun {
  public:
    // Starts `workers` threads over `paths`. The receiver must outlive the
    // run: destroy (or Wait for) the run before the receiver goes.
    TThumbRun(QStringList paths, const TThumbOptions& options, quint64 generation,
              QObject* receiver, int workers);
    ~TThumbRun(); // cancels and waits
    TThumbRun(const TThumbRun&) = delete;
    TThumbRun& operator=(const TThumbRun&) = delete;

    quint64 Generation() const { return generation_; }
    // Stops handing out items; the item in hand is finished and dropped.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }
    // True when every worker has left.
    bool Finished() const { return active_ == 0; }
    void Wait();

    // Test hook, run on the worker before each file is read.
    static std::function<void(const QString& path)> BeforeLoad;

  private:
    void Work();

    const QStringList paths_;
    const TThumbOptions options_;
    const quint64 generation_;
    QObject* const receiver_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> next_{0};
    std::atomic<int> active_{0};
    std::vector<std::thread> threads_;
};

// One or two workers: thumbnails are bound by decoding, and the window's
// thread needs a core of its own to stay responsive.
int ThumbWorkerCount();
