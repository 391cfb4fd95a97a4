#pragma once
// TEditorDocument: what the image editor edits, apart from the window that
// shows it: the picture (kept in the host's view, which paints it), the undo
// and redo copies within a memory budget, the modified flag, the file name,
// the metadata the save writes and the save options of an editing session.
//
// It also remembers how the picture came from the JPEG file it was opened
// from: while every change since opening is a right-angle turn or a flip,
// saving to a JPEG turns the file's stored blocks instead of encoding the
// picture again (nothing lost, every marker kept); any other change, or a
// turn the blocks cannot follow exactly, saves by encoding as before.
//
// Commands change the picture inside a TUndoStep (see undostep.h). No
// widgets here: the window implements TEditorHost.

#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "core/metadata.h"
#include "formats/jpegtransform.h"

class TPixelGraphic;

// What the document needs of the window that shows it.
class TEditorHost {
  public:
    virtual ~TEditorHost() = default;
    // The picture shown (null when there is none).
    virtual TPixelGraphic* HostPicture() const = 0;
    // The same picture, ready for its pixels to change (painting stops first).
    virtual TPixelGraphic* HostPictureForChange() = 0;
    // A copy of the picture shown (null when there is none).
    virtual std::unique_ptr<TPixelGraphic> HostCopyPicture() = 0;
    // Shows `picture` (null: none) instead of the current one.
    virtual void HostShowPicture(std::unique_ptr<TPixelGraphic> picture) = 0;
    // Reads the file `fileName` (local 8-bit name) into the view.
    virtual void HostLoadPicture(const std::string& fileName) = 0;
    // The undo or redo levels changed: the captions follow.
    virtual void UndoStateChanged() {}
    // The gauge of a long command.
    virtual void ProgressStart() {}
    virtual void Progress(int /*step*/, int /*max*/) {}
    virtual void ProgressEnd() {}
};

// The right-angle turns and flips that lead from the JPEG file the picture
// was opened from to the picture: `origin` names that opening (0: the
// picture did not come from a JPEG this way).
struct TEditorTurnRecord {
    uint64_t origin = 0;
    TJpegTurn turn = TJpegTurn::None;
};

// One level of the undo or redo stack: the picture as it was, the command's
// label ("Rotate"), the number of that picture state (equal numbers are the
// same picture, so a picture undone back to its saved state is unchanged) and
// how it relates to the opened JPEG.
struct TEditorUndoEntry {
    std::unique_ptr<TPixelGraphic> picture;
    QString label;
    uint64_t state = 0;
    TEditorTurnRecord turns;
};

class TEditorDocument {
  public:
    explicit TEditorDocument(TEditorHost& host);
    ~TEditorDocument();
    TEditorDocument(const TEditorDocument&) = delete;
    TEditorDocument& operator=(const TEditorDocument&) = delete;

    // ---- the picture
    // The picture shown (null when none); changing its pixels goes through
    // PictureForChange().
    TPixelGraphic* Picture() const { return host_.HostPicture(); }
    TPixelGraphic* PictureForChange() { return host_.HostPictureForChange(); }
    std::unique_ptr<TPixelGraphic> CopyOfPicture();
    // Replaces the picture; inside a TUndoStep, or through one of the
    // calls below that make it a new picture.
    void SetPicture(std::unique_ptr<TPixelGraphic> picture);
    bool Empty() const { return !Picture(); }
    TEditorHost& Host() { return host_; }

    // ---- where the picture comes from
    // Reads the plain file `path` into the view as a new, unmodified picture
    // with the file's metadata and name. Raises for anything that is not a
    // readable picture file; then the picture and the name stay as they were.
    void Load(const QString& path);
    // A picture that came from elsewhere (scanner, screen capture) is now
    // shown: it has no metadata and is modified until saved. The scanner's
    // picture also has no file name; a screen capture keeps the one the
    // save dialog proposes.
    void TookUnsavedPicture(bool forgetFileName);
    // The picture was dropped: nothing shown, nothing to save.
    void Cleared();

    // ---- saving
    // Writes the picture to `path` (format from its extension): the opened
    // JPEG's blocks turned when only turns and flips were made and the
    // target is a JPEG, else the picture encoded with the document's
    // metadata. The file is replaced only once complete. Then the picture
    // is unmodified and `path` is the file name. Raises on failure.
    void Save(const QString& path);
    // How the last Save wrote its file.
    bool LastSaveWasLossless() const { return lastSaveLossless_; }
    // A new editing session starts (the window is shown): a JPEG quality
    // chosen in an earlier session does not carry over.
    static void BeginSession();

    // ---- file name and metadata
    QString FileName() const { return fileName_; }
    // The name questions use: the file's name, or "the picture" when unsaved.
    QString DisplayName() const;
    const TPGMetadata& Metadata() const { return metadata_; }

    // ---- modified flag
    // Unsaved changes: the picture is not the state last loaded or saved (a
    // picture undone back to that state is unchanged).
    bool Modified() const { return state_ != savedState_; }
    void SetModified(bool m) { savedState_ = m ? kNeverSaved : state_; }

    // ---- undo and redo
    void Undo();
    void Redo();
    void ResetUndo();
    bool UndoAvailable() const { return !undo_.empty(); }
    bool RedoAvailable() const { return !redo_.empty(); }
    // "Undo Rotate" / "Redo Rotate"; "Undo" / "Redo" when there is nothing.
    QString UndoCaption() const;
    QString RedoCaption() const;
    int UndoLevels() const { return int(undo_.size()); }
    int RedoLevels() const { return int(redo_.size()); }
    // The picture the next Undo brings back (null when none).
    const TPixelGraphic* UndoCopy() const {
        return undo_.empty() ? nullptr : undo_.back().picture.get();
    }
    // How much the stacks may keep: at most `steps` levels and `bytes` of
    // pictures together, whichever is reached first; the oldest levels go.
    // The most recent level is always kept.
    void SetUndoBudget(int steps, int64_t bytes);
    static constexpr int kUndoSteps = 10;
    static constexpr int64_t kUndoBytes = int64_t(1) << 30;

    // The turns and flips that lead from the opened JPEG to the picture.
    const TEditorTurnRecord& Turns() const { return turns_; }
    // True when Save to a JPEG would turn the opened file's blocks.
    bool CanSaveLosslessly() const;

  private:
    friend class TUndoStep;
    void TrimUndo();
    void StepBetween(std::deque<TEditorUndoEntry>& from, std::deque<TEditorUndoEntry>& to);
    void NewPictureState();
    bool SaveLosslessly(const QString& path);

    // The JPEG file the picture was opened from, as it was then: a file
    // changed since is not the picture's source any more.
    struct TOrigin {
        uint64_t id = 0;
        std::string fileName;
        int64_t size = -1;
        int64_t modified = 0;
        int width = 0, height = 0; // of the picture read from it
    };
    bool OriginUnchanged() const;

    TEditorHost& host_;
    std::deque<TEditorUndoEntry> undo_, redo_;
    int undoSteps_ = kUndoSteps;
    int64_t undoBytes_ = kUndoBytes;
    static constexpr uint64_t kNeverSaved = ~uint64_t(0);
    uint64_t state_ = 0, savedState_ = 0, nextState_ = 1;
    TEditorTurnRecord turns_;
    TOrigin origin_;
    uint64_t nextOrigin_ = 1;
    TPGMetadata metadata_;
    QString fileName_;
    bool lastSaveLossless_ = false;
};
