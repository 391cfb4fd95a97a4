#pragma once
// A run of grid thumbnails on worker threads (one per core). Each finished
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
#include <mutex>
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
    // The items first..last (the ones in view) are handed out next, before
    // the rest; items already taken are not made again. A later call
    // replaces the range.
    void Prefer(int first, int last);
    // True when every worker has left.
    bool Finished() const { return active_ == 0; }
    void Wait();

    // Test hook, run on the worker before each file is read.
    static std::function<void(const QString& path)> BeforeLoad;

  private:
    void Work();
    // The next item to make, or -1 when none is left.
    int Take();

    const QStringList paths_;
    const TThumbOptions options_;
    const quint64 generation_;
    QObject* const receiver_;
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::vector<char> taken_;             // under mutex_
    int next_ = 0;                        // under mutex_: the first not yet looked at in order
    int preferNext_ = 0, preferLast_ = -1; // under mutex_: what is left of the preferred range
    std::atomic<int> active_{0};
    std::vector<std::thread> threads_;
};

// One worker per core: thumbnails are bound by decoding. The window stays
// responsive because each result reaches it as a small event.
int ThumbWorkerCount();
