// The view control's display conversion: deciding when the converted paint
// picture is drawn instead of the picture, making it on the worker (or in
// place without a thread), and taking the results.

#include <QScrollBar>

#include "core/colour.h"
#include "platform/screendepth.h"
#include "view/paintrules.h"
#include "view/paintworker.h"
#include "view/pgimage.h"

int TPGImage::DisplayDepth() const {
    return ScreenDepth(this);
}

void TPGImage::ScreenDepthChanged() {
    paintStale_ = true;
    viewport()->update();
}

void TPGImage::StopWorker() {
    // Whatever the old job still has on its way is dropped by its generation.
    ++generation_;
    if (worker_) {
        worker_->Stop();
        worker_.reset();
    }
    jobPending_ = false;
    displayStep_ = 0;
}

void TPGImage::DropPaintPicture() {
    if (paintPicture_ && keepOldPaintPixelGraphic_ && useThread_) {
        // Stays on screen until the new one arrives.
        paintStale_ = true;
        return;
    }
    paintPicture_.reset();
    tiles_.Invalidate();
}

TPixelGraphic* TPGImage::PictureToDraw() {
    if (!NeedsPaintPixelGraphic()) return ShownPixelGraphic();
    return paintPicture_.get();
}

TPixelGraphic* TPGImage::ShownPixelGraphic() {
    if (!picture_) return nullptr;
    if (!colourChecked_) {
        colourChecked_ = true;
        colourPicture_.reset();
        // A picture without a profile (nearly all) costs one look at its
        // profile field; a copy that cannot be made shows the picture as is.
        try {
            if (ColourManagement && PGNeedsColourConversion(*picture_, TPGColourTarget::Display)) {
                auto copy = std::make_unique<TPixelGraphic>();
                copy->Assign(picture_.get());
                if (PGConvertColours(*copy, TPGColourTarget::Display))
                    colourPicture_ = std::move(copy);
            }
        } catch (...) {
            colourPicture_.reset();
        }
    }
    return colourPicture_ ? colourPicture_.get() : picture_.get();
}

void TPGImage::ColourSettingsChanged() {
    StopWorker();
    colourChecked_ = false;
    colourPicture_.reset();
    paintStale_ = true;
    tiles_.Invalidate();
    viewport()->update();
}

bool TPGImage::NeedsPaintPixelGraphic() {
    const int D = DisplayDepth();
    if (D != lastDepth_) {
        lastDepth_ = D;
        paintStale_ = true;
    }
    TPGPaintInputs in;
    in.D = D;
    in.hasPicture = picture_ && !picture_->GetEmpty();
    if (in.hasPicture) {
        in.G = picture_->BitsPerPixel();
        in.ident = picture_->PaletteIdent();
        in.pictureSize = QSize(picture_->GetWidth(), picture_->GetHeight());
    }
    in.boxSize = QSize(paintDW_, paintDH_);
    in.lastPaintSize = lastPaintSize_;
    in.stretchMode = stretchMode_;
    in.reduceOnLoad = reduceOnLoad_;
    in.paintStale = paintStale_;
    in.palette8BitSys8BitGraphic = palette8BitSys8BitGraphic_;
    in.hasPaintPicture = bool(paintPicture_);
    in.keepOld = keepOldPaintPixelGraphic_;
    in.useThread = useThread_;
    in.jobInFlight = jobPending_;
    in.jobFailed = jobFailed_;
    const TPGPaintDecision d = PGDecidePaint(in);
    paintStale_ = d.stale;
    if (d.dropPaint) {
        StopWorker();
        paintPicture_.reset();
        tiles_.Invalidate();
    }
    if (d.drawPicture) {
        // A job for a paint picture no longer wanted is not waited for.
        if (!d.needed && jobPending_) StopWorker();
        return false;
    }
    if (!d.start) return true;
    MakePaintPicture();
    // Made in place: drawn now if it came out; a failed job, or a picture
    // that took the paint picture's place (ReduceOnLoad), draws the picture.
    if (!useThread_ || jobFailed_) return paintPicture_ != nullptr;
    return true;
}

void TPGImage::MakePaintPicture() {
    StopWorker();
    if (paintPicture_ && !(keepOldPaintPixelGraphic_ && useThread_)) {
        paintPicture_.reset();
        tiles_.Invalidate();
    }
    displayStep_ = 1;
    displayPercent_ = 0;
    jobFailed_ = false;
    // Cleared before anything can fail: a job that cannot be made is not
    // retried on every paint, only once the paint picture goes stale again.
    paintStale_ = false;
    try {
        TPGPlanInputs pin;
        pin.D = lastDepth_;
        pin.G = picture_->BitsPerPixel();
        pin.pictureSize = QSize(picture_->GetWidth(), picture_->GetHeight());
        pin.boxSize = QSize(paintDW_, paintDH_);
        pin.stretchMode = stretchMode_;
        pin.allow24BitStretch = allow24BitStretch_;
        pin.palette8BitSys24BitGraphic = palette8BitSys24BitGraphic_;
        pin.palette8BitSys8BitGraphic = palette8BitSys8BitGraphic_;
        const TPGPaintPlan plan = PGPlanPaint(pin);
        lastPaintSize_ = plan.size;
        // Pending canvas drawing is written here: Qt drawing off this thread
        // is unsafe, and the worker only reads rows.
        picture_->FlushCanvas();
        TPixelGraphic* shown = ShownPixelGraphic();

        TPGPaintJob job;
        job.source = shown;
        job.optimise = plan.optimise;
        // A picture that cannot be allocated is not made at all (the
        // picture itself is drawn) rather than shown as one flat pixel.
        if (plan.preStretch) {
            job.intermediate = std::make_unique<TPixelGraphic>();
            job.intermediate->SetStretchMode(stretchMode_);
            job.intermediate->SetFormat(plan.intermediateSize.width(),
                                        plan.intermediateSize.height(), pg24Bit);
        }
        auto paint = std::make_unique<TPixelGraphic>();
        paint->SetFormat(plan.size.width(), plan.size.height(), plan.format);
        if (plan.install != pNone) paint->SetPaletteIdent(plan.install);
        if (plan.copySourcePalette) paint->CopyPaletteFrom(*shown);
        paint->SetStretchMode(stretchMode_);
        paint->SetDither(dither_);
        paint->SetDitherErrorLimit(ditherErrorLimit_);
        paint->SetDitherErrorLimitAuto(ditherErrorLimitAuto_);
        paint->SetDitherErrorLimitSoft(ditherErrorLimitSoft_);
        paint->SetRGBWeighting(rgbWeighting_);
        job.paint = std::move(paint);

        const uint64_t gen = ++generation_;
        worker_ = std::make_unique<TCreatePaintPGThread>(std::move(job),
                                                         useThread_ ? this : nullptr, gen);
        jobPending_ = true;
        if (useThread_) {
            worker_->Start();
        } else {
            // Inside the paint Qt cannot repaint, so there are no clocks.
            std::unique_ptr<TPixelGraphic> out;
            worker_->RunHere([&out](std::unique_ptr<TPixelGraphic> pg) { out = std::move(pg); },
                             nullptr);
            worker_.reset();
            PaintDelivered(std::move(out));
        }
    } catch (...) {
        worker_.reset();
        jobPending_ = false;
        jobFailed_ = true;
        displayStep_ = 0;
    }
}

void TPGImage::customEvent(QEvent* e) {
    if (e->type() == TPGPaintDoneEvent::EventType()) {
        auto* done = static_cast<TPGPaintDoneEvent*>(e);
        // A result of a job stopped since is freed with its event.
        if (done->generation != generation_ || !jobPending_) return;
        worker_.reset(); // its thread has ended; this joins it
        PaintDelivered(std::move(done->picture));
        return;
    }
    if (e->type() == TPGPaintProgressEvent::EventType()) {
        auto* pr = static_cast<TPGPaintProgressEvent*>(e);
        if (pr->generation == generation_ && jobPending_) DisplayProgress(pr->step, pr->percent);
        return;
    }
    QScrollArea::customEvent(e);
}

void TPGImage::DisplayProgress(int step, int percent) {
    SetDisplayProgress(step, percent);
}

void TPGImage::PaintDelivered(std::unique_ptr<TPixelGraphic> pg) {
    jobPending_ = false;
    displayStep_ = 0;
    if (!pg) {
        jobFailed_ = true;
        viewport()->update();
        return;
    }
    tiles_.Invalidate();
    if (reduceOnLoad_) {
        // The reduction becomes the picture. Its size and change event
        // follow, but it is not marked stale: an optimised palette reads as
        // pUnknown, and the rules would reduce it again and again.
        paintPicture_.reset();
        picture_ = std::move(pg);
        colourChecked_ = false;
        colourPicture_.reset();
        ConnectPicture(*picture_);
        imageWidth_ = picture_->GetWidth();
        imageHeight_ = picture_->GetHeight();
        Rearrange(false);
        if (OnPixelGraphicChange) OnPixelGraphicChange(this);
    } else {
        paintPicture_ = std::move(pg);
    }
    viewport()->update();
    if (OnPaintPixelGraphicReady) OnPaintPixelGraphicReady(this);
}
