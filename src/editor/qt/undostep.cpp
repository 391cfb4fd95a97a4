#include "editor/qt/undostep.h"

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
    editor_.undo_.push_back(TEditorUndoEntry{std::move(copy), label, editor_.state_});
    previousRedo_ = std::move(editor_.redo_);
    editor_.redo_.clear();
    startPicture_ = editor_.PGImage1->CurrentPixelGraphic();
    editor_.UpdateUndoActions();
}

TUndoStep::~TUndoStep() {
    if (committed_) return;
    if (editor_.undo_.empty()) return; // the stack was reset meanwhile: nothing to roll back
    try {
        TPGImage* view = editor_.PGImage1;
        const TPixelGraphic* now = view->CurrentPixelGraphic();
        const TPixelGraphic* start = editor_.undo_.back().picture.get();
        const bool changed = now != startPicture_ || (now && start && !SamePixels(*now, *start)) ||
                             (!now) != (!start);
        if (changed) view->TakePixelGraphic(std::move(editor_.undo_.back().picture));
    } catch (...) {
        // Restoring is best effort; the previous undo state still comes back.
    }
    editor_.undo_.pop_back();
    editor_.redo_ = std::move(previousRedo_);
    editor_.UpdateUndoActions();
}

void TUndoStep::Commit() {
    committed_ = true;
    previousRedo_.clear();
    editor_.state_ = editor_.nextState_++;
    editor_.TrimUndo();
    editor_.UpdateUndoActions();
}
