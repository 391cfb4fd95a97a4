#pragma once
// Plays a silent clip's frames in order, looping: one frame is decoded ahead
// on a worker thread while the current one is shown. Frames travel to the
// window's thread in events that own them; frames of an earlier clip (an
// older generation) are dropped on arrival.

#include <QImage>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "formats/aviclip.h"

class QTimer;

class TClipPlayer : public QObject {
    Q_OBJECT
  public:
    explicit TClipPlayer(QObject* parent = nullptr);
    ~TClipPlayer() override;

    // Opens the clip; false (nothing to play) when it cannot be parsed or
    // its frames are of a kind we do not decode. Shows the first frame at
    // once when it decodes.
    bool Open(const QByteArray& nativePath);
    void Start(); // plays from the current frame, looping
    void Stop();  // stops and frees the frames and the clip
    bool Running() const;
    const QImage& CurrentFrame() const { return current_; }
    int CurrentIndex() const { return currentIndex_; }
    double FrameInterval() const;

  signals:
    void FrameChanged();

  protected:
    void customEvent(QEvent* e) override;

  private:
    struct TJob;
    void Request(int index);
    void Tick();
    void WorkerLoop();

    QTimer* timer_;
    QImage current_;
    int currentIndex_ = -1;
    QImage ahead_;
    int aheadIndex_ = -1;
    bool requested_ = false;

    std::shared_ptr<const TAviClip> clip_;
    QByteArray path_; // native bytes
    uint64_t generation_ = 0; // window's thread

    // Worker side.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::unique_ptr<TJob> job_; // the next frame to decode
    std::thread worker_;
};
