#include "processing/qt/previewthreads.h"

#include <QCoreApplication>

#include "processing/filtervalues.h"

const QEvent::Type TPreviewEvent::EventType = QEvent::Type(QEvent::registerEventType());

bool TPreviewReceiver::event(QEvent* e) {
    if (e->type() == TPreviewEvent::EventType) {
        handler_(static_cast<TPreviewEvent&>(*e));
        return true;
    }
    return QObject::event(e);
}

TPreviewThread::~TPreviewThread() {
    Terminate();
    WaitFor();
}

void TPreviewThread::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TPreviewThread::Start(std::function<void()> body) {
    thread_ = std::thread([body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // A preview that fails shows nothing; the dialog goes on.
        }
    });
}

TPGProgressEvent TPreviewThread::AbortOnTerminate() {
    return [this](TObject*, int, int, bool& abort) {
        if (terminated_) abort = true;
    };
}

std::unique_ptr<TPixelGraphic> MakePreviewSource(TPixelGraphic& picture, int box,
                                                 const std::function<bool()>& abort) {
    int w = 0, h = 0;
    PreviewFitSize(picture.GetWidth(), picture.GetHeight(), box, w, h);
    auto out = std::make_unique<TPixelGraphic>();
    out->SetFormat(w, h, pg24Bit);
    if (w > 0 && h > 0) {
        bool aborted = false;
        out->OnProgress = [&](TObject*, int, int, bool& a) { a = aborted = abort(); };
        out->CopyFrom(picture);
        out->OnProgress = nullptr;
        if (aborted) return nullptr;
    }
    return out;
}

TCreateSrcPGThread::TCreateSrcPGThread(std::unique_ptr<TPixelGraphic> copy, int box,
                                       QObject* receiver, uint64_t run) {
    // The dialog joins its workers before the receiver goes.
    QObject* target = receiver;
    Start([this, copy = std::shared_ptr<TPixelGraphic>(std::move(copy)), box, target, run] {
        auto src = MakePreviewSource(*copy, box, [this] { return terminated_.load(); });
        if (!src || terminated_) return;
        QCoreApplication::postEvent(target, new TPreviewEvent(1, run, 0, std::move(src)));
    });
}

TCreateSrcPGThread::~TCreateSrcPGThread() {
    Terminate();
    WaitFor();
}

TCreateDestPGThread::TCreateDestPGThread(std::unique_ptr<TPGFilter> filter,
                                         const TPixelGraphic& source, QObject* receiver,
                                         uint64_t run, uint64_t job) {
    QObject* target = receiver;
    Start([this, f = std::shared_ptr<TPGFilter>(std::move(filter)), &source, target, run, job] {
        auto out = std::make_unique<TPixelGraphic>();
        out->SetFormat(0, 0, pg24Bit);
        out->OnProgress = AbortOnTerminate();
        out->ApplyFilter(*f, const_cast<TPixelGraphic&>(source));
        out->OnProgress = nullptr;
        if (terminated_) return;
        QCoreApplication::postEvent(target, new TPreviewEvent(2, run, job, std::move(out)));
    });
}

TCreateDestPGThread::~TCreateDestPGThread() {
    Terminate();
    WaitFor();
}
