#include "thumbs/qt/savethumbnail.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "browser/foldertree.h"
#include "platform/dialogbuttons.h"
#include "platform/prompts.h"
#include "thumbs/thumbrules.h"
#include "thumbs/thumbsave.h"

TfrmSelectFolder::TfrmSelectFolder(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmSelectFolder");
    setWindowTitle("Select Folder");
    setFixedSize(297, 300);
    auto* lay = new QVBoxLayout(this);
    Tree = new TFolderTree(this);
    lay->addWidget(Tree, 1);
    lay->addLayout(OkCancelRow(this));
}

TfrmSaveThumbnail::TfrmSaveThumbnail(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmSaveThumbnail");
    setWindowTitle("Save Thumbnail");
    auto* lay = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    edPrefix = new QLineEdit("thm_", page);
    edPrefix->setToolTip("File Name Prefix");
    form->addRow("File Prefix", edPrefix);
    cbFormat = new QComboBox(page);
    cbFormat->addItems(ThumbSaveFormatTexts());
    cbFormat->setToolTip("Save To File Type");
    form->addRow("Format", cbFormat);
    cbSize = new QComboBox(page);
    cbSize->addItems({"64 X 64", "80 X 80", "96 X 96", "128 X 128"});
    cbSize->setToolTip("Maximum Dimensions");
    form->addRow("Size", cbSize);
    auto* folderRow = new QHBoxLayout;
    edFolder = new QLineEdit(page);
    btnFolder = new QPushButton("...", page);
    btnFolder->setFixedWidth(28);
    folderRow->addWidget(edFolder, 1);
    folderRow->addWidget(btnFolder);
    form->addRow("Save Folder", folderRow);
    lblCount = new QLabel("Number of files selected", page);
    lblCount->setTextFormat(Qt::PlainText);
    form->addRow(lblCount);
    tabs->addTab(page, "Save Options");
    lay->addWidget(tabs);
    lay->addLayout(OkCancelRow(this));
    connect(btnFolder, &QPushButton::clicked, this, &TfrmSaveThumbnail::ChooseFolder);
}

QString TfrmSaveThumbnail::Prefix() const {
    return edPrefix->text();
}
QString TfrmSaveThumbnail::Extension() const {
    return ExtFromFormatText(cbFormat->currentText());
}
int TfrmSaveThumbnail::ThumbSize() const {
    return SizeFromText(cbSize->currentText());
}

QString TfrmSaveThumbnail::Folder() const {
    QString f = edFolder->text();
    if (!f.endsWith('/')) f += '/';
    return f;
}

void TfrmSaveThumbnail::done(int r) {
    // A prefix holding a "/" would put the thumbnails somewhere else.
    if (r == QDialog::Accepted && !ValidThumbPrefix(Prefix())) {
        ShowMessage("Invalid file prefix", this);
        edPrefix->setFocus();
        return;
    }
    QDialog::done(r);
}

void TfrmSaveThumbnail::ChooseFolder() {
    TfrmSelectFolder dlg(this);
    dlg.Tree->SelectFolder(edFolder->text());
    if (ExecDialog(&dlg) != QDialog::Accepted) return;
    QString f = dlg.Tree->SelectedFolder();
    if (f.isEmpty()) return;
    if (!f.endsWith('/')) f += '/';
    edFolder->setText(f);
}
