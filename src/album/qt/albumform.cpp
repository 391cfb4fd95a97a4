#include "album/qt/albumform.h"

#include "album/albumprint.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QShowEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>
#include <QVBoxLayout>
#include <cmath>

#include "album/albumlayout.h"
#include "album/qt/pubwizard.h"
#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/form1.h"
#include "browser/statusbar.h"
#include "browser/toolwindows.h"
#include "core/pixelgraphic.h"
#include "core/qt/drawing.h"
#include "core/qt/print.h"
#include "formats/droptypes.h"
#include "meta/qt/fileprop.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "thumbs/qt/thumbtav.h"
#include "formats/droptypes.h"
#include "thumbs/qt/toolwidgets.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
std::string Utf8(const QString& s) {
    return s.toUtf8().toStdString();
}
QString PathText(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}
std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The album window's drop rule: the upper-case extension with its dot is
// found in the list of picture types, and the name fits an album file.
bool Droppable(const QString& path) {
    return IsDroppedPictureName(QFileInfo(path).fileName().toStdString()) &&
           AlbumPathAllowed(PathBytes(path));
}


// A settings value as a number in range; a value that is no number is noted
// and the default used.
int SettingInt(const char* name, int def, int lo, int hi) {
    const QString v = ReadSetting(name, QString::number(def));
    bool ok = false;
    const int n = v.trimmed().toInt(&ok);
    if (!ok) {
        NoteSettingReset(name, "Error reading register values for TavAlbum configuration");
        return def;
    }
    return std::clamp(n, lo, hi);
}

} // namespace

// ---- Frame Setup

TfAPrefs::TfAPrefs(QWidget* parent) : QDialog(parent) {
    setObjectName("fAPrefs");
    setWindowTitle("Frame Setup");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* grid = new QGridLayout(this);
    auto spin = [this, grid](int row, const char* label, const char* name, const char* hint, int lo,
                             int hi, int step) {
        auto* s = new QSpinBox(this);
        s->setObjectName(name);
        s->setRange(lo, hi);
        s->setSingleStep(step);
        s->setToolTip(hint);
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(s, row, 1);
        return s;
    };
    Rows = spin(0, "Rows", "Rows", "Number Of Rows", 1, 6, 1);
    Cols = spin(1, "Cols", "Cols", "Number Of Columns", 1, 6, 1);
    Border = spin(2, "Frame Border", "Border", "Space around image", 20, 500, 10);
    auto* caption = new QGroupBox("Caption Options", this);
    caption->setToolTip("Caption Option under Image");
    auto* cl = new QHBoxLayout(caption);
    CaptionOptions = new QButtonGroup(this);
    int id = 0;
    for (const char* t : {"None", "Filename", "Caption"}) {
        auto* r = new QRadioButton(t, caption);
        CaptionOptions->addButton(r, id++);
        cl->addWidget(r);
    }
    grid->addWidget(caption, 3, 0, 1, 2);
    PrintFrames = new QCheckBox("Print Frames", this);
    PrintFrames->setObjectName("PrintFrames");
    PrintFrames->setToolTip("Print Frame Borders");
    grid->addWidget(PrintFrames, 4, 0, 1, 2);
    auto* quality = new QGroupBox("Resizing Quality", this);
    quality->setToolTip("Quality of resized image");
    auto* ql = new QVBoxLayout(quality);
    Quality = new QButtonGroup(this);
    id = 0;
    for (const char* t : {"Good (fastest)   ", "Better", "Best (slowest)"}) {
        auto* r = new QRadioButton(t, quality);
        Quality->addButton(r, id++);
        ql->addWidget(r);
    }
    grid->addWidget(quality, 0, 2, 5, 1);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    grid->addWidget(ok, 5, 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // The wizard shares the caption option.
    connect(CaptionOptions, &QButtonGroup::idClicked, this,
            [](int v) { WriteSetting("PACaption", QString::number(v)); });
    LoadSettings();
}

void TfAPrefs::LoadSettings() {
    Rows->setValue(SettingInt("PARows", 3, 1, 6));
    Cols->setValue(SettingInt("PACols", 2, 1, 6));
    Border->setValue(SettingInt("PABorder", 100, 20, 500));
    CaptionOptions->button(SettingInt("PACaption", 0, 0, 2))->setChecked(true);
    Quality->button(SettingInt("PAQuality", 1, 0, 2))->setChecked(true);
    PrintFrames->setChecked(ReadSetting("PAFrames", "0") == "1");
    ShowSettingsResets(this);
}

void TfAPrefs::StoreSettings() const {
    WriteSetting("PARows", QString::number(Rows->value()));
    WriteSetting("PACols", QString::number(Cols->value()));
    WriteSetting("PABorder", QString::number(Border->value()));
    WriteSetting("PACaption", QString::number(std::max(0, CaptionOptions->checkedId())));
    WriteSetting("PAQuality", QString::number(std::max(0, Quality->checkedId())));
    WriteSetting("PAFrames", PrintFrames->isChecked() ? "1" : "0");
}

void TfAPrefs::showEvent(QShowEvent* e) {
    LoadSettings();
    QDialog::showEvent(e);
}

void TfAPrefs::done(int r) {
    StoreSettings();
    QDialog::done(r);
}

// ---- caption editor

TfrmEdit::TfrmEdit(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint) {
    setObjectName("frmEdit");
    setStyleSheet("background: white;");
    Edit = new QLineEdit(this);
    Edit->setObjectName("Edit");
    Edit->setFixedHeight(20);
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Edit);
    connect(Edit, &QLineEdit::returnPressed, this, &QDialog::accept);
}

// ---- the album window

namespace {
// A dialog the program made once without a parent opens above the album
// window all the same: the window becomes its window manager parent.
void OpenAboveWindow(QWidget* dialog, QWidget* owner) {
    if (!dialog || dialog->parentWidget() == owner) return;
    (void)dialog->winId();
    (void)owner->winId();
    if (QWindow* w = dialog->windowHandle()) w->setTransientParent(owner->windowHandle());
}
} // namespace

TfAlbum::TfAlbum(QWidget* parent) : QMainWindow(parent) {
    setObjectName("fAlbum");
    setWindowTitle("Tavirlo TavAlbum Maker");
    setFixedSize(478, 401 + 60);
    // The program's Frame Setup window, or one of its own (tests).
    if (TToolWindows* tools = ToolWindows())
        Prefs = qobject_cast<TfAPrefs*>(tools->Find("TfAPrefs"));
    if (!Prefs) Prefs = new TfAPrefs(this);

    auto add = [this](QMenu* m, const char* name, const char* text, auto fn) {
        QAction* a = m->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    QMenu* file = menuBar()->addMenu("File");
    add(file, "New1", "New", [this] { New(); });
    add(file, "Open1", "Open", [this] { Open(); });
    add(file, "Save1", "Save", [this] { Save(); });
    add(file, "SaveAs1", "Save as...", [this] { SaveAs(); });
    file->addSeparator();
    add(file, "SelectPrinter1", "Select Printer...",
        [this] { Prompts().PrintDialog(this, &PGPrinter()); });
    add(file, "PageSetup1", "Page Setup...",
        [this] { Prompts().PageSetupDialog(this, &PGPrinter()); });
    add(file, "PreviewCurrentAlbum1", "Preview Current Album", [this] { Preview(); });
    file->addSeparator();
    add(file, "Close1", "Close", [this] { close(); });
    QMenu* edit = menuBar()->addMenu("Edit");
    add(edit, "ClearAllEntries1", "Clear All Entries", [this] { ClearAll(); });
    add(edit, "ImportAllFiles1", "Import All Files", [this] { ImportAll(); });
    edit->addSeparator();
    add(edit, "FrameSetup1", "Frame Setup...", [this] { FrameSetup(); });

    QToolBar* tb = addToolBar("ToolBar1");
    tb->setObjectName("ToolBar1");
    auto button = [this, tb](const char* name, const char* hint, auto fn) {
        QAction* a = tb->addAction(hint);
        a->setObjectName(name);
        a->setToolTip(hint);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    button("tbPageSetup", "Page Setup", [this] { Prompts().PageSetupDialog(this, &PGPrinter()); });
    button("tbFrameSetup", "Frame Setup", [this] { FrameSetup(); });
    button("tbClear", "Clear List", [this] { ClearAll(); });
    button("tbImport", "Import Directory", [this] { ImportAll(); });
    button("tbUp", "Move Up", [this] { MoveUp(); });
    button("tbDown", "Move Down", [this] { MoveDown(); });
    button("tbRotateLeft", "Rotate Counter Clockwise", [this] { Rotate(-1); });
    button("tbRotateRight", "Rotate Clockwise", [this] { Rotate(1); });
    button("tbPreview", "Preview", [this] { Preview(); });
    button("tbContactSheet", "Contact Sheet", [this] { ContactSheet(); });
    button("tbWizard", "Create Web Photo Album", [this] { WebPublishingWizard(); });

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* box = new QVBoxLayout(central);
    box->setContentsMargins(0, 0, 0, 0);
    List = new QTreeWidget(central);
    List->setObjectName("List");
    List->setColumnCount(2);
    List->setHeaderLabels({"Filename", "Caption"});
    List->setColumnWidth(0, 220);
    List->setColumnWidth(1, 240);
    List->setRootIsDecorated(false);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setAcceptDrops(true);
    List->viewport()->setAcceptDrops(true);
    List->viewport()->installEventFilter(this);
    List->installEventFilter(this);
    box->addWidget(List, 1);
    Progress = new QProgressBar(central);
    Progress->setObjectName("Progress");
    Progress->setMaximumHeight(8);
    Progress->setTextVisible(false);
    box->addWidget(Progress);
    StatusBar1 = new TPanelStatusBar({{300, Qt::AlignLeft}, {0, Qt::AlignRight}}, this);
    setStatusBar(StatusBar1);
    connect(List, &QTreeWidget::itemDoubleClicked, this, [this] { EditCaption(); });

    List->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List, &QWidget::customContextMenuRequested, this, [this, add](const QPoint& at) {
        QMenu m(this);
        add(&m, "pmView", "View Image", [this] { ViewImage(); });
        add(&m, "pmProps", "Image Properties", [this] { ImageProperties(); });
        m.addSeparator();
        add(&m, "pmPreview", "Preview Album...", [this] { Preview(); });
        add(&m, "pmFrame", "Frame Setup...", [this] { FrameSetup(); });
        m.addSeparator();
        add(&m, "pmDelete", "Delete Selection", [this] { DeleteSelection(); });
        add(&m, "pmDeleteAll", "Delete All", [this] { ClearAll(); });
        m.exec(List->viewport()->mapToGlobal(at));
    });
    Refresh();
}

TfAlbum::~TfAlbum() {
    running_ = false;
}

int TfAlbum::Selected() const {
    const auto sel = List->selectionModel()->selectedRows();
    return sel.size() == 1 ? sel.front().row() : -1;
}

void TfAlbum::Refresh(int select) {
    static const char* const arrows[4] = {"", " \u21bb", " \u21c5", " \u21ba"};
    List->clear();
    for (const TAlbumEntry& e : entries_) {
        auto* item = new QTreeWidgetItem(List);
        // The rotation as a mark beside the name (one for each value).
        item->setText(0, PathText(e.path) + arrows[e.rotation & 3]);
        item->setText(1, Text(e.caption));
    }
    if (select >= 0 && select < int(entries_.size())) {
        List->setCurrentItem(List->topLevelItem(select));
        List->topLevelItem(select)->setSelected(true);
    }
    StatusBar1->SetPanelText(1, QString::number(entries_.size()));
}

TAlbum TfAlbum::Album() const {
    TAlbum a;
    a.header = font_;
    a.header.rows = Prefs->Rows->value();
    a.header.columns = Prefs->Cols->value();
    a.header.border = Prefs->Border->value();
    a.header.printFrames = Prefs->PrintFrames->isChecked();
    a.header.captionOption = std::max(0, Prefs->CaptionOptions->checkedId());
    a.entries = entries_;
    return a;
}

void TfAlbum::New() {
    font_ = TAlbumHeader();
    font_.fontColor = 0; // black
    saveName_ = "*.alb";
    ClearAll();
}

void TfAlbum::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) PlaceOnScreen(this);
}

void TfAlbum::ClearAll() {
    entries_.clear();
    Refresh();
}

void TfAlbum::DeleteSelection() {
    const int r = Selected();
    if (r < 0) return;
    entries_.erase(entries_.begin() + r);
    Refresh(std::min(r, int(entries_.size()) - 1));
}

void TfAlbum::Open() {
    TFileDialogRequest q;
    q.caption = "Tavirlo Open Album";
    q.dir = QDir::homePath();
    q.filter = "Tavirlo Photo Album (*.alb)";
    const QString path = Prompts().OpenFileName(this, q, nullptr);
    if (!path.isEmpty()) OpenFile(path);
}

bool TfAlbum::OpenFile(const QString& path) {
    TAlbum a;
    std::string error;
    // All or nothing: a bad file leaves the album and the save name as they were.
    if (!ReadAlbumFile(PathBytes(path), a, error)) {
        ShowMessage(QString::fromStdString(error), this);
        return false;
    }
    entries_ = std::move(a.entries);
    font_ = a.header;
    Prefs->Rows->setValue(a.header.rows);
    Prefs->Cols->setValue(a.header.columns);
    Prefs->Border->setValue(a.header.border);
    Prefs->PrintFrames->setChecked(a.header.printFrames);
    Prefs->CaptionOptions->button(a.header.captionOption)->setChecked(true);
    saveName_ = path;
    Refresh();
    return true;
}

void TfAlbum::WriteTo(const QString& path) {
    if (entries_.empty()) {
        ShowMessage("You need to have entries in the Album to save", this);
        return;
    }
    std::string error;
    if (!WriteAlbumFile(PathBytes(path), Album(), error)) {
        ShowMessage(QString::fromStdString(error), this);
        return;
    }
    saveName_ = path;
}

void TfAlbum::Save() {
    // Never saved: the album gets a name first (doing nothing would lose it).
    if (saveName_ == "*.alb") {
        SaveAs();
        return;
    }
    // The album was opened from or saved as this file: Save writes it again.
    WriteTo(saveName_);
}

void TfAlbum::SaveAs() {
    TFileDialogRequest q;
    q.caption = "Tavirlo Save Album";
    q.dir = saveName_ == "*.alb" ? QDir::homePath() : saveName_;
    q.filter = "Tavirlo Photo Album (*.alb)";
    QString path = Prompts().SaveFileName(this, q, nullptr);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += ".alb";
    WriteTo(path);
}

void TfAlbum::ImportAll() {
    TBrowserContext* b = Browser();
    if (!b) return;
    const QString folder = b->ListedFolder();
    const size_t before = entries_.size();
    for (const QString& name : b->ListedNames()) {
        const int dot = name.indexOf('.');
        if (dot >= 0 && name.mid(dot + 1, 3).toUpper() == "AVI") continue;
        const QString path = QDir(folder).filePath(name);
        if (AlbumPathAllowed(PathBytes(path))) entries_.push_back({PathBytes(path), "", 0});
    }
    if (entries_.size() == before) {
        ShowMessage(folder.isEmpty() ? QString("There is no folder open to import")
                                     : "There are no pictures to import in " + folder,
                    this);
        return;
    }
    Refresh();
}

void TfAlbum::AddFiles(const QString& folder, const QStringList& names) {
    QStringList paths;
    for (const QString& n : names)
        paths << QDir(folder).filePath(n);
    AddPaths(paths);
}

void TfAlbum::AddPaths(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!Droppable(path)) {
            ShowMessage("Can't edit " + path, this);
            continue;
        }
        entries_.push_back({PathBytes(path), "", 0});
    }
    Refresh();
}

void TfAlbum::MoveUp() {
    const int r = Selected();
    if (r <= 0) return;
    std::swap(entries_[size_t(r)], entries_[size_t(r - 1)]);
    Refresh(r - 1);
}

void TfAlbum::MoveDown() {
    const int r = Selected();
    if (r < 0 || r + 1 >= int(entries_.size())) return;
    std::swap(entries_[size_t(r)], entries_[size_t(r + 1)]);
    Refresh(r + 1);
}

void TfAlbum::Rotate(int quarterTurns) {
    const int r = Selected();
    if (r < 0) return;
    int& rot = entries_[size_t(r)].rotation;
    rot = (rot + quarterTurns + 4) & 3;
    Refresh(r);
}

void TfAlbum::ViewImage() {
    const int r = Selected();
    if (r < 0) {
        ShowMessage("You must click on a filename first", this);
        return;
    }
    TWaitCursor wait;
    ShowViewImage(PathText(entries_[size_t(r)].path), 4, this);
}

void TfAlbum::ImageProperties() {
    const int r = Selected();
    if (r < 0) {
        ShowMessage("You must click on a filename first", this);
        return;
    }
    ShowImageProperties(this, PathText(entries_[size_t(r)].path));
}

void TfAlbum::EditCaption() {
    const int r = Selected();
    if (r < 0) return;
    TfrmEdit* editor = nullptr;
    if (TToolWindows* tools = ToolWindows())
        editor = qobject_cast<TfrmEdit*>(tools->Find("TfrmEdit"));
    if (!editor) editor = findChild<TfrmEdit*>();
    if (!editor) editor = new TfrmEdit(this);
    editor->Edit->setText(Text(entries_[size_t(r)].caption));
    // Over the caption cell, as wide as the caption column.
    const QRect cell = List->visualRect(List->model()->index(r, 1));
    editor->setGeometry(
        QRect(List->viewport()->mapToGlobal(cell.topLeft()), QSize(List->columnWidth(1), 20)));
    editor->Edit->selectAll();
    editor->Edit->setFocus();
    OpenAboveWindow(editor, this);
    if (ExecDialog(editor) != QDialog::Accepted) return;
    // The file format cannot hold TAB or line breaks: blanks instead.
    entries_[size_t(r)].caption = AlbumCleanCaption(Utf8(editor->Edit->text()));
    Refresh(r);
}

void TfAlbum::FrameSetup() {
    OpenAboveWindow(Prefs, this);
    ExecDialog(Prefs);
}

void TfAlbum::ContactSheet() {
    PGPrinter().setPageOrientation(QPageLayout::Landscape);
    Prefs->Rows->setValue(6);
    Prefs->Cols->setValue(6);
    Prefs->Border->setValue(20);
    Preview();
}

void TfAlbum::WebPublishingWizard() {
    TfrmPubWizard* w = nullptr;
    if (TToolWindows* tools = ToolWindows())
        w = qobject_cast<TfrmPubWizard*>(tools->Find("TfrmPubWizard"));
    if (!w) w = findChild<TfrmPubWizard*>();
    if (!w) w = new TfrmPubWizard(this);
    w->Run(entries_, Prefs);
}

void TfAlbum::PaintPages(QPrinter* printer) {
    printer->setFullPage(true);
    const int dpiX = printer->logicalDpiX(), dpiY = printer->logicalDpiY();
    const QRect paper = printer->pageLayout().fullRectPixels(printer->resolution());
    const TAlbum album = Album();
    TAlbumPrintSetup setup;
    setup.paper = paper.size();
    setup.dpiX = dpiX;
    setup.dpiY = dpiY;
    setup.quality = std::max(0, Prefs->Quality->checkedId());
    // Prepared once: each picture read and resampled a single time.
    building_ = true;
    running_ = true;
    menuBar()->setEnabled(false);
    List->setEnabled(false);
    for (QToolBar* t : findChildren<QToolBar*>())
        t->setEnabled(false);
    Progress->setRange(0, int(album.entries.size()));
    std::vector<TAlbumFrame> frames;
    {
        TWaitCursor wait;
        frames = AlbumPrepareFrames(
            album, setup,
            [&](size_t i, const QString& path) {
                if (i > 0) {
                    Progress->setValue(int(i));
                    QCoreApplication::processEvents();
                    if (!running_) return false;
                }
                StatusBar1->SetPanelText(0, "Hit ESC to break - " + path);
                StatusBar1->SetPanelText(1, QString("%1/%2    ").arg(i + 1).arg(album.entries.size()));
                return true;
            },
            [this](const QString& message) { ShowMessage(message, this); });
        Progress->setValue(int(frames.size()));
        QCoreApplication::processEvents();
    }
    // The pages are drawn from the prepared frames only.
    QPainter p(printer);
    AlbumPaintFrames(frames, p, album.header.printFrames, AlbumCaptionFont(font_),
                     AlbumCaptionInk(font_, palette().color(QPalette::WindowText)),
                     [printer] { printer->newPage(); });
    p.end();
    menuBar()->setEnabled(true);
    List->setEnabled(true);
    for (QToolBar* t : findChildren<QToolBar*>())
        t->setEnabled(true);
    Progress->setValue(0);
    StatusBar1->SetPanelText(0, "Done");
    StatusBar1->SetPanelText(1, QString::number(entries_.size()));
    building_ = false;
    running_ = false;
}

void TfAlbum::Preview() {
    if (building_) return;
    Prompts().PrintPreview(this, &PGPrinter(), [this](QPrinter* printer) { PaintPages(printer); });
}

void TfAlbum::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        running_ = false;
        return;
    }
    if (e->key() == Qt::Key_Delete && !building_) DeleteSelection();
    if (e->key() == Qt::Key_Insert && !building_) EditCaption();
    QMainWindow::keyPressEvent(e);
}

void TfAlbum::closeEvent(QCloseEvent* e) {
    running_ = false; // a build under way stops first
    QMainWindow::closeEvent(e);
}

bool TfAlbum::eventFilter(QObject* watched, QEvent* e) {
    if (watched == List->viewport()) {
        if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
            static_cast<QDropEvent*>(e)->acceptProposedAction();
            return true;
        }
        if (e->type() == QEvent::Drop) {
            QStringList refused;
            QStringList paths;
            for (const TDroppedFile& f :
                 DecodeDroppedFiles(static_cast<QDropEvent*>(e)->mimeData(), &refused))
                paths << f.Path();
            for (const QString& r : refused)
                ShowMessage("Can't edit " + r, this);
            AddPaths(paths);
            return true;
        }
    }
    if (watched == List && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Delete && !building_) {
            DeleteSelection();
            return true;
        }
        if (key == Qt::Key_Insert && !building_) {
            EditCaption();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}
