#include "browser/handovertable.h"

#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <iterator>

#include "browser/handover.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"

namespace {

const THandOverRow kRows[] = {
    // class, handOver, files, needOne, noFileText, treeFolder, waitCursor
    // The converter takes the one file as its source (loaded at once when
    // its window is up); the rename window lists a selection of more than
    // one; the explorer opens the tree's folder in its details view; the
    // search starts in the listed folder's drive.
    {"TfrmConvert", true, true, true, "Click on an image filename first", false, false},
    {"TfSearch", true, false, false, nullptr, false, false},
    {"TfrmThumbnails", true, false, false, nullptr, true, true},
    {"TfrmIncRename", true, true, false, nullptr, false, false},
    {"TfrmEXIF", true, true, true, nullptr, false, false},
    {"TfrmFileProp", true, true, true, nullptr, false, false},
};

} // namespace

const THandOverRow* HandOverRow(const QString& className) {
    for (const THandOverRow& r : kRows)
        if (className == QLatin1String(r.className)) return &r;
    return nullptr;
}

int RunToolCommand(TForm1* form, const QString& className) {
    TToolWindows* tools = ToolWindows();
    QWidget* w = tools ? tools->Find(className) : nullptr;
    if (!w || !tools->IsReal(className)) return -1;
    const THandOverRow* row = HandOverRow(className);
    auto* target = dynamic_cast<TToolHandOver*>(w);
    // A window that takes one file through its ShowFile slot (and shows
    // itself, modally where it is a dialog) gets the file that way.
    const bool showFile = w->metaObject()->indexOfMethod("ShowFile(QString)") >= 0;
    if (row && row->handOver && (target || (showFile && row->needOne && row->files))) {
        QStringList files;
        const QString listed = form->ListedFolder();
        if (row->files)
            for (const QString& name : form->SLV1->SelectedNames())
                files << AddBackslash(listed) + name;
        if (row->needOne && files.isEmpty()) {
            if (row->noFileText)
                MessageDlg(row->noFileText, QMessageBox::Information, QMessageBox::Ok, form);
            return -1;
        }
        // A one-file tool given several (Ctrl+A, then the tool) takes the
        // first, as the list shows them.
        if (row->needOne && files.size() > 1) files = QStringList{files.front()};
        if (!target) {
            QMetaObject::invokeMethod(w, "ShowFile", Q_ARG(QString, files.front()));
            return -1;
        }
        QString folder = listed;
        if (row->treeFolder) {
            const QString tree = form->STV1->SelectedFolder();
            if (!tree.isEmpty()) folder = tree;
        }
        TWaitCursor wait(row->waitCursor);
        target->TakeHandOver(folder, files);
    }
    if (auto* d = qobject_cast<QDialog*>(w)) return ExecDialog(d);
    w->show();
    w->raise();
    w->activateWindow();
    return -1;
}
