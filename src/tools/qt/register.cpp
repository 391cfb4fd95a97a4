#include "tools/qt/register.h"

#include "browser/toolwindows.h"
#include "tools/qt/convertform.h"
#include "tools/qt/increnameform.h"
#include "tools/qt/moverform.h"
#include "tools/qt/searchform.h"

void RegisterToolsWindows() {
    TToolWindows::RegisterFactory("TfrmIncRename", [] { return new TfrmIncRename; });
    TToolWindows::RegisterFactory("TfSearch", [] { return new TfSearch; });
    TToolWindows::RegisterFactory("TfrmConvert", [] { return new TfrmConvert; });
    TToolWindows::RegisterFactory("TfSelectFiles", [] { return new TfSelectFiles; });
}
