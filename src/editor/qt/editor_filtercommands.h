#pragma once
// The editor's menu entries whose work lives in the geometry, filter and
// effect dialogs: one table (menu, caption, object name, undo label,
// handler). Handlers work on the window through TEditorCommandHost (the
// document, the view, the dialogs' parent). An entry whose handler is still empty is shown disabled; giving it
// a handler here is all it takes to connect it.

#include <QString>
#include <functional>
#include <vector>

class QMenu;
class TEditorCommandHost;

struct TEditorMenuCommand {
    enum Where { RotateMenu, ImageMenu, FiltersMenu, ColorSubmenu, EffectsGroup };
    Where where;
    const char* caption;
    const char* objectName;
    const char* undoLabel; // for the step the handler runs
    std::function<void(TEditorCommandHost&)> handler;
};

// The table in menu order.
const std::vector<TEditorMenuCommand>& EditorMenuCommands();

// Adds the table's entries to the editor's menus.
void AddEditorFilterCommands(TEditorCommandHost& editor, QMenu* rotate, QMenu* image, QMenu* filters);
