#include "browser/fileopsdialogs.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "browser/bookmarks.h"
#include "browser/toolwindows.h"
#include "platform/dialogbuttons.h"

namespace {

QLabel* NameLabel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path must not stretch the dialog past the screen.
    l->setMinimumWidth(1);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return l;
}

template <class T> T* Dialog(const char* className) {
    if (TToolWindows* tools = ToolWindows())
        if (auto* d = qobject_cast<T*>(tools->Find(className))) return d;
    static QPointer<T> local;
    if (!local) local = new T;
    return local;
}

} // namespace

TfRename::TfRename(QWidget* parent) : QDialog(parent) {
    setObjectName("TfRename");
    setWindowTitle("Rename File");
    auto* form = new QFormLayout(this);
    lOldName = NameLabel(this, "lOldName");
    form->addRow("Old Name: ", lOldName);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    form->addRow("New Name:", Edit1);
    form->addRow(OkCancelRow(this));
    setMinimumWidth(360);
}

TFileAttrForm::TFileAttrForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TFileAttrForm");
    setWindowTitle("File attributes");
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    FileDirName = NameLabel(this, "FileDirName");
    FilePathName = NameLabel(this, "FilePathName");
    ChangeDate = NameLabel(this, "ChangeDate");
    form->addRow("File name : ", FileDirName);
    form->addRow("Path :", FilePathName);
    form->addRow("Last change :", ChangeDate);
    v->addLayout(form);
    auto* group = new QGroupBox("Attributes", this);
    auto* g = new QVBoxLayout(group);
    auto box = [&](const char* name, const char* caption, bool editable) {
        auto* c = new QCheckBox(caption, group);
        c->setObjectName(name);
        // Archive and system bits do not exist here; hidden is the name's
        // leading dot and changes only with the name.
        c->setEnabled(editable);
        g->addWidget(c);
        return c;
    };
    ReadOnly = box("ReadOnly", "&Read Only", true);
    Archive = box("Archive", "&Archive", false);
    System = box("System", "&System", false);
    Hidden = box("Hidden", "&Hidden", false);
    v->addWidget(group);
    v->addLayout(OkCancelRow(this));
    setMinimumWidth(360);
}

TfDirAdd::TfDirAdd(QWidget* parent) : QDialog(parent) {
    setObjectName("TfDirAdd");
    setWindowTitle("Add New Folder");
    auto* form = new QFormLayout(this);
    Label1 = NameLabel(this, "Label1");
    form->addRow("Current Directory : ", Label1);
    NewFolder = new QLineEdit(this);
    NewFolder->setObjectName("NewFolder");
    form->addRow("New Folder : ", NewFolder);
    form->addRow(OkCancelRow(this));
    setMinimumWidth(360);
}

void TfDirAdd::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    NewFolder->clear();
    NewFolder->setFocus();
}

TfRename* RenameDialog() {
    return Dialog<TfRename>("TfRename");
}
TFileAttrForm* FileAttrDialog() {
    return Dialog<TFileAttrForm>("TFileAttrForm");
}
TfDirAdd* DirAddDialog() {
    return Dialog<TfDirAdd>("TfDirAdd");
}

void RegisterBrowserDialogs() {
    TToolWindows::RegisterFactory("TfRename", [] { return new TfRename; });
    TToolWindows::RegisterFactory("TFileAttrForm", [] { return new TFileAttrForm; });
    TToolWindows::RegisterFactory("TfDirAdd", [] { return new TfDirAdd; });
    TToolWindows::RegisterFactory("TfBMEdit", [] { return new TfBMEdit; });
}
