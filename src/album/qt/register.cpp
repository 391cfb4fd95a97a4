#include "album/qt/register.h"

#include "album/qt/albumform.h"
#include "album/qt/pubwizard.h"
#include "browser/toolwindows.h"

void RegisterAlbumWindows() {
    // Frame Setup first: the album window uses the program's one.
    TToolWindows::RegisterFactory("TfAPrefs", [] { return new TfAPrefs; });
    TToolWindows::RegisterFactory("TfAlbum", [] { return new TfAlbum; });
    TToolWindows::RegisterFactory("TfrmEdit", [] { return new TfrmEdit; });
    TToolWindows::RegisterFactory("TfrmPubWizard", [] { return new TfrmPubWizard; });
}
