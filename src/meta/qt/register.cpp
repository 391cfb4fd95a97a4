#include "meta/qt/register.h"

#include "browser/toolwindows.h"

void RegisterMetaWindows() {}
