#include "editor/undostep.h"

#include <cstring>

#include "core/pixelgraphic.h"

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

TUndoStep::TUndoStep(TEditorDocument& document, const QString& label) : doc_(document) {
    // The copy comes first: when it fails nothing has been touched yet.
    auto copy = doc_.CopyOfPicture();
    doc_.undo_.push_back(TEditorUndoEntry{std::move(copy), label, doc_.state_, doc_.turns_});
    previousRedo_ = std::move(doc_.redo_);
    doc_.redo_.clear();
    startPicture_ = doc_.Picture();
    doc_.host_.UndoStateChanged();
}

TUndoStep::~TUndoStep() {
    if (committed_) return;
    if (doc_.undo_.empty()) return; // the stack was reset meanwhile: nothing to roll back
    try {
        const TPixelGraphic* now = doc_.Picture();
        const TPixelGraphic* start = doc_.undo_.back().picture.get();
        const bool changed = now != startPicture_ || (now && start && !SamePixels(*now, *start)) ||
                             (!now) != (!start);
        if (changed) doc_.SetPicture(std::move(doc_.undo_.back().picture));
    } catch (...) {
        // Restoring is best effort; the previous undo state still comes back.
    }
    doc_.undo_.pop_back();
    doc_.redo_ = std::move(previousRedo_);
    doc_.host_.UndoStateChanged();
}

void TUndoStep::Commit() {
    committed_ = true;
    previousRedo_.clear();
    doc_.state_ = doc_.nextState_++;
    doc_.turns_ = {};
    doc_.TrimUndo();
    doc_.host_.UndoStateChanged();
}

void TUndoStep::CommitTurn(TJpegTurn turn) {
    const TEditorTurnRecord before = doc_.turns_;
    Commit();
    if (before.origin) doc_.turns_ = {before.origin, JpegTurnThen(before.turn, turn)};
}
