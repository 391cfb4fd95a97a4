#include "tools/qt/increnameform.h"

#include <QApplication>
#include <algorithm>
#include <cerrno>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/form1.h"
#include "core/fileops.h"
#include "formats/droptypes.h"
#include "platform/convert.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "thumbs/qt/toolwidgets.h"
#include "tools/increname.h"

namespace {

QString AddBackslash(const QString& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

bool Accepts(const QMimeData* m) {
    return m && (m->hasFormat(kFileDragMime) || m->hasUrls());
}

} // namespace

bool IsIncRenameDropType(const QString& name) {
    return IsDroppedPictureName(name.toStdString());
}

TIncRenameList::TIncRenameList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void TIncRenameList::dragEnterEvent(QDragEnterEvent* e) {
    if (Accepts(e->mimeData())) {
        // Copy, never move: the dragging list must not drop its items.
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void TIncRenameList::dragMoveEvent(QDragMoveEvent* e) {
    if (Accepts(e->mimeData())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void TIncRenameList::dropEvent(QDropEvent* e) {
    if (!Accepts(e->mimeData())) return e->ignore();
    e->setDropAction(Qt::CopyAction);
    e->accept();
    emit Dropped(e->mimeData());
}

TfrmIncRename::TfrmIncRename(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmIncRename");
    setWindowTitle("Incremental File Rename");
    resize(457, 468);

    auto* filesLabel = new QLabel("Files To Rename");
    FileList = new TIncRenameList;
    FileList->setObjectName("FileList");
    FileList->setItemDelegate(new TElidingDelegate(FileList));
    FileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    filesLabel->setBuddy(FileList);

    NewName = new QLineEdit("NewName");
    NewName->setObjectName("NewName");
    // A "/" would move files out of their folder: it cannot be typed or pasted.
    NewName->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[^/\\x{0}]*"), NewName));
    Number = new QLineEdit("001");
    Number->setObjectName("Number");
    Number->setMaxLength(5);
    Number->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), Number));

    RenameBtn = new QPushButton("Rename");
    RenameBtn->setObjectName("RenameBtn");
    CancelBtn = new QPushButton("Cancel");
    CancelBtn->setObjectName("CancelBtn");
    HelpBtn = new QPushButton("Help");
    HelpBtn->setObjectName("HelpBtn");
    HelpBtn->setProperty("helpTopic", 600);

    auto* edits = new QGridLayout;
    edits->addWidget(new QLabel("New Name (no extension)"), 0, 0);
    edits->addWidget(new QLabel("Number"), 0, 2);
    edits->addWidget(NewName, 1, 0);
    edits->addWidget(new QLabel("_"), 1, 1);
    edits->addWidget(Number, 1, 2);
    edits->setColumnStretch(0, 3);
    edits->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(RenameBtn);
    buttons->addWidget(CancelBtn);
    buttons->addWidget(HelpBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesLabel);
    layout->addWidget(FileList, 1);
    layout->addLayout(edits);
    layout->addLayout(buttons);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    connect(PopupMenu->addAction("Clear All"), &QAction::triggered, FileList, &QListWidget::clear);
    connect(PopupMenu->addAction("Delete Selected"), &QAction::triggered, this,
            &TfrmIncRename::DeleteSelected);
    connect(PopupMenu->addAction("Sort by Name"), &QAction::triggered, this,
            &TfrmIncRename::SortByName);
    PopupMenu->addSeparator();
    connect(PopupMenu->addAction("Import Current Directory"), &QAction::triggered, this,
            &TfrmIncRename::ImportCurrentDirectory);
    PopupMenu->addSeparator();
    connect(PopupMenu->addAction("Close"), &QAction::triggered, this, &QWidget::close);
    FileList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FileList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu->popup(FileList->viewport()->mapToGlobal(p)); });

    connect(FileList, &TIncRenameList::Dropped, this, &TfrmIncRename::DropFiles);
    connect(RenameBtn, &QPushButton::clicked, this, &TfrmIncRename::Rename);
    connect(CancelBtn, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmIncRename::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    PlaceOnScreen(this);
}

void TfrmIncRename::TakeHandOver(const QString&, const QStringList& files) {
    FileList->clear();
    // In the order the browser shows them: that is the order they are numbered in.
    if (files.size() > 1) FileList->addItems(files);
    show();
    raise();
    activateWindow();
}

QStringList TfrmIncRename::Lines() const {
    QStringList lines;
    lines.reserve(FileList->count());
    for (int i = 0; i < FileList->count(); ++i)
        lines << FileList->item(i)->text();
    return lines;
}

void TfrmIncRename::DropFiles(const QMimeData* data) {
    QStringList add;
    QStringList refused;
    // A file-list drag names the folder its names belong to, whichever list
    // they came from; other programs' files are taken when they are files.
    const bool fromList = DecodeFileDrag(data).has_value();
    for (const TDroppedFile& f : DecodeDroppedFiles(data, &refused)) {
        const QString path = f.Path();
        if (IsIncRenameDropType(path) && (fromList || QFileInfo(path).isFile())) add << path;
    }
    FileList->addItems(add);
    for (const QString& r : refused)
        ShowMessage("Can't edit " + r, this);
}

void TfrmIncRename::ImportCurrentDirectory() {
    TBrowserContext* b = Browser();
    if (!b || b->ListedFolder().isEmpty()) return;
    const QString folder = AddBackslash(b->ListedFolder());
    QStringList add;
    for (const QString& name : b->ListedNames()) add << folder + name;
    std::stable_sort(add.begin(), add.end(), NaturalLess);
    FileList->addItems(add);
}

void TfrmIncRename::SortByName() {
    QStringList lines = Lines();
    std::stable_sort(lines.begin(), lines.end(), NaturalLess);
    FileList->clear();
    FileList->addItems(lines);
}

void TfrmIncRename::DeleteSelected() {
    for (int i = FileList->count() - 1; i >= 0; --i)
        if (FileList->item(i)->isSelected()) delete FileList->takeItem(i);
}

void TfrmIncRename::Rename() {
    const QStringList lines = Lines();
    // Names that are taken are said before anything moves.
    QString warning;
    if (const auto number = ParseRunningNumber(Number->text());
        number && IsValidIncRenameName(NewName->text())) {
        std::vector<TIncRenameStep> trial = PlanIncRename(lines, NewName->text(), *number);
        DryRunIncRename(trial);
        QStringList failing;
        for (const TIncRenameStep& st : trial)
            if (!st.done)
                failing << st.line + (st.target.isEmpty() ? QString()
                                                          : " -> " + QFileInfo(st.target).fileName()) +
                               ": " + (st.error == EINVAL
                                           ? QString("not a file name")
                                           : QString::fromStdString(FileErrorText(st.error)));
        if (!failing.isEmpty())
            warning = "\n\n" + QString::number(failing.size()) + " of them cannot be renamed:\n" +
                      failing.mid(0, 5).join("\n") + (failing.size() > 5 ? "\n..." : "");
    }
    if (MessageDlg("Ready to rename " + QString::number(lines.size()) + " files.  Proceed?" +
                       warning,
                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                   this) != QMessageBox::Yes)
        return;
    try {
        StrToInt(Number->text()); // an empty Number is the conversion error
    } catch (const EConvertError& e) {
        MessageDlg(QString::fromStdString(e.Message()), QMessageBox::Critical, QMessageBox::Ok,
                   this);
        return;
    }
    const auto number = ParseRunningNumber(Number->text());
    if (!number || !IsValidIncRenameName(NewName->text())) {
        MessageDlg("'" + (number ? NewName->text() : Number->text()) + "' is not valid here",
                   QMessageBox::Critical, QMessageBox::Ok, this);
        return;
    }

    TWaitCursor wait;
    std::vector<TIncRenameStep> steps = PlanIncRename(lines, NewName->text(), *number);
    RunIncRename(steps);
    // The list is rewritten once, not line by line.
    FileList->setUpdatesEnabled(false);
    FileList->clear();
    FileList->addItems(IncRenameResults(steps));
    FileList->setUpdatesEnabled(true);
    wait.Restore();

    if (TBrowserContext* b = Browser()) b->RefreshList();
}
