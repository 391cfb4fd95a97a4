#include "thumbs/qt/thumbedit.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QToolBar>
#include <QUrl>

#include "browser/filelist.h"
#include "browser/form1.h"
#include "browser/statusbar.h"
#include "browser/toolwindows.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "thumbs/qt/thumbtav.h"
#include "thumbs/qt/thumbtavoptions.h"
#include "thumbs/qt/toolwidgets.h"
#include "thumbs/sheet.h"
#include "view/pgimage.h"

// ---- file list

TSheetFileList::TSheetFileList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(254, 255, 230));
    setPalette(pal);
}

QStringList TSheetFileList::DroppedPictures(const QMimeData* m) {
    // The drag itself says which folder the names belong to, whichever list
    // it came from.
    QStringList out;
    for (const TDroppedFile& f : DecodeDroppedFiles(m))
        if (AcceptsDroppedPicture(f.name)) out << f.Path();
    return out;
}

void TSheetFileList::dragEnterEvent(QDragEnterEvent* e) {
    if (AcceptDrops && (e->mimeData()->hasFormat(kFileDragMime) || e->mimeData()->hasUrls()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TSheetFileList::dragMoveEvent(QDragMoveEvent* e) {
    if (AcceptDrops)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TSheetFileList::dropEvent(QDropEvent* e) {
    if (!AcceptDrops) return e->ignore();
    const QStringList files = DroppedPictures(e->mimeData());
    e->acceptProposedAction();
    if (!files.isEmpty()) emit FilesDropped(files);
}

// ---- window

TfrmThumbEdit::TfrmThumbEdit(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmThumbEdit");
    setWindowTitle("ThumbTav Creator");
    resize(605, 437);

    QMenu* file = menuBar()->addMenu("File");
    Generate1 = file->addAction("Generate ThumbTav");
    SaveAs1 = file->addAction("Save As...");
    file->addSeparator();
    Close1 = file->addAction("Close");

    auto* bar = addToolBar("Tools");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tbStretch = bar->addAction("Stretch To Fit");
    tbStretch->setCheckable(true);
    tbSave = bar->addAction("Save to File...");
    tbOptions = bar->addAction("Options");
    tbGenerate = bar->addAction("Generate ThumbTav");

    auto* split = new QSplitter(this);
    lbFiles = new TSheetFileList(split);
    lbFiles->setObjectName("lbFiles");
    lbFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    // Whole paths, elided in the middle to the list's width: the folder's
    // start and the file's name stay readable.
    lbFiles->setItemDelegate(new TElidingDelegate(lbFiles));
    lbFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbFiles->setToolTipDuration(-1);
    PGImage1 = new TPGImage(split);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetCenter(true);
    PGImage1->SetStretch(sNeverKAR);
    split->addWidget(lbFiles);
    split->addWidget(PGImage1);
    split->setSizes({160, 445});
    split->setStretchFactor(1, 1);
    setCentralWidget(split);

    StatusBar1 = new TPanelStatusBar({{160, Qt::AlignLeft}, {0, Qt::AlignLeft}}, this);
    for (int i = 0; i < StatusBar1->PanelCount(); ++i)
        StatusBar1->PanelLabel(i)->setTextFormat(Qt::PlainText);
    StatusBar1->SetPanelText(1, "Drag and drop files from the Thumbnail Explorer");
    setStatusBar(StatusBar1);

    auto* popup = new QMenu(this);
    ViewImage1 = popup->addAction("View Image...");
    ImageProperties1 = popup->addAction("Image Properties...");
    popup->addSeparator();
    DeleteItem1 = popup->addAction("Delete Selected Item");
    ClearAll1 = popup->addAction("Clear All Items");

    connect(Generate1, &QAction::triggered, this, &TfrmThumbEdit::Generate);
    connect(tbGenerate, &QAction::triggered, this, &TfrmThumbEdit::Generate);
    connect(SaveAs1, &QAction::triggered, this, &TfrmThumbEdit::SaveAs);
    connect(tbSave, &QAction::triggered, this, &TfrmThumbEdit::SaveAs);
    connect(Close1, &QAction::triggered, this, &QWidget::close);
    connect(tbStretch, &QAction::toggled, this, &TfrmThumbEdit::SetStretchToFit);
    connect(tbOptions, &QAction::triggered, this, [this] {
        QWidget* o = OptionsWindow();
        o->adjustSize();
        PlaceOnScreen(o);
        o->show();
        o->raise();
    });
    connect(lbFiles, &TSheetFileList::FilesDropped, this, &TfrmThumbEdit::AddFiles);
    connect(lbFiles, &QWidget::customContextMenuRequested, this, [this, popup](const QPoint& p) {
        UpdateCommands();
        popup->popup(lbFiles->viewport()->mapToGlobal(p));
    });
    connect(lbFiles, &QListWidget::itemDoubleClicked, this, [this] { ViewImage1->trigger(); });
    connect(lbFiles, &QListWidget::itemSelectionChanged, this, &TfrmThumbEdit::UpdateCommands);
    connect(ViewImage1, &QAction::triggered, this, [this] {
        const QString p = SelectedPath();
        if (!p.isEmpty()) ShowViewImage(p, 0);
    });
    connect(ImageProperties1, &QAction::triggered, this, [this] {
        const QString p = SelectedPath();
        QWidget* w = ToolWindows() ? ToolWindows()->Find("TfrmFileProp") : nullptr;
        if (!p.isEmpty() && w) QMetaObject::invokeMethod(w, "ShowFile", Q_ARG(QString, p));
    });
    connect(DeleteItem1, &QAction::triggered, this, &TfrmThumbEdit::DeleteSelected);
    connect(ClearAll1, &QAction::triggered, this, &TfrmThumbEdit::ClearAll);
    // Esc stops a build between pictures, wherever the focus is.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, [this] { cancel_ = true; });
    UpdateCommands();
}

TfrmThumbTavOptions* TfrmThumbEdit::OptionsWindow() {
    if (ToolWindows())
        if (auto* o =
                qobject_cast<TfrmThumbTavOptions*>(ToolWindows()->Find("TfrmThumbTavOptions")))
            return o;
    if (!ownOptions_) ownOptions_ = new TfrmThumbTavOptions(this);
    return ownOptions_;
}

bool TfrmThumbEdit::HasSheet() const {
    return PGImage1->CurrentPixelGraphic() && !PGImage1->CurrentPixelGraphic()->GetEmpty();
}

QString TfrmThumbEdit::SelectedPath() const {
    const auto items = lbFiles->selectedItems();
    return items.size() == 1 ? items[0]->text() : QString();
}

QStringList TfrmThumbEdit::Files() const {
    QStringList out;
    for (int i = 0; i < lbFiles->count(); ++i)
        out << lbFiles->item(i)->text();
    return out;
}

void TfrmThumbEdit::UpdateCommands() {
    const bool one = !SelectedPath().isEmpty();
    ViewImage1->setEnabled(one);
    ImageProperties1->setEnabled(one);
    DeleteItem1->setEnabled(one && !building_);
    ClearAll1->setEnabled(!building_);
    Generate1->setEnabled(!building_);
    tbGenerate->setEnabled(!building_);
    // Saving needs a sheet.
    SaveAs1->setEnabled(HasSheet() && !building_);
    tbSave->setEnabled(HasSheet() && !building_);
    lbFiles->AcceptDrops = !building_;
}

void TfrmThumbEdit::AddFiles(const QStringList& paths) {
    if (building_) return;
    for (const QString& p : paths)
        lbFiles->addItem(p);
}

void TfrmThumbEdit::DeleteSelected() {
    if (building_) return;
    for (QListWidgetItem* it : lbFiles->selectedItems())
        delete it;
    UpdateCommands();
}

void TfrmThumbEdit::ClearAll() {
    if (building_) return;
    lbFiles->clear();
    if (HasSheet()) PGImage1->PixelGraphic()->Clear();
    UpdateCommands();
}

void TfrmThumbEdit::SetStretchToFit(bool on) {
    tbStretch->setChecked(on);
    PGImage1->SetStretch(on ? sAlwaysKAR : sNeverKAR);
}

void TfrmThumbEdit::Generate() {
    if (building_) return;
    const QStringList files = Files();
    if (files.isEmpty()) {
        ShowMessage("You must drag some images into the listbox first!", this);
        return;
    }
    bool sizeOk = false;
    const TSheetOptions o = OptionsWindow()->Options(&sizeOk);
    if (!sizeOk) return;

    building_ = true;
    cancel_ = false;
    UpdateCommands();
    TWaitCursor wait;
    QPointer<TfrmThumbEdit> self(this);
    TSheetEvents ev;
    ev.size = [this](int64_t W, int64_t H) { StatusBar1->SetPanelText(0, SheetSizeText(W, H)); };
    // The window may go while events are pumped (the program closing): from
    // then on nothing of it is touched and the build stops.
    ev.progress = [this, &self](int k, int n) {
        if (!self) return;
        StatusBar1->SetPanelText(1, QString("Processing %1 of %2").arg(k).arg(n));
        // Keep the window alive and let Esc through between pictures.
        QCoreApplication::processEvents();
    };
    ev.cancelled = [this, &self] { return !self || cancel_; };
    ev.error = [this, &self](const QString& text) {
        if (self) ShowMessage(text, this);
    };
    std::unique_ptr<TPixelGraphic> sheet;
    try {
        sheet = BuildSheet(files, o, ev);
    } catch (const std::exception& e) {
        if (self) ShowMessage(QString::fromStdString(e.what()), this);
    }
    wait.Restore();
    if (!self) return;
    building_ = false;
    // A cancelled build keeps the sheet shown before.
    if (sheet && !cancel_) PGImage1->TakePixelGraphic(std::move(sheet));
    UpdateCommands();
}

void TfrmThumbEdit::SaveAs() {
    if (building_ || !HasSheet()) return;
    TFileDialogRequest r;
    r.caption = "Save ThumbTav";
    r.filter = "BMP - Bitmap (*.bmp);;JPG - JPEG (JFIF compliant) (*.jpg);;"
               "PBM - Portable Bitmap (*.pbm);;PGM - Portable Graymap (*.pgm);;"
               "PNG - Portable Network Graphics (*.png);;PPM - Portable Pixelmap (*.ppm);;"
               "TGA - Truevision Targa (*.tga);;TIF - Tagged Image File Format (*.tif)";
    QString filter;
    QString path = Prompts().SaveFileName(this, r, &filter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) {
        // The extension chooses the writer: take the chosen type's.
        const int star = filter.indexOf("*.");
        path += star >= 0 ? filter.mid(star + 1, 4) : QString(".bmp");
    }
    QStringList sources = Files();
    const TSheetOptions o = OptionsWindow()->Options();
    if (o.useBackgroundImage) sources << o.backgroundImage;
    try {
        SaveSheet(*PGImage1->PixelGraphic(), path, sources);
    } catch (const std::exception& e) {
        ShowMessage(QString::fromStdString(e.what()), this);
        return;
    }
    FolderContentsChanged(QFileInfo(path).absolutePath());
}

void TfrmThumbEdit::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) PlaceOnScreen(this);
}

void TfrmThumbEdit::hideEvent(QHideEvent* e) {
    if (!e->spontaneous()) {
        cancel_ = true;
        OptionsWindow()->hide();
    }
    QMainWindow::hideEvent(e);
}
