#include "tools/qt/moverform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QSet>
#include <QShowEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStorageInfo>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/fileops_ui.h"
#include "browser/fileopsdialogs.h"
#include "browser/foldertree.h"
#include "browser/form1.h"
#include "browser/help.h"
#include "browser/helptopics.h"
#include "browser/previewcontrols.h"
#include "browser/statusbar.h"
#include "core/fileops.h"
#include "core/pixelgraphic.h"
#include "core/qt/bitmap.h"
#include "core/stream.h"
#include "formats/desktopicon.h"
#include "formats/webp.h"
#include "meta/qt/fileprop.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "platform/settings.h"
#include "thumbs/qt/thumbtav.h"
#include "thumbs/qt/toolwidgets.h"
#include "view/pgimage.h"

namespace {

constexpr int kHeight = 386;
constexpr int kBox = 145;

std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString Join(const QString& folder, const QString& name) {
    return folder.endsWith('/') ? folder + name : folder + "/" + name;
}

// A picture of `size` fitted into the preview box keeping its aspect
// (r = height / width), or its own size when it fits.
QSize Fitted(QSize size, bool always) {
    if (size.isEmpty()) return {1, 1};
    if (!always && size.width() <= kBox && size.height() <= kBox) return size;
    const double r = double(size.height()) / size.width();
    if (r > 1) return {std::max(1, int(std::nearbyint(kBox / r))), kBox};
    return {kBox, std::max(1, int(std::nearbyint(r * kBox)))};
}

// The browser's folder and list, or nothing without a main window.
QString BrowserFolder() {
    const TBrowserContext* b = Browser();
    return b ? b->ListedFolder() : QString();
}

} // namespace

TfSelectFiles::TfSelectFiles(QWidget* parent) : QMainWindow(parent) {
    setObjectName("fSelectFiles");
    setWindowTitle("TavMover");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(454, kHeight);
    setMinimumHeight(kHeight);
    setMaximumHeight(kHeight);

    QToolBar* tb = addToolBar("ToolBar1");
    tb->setObjectName("ToolBar1");
    auto act = [this, tb](const char* name, const char* hint, auto fn) {
        QAction* a = tb->addAction(hint);
        a->setObjectName(name);
        a->setToolTip(hint);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    act("tbRefresh", "Refresh", [this] { Relist(); });
    act("tbDelete", "Delete", [this] { DeleteFiles(); });
    act("tbRename", "Rename", [this] { RenameFile(); });
    act("tbMove", "Move to...", [this] { MoveOrCopy(true); });
    act("tbCopy", "Copy to...", [this] { MoveOrCopy(false); });
    act("tbPreview", "Preview", [this] { Preview(); });
    act("tbAttributes", "File Attributes...", [this] { FileAttributes(); });
    act("tbImageInfo", "Image Info", [this] { ImageInfo(); });
    act("tbView", "View", [this] { LargeView(); });
    act("tbSelectAll", "Select All", [this] { SelectAll(); });
    act("tbSelectNone", "Select None", [this] { SelectNone(); });

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* row = new QHBoxLayout(central);
    auto* split = new QSplitter(Qt::Vertical, central);
    // The browser's folder tree: only the user moves its current folder
    // (folders coming and going beside it never switch the source).
    Tree = new TFolderTree(split);
    Tree->setObjectName("Tree");
    Tree->setMinimumHeight(60);
    List = new TFileListView(split);
    List->setObjectName("List");
    List->Model()->SetNameCaption("Name");
    List->setColumnWidth(0, 160);
    List->setColumnWidth(1, 60);
    List->setColumnWidth(3, 140);
    split->addWidget(Tree);
    split->addWidget(List);
    split->setSizes({120, 200});
    row->addWidget(split, 1);

    auto* side = new QVBoxLayout;
    auto* box = new QWidget(central);
    box->setFixedSize(150, 150);
    PGImage1 = new TPGImage(box);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetStretch(sAlwaysKAR);
    PGImage1->SetCenter(true);
    PGImage1->SetReadWarningAction(pgwaIgnore);
    GIFImage1 = new TGIFImage(box);
    Image1 = new TImageBox(box);
    AVIPlay1 = new TAVIPlayer(box);
    side->addWidget(box);
    NameBox = new QLabel(central);
    NameBox->setObjectName("NameBox");
    NameBox->setTextFormat(Qt::PlainText);
    NameBox->setFixedWidth(150);
    side->addWidget(NameBox);
    AutoPreview = new QCheckBox("Auto Preview", central);
    AutoPreview->setObjectName("AutoPreview");
    AutoPreview->setChecked(true);
    AutoUpdate = new QCheckBox("Auto Update", central);
    AutoUpdate->setObjectName("AutoUpdate");
    auto* help = new QPushButton("Help", central);
    side->addWidget(AutoPreview);
    side->addWidget(AutoUpdate);
    side->addWidget(help);
    side->addStretch();
    row->addLayout(side);
    HidePreviews();

    StatusBar1 = new TPanelStatusBar(
        {{20, Qt::AlignCenter}, {70, Qt::AlignLeft}, {60, Qt::AlignLeft}, {0, Qt::AlignLeft}},
        this);
    setStatusBar(StatusBar1);
    Light = new TLed(StatusBar1->PanelLabel(0));

    watcher_ = new QFileSystemWatcher(this);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(250); // a burst of arrivals costs one listing
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_->start(); });
    connect(settle_, &QTimer::timeout, this, [this] { FolderChanged(); });
    // Writers often finish without touching the folder again: while a file
    // is still changing, the folder is looked at on a clock as well.
    poll_ = new QTimer(this);
    poll_->setSingleShot(true);
    poll_->setInterval(250);
    connect(poll_, &QTimer::timeout, this, [this] { FolderChanged(); });

    connect(help, &QPushButton::clicked, this, [] { ShowHelpContext(hcMover); });
    connect(AutoUpdate, &QCheckBox::clicked, this, [this](bool on) { SetAutoUpdate(on); });
    connect(Tree, &TFolderTree::FolderChanged, this, [this](const QString& folder) {
        if (folder != source_ && QFileInfo(folder).isDir()) OpenSource(folder);
    });
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (AutoPreview->isChecked() && List->SelCount() == 1) Preview();
    });
    connect(List->header(), &QHeaderView::sectionClicked, this,
            [this](int c) { List->ColumnClick(c); });

    // The list's pop-up menu, its entries enabled by the selection.
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu m(this);
        const int n = List->SelCount();
        auto add = [&](const char* text, bool enabled, auto fn) {
            QAction* a = m.addAction(text);
            a->setEnabled(enabled);
            connect(a, &QAction::triggered, this, fn);
        };
        add("Refresh", true, [this] { Relist(); });
        add("Delete Files", true, [this] { DeleteFiles(); });
        add("Rename File", n == 1, [this] { RenameFile(); });
        add("Move Files", n >= 1, [this] { MoveOrCopy(true); });
        add("Copy Files", n >= 1, [this] { MoveOrCopy(false); });
        add("Force Preview", n == 1, [this] { Preview(); });
        m.addSeparator();
        add("File Attributes...", n == 1, [this] { FileAttributes(); });
        add("Image Properties...", n == 1, [this] { ImageInfo(); });
        add("Large View...", n == 1, [this] { LargeView(); });
        m.addSeparator();
        add("Select All", true, [this] { SelectAll(); });
        add("Select None", true, [this] { SelectNone(); });
        m.exec(List->viewport()->mapToGlobal(at));
    });
    Tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu m(this);
        connect(m.addAction("Add Folder..."), &QAction::triggered, this, [this] { AddFolder(); });
        connect(m.addAction("Delete Folder..."), &QAction::triggered, this,
                [this] { DeleteFolder(); });
        connect(m.addAction("Refresh"), &QAction::triggered, this, [this] { OpenSource(source_); });
        m.addSeparator();
        connect(m.addAction("Save Default Path"), &QAction::triggered, this,
                [this] { SaveDefaultPath(); });
        m.exec(Tree->viewport()->mapToGlobal(at));
    });
}

TfSelectFiles::~TfSelectFiles() = default;

void TfSelectFiles::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    // Only the width follows the user; the height stays.
    if (height() != kHeight) resize(width(), kHeight);
}

void TfSelectFiles::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) PlaceOnScreen(this);
    QString folder = ReadSetting("SourceDir", QDir::homePath());
    const QFileInfo fi(folder);
    if (!fi.isDir() || !fi.isReadable()) folder = QDir::homePath();
    OpenSource(folder);
}

void TfSelectFiles::closeEvent(QCloseEvent* e) {
    SetAutoUpdate(false);
    HidePreviews();
    QMainWindow::closeEvent(e);
}

bool TfSelectFiles::OpenSource(const QString& folder) {
    const QFileInfo fi(folder);
    if (!fi.isDir()) return false;
    source_ = fi.absoluteFilePath();
    setWindowTitle(source_);
    SetAutoUpdate(false);
    if (Tree->SelectedFolder() != source_) {
        const QSignalBlocker block(Tree);
        Tree->SelectFolder(source_);
    }
    Relist();
    return true;
}

void TfSelectFiles::Relist() {
    if (source_.isEmpty()) return;
    try {
        FillFileList(List, source_, StatusBar1, BrowserFileMask());
        List->SortItems();
    } catch (const std::exception& e) {
        ShowMessage(QString::fromLocal8Bit(e.what()), this);
    }
}

QStringList TfSelectFiles::Names() const {
    QStringList n;
    for (int r = 0; r < List->Count(); ++r)
        n << List->Caption(r);
    return n;
}

void TfSelectFiles::Snapshot() {
    snapshot_ = Names();
    snapshot_.sort();
}

TfSelectFiles::TFileState TfSelectFiles::StateOf(const QByteArray& rawName) const {
    struct stat st {};
    const QByteArray path = QFile::encodeName(source_) + '/' + rawName;
    if (::stat(path.constData(), &st) != 0) return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void TfSelectFiles::SetAutoUpdate(bool on) {
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    settle_->stop();
    poll_->stop();
    settled_.clear();
    changing_.clear();
    {
        const QSignalBlocker block(AutoUpdate);
        AutoUpdate->setChecked(on);
    }
    if (!on || source_.isEmpty()) return;
    Snapshot();
    for (const TFileItem& it : List->Model()->Items())
        settled_.insert(it.name, StateOf(it.rawName));
    watcher_->addPath(source_);
}

void TfSelectFiles::FolderChanged() {
    if (!AutoUpdate->isChecked() || source_.isEmpty()) return;
    std::vector<TFileItem> now;
    try {
        now = ListFolderFiles(source_, BrowserFileMask(), ViewAllFiles);
    } catch (...) {
        return;
    }
    // A file counts as complete once its size and time have stayed the same
    // for SettleMs; until then it is neither listed nor previewed.
    const qint64 clock = QDateTime::currentMSecsSinceEpoch();
    bool changed = false;
    QStringList arrived; // settled just now, in folder order
    QSet<QString> present;
    for (const TFileItem& it : now) {
        present.insert(it.name);
        const TFileState st = StateOf(it.rawName);
        const auto known = settled_.constFind(it.name);
        if (known != settled_.constEnd() && *known == st) continue;
        auto c = changing_.find(it.name);
        if (c == changing_.end() || c->first != st) {
            // (A listed file that changes stays listed as it was until its
            // new state settles.)
            changing_.insert(it.name, {st, clock});
            continue;
        }
        if (clock - c->second < SettleMs) continue;
        changing_.erase(c);
        settled_.insert(it.name, st);
        arrived << it.name;
        changed = true;
    }
    for (auto it = settled_.begin(); it != settled_.end();)
        if (!present.contains(it.key())) {
            it = settled_.erase(it);
            changed = true;
        } else {
            ++it;
        }
    for (auto it = changing_.begin(); it != changing_.end();)
        it = present.contains(it.key()) ? std::next(it) : changing_.erase(it);
    if (!changing_.isEmpty()) poll_->start();
    if (!changed) return;

    const QStringList wasSelected = List->SelectedNames();
    ListSettled();
    // The first name in list order that was not there before.
    int found = -1;
    for (int r = 0; r < List->Count() && found < 0; ++r)
        if (arrived.contains(List->Caption(r)) &&
            !std::binary_search(snapshot_.begin(), snapshot_.end(), List->Caption(r)))
            found = r;
    if (found < 0) {
        // Nothing new: keep the selection, and show a picture again that
        // was rewritten while it was shown.
        for (int r = 0; r < List->Count(); ++r)
            if (wasSelected.contains(List->Caption(r)))
                List->selectionModel()->select(List->Model()->index(r, 0),
                                               QItemSelectionModel::Select |
                                                   QItemSelectionModel::Rows);
        // (Auto Preview shows it again as the selection comes back.)
        if (wasSelected.size() == 1 && arrived.contains(wasSelected.front()) &&
            !AutoPreview->isChecked())
            Preview();
        return;
    }
    List->ClearSelectionAll();
    const QModelIndex i = List->Model()->index(found, 0);
    List->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    List->scrollTo(i);
    Snapshot();
    List->setFocus();
    Preview();
}

void TfSelectFiles::ListSettled() {
    Relist();
    if (changing_.isEmpty()) return;
    std::vector<TFileItem> items;
    for (const TFileItem& it : List->Model()->Items())
        if (!changing_.contains(it.name) || settled_.contains(it.name)) items.push_back(it);
    List->Model()->SetItems(std::move(items));
    List->SortItems();
    StatusBar1->SetPanelText(1, QString::number(List->Count()) + " files");
}

void TfSelectFiles::SelectAll() {
    List->selectAll();
    List->setFocus();
}

void TfSelectFiles::SelectNone() {
    List->ClearSelectionAll();
    List->setFocus();
}

QString TfSelectFiles::SelectedPath() const {
    const QStringList s = List->SelectedNames();
    return s.size() == 1 ? Join(source_, s.front()) : QString();
}

void TfSelectFiles::MoveOrCopy(bool move) {
    TBrowserContext* b = Browser();
    const QString target = BrowserFolder();
    if (running_ || FileOperationRunning() || target.isEmpty() || List->SelCount() == 0) return;
    running_ = true;
    TWaitCursor wait;
    // The browser's one selected name, to find it again after the listing.
    QString remembered;
    if (b) {
        const QStringList selected = b->SelectedNames();
        if (selected.size() == 1) remembered = selected.front();
    }
    // Names and folders first: nothing below may change them under the loop.
    const QString folder = source_;
    const QStringList names = List->SelectedNames();
    for (const QString& name : names) {
        const QString from = Join(folder, name), to = Join(target, name);
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) {
            ShowMessage("file " + to + " already exists. Select another directory before moving",
                        this);
        } else if (FileSizeOf(Bytes(from)) <= 0) {
            ShowMessage(from + " has a size of zero. This may be because it is not yet closed.",
                        this);
        } else {
            try {
                if (move)
                    RelocateFile(Bytes(from), Bytes(to));
                else
                    CopyFileContents(Bytes(from), Bytes(to));
                remembered = name;
            } catch (const std::exception&) {
                wait.Restore();
                ShowMessage("error moving file " + from, this);
            }
        }
        for (int r = 0; r < List->Count(); ++r)
            if (List->Caption(r) == name)
                List->selectionModel()->select(List->Model()->index(r, 0),
                                               QItemSelectionModel::Deselect |
                                                   QItemSelectionModel::Rows);
        List->viewport()->repaint();
    }
    Relist();
    FolderContentsChanged(target);
    if (b && !remembered.isEmpty()) {
        const QStringList listed = b->ListedNames();
        for (int r = 0; r < listed.size(); ++r)
            if (listed[r].startsWith(remembered, Qt::CaseInsensitive)) {
                b->ShowNativeInPreview(b->SelectRow(r));
                break;
            }
    }
    running_ = false;
}

void TfSelectFiles::DeleteFiles() {
    if (running_) return;
    const TDeletionSettings deletion = BrowserDeletion();
    TDeleteFilesStep step;
    step.parent = this;
    step.folder = source_;
    step.names = List->SelectedNames();
    step.confirm = deletion.Confirm;
    step.permanent = deletion.Permanent;
    step.status = [this](const QString& text) { StatusBar1->SetPanelText(3, text); };
    // The folder as it was when the step began: events run in between.
    const QString folder = source_;
    step.refresh = [this, folder] {
        Relist();
        FolderContentsChanged(folder);
    };
    running_ = true;
    DeleteFilesStep(step);
    running_ = false;
}

void TfSelectFiles::RenameFile() {
    if (running_ || FileOperationRunning()) return;
    const int n = List->SelCount();
    if (n >= 2) {
        ShowMessage("You must select a single file for this function", this);
        return;
    }
    if (n == 0) {
        ShowMessage("You must click on a file", this);
        return;
    }
    const QString old = List->SelectedNames().front();
    TfRename* d = RenameDialog();
    d->lOldName->setText(old);
    d->Edit1->setText(old);
    d->Edit1->selectAll();
    if (ExecDialog(d) != QDialog::Accepted) return;
    const QString name = d->Edit1->text();
    if (name == old) return;
    // One plain name, never over an existing file; a refusal says why.
    if (!IsPlainName(name)) {
        ShowMessage("Error changing name: \"" + name + "\" is not a plain file name", this);
        return;
    }
    const int err = RenameNoReplace(Bytes(Join(source_, old)), Bytes(Join(source_, name)));
    if (err != 0) {
        ShowMessage(err == EEXIST ? "Error changing name: " + name + " already exists"
                                  : "Error changing name: " +
                                        QString::fromStdString(FileErrorText(err)),
                    this);
        return;
    }
    Relist();
}

void TfSelectFiles::FileAttributes() {
    const QString path = SelectedPath();
    if (!path.isEmpty()) AskFileAttributes(this, source_, QFileInfo(path).fileName());
}

void TfSelectFiles::ImageInfo() {
    const QString path = SelectedPath();
    if (!path.isEmpty()) ShowImageProperties(this, path);
}

void TfSelectFiles::LargeView() {
    const QString path = SelectedPath();
    if (path.isEmpty()) return;
    TWaitCursor wait;
    ShowViewImage(path, 4, this);
}

void TfSelectFiles::HidePreviews() {
    AVIPlay1->Stop();
    AVIPlay1->hide();
    GIFImage1->SetAnimate(false);
    GIFImage1->hide();
    Image1->hide();
    PGImage1->hide();
}

void TfSelectFiles::Preview() {
    const QString path = SelectedPath();
    if (path.isEmpty()) return;
    const QFileInfo fi(path);
    StatusBar1->SetPanelText(2, QString::number(fi.size() / 1024 + 1) + "K");
    Light->SetLit(true);
    NameBox->setText("Loading...");
    HidePreviews();
    // The type by the last extension: "x.avi.jpg" is a picture.
    const QString type = fi.suffix().left(3).toUpper();
    const QByteArray native = QFile::encodeName(path);
    auto place = [](QWidget* w, QSize s) {
        w->setGeometry((150 - s.width()) / 2, (150 - s.height()) / 2, s.width(), s.height());
        w->show();
    };
    if (type == "AVI") {
        if (AVIPlay1->Open(native)) {
            place(AVIPlay1, Fitted(AVIPlay1->FrameSize(), true));
            AVIPlay1->Play();
        }
    } else if (type == "GIF" || (type == "WEB" && IsAnimatedWebPFile(native.toStdString()))) {
        if (GIFImage1->Load(native)) {
            place(GIFImage1, Fitted(GIFImage1->PictureSize(), false));
            GIFImage1->SetAnimate(GIFImage1->FrameCount() > 1);
        }
    } else if (type == "WMF" || type == "ICO") {
        QImage img;
        try {
            TPixelGraphic pg;
            pg.SetReadWarningAction(pgwaIgnore);
            if (type == "ICO") {
                TFileStream file(native.toStdString(), TFileStream::OpenRead);
                const QColor back = palette().color(QPalette::Window);
                if (LoadDesktopIcon(file, RGB(back.red(), back.green(), back.blue()), pg))
                    AssignToBitmap(pg, img);
            } else {
                pg.LoadFromFile(native.toStdString());
                AssignToBitmap(pg, img);
            }
        } catch (const std::exception&) {
        }
        if (img.isNull()) {
            Light->SetLit(false);
            if (fi.size() > 0) ShowMessage("Error reading image file", this);
        } else {
            Image1->SetPicture(img);
            StatusBar1->SetPanelText(3, " (" + QString::number(img.width()) + " x " +
                                     QString::number(img.height()) + ")");
            place(Image1, Fitted(img.size(), false));
        }
    } else {
        try {
            PGImage1->LoadFromFile(native.toStdString());
            StatusBar1->SetPanelText(3, " (" + QString::number(PGImage1->ImageWidth()) + " x " +
                                     QString::number(PGImage1->ImageHeight()) + ")");
            place(PGImage1, {kBox, kBox});
        } catch (const std::exception&) {
        }
    }
    Light->SetLit(false);
    NameBox->setText(fi.fileName());
}

void TfSelectFiles::AddFolder() {
    AddFolderStep(this, source_, [this](const QString& path) { OpenSource(path); });
}

void TfSelectFiles::DeleteFolder() {
    const QString folder = source_;
    // Leave the folder first: the list is in it.
    DeleteFolderStep(this, folder, [this, &folder] {
        QString root = QStorageInfo(folder).rootPath();
        if (root.isEmpty()) root = "/";
        OpenSource(root);
    });
}

void TfSelectFiles::SaveDefaultPath() {
    WriteSetting("SourceDir", source_);
    ShowMessage("Saved default as " + source_, this);
}
