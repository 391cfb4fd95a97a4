#include "editor/qt/register.h"

#include "browser/toolwindows.h"

void RegisterEditorWindows() {}
