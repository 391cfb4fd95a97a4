#include "editor/qt/editorwindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWindow>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/form1.h"
#include "browser/help.h"
#include "browser/helptopics.h"
#include "browser/toolwindows.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/qt/bitmap.h"
#include "core/qt/print.h"
#include "core/registry.h"
#include "editor/editorrules.h"
#include "editor/qt/editor_filtercommands.h"
#include "editor/qt/saveoptionsform.h"
#include "editor/qt/twain.h"
#include "editor/undostep.h"
#include "formats/gifexport.h"
#include "formats/gifwrite.h"
#include "platform/prompts.h"
#include "platform/screendepth.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"
#include "view/pgimage.h"

namespace {

std::string LocalName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

qint64 MonotonicMs() {
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t.elapsed();
}

} // namespace

TfrmAcquire::TfrmAcquire(QWidget* parent)
    : QMainWindow(parent, Qt::Window) {
    setObjectName("TfrmAcquire");
    setWindowTitle("Tavirlo Image Editor");
    PGImage1 = new TPGImage(this);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetColor(palette().color(QPalette::Button));
    PGImage1->SetZoomFactor(1.0L);
    setCentralWidget(PGImage1);
    SB1 = new QStatusBar(this);
    SB1->setObjectName("SB1");
    SB1Panel0 = new QLabel(SB1);
    SB1Panel0->setObjectName("SB1Panel0");
    SB1Panel0->setMinimumWidth(120);
    SB1Panel0->setTextFormat(Qt::PlainText);
    SB1->addWidget(SB1Panel0);
    SB1Gauge = new QProgressBar(SB1);
    SB1Gauge->setObjectName("SB1Gauge");
    SB1Gauge->setRange(0, 100);
    SB1Gauge->setVisible(false);
    SB1->addWidget(SB1Gauge, 1);
    setStatusBar(SB1);
    BuildMenus();
    BuildToolBar();

    PGImage1->OnPixelGraphicChange = [this](TObject*) { PictureChanged(); };
    PGImage1->PicBoxOnMouseDown() = [this](TObject*, Qt::MouseButton b, Qt::KeyboardModifiers,
                                           int x, int y) {
        if (tbZoom->isChecked()) ZoomClick(b, x, y);
    };
    PGImage1->PicBoxOnDragOver() = [](TObject*, QObject*, int, int, const QMimeData* d,
                                      bool& accept) {
        accept = d && (DecodeFileDrag(d).has_value() || d->hasUrls());
    };
    PGImage1->PicBoxOnDragDrop() = [this](TObject*, QObject*, int, int, const QMimeData* d) {
        DropFiles(d);
    };
    PGImage1->PicBox()->UpdateAcceptDrops();
    // The scanner entries work where SANE is installed; the probe only loads
    // the library, once the program has started.
    QTimer::singleShot(0, this, [this] {
        TTwain& t = TTwain::Instance();
        if (!t.TwainIsPresent()) return;
        t.TwainSetIdentity(1, 0, 2, 1, "1.0", "Tavirlo by Ambertide Software", "Tavirlo",
                           "Tavirlo");
        EnableScanner(true);
    });

    QScreen* s = QGuiApplication::primaryScreen();
    setGeometry(EditorWindowRect(ReadSetting("AcquireLeft", "50"), ReadSetting("AcquireTop", "50"),
                                 ReadSetting("AcquireWidth", "600"),
                                 ReadSetting("AcquireHeight", "400"),
                                 s ? s->availableGeometry() : QRect()));
    PictureChanged();
}

TfrmAcquire::~TfrmAcquire() {
    if (watchedMain_) watchedMain_->removeEventFilter(this);
    SaveGeometry();
}

void TfrmAcquire::SaveGeometry() {
    const QRect g = geometry();
    WriteSetting("AcquireLeft", QString::number(g.x()));
    WriteSetting("AcquireTop", QString::number(g.y()));
    WriteSetting("AcquireWidth", QString::number(g.width()));
    WriteSetting("AcquireHeight", QString::number(g.height()));
}

void TfrmAcquire::BuildMenus() {
    auto add = [this](QMenu* m, const char* name, const QString& text, auto fn) {
        QAction* a = m->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, fn);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    add(file, "New1", "&New", [this] { RunCommand([this] { FileNew(); }); })->setVisible(false);
    add(file, "Open1", "&Open...", [this] {
        RunCommand([this] { FileOpen(); });
    })->setShortcut(QKeySequence::Open);
    add(file, "Save1", "&Save", [] {})->setVisible(false);
    add(file, "SaveAs1", "Save &As...", [this] {
        RunCommand([this] { FileSaveAs(); });
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                      // The hidden "Save" has no work of its own: Ctrl+S saves as.
                      QKeySequence(Qt::CTRL | Qt::Key_S)});
    add(file, "SaveOptions1", "Save Op&tions...",
        [this] { RunCommand([this] { FileSaveOptions(); }); });
    add(file, "ExportasGIF89a1", "&Export as GIF89a", [this] {
        RunCommand([this] { ExportGIF(); });
    })->setVisible(false);
    file->addSeparator();
    // The scanner entries: disabled until the start-up probe finds SANE
    // (EnableScanner).
    Select1 = file->addAction("Se&lect...");
    Select1->setObjectName("Select1");
    Select1->setEnabled(false);
    connect(Select1, &QAction::triggered, this,
            [this] { TTwain::Instance().TWAIN_SelectImageSource(this); });
    Acquire1 = file->addAction("Ac&quire...");
    Acquire1->setObjectName("Acquire1");
    Acquire1->setEnabled(false);
    connect(Acquire1, &QAction::triggered, this, [this] { AcquireImage(); });
    file->addSeparator();
    add(file, "Print1", "&Print", [this] {
        RunCommand([this] { PrintPicture(); });
    })->setShortcut(QKeySequence::Print);
    add(file, "Close1", "&Close", [this] { close(); })->setShortcut(QKeySequence::Close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("Edit1");
    Undo1 = add(edit, "Undo1", "&Undo", [this] { RunCommand([this] { Undo(); }); });
    Undo1->setShortcut(QKeySequence::Undo);
    Undo1->setEnabled(false);
    Redo1 = add(edit, "Redo1", "&Redo", [this] { RunCommand([this] { Redo(); }); });
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    Redo1->setEnabled(false);

    ImageMenu = menuBar()->addMenu("&Image");
    ImageMenu->setObjectName("Image1");
    QMenu* rotate = ImageMenu->addMenu("&Rotate");
    rotate->setObjectName("Rotate1");
    add(rotate, "N180Degrees1", "&180 Degrees", [this] { RotateBy(180); });
    add(rotate, "N90DegreesCW1", "&90 Degrees CW", [this] { RotateBy(90); });
    add(rotate, "N90DegreesCCW1", "90 Degrees CC&W", [this] { RotateBy(270); });
    add(rotate, "FlipHorizontal1", "Flip &Horizontal", [this] { FlipHorizontally(); });
    add(rotate, "FlipVertical1", "Flip &Vertical", [this] { FlipVertically(); });
    add(ImageMenu, "Crop1", "&Crop", [this] { Crop(); });

    FiltersMenu = menuBar()->addMenu("Fi&lters");
    FiltersMenu->setObjectName("Filters1");
    // The geometry dialogs, filters and effects come from their own files.
    AddEditorFilterCommands(*this, rotate, ImageMenu, FiltersMenu);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    add(help, "HelpAcquire1", "Help on &acquiring an image from a scanner",
        [] { ShowHelpContext(hcAcquire); });
    add(help, "HelpEditor1", "Help on &editing an image", [] { ShowHelpContext(hcEditor); });
}

void TfrmAcquire::BuildToolBar() {
    QToolBar* tb = addToolBar("ToolBar1");
    tb->setObjectName("ToolBar1");
    auto add = [this, tb](const char* name, const QString& text, bool checkable) {
        QAction* a = tb->addAction(text);
        a->setObjectName(name);
        a->setCheckable(checkable);
        return a;
    };
    connect(add("tbRotateRight", "Rotate Right", false), &QAction::triggered, this,
            [this] { RotateBy(90); });
    connect(add("tbRotateLeft", "Rotate Left", false), &QAction::triggered, this,
            [this] { RotateBy(270); });
    tb->addSeparator();
    tbAutoSize = add("tbAutoSize", "Auto Size", true);
    connect(tbAutoSize, &QAction::toggled, this, &TfrmAcquire::SetAutoSize);
    tbTile = add("tbTile", "Tile Image", true);
    connect(tbTile, &QAction::toggled, this, &TfrmAcquire::SetTile);
    tb->addSeparator();
    // Pointer, zoom and selector: one of them is down at a time.
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    tbPointer = add("tbPointer", "Pointer", true);
    tbZoom = add("tbZoom", "Zoom In/Out", true);
    tbSelect = add("tbSelect", "Select area for cropping", true);
    for (QAction* a : {tbPointer, tbZoom, tbSelect})
        group->addAction(a);
    tbPointer->setChecked(true);
    connect(tbPointer, &QAction::triggered, this, [this] { SetPointer(); });
    connect(tbZoom, &QAction::toggled, this, &TfrmAcquire::SetZoomTool);
    connect(tbSelect, &QAction::toggled, this, &TfrmAcquire::SetSelectTool);
    tb->addSeparator();
    connect(add("tbRedEye", "Red Eye Reduction", false), &QAction::triggered, this, [this] {
        if (QAction* a = findChild<QAction*>("RedEyeReduction1")) a->trigger();
    });
    connect(add("tbScreenCapture", "Screen Capture", false), &QAction::triggered, this,
            [this] { RunCommand([this] { ScreenCapture(); }); });
}

// ---- picture state

void TfrmAcquire::PictureChanged() {
    const TPixelGraphic* pg = PGImage1->CurrentPixelGraphic();
    const bool empty = !pg || pg->GetWidth() == 0 || pg->GetHeight() == 0;
    SB1Panel0->setText(empty ? QString()
                             : QString("%1 X %2").arg(pg->GetWidth()).arg(pg->GetHeight()));
    ImageMenu->setEnabled(!empty);
    FiltersMenu->setEnabled(!empty);
    if (!empty) {
        PGImage1->SetTiling(tNone);
        const QSignalBlocker b(tbTile);
        tbTile->setChecked(false);
    }
}

void TfrmAcquire::UpdateUndoActions() {
    Undo1->setText("&" + UndoCaption());
    Undo1->setEnabled(UndoAvailable());
    Redo1->setText("&" + RedoCaption());
    Redo1->setEnabled(RedoAvailable());
}

void TfrmAcquire::SaveUndo(const QString& label) {
    TUndoStep step(doc_, label);
    step.Commit();
}

// ---- the document's host: the picture lives in the view, which paints it

TPixelGraphic* TfrmAcquire::HostPicture() const {
    return PGImage1->CurrentPixelGraphic();
}

TPixelGraphic* TfrmAcquire::HostPictureForChange() {
    return PGImage1->PixelGraphic();
}

std::unique_ptr<TPixelGraphic> TfrmAcquire::HostCopyPicture() {
    return PGImage1->CopyPixelGraphic();
}

void TfrmAcquire::HostShowPicture(std::unique_ptr<TPixelGraphic> picture) {
    PGImage1->TakePixelGraphic(std::move(picture));
}

void TfrmAcquire::HostLoadPicture(const std::string& fileName) {
    PGImage1->LoadFromFile(fileName);
}

bool TfrmAcquire::QueryUnsaved() {
    if (!Modified() || doc_.Empty()) return true;
    switch (MessageDlg(QString("Save changes to %1?").arg(DocumentName()), QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this)) {
    case QMessageBox::Yes:
        try {
            return FileSaveAs();
        } catch (const std::exception& e) {
            ShowMessage(QString::fromStdString(e.what()), this);
            return false;
        }
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TfrmAcquire::closeEvent(QCloseEvent* e) {
    // Asked here, naming the picture, while the editor is still on screen.
    // "No" lets the changes go: nothing asks about them again later.
    if (!QueryUnsaved()) {
        e->ignore();
        return;
    }
    SetModified(false);
    QMainWindow::closeEvent(e);
}

void TfrmAcquire::RunCommand(const std::function<void()>& body) {
    try {
        TWaitCursor busy;
        body();
    } catch (const std::exception& e) {
        ShowMessage(QString::fromLocal8Bit(e.what()), this);
    }
}

QString TfrmAcquire::StartFolder() const {
    return startFolder_.isEmpty() ? QDir::homePath() : startFolder_;
}

void TfrmAcquire::LoadAtZoomOne(const QString& path) {
    const long double oldZoom = PGImage1->ZoomFactor();
    PGImage1->SetZoomFactor(1.0L);
    try {
        doc_.Load(path);
    } catch (...) {
        PGImage1->SetZoomFactor(oldZoom);
        throw;
    }
}

// ---- interfaces

bool TfrmAcquire::EditFile(const QString& path) {
    // Unsaved work the user keeps: nothing is loaded and nothing is wrong.
    if (!QueryUnsaved()) return true;
    try {
        TWaitCursor busy;
        LoadAtZoomOne(path);
    } catch (const std::exception&) {
        return false;
    }
    doc_.ResetUndo();
    return true;
}

bool TfrmAcquire::OpenForEditing(const QString& path) {
    if (!EditFile(path)) {
        ShowMessage("Can not edit " + path, this);
        return false;
    }
    show();
    raise();
    activateWindow();
    return true;
}

void TfrmAcquire::TakeHandOver(const QString& folder, const QStringList& files) {
    if (!folder.isEmpty()) startFolder_ = folder;
    if (files.isEmpty()) {
        show();
        raise();
        return;
    }
    OpenForEditing(files.front());
}

void TfrmAcquire::AcquireImage() {
    // A second "Acquire..." while one runs does nothing.
    if (acquiring_ || !QueryUnsaved()) return;
    acquiring_ = true;
    raise();
    std::vector<uint8_t> dib = TTwain::Instance().TwainAcquireDib(this, 0);
    if (dib.empty()) {
        acquiring_ = false;
        return;
    }
    // Through a temporary BMP, as the scanner's picture always came; the file
    // goes whatever happens.
    // (Qt answers no folder for a $TMPDIR that is none: never the working folder.)
    QString tempDir = QDir::tempPath();
    if (tempDir.isEmpty() || !QFileInfo(tempDir).isDir()) tempDir = "/tmp";
    QTemporaryFile temp(QDir(tempDir).filePath("PGLXXXXXX"));
    try {
        if (!temp.open()) throw Exception("no temporary file");
        temp.close();
        if (TTwain::Instance().TwainSaveDibAsBmp(dib, temp.fileName(), this) != 0)
            throw Exception("not saved");
        std::vector<uint8_t>().swap(dib); // released before the picture is read
        TWaitCursor busy;
        PGImage1->LoadFromFile(LocalName(temp.fileName()));
        doc_.TookUnsavedPicture(true);
    } catch (const std::exception&) {
        ShowMessage("Unable to aquire image", this);
    }
    acquiring_ = false;
}

void TfrmAcquire::EnableScanner(bool enable) {
    Select1->setEnabled(enable);
    Acquire1->setEnabled(enable);
}

void TfrmAcquire::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (e->spontaneous()) return; // un-minimising is no new session
    TEditorDocument::BeginSession();
    if (TBrowserContext* b = Browser()) {
        startFolder_ = b->ListedFolder();
        QWidget* main = b->Window();
        // Above the browser, never above its own dialogs (no stay-on-top).
        if (QWindow* w = windowHandle(); w && main->windowHandle())
            w->setTransientParent(main->windowHandle());
        if (!watchedMain_) {
            watchedMain_ = main;
            main->installEventFilter(this);
        }
    }
    PictureChanged();
}

bool TfrmAcquire::eventFilter(QObject* watched, QEvent* e) {
    // The program ends with the main window: unsaved work is asked about first.
    if (watched == watchedMain_ && e->type() == QEvent::Close && !QueryUnsaved()) {
        e->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---- file commands

void TfrmAcquire::FileNew() {
    if (!QueryUnsaved()) return;
    doc_.Cleared();
}

void TfrmAcquire::FileOpen() {
    PGImage1->SetSelection(false);
    TFileDialogRequest r;
    r.caption = "Open";
    r.dir = SaveFileName().isEmpty() ? StartFolder() : QFileInfo(SaveFileName()).absolutePath();
    r.filter = QtFilterFromPipes(OpenFilterString());
    r.preview = true;
    const QString path = Prompts().OpenFileName(this, r, nullptr);
    if (path.isEmpty() || !QueryUnsaved()) return;
    LoadAtZoomOne(path);
}

bool TfrmAcquire::FileSaveAs() {
    if (doc_.Empty()) return false;
    TFileDialogRequest r;
    r.caption = "Tavirlo Save File";
    r.filter = QtFilterFromPipes(SaveFilterString());
    r.dir = SaveFileName().isEmpty() ? StartFolder() : SaveFileName();
    r.selectedFilter = FilterEntryForFile(r.filter, SaveFileName());
    QString chosenFilter = r.selectedFilter;
    QString path = Prompts().SaveFileName(this, r, &chosenFilter);
    if (path.isEmpty()) return false;
    path = WithDefaultExtension(path, chosenFilter);
    TWaitCursor busy;
    doc_.Save(path);
    FolderContentsChanged(QFileInfo(path).absolutePath());
    return true;
}

void TfrmAcquire::FileSaveOptions() {
    // The program's one dialog when it exists, else a dialog of our own.
    TToolWindows* tools = ToolWindows();
    if (auto* shared = tools && tools->IsReal("TfrmFileSaveOptions")
                           ? qobject_cast<TfrmFileSaveOptions*>(tools->Find("TfrmFileSaveOptions"))
                           : nullptr) {
        shared->LoadOptions();
        // Made once without a parent: it opens above the editor all the same.
        (void)shared->winId();
        (void)winId();
        if (QWindow* w = shared->windowHandle()) w->setTransientParent(windowHandle());
        ExecDialog(shared);
        return;
    }
    TfrmFileSaveOptions dialog(this);
    ExecDialog(&dialog);
}

void TfrmAcquire::ExportGIF() {
    if (doc_.Empty()) return;
    TPixelGraphic& picture = *doc_.PictureForChange();
    if (GIFExportNeedsReduction(picture))
        ShowMessage("GIF images can only have 256 colors. I will optimize the colors...", this);
    std::unique_ptr<TPixelGraphic> gif;
    {
        TWaitCursor busy;
        gif = GIFExportPicture(picture);
    }
    TFileDialogRequest r;
    r.caption = "GIF89a Export";
    r.filter = "GIF (*.gif)";
    r.selectedFilter = r.filter;
    r.dir = StartFolder();
    QString path = Prompts().SaveFileName(this, r, nullptr);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += ".gif";
    if (!WriteGIFFile(LocalName(path), *gif, false, 0, false)) {
        ShowMessage(QString("Error exporting GIF  (code %1)").arg(GIFErrorCode), this);
        return;
    }
    if (TBrowserContext* b = Browser()) b->RefreshList();
    FolderContentsChanged(QFileInfo(path).absolutePath());
}

void TfrmAcquire::PrintPicture() {
    if (doc_.Empty()) return;
    Print(*doc_.PictureForChange(), true, true, this);
}

// ---- picture commands

void TfrmAcquire::RotateBy(int degrees) {
    RunCommand([&] {
        if (doc_.Empty()) return;
        TUndoStep step(doc_, "Rotate");
        auto r = doc_.CopyOfPicture();
        r->SetRotateInterpolation(true);
        // A right angle turns every pixel as a whole into the turned size.
        r->Rotate(*r, degrees, true);
        doc_.SetPicture(std::move(r));
        switch (degrees) {
        case 90:
            step.CommitTurn(TJpegTurn::Rotate90);
            break;
        case 180:
            step.CommitTurn(TJpegTurn::Rotate180);
            break;
        case 270:
            step.CommitTurn(TJpegTurn::Rotate270);
            break;
        default:
            step.Commit();
        }
    });
}

void TfrmAcquire::FlipHorizontally() {
    RunCommand([&] {
        if (doc_.Empty()) return;
        TUndoStep step(doc_, "Flip Horizontal");
        doc_.PictureForChange()->FlipHorizontal();
        step.CommitTurn(TJpegTurn::FlipHorizontal);
    });
}

void TfrmAcquire::FlipVertically() {
    RunCommand([&] {
        if (doc_.Empty()) return;
        TUndoStep step(doc_, "Flip Vertical");
        doc_.PictureForChange()->FlipVertical();
        step.CommitTurn(TJpegTurn::FlipVertical);
    });
}

void TfrmAcquire::Crop() {
    RunCommand([&] {
        if (doc_.Empty()) return;
        TPixelGraphic& src = *doc_.PictureForChange();
        // A moved selection may overhang the picture: only its inside counts.
        const QRect sel =
            PGImage1->SelectionRect().intersected(QRect(0, 0, src.GetWidth(), src.GetHeight()));
        if (!PGImage1->Selection() || sel.isEmpty()) {
            ShowMessage("You need to select an area first", this);
            return;
        }
        TUndoStep step(doc_, "Crop");
        auto r = std::make_unique<TPixelGraphic>();
        r->SetFormat(sel.width(), sel.height(), src.PixelFormat());
        r->CopyPaletteFrom(src);
        r->CopyRect(0, 0, src, sel.x(), sel.y(), sel.width(), sel.height());
        PGImage1->SetSelection(false);
        doc_.SetPicture(std::move(r));
        step.Commit();
    });
}

void TfrmAcquire::ScreenCapture() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QImage shot = s->grabWindow(0).toImage();
    // Where the desktop refuses (Wayland) the grab is empty: nothing changes.
    if (shot.isNull() || !QueryUnsaved()) return;
    try {
        auto pg = std::make_unique<TPixelGraphic>();
        AssignFromBitmap(*pg, shot);
        const TPGPixelFormat f = CaptureFormatForDepth(ScreenDepth(this));
        if (f != pg24Bit) {
            auto q = std::make_unique<TPixelGraphic>();
            q->SetFormat(pg->GetWidth(), pg->GetHeight(), f);
            // No system palette on this desktop: 8-bit captures get the
            // fixed 252-colour palette the view uses for such screens.
            q->SetPaletteIdent(f == pg4Bit ? pSys16 : pSpecial252);
            q->CopyFrom(*pg);
            pg = std::move(q);
        }
        doc_.SetPicture(std::move(pg));
        doc_.TookUnsavedPicture(false);
    } catch (const std::exception&) {
        // A capture that cannot be built is dropped without a word.
    }
}

// ---- tools

void TfrmAcquire::ZoomClick(Qt::MouseButton button, int x, int y) {
    const long double oldZoom = PGImage1->ZoomFactor();
    const int px = ZoomToolPicturePoint(x, oldZoom), py = ZoomToolPicturePoint(y, oldZoom);
    const long double zoom = ZoomToolStep(oldZoom, button == Qt::RightButton);
    PGImage1->SetZoomFactor(zoom);
    const QSize client = PGImage1->viewport()->size();
    const QSize box = PGImage1->PicBox()->size();
    if (box.width() > client.width())
        PGImage1->horizontalScrollBar()->setValue(ZoomToolScroll(zoom, px, client.width()));
    if (box.height() > client.height())
        PGImage1->verticalScrollBar()->setValue(ZoomToolScroll(zoom, py, client.height()));
}

void TfrmAcquire::SetAutoSize(bool down) {
    if (down) {
        PGImage1->SetStretch(sAlwaysKAR);
        tbZoom->setChecked(false);
        tbPointer->setChecked(true);
        PGImage1->SetActionMode(amMoveImage);
    } else {
        PGImage1->SetStretch(sNeverKAR);
    }
}

void TfrmAcquire::SetTile(bool down) {
    PGImage1->SetTiling(down ? tRepeat : tNone);
}

void TfrmAcquire::SetPointer() {
    PGImage1->SetSelection(false);
    PGImage1->SetActionMode(amMoveImage);
    PGImage1->SetPicBoxCursor(Qt::ArrowCursor);
}

void TfrmAcquire::SetZoomTool(bool down) {
    if (down) {
        PGImage1->SetSelection(false);
        const int h = PGImage1->horizontalScrollBar()->value();
        const int v = PGImage1->verticalScrollBar()->value();
        {
            const QSignalBlocker b(tbAutoSize);
            tbAutoSize->setChecked(false);
        }
        PGImage1->SetActionMode(amNone);
        PGImage1->SetStretch(sZoomKAR);
        PGImage1->horizontalScrollBar()->setValue(h);
        PGImage1->verticalScrollBar()->setValue(v);
        PGImage1->SetPicBoxCursor(Qt::CrossCursor);
    } else {
        PGImage1->SetActionMode(amMoveImage);
        PGImage1->SetStretch(tbAutoSize->isChecked() ? sAlwaysKAR : sNeverKAR);
        PGImage1->SetPicBoxCursor(Qt::ArrowCursor);
    }
}

void TfrmAcquire::SetSelectTool(bool down) {
    if (down) {
        PGImage1->SetActionMode(amCreateSelection);
    } else {
        PGImage1->SetSelection(false);
        PGImage1->SetActionMode(amMoveImage);
    }
}

// ---- drops

void TfrmAcquire::DropFiles(const QMimeData* data) {
    const auto files = DecodeDroppedFiles(data);
    if (!files.empty()) DropFile(files.front().Path());
}

void TfrmAcquire::DropFile(const QString& path) {
    if (!IsEditableDropName(path)) {
        ShowMessage("Can't edit " + path, this);
        return;
    }
    if (!QueryUnsaved()) return;
    try {
        TWaitCursor busy;
        doc_.Load(path);
    } catch (const std::exception&) {
        ShowMessage("Can't edit " + path, this);
        return;
    }
}

// ---- progress gauge of the long filters

void TfrmAcquire::ProgressStart() {
    SB1Gauge->setValue(0);
    SB1Gauge->setVisible(true);
    lastGaugeMs_ = 0;
}

void TfrmAcquire::Progress(int step, int max) {
    if (max <= 0) return;
    const qint64 now = MonotonicMs();
    if (now - lastGaugeMs_ <= 200) return;
    SB1Gauge->setValue(int(qint64(step) * 100 / max));
    // Repaint only: pumping events here would let other commands run inside this one.
    SB1Gauge->repaint();
    lastGaugeMs_ = now;
}

void TfrmAcquire::ProgressEnd() {
    SB1Gauge->setVisible(false);
}
