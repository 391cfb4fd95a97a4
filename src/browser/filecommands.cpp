#include "browser/filecommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPrinter>
#include <functional>
#include <tuple>

#include "browser/editfile.h"
#include "browser/externaleditor.h"
#include "browser/listingprint.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/previewcontrols.h"
#include "browser/toolwindows.h"
#include "browser/wallpaper.h"
#include "formats/qt/clipboard.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "view/pgimage.h"

namespace {

// The printer of the listing: its page setup is kept for the whole run.
QPrinter& ListingPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

// The one selected file's name, or empty unless exactly one is selected.
QString SelectedOne(TForm1* form) {
    const QStringList names = form->SLV1->SelectedNames();
    return names.size() == 1 ? names.front() : QString();
}

void Wallpaper(TForm1* form, const QString& tile, const QString& style) {
    const QString name = SelectedOne(form);
    if (name.isEmpty()) return;
    SetWallpaper(form, AddBackslash(form->ListedFolder()) + name, tile, style);
}

void ExternalEditor(TForm1* form) {
    const QString name = SelectedOne(form);
    if (name.isEmpty()) return;
    EditInExternalEditor(form, form->ListedFolder(), name, [form] {
        if (QAction* prefs = form->Command(TCommandId::Preferences)) prefs->trigger();
    });
}

const TCommandId kEditInTavirlo[] = {TCommandId::EditInTavirlo, TCommandId::PopupEditInTavirlo,
                                     TCommandId::OpenTavirloEditor};

TToolEditFile* Editor() {
    TToolWindows* tools = ToolWindows();
    if (!tools || !tools->IsReal("TfrmAcquire")) return nullptr;
    return dynamic_cast<TToolEditFile*>(tools->Find("TfrmAcquire"));
}

void EditInTavirlo(TForm1* form) {
    const QString name = SelectedOne(form);
    TToolEditFile* editor = Editor();
    if (name.isEmpty() || !editor) return;
    const QString path = AddBackslash(form->ListedFolder()) + name;
    TWaitCursor wait;
    bool ok = false;
    try {
        ok = editor->EditFile(path);
    } catch (const std::exception&) {
        ok = false;
    }
    wait.Restore();
    if (!ok) {
        MessageDlg("Can not edit " + path, QMessageBox::Critical, QMessageBox::Ok, form);
        return;
    }
    QWidget* w = ToolWindows()->Find("TfrmAcquire");
    w->show();
    w->raise();
    w->activateWindow();
}

void PrintListing(TForm1* form) {
    QPrinter& printer = ListingPrinter();
    TWaitCursor wait;
    SetUpListingPage(&printer);
    QString folder = form->STV1->SelectedFolder();
    if (folder.isEmpty()) folder = form->ListedFolder();
    wait.Restore();
    Prompts().PrintPreview(form, &printer,
                           [form, folder](QPrinter* p) { PaintListing(p, folder, form->SLV1); });
}


} // namespace

bool CopyPreviewToClipboard(TForm1* form) {
    TPreview* pv = form->Preview;
    if (!pv) return false;
    // A first look has fewer pixels than the file: the clipboard gets them all.
    pv->EnsureFullPicture();
    QImage image;
    if (pv->ShowsAnimation()) {
        image = pv->GIFImage1->CurrentFrame();
    } else if (pv->PreviewType == "AVI") {
        return false;
    } else if (!pv->Image1->Picture().isNull() && pv->Image1->isVisible()) {
        image = pv->Image1->Picture();
    } else if (TPixelGraphic* pic = pv->PGImage1->CurrentPixelGraphic()) {
        PGCopyToClipboard(*pic);
        return true;
    } else {
        image = pv->Image1->Picture();
    }
    if (image.isNull()) return false;
    QApplication::clipboard()->setImage(image);
    return true;
}

void ConnectFileCommands(TForm1* form) {
    // Available once the editor exists (TForm1::UpdateToolCommands).
    for (TCommandId c : kEditInTavirlo)
        for (QAction* a : form->Commands(c))
            QObject::connect(a, &QAction::triggered, form, [form] { EditInTavirlo(form); });
    if (QAction* f8 = form->Command(TCommandId::OpenTavirloEditor)) f8->setShortcut(Qt::Key_F8);
    for (TCommandId c : {TCommandId::EditInExternalEditor, TCommandId::PopupEditExternal,
                         TCommandId::OpenExternalEditor})
        form->OnCommand(c, [form] { ExternalEditor(form); });
    for (TCommandId c : {TCommandId::CopyToClipboard, TCommandId::CopyButton})
        form->OnCommand(c, [form] { CopyPreviewToClipboard(form); });
    form->OnCommand(TCommandId::PageSetup,
                    [form] { Prompts().PageSetupDialog(form, &ListingPrinter()); });
    form->OnCommand(TCommandId::PrintListings, [form] { PrintListing(form); });
    form->OnCommand(TCommandId::RemoveWallpaper,
                    [form] { SetWallpaper(form, "(None)", "0", "0"); });
    for (QAction* a : form->Commands(TCommandId::SetAsWallpaper)) {
        if (!a->menu()) continue;
        QMenu* m = a->menu();
        const std::tuple<const char*, const char*, const char*> items[] = {
            {"&Centered", "0", "0"}, {"&Tiled", "1", "0"}, {"&Stretched", "0", "2"}};
        for (const auto& [caption, tile, style] : items) {
            QAction* item = m->addAction(caption);
            item->setObjectName(PlainCaption(caption));
            const QString t = tile, s = style;
            QObject::connect(item, &QAction::triggered, form,
                             [form, t, s] { Wallpaper(form, t, s); });
        }
        form->MakeAvailable(a);
    }
}
