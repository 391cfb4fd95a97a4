#include "thumbs/qt/register.h"

#include "browser/toolwindows.h"
#include "thumbs/qt/savethumbnail.h"
#include "thumbs/qt/thumbnails.h"

void RegisterThumbsWindows() {
    TToolWindows::RegisterFactory("TfrmThumbnails", [] { return new TfrmThumbnails; });
    TToolWindows::RegisterFactory("TfrmSaveThumbnail", [] { return new TfrmSaveThumbnail; });
    TToolWindows::RegisterFactory("TfrmSelectFolder", [] { return new TfrmSelectFolder; });
}
