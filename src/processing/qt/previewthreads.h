#pragma once
// The two workers of a filter dialog's live preview. The source worker fits
// its own copy of the edited picture into the preview box; the filter worker
// applies its own filter to the preview source into a new picture. Each
// posts its result to a receiver as an event that owns the picture, tagged
// with the dialog run and job it belongs to, so a stale result is dropped
// (and freed) on arrival. Terminate asks a worker to stop: the picture
// operations poll the flag through OnProgress and abort after their row.

#include <QEvent>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "core/filter.h"
#include "core/pixelgraphic.h"

class TPreviewEvent : public QEvent {
  public:
    static const QEvent::Type EventType;
    TPreviewEvent(int code, uint64_t run, uint64_t job, std::unique_ptr<TPixelGraphic> picture)
        : QEvent(EventType), Code(code), Run(run), Job(job), Picture(std::move(picture)) {}
    int Code; // 1: the preview source is ready; 2: a filtered preview
    uint64_t Run, Job;
    std::unique_ptr<TPixelGraphic> Picture;
};

// Hands the preview events of one dialog run to a function.
class TPreviewReceiver : public QObject {
  public:
    explicit TPreviewReceiver(std::function<void(TPreviewEvent&)> handler,
                              QObject* parent = nullptr)
        : QObject(parent), handler_(std::move(handler)) {}
    bool event(QEvent* e) override;

  private:
    std::function<void(TPreviewEvent&)> handler_;
};

// A worker thread with a stop flag; the destructor stops and joins it.
class TPreviewThread {
  public:
    virtual ~TPreviewThread();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    void WaitFor();

  protected:
    void Start(std::function<void()> body);
    // An OnProgress handler that aborts once Terminate was called.
    TPGProgressEvent AbortOnTerminate();

    std::atomic<bool> terminated_{false};

  private:
    std::thread thread_;
};

class TCreateSrcPGThread : public TPreviewThread {
  public:
    // Takes `copy` (made on the caller's thread) and posts code 1 with the
    // picture fitted into box x box, unless terminated.
    TCreateSrcPGThread(std::unique_ptr<TPixelGraphic> copy, int box, QObject* receiver,
                       uint64_t run);
    ~TCreateSrcPGThread() override;
};

class TCreateDestPGThread : public TPreviewThread {
  public:
    // Applies `filter` to `source` (which must outlive the thread and stay
    // unchanged while it runs) into a new picture and posts code 2 with it,
    // unless terminated.
    TCreateDestPGThread(std::unique_ptr<TPGFilter> filter, const TPixelGraphic& source,
                        QObject* receiver, uint64_t run, uint64_t job);
    ~TCreateDestPGThread() override;
};

// Makes the preview source: `picture` fitted into box x box as 24 bits.
// `abort` is polled per row; returns null when it asked to stop.
std::unique_ptr<TPixelGraphic> MakePreviewSource(TPixelGraphic& picture, int box,
                                                 const std::function<bool()>& abort);
