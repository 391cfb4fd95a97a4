#include "browser/form1.h"

#include <QDir>
#include <QFileInfo>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/mainform.h"

namespace {
TForm1* g_form1 = nullptr;

QString Canonical(const QString& folder) {
    const QString c = QFileInfo(folder).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(folder) : c;
}
} // namespace

TForm1* Form1() {
    return g_form1;
}

void SetForm1(TForm1* form) {
    g_form1 = form;
}

TBrowserContext* Browser() {
    return g_form1;
}

QString BrowserFileMask() {
    const TBrowserContext* b = Browser();
    return b ? b->ListFileMask() : BuildFileMask();
}

TDeletionSettings BrowserDeletion() {
    const TBrowserContext* b = Browser();
    return b ? b->Deletion() : TDeletionSettings{};
}

void FolderContentsChanged(const QString& folder) {
    TForm1* f = g_form1;
    if (!f || folder.isEmpty() || f->ListedFolder().isEmpty()) return;
    if (Canonical(folder) == Canonical(f->ListedFolder())) f->RefreshList();
}
