// TPreviewFilterDialog: the live preview of a filter dialog.

#include <QDialog>
#include <QTimer>
#include <cmath>

#include "core/pixelrows.h"
#include "processing/qt/filterdialog.h"
#include "view/pgimage.h"

TPreviewFilterDialog::~TPreviewFilterDialog() {
    PreviewClosing();
}

bool TPreviewFilterDialog::Execute(const TPixelGraphic* picture) {
    return Run(picture);
}

void TPreviewFilterDialog::PreviewOpened(QDialog& dialog, TPGImage* image,
                                         const TPixelGraphic* picture) {
    // A new run: events of earlier runs still under way are dropped.
    ++run_;
    job_ = 0;
    sourceReady_ = false;
    source_.reset();
    image_ = image;
    image_->SetPalette8BitSys24BitGraphic(palette8BitSys24BitGraphic_);
    image_->SetPalette8BitSys8BitGraphic(palette8BitSys8BitGraphic_);
    image_->SetProgressClockBkColor(progressClockBkColor_);
    image_->SetProgressClockLineColor(progressClockLineColor_);
    image_->SetProgressClockVisible(progressClockVisible_);
    image_->SetCenter(true);
    receiver_ = std::make_unique<TPreviewReceiver>([this](TPreviewEvent& e) { OnEvent(e); });
    timer_ = new QTimer(&dialog);
    timer_->setSingleShot(true);
    timer_->setInterval(100);
    QObject::connect(timer_, &QTimer::timeout, &dialog, [this] { OnTimer(); });
    // The edited picture may be shown and painted meanwhile (its colour
    // caches fill as it is drawn): the worker scales its own copy, made here.
    std::unique_ptr<TPixelGraphic> copy =
        picture ? PGSnapshot(*picture) : std::make_unique<TPixelGraphic>();
    // The preview box in the screen's device pixels: the view shows one
    // picture pixel per device pixel, so the fitted copy fills the box sharp.
    const qreal ratio = image_->devicePixelRatioF();
    const int box = ratio == 1.0 ? kPreviewBox : int(std::ceil(kPreviewBox * ratio - 1e-9));
    srcThread_ = std::make_unique<TCreateSrcPGThread>(std::move(copy), box, receiver_.get(), run_);
}

void TPreviewFilterDialog::OnEvent(TPreviewEvent& e) {
    // Anything not of this run and its latest job is stale; the event frees
    // its picture.
    if (!image_ || e.Run != run_ || !e.Picture) return;
    if (e.Code == 1) {
        if (sourceReady_) return;
        source_ = std::move(e.Picture);
        sourceReady_ = true;
        timer_->start();
    } else if (e.Code == 2) {
        if (e.Job != job_ || !destThread_) return;
        image_->TakePixelGraphic(std::move(e.Picture));
    }
}

void TPreviewFilterDialog::PreviewChanged() {
    if (!timer_) return;
    timer_->start();
    if (destThread_) destThread_->Terminate();
}

void TPreviewFilterDialog::OnTimer() {
    if (!sourceReady_) return;
    destThread_.reset(); // stops and joins the one before
    ++job_;
    destThread_ = std::make_unique<TCreateDestPGThread>(ConfiguredFilter(), *source_,
                                                        receiver_.get(), run_, job_);
}

void TPreviewFilterDialog::PreviewClosing() {
    if (timer_) timer_->stop();
    timer_ = nullptr; // the dialog owns it
    srcThread_.reset();
    destThread_.reset();
    // Events still queued for the receiver go with it, pictures included.
    receiver_.reset();
    source_.reset();
    sourceReady_ = false;
    image_ = nullptr;
    ++run_;
}
