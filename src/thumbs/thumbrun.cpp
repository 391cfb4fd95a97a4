#include "thumbs/thumbrun.h"

#include <QCoreApplication>
#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/qt/bitmap.h"
#include "core/registry.h"
#include "thumbs/thumbcache.h"

QEvent::Type TThumbReadyEvent::Kind() {
    static const auto t = QEvent::Type(QEvent::registerEventType());
    return t;
}

QEvent::Type TThumbDoneEvent::Kind() {
    static const auto t = QEvent::Type(QEvent::registerEventType());
    return t;
}

std::function<void(const QString&)> TThumbRun::BeforeLoad;

int ThumbWorkerCount() {
    return std::max(1, int(std::thread::hardware_concurrency()));
}

TThumbRun::TThumbRun(QStringList paths, const TThumbOptions& options, quint64 generation,
                     QObject* receiver, int workers)
    : paths_(std::move(paths)), options_(options), generation_(generation), receiver_(receiver) {
    PrepareLibraryForWorkers();
    taken_.assign(size_t(paths_.size()), 0);
    const int n = std::max(1, std::min(workers, int(paths_.size())));
    active_ = n;
    for (int i = 0; i < n; ++i)
        threads_.emplace_back([this] { Work(); });
}

TThumbRun::~TThumbRun() {
    Cancel();
    Wait();
}

void TThumbRun::Wait() {
    for (auto& t : threads_)
        if (t.joinable()) t.join();
}

void TThumbRun::Prefer(int first, int last) {
    std::lock_guard lock(mutex_);
    preferNext_ = std::max(0, first);
    preferLast_ = std::min(last, int(paths_.size()) - 1);
}

int TThumbRun::Take() {
    std::lock_guard lock(mutex_);
    if (cancelled_) return -1;
    while (preferNext_ <= preferLast_) {
        const int i = preferNext_++;
        if (!taken_[size_t(i)]) return taken_[size_t(i)] = 1, i;
    }
    while (next_ < paths_.size()) {
        const int i = next_++;
        if (!taken_[size_t(i)]) return taken_[size_t(i)] = 1, i;
    }
    return -1;
}

void TThumbRun::Work() {
    // A worker per core: a little below the window's thread, so a click or
    // a repaint never waits behind a decode.
    setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 2);
    TPixelGraphic square;
    for (int i = Take(); i >= 0; i = Take()) {
        if (BeforeLoad) BeforeLoad(paths_[i]);
        if (cancelled_) break;
        bool readable = false;
        QImage image;
        try {
            readable = options_.cache
                           ? MakeCachedThumbnail(paths_[i].toStdString(), options_, square)
                           : MakeThumbnail(paths_[i].toStdString(), options_, square);
            AssignToBitmap(square, image);
        } catch (...) {
            // Nothing at all for this item (not even the question mark):
            // it keeps its slot with an empty square.
            image = QImage();
        }
        QCoreApplication::postEvent(
            receiver_, new TThumbReadyEvent(generation_, i, std::move(image), readable));
    }
    // The last worker out reports the end, after every result of the run.
    if (--active_ == 0 && !cancelled_)
        QCoreApplication::postEvent(receiver_, new TThumbDoneEvent(generation_));
}
