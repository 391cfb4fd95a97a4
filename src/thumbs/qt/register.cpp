#include "thumbs/qt/register.h"

#include "browser/toolwindows.h"

void RegisterThumbsWindows() {}
