#include "editor/qt/undostep.h"

#include <QAction>
#include <cstring>

#include "core/pixelgraphic.h"
#include "editor/qt/acquire.h"
#include "view/pgimage.h"

namespace {

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.PixelFormat() != b.PixelFormat() || a.Palette() != b.Palette() ||
        a.RowBytes() != b.RowBytes())
        return false;
    const int64_t used = (int64_t(a.GetWidth()) * PixelFormatBits(a.PixelFormat()) + 7) / 8;
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(used)) != 0) return false;
    return true;
}

} // namespace

TUndoStep::TUndoStep(TfrmAcquire& editor, const QString& label) : editor_(editor) {
    // The copy comes first: when it fails nothing has been touched yet.
    auto copy = editor_.PGImage1->CopyPixelGraphic();
    previousCopy_ = std::move(editor_.undoCopy_);
    previousCaption_ = editor_.Undo1->text();
    previousEnabled_ = editor_.Undo1->isEnabled();
    editor_.undoCopy_ = std::move(copy);
    startPicture_ = editor_.PGImage1->CurrentPixelGraphic();
    editor_.Undo1->setText("Undo " + label);
    editor_.Undo1->setEnabled(true);
}

TUndoStep::~TUndoStep() {
    if (committed_) return;
    try {
        TPGImage* view = editor_.PGImage1;
        const TPixelGraphic* now = view->CurrentPixelGraphic();
        const TPixelGraphic* start = editor_.undoCopy_.get();
        const bool changed = now != startPicture_ || (now && start && !SamePixels(*now, *start)) ||
                             (!now) != (!start);
        if (changed) view->TakePixelGraphic(std::move(editor_.undoCopy_));
    } catch (...) {
        // Restoring is best effort; the previous undo state still comes back.
    }
    editor_.undoCopy_ = std::move(previousCopy_);
    editor_.Undo1->setText(previousCaption_);
    editor_.Undo1->setEnabled(previousEnabled_);
}

void TUndoStep::Commit() {
    committed_ = true;
    previousCopy_.reset();
    editor_.modified_ = true;
}
