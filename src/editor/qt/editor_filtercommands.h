#pragma once
// The editor's menu entries whose work lives in the geometry, filter and
// effect dialogs: one table (menu, caption, object name, undo label,
// handler). An entry whose handler is still empty is shown disabled; giving it
// a handler here is all it takes to connect it.

#include <QString>
#include <functional>
#include <vector>

class QMenu;
class TfrmAcquire;

struct TEditorMenuCommand {
    enum Where { RotateMenu, ImageMenu, FiltersMenu, ColorSubmenu, EffectsGroup };
    Where where;
    const char* caption;
    const char* objectName;
    const char* undoLabel; // for the step the handler runs
    std::function<void(TfrmAcquire&)> handler;
};

// The table in menu order.
const std::vector<TEditorMenuCommand>& EditorMenuCommands();

// Adds the table's entries to the editor's menus.
void AddEditorFilterCommands(TfrmAcquire& editor, QMenu* rotate, QMenu* image, QMenu* filters);
