#include "thumbs/qt/thumbnails.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/foldertree.h"
#include "browser/form1.h"
#include "browser/statusbar.h"
#include "browser/toolwindows.h"
#include "core/qt/bitmap.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "thumbs/qt/savethumbnail.h"
#include "thumbs/outfolder.h"
#include "thumbs/qt/savethumbnail.h"
#include "thumbs/qt/thumbtav.h"
#include "thumbs/qt/toolwidgets.h"
#include "thumbs/thumbrun.h"
#include "thumbs/thumbsave.h"

namespace {
const QColor kListColor(254, 255, 230);

QString Clean(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// A grid cell: the picture with room around it and a line of caption.
QSize ThumbCellSize(int size, int lineHeight) {
    return QSize(size + 24, size + 12 + lineHeight + 4);
}

// Draws each item of the grid with its thumbnail (an empty square of the
// list's colour until it is made), centred in its cell above its caption,
// the caption elided in the middle to the cell's width. Thumbnails are found
// by name, so sorting or a refill never shifts one onto another item.
class TThumbDelegate : public QStyledItemDelegate {
  public:
    explicit TThumbDelegate(TfrmThumbnails* w) : QStyledItemDelegate(w), w_(w) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (w_->ListStyle() != TfrmThumbnails::lsIcon) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const int S = w_->ThumbSize;
        const QRect r = o.rect;
        const bool selected = o.state & QStyle::State_Selected;
        const QPalette::ColorGroup cg =
            (o.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        const int lineH = o.fontMetrics.height();
        const int textH = lineH + 4;
        // The picture in the middle of the room above the caption.
        const QRect pic(r.left() + (r.width() - S) / 2,
                        r.top() + std::max(0, (r.height() - textH - S) / 2), S, S);
        QPixmap px = w_->ThumbnailOf(o.text);
        p->save();
        if (px.isNull()) {
            p->fillRect(pic, kListColor);
        } else {
            const QSize ps = px.deviceIndependentSize().toSize().scaled(pic.size(), Qt::KeepAspectRatio);
            p->drawPixmap(QRect(pic.center() - QPoint(ps.width() / 2, ps.height() / 2), ps), px);
        }
        if (selected) p->fillRect(pic, QColor(0, 0, 128, 64));
        const QRect text(r.left() + 2, pic.bottom() + 3, r.width() - 4, lineH);
        const QString shown = ElideKeepingEnd(o.fontMetrics, o.text, text.width());
        const int tw = o.fontMetrics.horizontalAdvance(shown) + 4;
        const QRect back(text.center().x() - tw / 2, text.top(), tw, lineH);
        if (selected) p->fillRect(back, o.palette.brush(cg, QPalette::Highlight));
        p->setPen(o.palette.color(cg, selected ? QPalette::HighlightedText : QPalette::Text));
        p->setFont(o.font);
        p->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        if (o.state & QStyle::State_HasFocus) {
            p->setPen(QPen(o.palette.color(cg, QPalette::Text), 1, Qt::DotLine));
            p->drawRect(back.adjusted(0, 0, -1, -1));
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (w_->ListStyle() != TfrmThumbnails::lsIcon)
            return QStyledItemDelegate::sizeHint(option, index);
        return ThumbCellSize(w_->ThumbSize, option.fontMetrics.height());
    }

  private:
    TfrmThumbnails* w_;
};
} // namespace

TfrmThumbnails::TfrmThumbnails(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName("TfrmThumbnails");
    setWindowTitle("Thumbnail Explorer");
    resize(594, 467);

    // ---- toolbar
    auto* bar = addToolBar("Tools");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tbSave = bar->addAction("Save thumbnails to disk");
    tbThumbTav = bar->addAction("ThumbTav Creator");
    bar->addSeparator();
    auto* styles = new QActionGroup(this);
    tbList = styles->addAction("List");
    tbDetails = styles->addAction("Details");
    tbThumbnails = styles->addAction("Thumbnails");
    for (QAction* a : {tbList, tbDetails, tbThumbnails}) {
        a->setCheckable(true);
        bar->addAction(a);
    }
    tbDetails->setChecked(true);
    ProgressBar1 = new QProgressBar(bar);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMaximumHeight(10);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumWidth(160);
    progressAction_ = bar->addWidget(ProgressBar1);
    progressAction_->setVisible(false);

    // The size menu rides on the "Thumbnails" button as its drop-down.
    SizeMenu = new QMenu(this);
    auto* sizes = new QActionGroup(this);
    for (int s : kThumbSizes) {
        QAction* a = sizes->addAction(QString("%1 X %1").arg(s));
        a->setCheckable(true);
        a->setData(s);
        a->setChecked(s == 64);
        SizeMenu->addAction(a);
        SizeItems.push_back(a);
        connect(a, &QAction::triggered, this, [this, s] { ChooseSize(s); });
    }
    SizeMenu->addSeparator();
    auto* loads = new QActionGroup(this);
    FastLoad1 = loads->addAction("Fast Load");
    LiveUpdate1 = loads->addAction("Live Update");
    for (QAction* a : {FastLoad1, LiveUpdate1}) {
        a->setCheckable(true);
        SizeMenu->addAction(a);
    }
    FastLoad1->setChecked(true);
    connect(FastLoad1, &QAction::triggered, this, [this] { FastLoad = true; });
    connect(LiveUpdate1, &QAction::triggered, this, [this] { FastLoad = false; });
    if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(tbThumbnails))) {
        b->setMenu(SizeMenu);
        b->setPopupMode(QToolButton::MenuButtonPopup);
    }

    // ---- tree, splitter, list
    auto* split = new QSplitter(this);
    STV1 = new TFolderTree(split);
    STV1->setObjectName("STV1");
    Views = new QStackedWidget(split);
    LV1 = new TFileListView(Views);
    LV1->setObjectName("LV1");
    LV1->Model()->Tag = 2;
    LV1->setColumnWidth(0, 160);
    LV1->setColumnWidth(1, 60);
    LV1->setColumnWidth(3, 120);
    IconView = new QListView(Views);
    IconView->setObjectName("IconView");
    IconView->setModel(LV1->Model());
    IconView->setSelectionModel(LV1->selectionModel());
    IconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    IconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    IconView->setDragEnabled(true);
    IconView->setDragDropMode(QAbstractItemView::DragOnly);
    IconView->setResizeMode(QListView::Adjust);
    IconView->setMovement(QListView::Static);
    IconView->setUniformItemSizes(true);
    IconView->setWordWrap(false);
    IconView->setTextElideMode(Qt::ElideMiddle);
    // A click selects the whole row of the shared selection, as in the
    // details view, so the commands on the selection see it.
    IconView->setSelectionBehavior(QAbstractItemView::SelectRows);
    IconView->setItemDelegate(new TThumbDelegate(this));
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(LV1), static_cast<QAbstractItemView*>(IconView)}) {
        QPalette pal = v->palette();
        pal.setColor(QPalette::Base, kListColor);
        v->setPalette(pal);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& p) { ShowPopup(v, p); });
        connect(v, &QAbstractItemView::doubleClicked, this, [this] { ViewImage(); });
        Views->addWidget(v);
    }
    // Scrolling moves the items now in view to the front of the run.
    connect(IconView->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { PreferVisibleThumbs(); });
    Views->setCurrentWidget(LV1);
    split->addWidget(STV1);
    split->addWidget(Views);
    split->setSizes({180, 414});
    split->setStretchFactor(1, 1);
    setCentralWidget(split);

    // Panel 0 is a sliver (its Windows width was 0); the per-file text takes the rest.
    StatusBar1 = new TPanelStatusBar(
        {{1, Qt::AlignLeft}, {140, Qt::AlignLeft}, {100, Qt::AlignHCenter}, {0, Qt::AlignLeft}},
        this);
    for (int i = 0; i < StatusBar1->PanelCount(); ++i)
        StatusBar1->PanelLabel(i)->setTextFormat(Qt::PlainText);
    setStatusBar(StatusBar1);

    // ---- pop-up menu
    PopupMenu1 = new QMenu(this);
    ViewImage1 = PopupMenu1->addAction("View Image...");
    ImageProperties1 = PopupMenu1->addAction("Image Properties...");
    SaveAsThumbnail1 = PopupMenu1->addAction("Save As Thumbnail...");
    PopupMenu1->addSeparator();
    Refresh1 = PopupMenu1->addAction("Refresh");

    SaveDialog = nullptr;
    watcher_ = new QFileSystemWatcher(this);
    refillTimer_ = new QTimer(this);
    refillTimer_->setSingleShot(true);
    refillTimer_->setInterval(400);

    connect(tbSave, &QAction::triggered, this, &TfrmThumbnails::SaveThumbnails);
    connect(SaveAsThumbnail1, &QAction::triggered, this, &TfrmThumbnails::SaveThumbnails);
    connect(tbThumbTav, &QAction::triggered, this, [] {
        QWidget* w = ToolWindows() ? ToolWindows()->Find("TfrmThumbEdit") : nullptr;
        if (!w) return;
        w->show();
        w->raise();
        w->activateWindow();
    });
    connect(tbList, &QAction::triggered, this, [this] { SetListStyle(lsList); });
    connect(tbDetails, &QAction::triggered, this, [this] { SetListStyle(lsDetails); });
    connect(tbThumbnails, &QAction::triggered, this, &TfrmThumbnails::ThumbnailsClick);
    connect(ViewImage1, &QAction::triggered, this, &TfrmThumbnails::ViewImage);
    connect(ImageProperties1, &QAction::triggered, this, &TfrmThumbnails::ImageProperties);
    connect(Refresh1, &QAction::triggered, this, &TfrmThumbnails::Refresh);
    connect(STV1, &TFolderTree::FolderChanged, this, &TfrmThumbnails::FolderChange);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, refillTimer_,
            qOverload<>(&QTimer::start));
    connect(refillTimer_, &QTimer::timeout, this, &TfrmThumbnails::FolderMayHaveChanged);
    // Esc reaches the window whatever has the focus.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &TfrmThumbnails::Esc);
}

TfrmThumbnails::~TfrmThumbnails() {
    // Workers post to this window: every one must be gone before it is.
    if (run_) run_->Cancel();
    for (auto& r : retired_)
        r->Cancel();
    run_.reset();
    retired_.clear();
}

QString TfrmThumbnails::CurrentFolder() const {
    return LV1->ListedFolder();
}

void TfrmThumbnails::SetListStyle(TListStyle s) {
    style_ = s;
    tbList->setChecked(s == lsList);
    tbDetails->setChecked(s == lsDetails);
    tbThumbnails->setChecked(s == lsIcon);
    if (s == lsDetails) {
        Views->setCurrentWidget(LV1);
        return;
    }
    if (s == lsIcon) {
        IconView->setViewMode(QListView::IconMode);
        IconView->setIconSize(QSize(ThumbSize, ThumbSize));
        IconView->setGridSize(ThumbCellSize(ThumbSize, IconView->fontMetrics().height()));
        IconView->setSpacing(0);
    } else {
        IconView->setViewMode(QListView::ListMode);
        IconView->setIconSize(QSize());
        IconView->setGridSize(QSize());
        IconView->setSpacing(0);
        IconView->setFlow(QListView::TopToBottom);
        IconView->setWrapping(true);
    }
    IconView->setMovement(QListView::Static);
    // Changing the view mode turns dragging off for items that cannot move:
    // the files are still dragged out to the other tools.
    IconView->setDragEnabled(true);
    IconView->setDragDropMode(QAbstractItemView::DragOnly);
    Views->setCurrentWidget(IconView);
    IconView->doItemsLayout();
}

void TfrmThumbnails::TakeHandOver(const QString& folder, const QStringList&) {
    TWaitCursor wait;
    SetListStyle(lsDetails);
    if (!folder.isEmpty()) {
        STV1->SelectFolder(folder);
        // The tree says nothing when the folder was selected already.
        if (Clean(folder) != Clean(CurrentFolder()) || CurrentFolder().isEmpty())
            FolderChange(folder);
    }
    show();
    raise();
    activateWindow();
}

void TfrmThumbnails::FolderChange(const QString& folder) {
    if (saving_ || folder.isEmpty()) return;
    const QString mask = BrowserFileMask();
    try {
        FillFileList(LV1, folder, StatusBar1, mask);
    } catch (const std::exception& e) {
        ShowMessage(QString::fromStdString(e.what()), this);
        return;
    }
    LV1->SortItems();
    WatchFolder(CurrentFolder());
    if (Clean(CurrentFolder()) != Clean(LoadedFolder)) {
        // Thumbnails of another folder must never land on this one's names.
        StopRun();
        thumbs_.clear();
        LoadedFolder.clear();
        if (style_ == lsIcon) MakeThumbnails();
    }
}

void TfrmThumbnails::ThumbnailsClick() {
    SetListStyle(lsIcon);
    if (LoadedFolder.isEmpty() || Clean(CurrentFolder()) != Clean(LoadedFolder)) MakeThumbnails();
}

void TfrmThumbnails::ChooseSize(int size) {
    if (saving_) return;
    for (QAction* a : SizeItems)
        a->setChecked(a->data().toInt() == size);
    ThumbSize = size;
    if (style_ == lsIcon) SetListStyle(lsIcon);
    if (LV1->Count() > 0 && style_ == lsIcon) MakeThumbnails();
}

void TfrmThumbnails::Refresh() {
    if (saving_) return;
    if (style_ == lsIcon) MakeThumbnails();
}

void TfrmThumbnails::Esc() {
    Busy = false;
    StatusBar1->SetPanelText(1, "Stopped by user!");
    if (run_) {
        run_->Cancel();
        EndRun(false);
    }
}

void TfrmThumbnails::Refill() {
    if (saving_ || CurrentFolder().isEmpty()) return;
    const QString mask = BrowserFileMask();
    try {
        FillFileList(LV1, CurrentFolder(), StatusBar1, mask);
    } catch (const std::exception& e) {
        ShowMessage(QString::fromStdString(e.what()), this);
        return;
    }
    LV1->SortItems();
    if (style_ == lsIcon) MakeThumbnails();
}

// ---- making thumbnails

void TfrmThumbnails::MakeThumbnails() {
    if (saving_) return;
    StopRun();
    ++Generation;
    thumbs_.clear();
    runNames_.clear();
    runDone_ = 0;
    const QString folder = CurrentFolder();
    QStringList paths;
    for (const TFileItem& it : LV1->Model()->Items()) {
        runNames_ << it.name;
        paths << folder + "/" + it.name;
    }
    LoadedFolder = folder;
    Busy = true;
    StatusBar1->SetPanelText(1, "Press ESC to cancel...");
    ProgressBar1->setMaximum(std::max(1, int(paths.size())));
    ProgressBar1->setValue(0);
    progressAction_->setVisible(true);
    setCursor(Qt::BusyCursor);
    if (FastLoad) IconView->viewport()->setUpdatesEnabled(false);
    // Made for the screen's device pixels, so a scaled screen shows them
    // sharp instead of enlarged.
    thumbRatio_ = IconView->devicePixelRatioF() > 0 ? IconView->devicePixelRatioF() : 1.0;
    const int side =
        thumbRatio_ == 1.0 ? ThumbSize : int(std::ceil(ThumbSize * thumbRatio_ - 1e-9));
    TThumbOptions o;
    o.size = side;
    o.fast = true;
    o.loadHint = side;
    o.warnings = pgwaIgnore;
    o.cache = true;
    run_ = std::make_unique<TThumbRun>(paths, o, Generation, this, ThumbWorkerCount());
    PreferVisibleThumbs();
}

void TfrmThumbnails::PreferVisibleThumbs() {
    if (!run_ || !IconView->isVisible()) return;
    // Items sit in model order, so those in view make one range.
    const QRect view = IconView->viewport()->rect();
    const int n = IconView->model()->rowCount();
    int first = -1, last = -1;
    for (int row = 0; row < n; ++row) {
        if (!IconView->visualRect(IconView->model()->index(row, 0)).intersects(view)) {
            if (first >= 0) break;
            continue;
        }
        if (first < 0) first = row;
        last = row;
    }
    if (first >= 0) run_->Prefer(first, last);
}

bool TfrmThumbnails::event(QEvent* e) {
    if (e->type() == TThumbReadyEvent::Kind()) {
        auto* r = static_cast<TThumbReadyEvent*>(e);
        // Results of a run that was replaced or cancelled are dropped.
        if (!run_ || r->generation != Generation || r->index < 0 || r->index >= runNames_.size())
            return true;
        const QString& name = runNames_[r->index];
        if (!r->image.isNull()) {
            QPixmap pm = QPixmap::fromImage(r->image);
            pm.setDevicePixelRatio(thumbRatio_);
            thumbs_.insert(name, pm);
        }
        ++runDone_;
        ProgressBar1->setValue(runDone_);
        StatusBar1->SetPanelText(3, MakeProgressText(runDone_, int(runNames_.size()), name));
        if (!FastLoad) IconView->viewport()->update();
        return true;
    }
    if (e->type() == TThumbDoneEvent::Kind()) {
        if (run_ && static_cast<TThumbDoneEvent*>(e)->generation == Generation) EndRun(true);
        return true;
    }
    return QMainWindow::event(e);
}

void TfrmThumbnails::EndRun(bool completed) {
    if (completed && Busy) StatusBar1->SetPanelText(1, "Thumbnails loaded");
    Busy = false;
    if (run_) {
        retired_.push_back(std::move(run_));
        ReapRuns();
    }
    IconView->viewport()->setUpdatesEnabled(true);
    IconView->viewport()->update();
    progressAction_->setVisible(false);
    unsetCursor();
    StatusBar1->SetPanelText(3, "");
}

void TfrmThumbnails::StopRun() {
    if (!run_) return;
    run_->Cancel();
    EndRun(false);
}

void TfrmThumbnails::ReapRuns() {
    // A cancelled run finishes the file in hand and leaves; join those gone.
    std::erase_if(retired_, [](const std::unique_ptr<TThumbRun>& r) { return r->Finished(); });
}

// ---- other tools change the folder

void TfrmThumbnails::WatchFolder(const QString& folder) {
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    if (!folder.isEmpty()) watcher_->addPath(folder);
}

void TfrmThumbnails::FolderMayHaveChanged() {
    if (!isVisible() || saving_ || CurrentFolder().isEmpty()) return;
    if (Busy) {
        // Look again once the run is over rather than restart it for every
        // file another program drops in.
        refillTimer_->start();
        return;
    }
    const QString mask = BrowserFileMask();
    std::vector<TFileItem> now;
    try {
        now = ListFolderFiles(CurrentFolder(), mask, ViewAllFiles);
    } catch (...) {
        return;
    }
    const auto& shown = LV1->Model()->Items();
    bool same = now.size() == shown.size();
    if (same) {
        QHash<QString, std::pair<qint64, qint64>> byName;
        for (const TFileItem& it : shown)
            byName.insert(it.name, {it.size, it.modified});
        for (const TFileItem& it : now) {
            auto f = byName.constFind(it.name);
            if (f == byName.constEnd() || f->first != it.size || f->second != it.modified) {
                same = false;
                break;
            }
        }
    }
    if (!same) Refill();
}

// ---- commands on the selection

QString TfrmThumbnails::SelectedPath() const {
    const QStringList names = LV1->SelectedNames();
    if (names.size() != 1) return {};
    return CurrentFolder() + "/" + names[0];
}

void TfrmThumbnails::UpdatePopupCommands() {
    const int n = LV1->SelCount();
    ViewImage1->setEnabled(n == 1);
    ImageProperties1->setEnabled(n == 1);
    SaveAsThumbnail1->setEnabled(n >= 1 && !saving_);
    Refresh1->setEnabled(!saving_);
}

void TfrmThumbnails::ShowPopup(QWidget* view, const QPoint& pos) {
    UpdatePopupCommands();
    auto* v = static_cast<QAbstractItemView*>(view);
    PopupMenu1->popup(v->viewport()->mapToGlobal(pos));
}

void TfrmThumbnails::ViewImage() {
    const QString path = SelectedPath();
    if (!path.isEmpty()) ShowViewImage(path, 4, this);
}

void TfrmThumbnails::ImageProperties() {
    const QString path = SelectedPath();
    QWidget* w = ToolWindows() ? ToolWindows()->Find("TfrmFileProp") : nullptr;
    if (path.isEmpty() || !w) return;
    QMetaObject::invokeMethod(w, "ShowFile", Q_ARG(QString, path));
}

void TfrmThumbnails::SetListCommandsEnabled(bool on) {
    STV1->setEnabled(on);
    tbSave->setEnabled(on);
    for (QAction* a : SizeItems)
        a->setEnabled(on);
    Refresh1->setEnabled(on);
}

void TfrmThumbnails::SaveThumbnails() {
    if (saving_) return;
    const QStringList names = LV1->SelectedNames();
    if (names.isEmpty()) {
        ShowMessage("Select files to convert by clicking on them", this);
        return;
    }
    TfrmSaveThumbnail* dlg =
        ToolWindows() ? qobject_cast<TfrmSaveThumbnail*>(ToolWindows()->Find("TfrmSaveThumbnail"))
                      : nullptr;
    if (!dlg) {
        if (!SaveDialog) SaveDialog = new TfrmSaveThumbnail(this);
        dlg = SaveDialog;
    }
    const QString folder = CurrentFolder();
    dlg->edFolder->setText(folder.endsWith('/') ? folder : folder + "/");
    dlg->lblCount->setText("Files to save: " + QString::number(names.size()));
    if (ExecDialog(dlg) != QDialog::Accepted) return;
    if (!ValidThumbPrefix(dlg->Prefix())) {
        ShowMessage("Invalid file prefix", this);
        return;
    }

    const QString outFolder = dlg->Folder();
    // The folder is settled once, before any file: a missing one is made
    // (asked once), one that cannot take files is said once.
    if (OutputFolderMissing(outFolder)) {
        if (MessageDlg("The folder " + Clean(outFolder) + " does not exist. Create it?",
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::Cancel,
                       this) != QMessageBox::Yes)
            return;
    }
    if (const QString problem = OutputFolderProblem(outFolder, true); !problem.isEmpty()) {
        ShowMessage(problem, this);
        return;
    }
    QStringList sources;
    for (const QString& n : names)
        sources << folder + "/" + n;
    const auto items = PlanThumbnailSaves(sources, outFolder, dlg->Prefix(), dlg->Extension());
    TThumbOptions o;
    o.size = dlg->ThumbSize();
    o.fast = false;
    o.loadHint = 2 * o.size;
    o.warnings = pgwaOKCancelBox;

    // A grid run would change the list's pictures under the loop: stop it.
    StopRun();
    saving_ = true;
    SetListCommandsEnabled(false);
    const int n = int(items.size());
    StatusBar1->SetPanelText(1, QString::number(n) + " selected...");
    Busy = true;
    ProgressBar1->setMaximum(n);
    ProgressBar1->setValue(0);
    progressAction_->setVisible(true);
    QPointer<TfrmThumbnails> self(this);
    TPixelGraphic source, scaled, square;
    // The first failure asks whether to go on (Cancel stops the run); the
    // ones after it are counted, never one box per file.
    int failed = 0;
    for (int i = 0; i < n; ++i) {
        QCoreApplication::processEvents();
        if (!self) return;
        if (!Busy) break;
        const QString name = names[i];
        StatusBar1->SetPanelText(3, SaveProgressText(i + 1, n, name));
        QString failure;
        try {
            SaveThumbnailItem(items[size_t(i)], sources, o, source, scaled, square, &failure);
        } catch (const std::exception&) {
            if (++failed == 1 && i + 1 < n) {
                const auto b = MessageDlg(failure + "\n\nGo on with the other files? Files "
                                                    "that fail from here on are skipped.",
                                          QMessageBox::Warning,
                                          QMessageBox::Yes | QMessageBox::Cancel, this);
                if (!self) return;
                if (b != QMessageBox::Yes) Busy = false;
            } else if (failed == 1) {
                ShowMessage(failure, this);
                if (!self) return;
            }
        }
        ProgressBar1->setValue(i + 1);
    }
    const bool stopped = !Busy;
    Busy = false;
    progressAction_->setVisible(false);
    if (!stopped || failed)
        StatusBar1->SetPanelText(1, failed ? QString("%1 not written").arg(failed)
                                           : QString("Done processing"));
    StatusBar1->SetPanelText(3, "");
    saving_ = false;
    SetListCommandsEnabled(true);
    if (Clean(outFolder) == Clean(folder)) Refill();
    FolderContentsChanged(Clean(outFolder));
}

// ---- window

void TfrmThumbnails::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (e->spontaneous()) return;
    // The first showing puts the window in the middle of its screen.
    PlaceOnScreen(this);
    LV1->SortColumn = 0;
    LV1->SortAscending = true;
    LV1->SortItems();
}

void TfrmThumbnails::closeEvent(QCloseEvent* e) {
    Busy = false;
    StopRun();
    if (LV1->SelCount() > 0) LV1->ClearSelectionAll();
    e->accept();
}
