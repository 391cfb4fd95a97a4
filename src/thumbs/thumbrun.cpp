#include "thumbs/thumbrun.h"

#include <QCoreApplication>

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
    return std::thread::hardware_concurrency() >= 4 ? 2 : 1;
}

TThumbRun::TThumbRun(QStringList paths, const TThumbOptions& options, quint64 generation,
                     QObject* receiver, int workers)
    : paths_(std::move(paths)), options_(options), generation_(generation), receiver_(receiver) {
    PrepareLibraryForWorkers();
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

void TThumbRun::Work() {
    TPixelGraphic square;
    for (int i = next_++; i < paths_.size() && !cancelled_; i = next_++) {
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
