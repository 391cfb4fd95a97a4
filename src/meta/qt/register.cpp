#include "meta/qt/register.h"

#include "browser/toolwindows.h"
#include "meta/qt/exifform.h"
#include "meta/qt/fileprop.h"

void RegisterMetaWindows() {
    TToolWindows::RegisterFactory("TfrmFileProp", [] { return new TfrmFileProp; });
    TToolWindows::RegisterFactory("TfrmEXIF", [] { return new TfrmEXIF; });
}
