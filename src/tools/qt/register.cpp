#include "tools/qt/register.h"

#include "browser/toolwindows.h"

void RegisterToolsWindows() {}
