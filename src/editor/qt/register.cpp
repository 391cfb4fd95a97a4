#include "editor/qt/register.h"

#include "browser/toolwindows.h"
#include "editor/qt/editorwindow.h"
#include "editor/qt/barrelform.h"
#include "editor/qt/colorrezform.h"
#include "editor/qt/geometrydialogs.h"
#include "editor/qt/giftrans.h"
#include "editor/qt/redeyeform.h"
#include "editor/qt/saveoptionsform.h"
#include "processing/qt/neweffects.h"

void RegisterEditorWindows() {
    TToolWindows::RegisterFactory("TfrmAcquire", [] { return new TfrmAcquire; });
    TToolWindows::RegisterFactory("TfrmFileSaveOptions", [] { return new TfrmFileSaveOptions; });
    TToolWindows::RegisterFactory("TfrmGIFTrans", [] { return new TfrmGIFTrans; });
    TToolWindows::RegisterFactory("TfrmNewEFX", [] { return new TfrmNewEFX; });
    TToolWindows::RegisterFactory("TfRotate", [] { return new TfRotate; });
    TToolWindows::RegisterFactory("TfrmBorder", [] { return new TfrmBorder; });
    TToolWindows::RegisterFactory("TfrmResize", [] { return new TfrmResize; });
    TToolWindows::RegisterFactory("TfrmColorRez", [] { return new TfrmColorRez; });
    TToolWindows::RegisterFactory("TfrmRedEyeReduction", [] { return new TfrmRedEyeReduction; });
    TToolWindows::RegisterFactory("TfrmBarrel", [] { return new TfrmBarrel; });
}
