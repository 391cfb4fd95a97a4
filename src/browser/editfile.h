#pragma once
// The image editor's side of "Edit with Tavirlo...": the main window finds
// the editor window with ToolWindows()->Find("TfrmAcquire") and casts. The
// editor sets its zoom to 1.0, loads the file, points its save dialog at it
// and resets "Undo"; false when the file could not be loaded (the main
// window then says "Can not edit " and the path). It does not show itself.

#include <QString>

class TToolEditFile {
  public:
    virtual ~TToolEditFile() = default;
    virtual bool EditFile(const QString& path) = 0;
};
