#pragma once
// What the editor's commands (the menu table of editor_filtercommands.h and
// the dialogs it opens) may use of the window they run in: the document, the
// view for the selection and the dialogs' previews, the window as the parent
// of dialogs and messages, and the command frame. The editor window
// implements it; the commands never see the window itself.

#include <functional>

#include "editor/editordocument.h"

class QWidget;
class TPGImage;

class TEditorCommandHost : public TEditorHost {
  public:
    virtual TEditorDocument& Document() = 0;
    // The view showing the document's picture (selection, zoom).
    virtual TPGImage* View() = 0;
    // The window: parent of the dialogs and messages, and owner of the
    // dialogs made once and kept with it.
    virtual QWidget* HostWindow() = 0;
    // Runs `body` as one command: busy cursor, and every exception shown
    // instead of reaching the event loop.
    virtual void RunCommand(const std::function<void()>& body) = 0;
};
