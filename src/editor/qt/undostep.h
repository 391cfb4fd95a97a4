#pragma once
// TUndoStep: one undoable change of the editor's picture, as a transaction,
// on the editor's undo stack of several levels.
//
// Every command (and every dialog of the geometry, effects, red-eye and
// scanner windows) that changes the picture of a TfrmAcquire does it inside
// a step, after its own dialog was confirmed and before touching the picture:
//
//     TUndoStep step(editor, "Rotate");   // takes the new undo copy
//     ... change editor.PGImage1's picture, or hand it a new one ...
//     step.Commit();                      // "Undo Rotate" is now available
//
// The step pushes a copy of the current picture onto the undo stack and sets
// the Undo entry's caption to "Undo " + label at once, but keeps the Redo
// steps aside. Without Commit() - an exception, a cancelled dialog, an early
// return - the destructor takes its copy off the stack again and puts the
// Redo steps back, and when the view's picture is no longer the one the step
// began with (an in-place command had started to change it, or another
// picture was handed over) the picture is restored from that copy. So a step
// that fails or is cancelled leaves picture, Undo and Redo state and captions
// exactly as before. Commit() keeps the copy, drops the Redo steps, makes the
// picture a new state (so it is modified) and trims the stack to its budget.
//
// Steps do not nest; use one per command, on the window's thread.

#include <QString>
#include <cstdint>
#include <deque>
#include <memory>

class TfrmAcquire;
class TPixelGraphic;

// One level of the undo or redo stack: the picture as it was, the command's
// label ("Rotate") and the number of that picture state (equal numbers are
// the same picture, so a picture undone back to its saved state is unchanged).
struct TEditorUndoEntry {
    std::unique_ptr<TPixelGraphic> picture;
    QString label;
    uint64_t state = 0;
};

class TUndoStep {
  public:
    TUndoStep(TfrmAcquire& editor, const QString& label);
    ~TUndoStep();
    TUndoStep(const TUndoStep&) = delete;
    TUndoStep& operator=(const TUndoStep&) = delete;

    void Commit();
    bool Committed() const { return committed_; }

  private:
    TfrmAcquire& editor_;
    std::deque<TEditorUndoEntry> previousRedo_;
    const TPixelGraphic* startPicture_ = nullptr;
    bool committed_ = false;
};
