#include "album/qt/register.h"

#include "browser/toolwindows.h"

void RegisterAlbumWindows() {}
