#include "browser/clipplayer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cmath>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/qt/bitmap.h"
#include "core/stream.h"

namespace {

const QEvent::Type kFrameEvent = QEvent::Type(QEvent::registerEventType());

struct TFrameEvent : QEvent {
    TFrameEvent(uint64_t g, int i, QImage f)
        : QEvent(kFrameEvent), generation(g), index(i), frame(std::move(f)) {}
    uint64_t generation;
    int index;
    QImage frame; // null: the frame did not decode
};

} // namespace

struct TClipPlayer::TJob {
    uint64_t generation;
    int index;
    std::shared_ptr<const TAviClip> clip;
    QByteArray path;
};

TClipPlayer::TClipPlayer(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &TClipPlayer::Tick);
    worker_ = std::thread([this] { WorkerLoop(); });
}

TClipPlayer::~TClipPlayer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        job_.reset();
    }
    wake_.notify_all();
    worker_.join();
}

bool TClipPlayer::Open(const QByteArray& path) {
    Stop();
    try {
        TFileStream f(path.toStdString(), TFileStream::OpenRead);
        auto clip = std::make_shared<TAviClip>(ParseAviClip(f));
        if (clip->codec == TAviCodec::Unsupported || clip->frames.empty()) return false;
        // The first frame at once, on this thread: a clip shows something
        // as soon as it is opened.
        TAviFrameDecoder dec(*clip);
        TPixelGraphic pg;
        if (!dec.DecodeFrame(f, 0, pg)) return false;
        AssignToBitmap(pg, current_);
        currentIndex_ = 0;
        clip_ = std::move(clip);
        path_ = path;
        emit FrameChanged();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

double TClipPlayer::FrameInterval() const {
    return clip_ ? clip_->frameInterval : 0;
}

bool TClipPlayer::Running() const {
    return timer_->isActive();
}

void TClipPlayer::Start() {
    if (!clip_ || clip_->frames.size() < 2) return;
    timer_->start(std::max(1, int(std::lround(clip_->frameInterval))));
    if (!requested_ && aheadIndex_ < 0) Request((currentIndex_ + 1) % int(clip_->frames.size()));
}

void TClipPlayer::Stop() {
    timer_->stop();
    ++generation_; // frames on their way are stale now
    {
        std::lock_guard lock(mutex_);
        job_.reset();
    }
    current_ = ahead_ = QImage();
    currentIndex_ = aheadIndex_ = -1;
    requested_ = false;
    clip_.reset();
}

void TClipPlayer::Request(int index) {
    requested_ = true;
    {
        std::lock_guard lock(mutex_);
        job_ = std::make_unique<TJob>(TJob{generation_, index, clip_, path_});
    }
    wake_.notify_one();
}

void TClipPlayer::Tick() {
    if (!clip_ || aheadIndex_ < 0) return; // the next frame is late: keep this one
    current_ = std::move(ahead_);
    currentIndex_ = aheadIndex_;
    ahead_ = QImage();
    aheadIndex_ = -1;
    emit FrameChanged();
    Request((currentIndex_ + 1) % int(clip_->frames.size()));
}

void TClipPlayer::customEvent(QEvent* e) {
    if (e->type() != kFrameEvent) return;
    auto* f = static_cast<TFrameEvent*>(e);
    if (f->generation != generation_ || !clip_) return;
    requested_ = false;
    if (f->frame.isNull()) {
        // A frame that does not decode is skipped: the one shown stays.
        const int n = int(clip_->frames.size());
        if ((f->index + 1) % n != currentIndex_) Request((f->index + 1) % n);
        return;
    }
    ahead_ = std::move(f->frame);
    aheadIndex_ = f->index;
}

void TClipPlayer::WorkerLoop() {
    // The worker keeps its own stream and decoder for the clip it plays.
    std::shared_ptr<const TAviClip> clip;
    std::unique_ptr<TFileStream> file;
    std::unique_ptr<TAviFrameDecoder> decoder;
    TPixelGraphic pg;
    for (;;) {
        std::unique_ptr<TJob> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || job_; });
            if (quit_) return;
            job = std::move(job_);
        }
        QImage frame;
        try {
            if (job->clip != clip) {
                decoder.reset();
                file.reset();
                clip = job->clip;
                file = std::make_unique<TFileStream>(job->path.toStdString(), TFileStream::OpenRead);
                decoder = std::make_unique<TAviFrameDecoder>(*clip);
            }
            if (decoder->DecodeFrame(*file, job->index, pg)) AssignToBitmap(pg, frame);
        } catch (const Exception&) {
            clip.reset(); // opened again on the next job
        }
        QCoreApplication::postEvent(this,
                                    new TFrameEvent(job->generation, job->index, std::move(frame)));
    }
}
