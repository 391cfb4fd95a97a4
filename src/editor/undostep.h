#pragma once
// TUndoStep: one undoable change of the editor's picture, as a transaction,
// on the document's undo stack of several levels.
//
// Every command (and every dialog of the geometry, effects, red-eye and
// scanner windows) that changes the picture of a TEditorDocument does it
// inside a step, after its own dialog was confirmed and before touching the
// picture:
//
//     TUndoStep step(document, "Rotate");   // takes the new undo copy
//     ... change document's picture, or hand it a new one ...
//     step.Commit();                        // "Undo Rotate" is now available
//
// The step pushes a copy of the current picture onto the undo stack and sets
// the Undo entry's caption to "Undo " + label at once, but keeps the Redo
// steps aside. Without Commit() - an exception, a cancelled dialog, an early
// return - the destructor takes its copy off the stack again and puts the
// Redo steps back, and when the picture is no longer the one the step began
// with (an in-place command had started to change it, or another picture was
// handed over) the picture is restored from that copy. So a step that fails
// or is cancelled leaves picture, Undo and Redo state and captions exactly as
// before. Commit() keeps the copy, drops the Redo steps, makes the picture a
// new state (so it is modified) and trims the stack to its budget.
// CommitTurn() does the same for a right-angle turn or flip, which the
// document records so that a JPEG can be saved without encoding it again.
//
// Steps do not nest; use one per command, on the window's thread.

#include <QString>
#include <deque>

#include "editor/editordocument.h"

class TUndoStep {
  public:
    TUndoStep(TEditorDocument& document, const QString& label);
    ~TUndoStep();
    TUndoStep(const TUndoStep&) = delete;
    TUndoStep& operator=(const TUndoStep&) = delete;

    // Any change of the picture.
    void Commit();
    // The change was exactly `turn` (a right-angle turn or flip of every pixel).
    void CommitTurn(TJpegTurn turn);
    bool Committed() const { return committed_; }

  private:
    TEditorDocument& doc_;
    std::deque<TEditorUndoEntry> previousRedo_;
    const TPixelGraphic* startPicture_ = nullptr;
    bool committed_ = false;
};
