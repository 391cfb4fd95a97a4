#pragma once
// TUndoStep: one undoable change of the editor's picture, as a transaction.
//
// Every command (and every dialog of the geometry, effects, red-eye and
// scanner windows) that changes the picture of a TfrmAcquire does it inside
// a step, after its own dialog was confirmed and before touching the picture:
//
//     TUndoStep step(editor, "Rotate");   // takes the new undo copy
//     ... change editor.PGImage1's picture, or hand it a new one ...
//     step.Commit();                      // "Undo Rotate" is now available
//
// The step copies the current picture as the new undo copy and sets the Undo
// entry's caption to "Undo " + label at once, but keeps the previous copy and
// caption aside. Without Commit() - an exception, a cancelled dialog, an early
// return - the destructor puts the previous copy and caption back, and when
// the view's picture is no longer the one the step began with (an in-place
// command had started to change it, or another picture was handed over) the
// picture is restored from the copy taken at the start. So a step that fails
// or is cancelled leaves picture, Undo state and caption exactly as before.
// Commit() keeps the new copy and marks the picture as modified.
//
// Steps do not nest; use one per command, on the window's thread.

#include <QString>
#include <memory>

class TfrmAcquire;
class TPixelGraphic;

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
    std::unique_ptr<TPixelGraphic> previousCopy_;
    QString previousCaption_;
    bool previousEnabled_ = false;
    const TPixelGraphic* startPicture_ = nullptr;
    bool committed_ = false;
};
