#include "thumbs/qt/register.h"

#include "browser/toolwindows.h"
#include "thumbs/qt/savethumbnail.h"
#include "thumbs/qt/thumbedit.h"
#include "thumbs/qt/thumbnails.h"
#include "thumbs/qt/thumbtavoptions.h"

void RegisterThumbsWindows() {
    TToolWindows::RegisterFactory("TfrmThumbnails", [] { return new TfrmThumbnails; });
    TToolWindows::RegisterFactory("TfrmSaveThumbnail", [] { return new TfrmSaveThumbnail; });
    TToolWindows::RegisterFactory("TfrmThumbTavOptions", [] { return new TfrmThumbTavOptions; });
    TToolWindows::RegisterFactory("TfrmThumbEdit", [] { return new TfrmThumbEdit; });
    TToolWindows::RegisterFactory("TfrmSelectFolder", [] { return new TfrmSelectFolder; });
}
