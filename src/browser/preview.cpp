#include "browser/preview.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QTimer>
#include <cmath>
#include <sys/stat.h>

#include "browser/mainform.h"
#include "browser/previewcontrols.h"
#include "browser/previewsize.h"
#include "core/pixelgraphic.h"
#include "core/qt/bitmap.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/desktopicon.h"
#include "formats/webp.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/safeopen.h"

#include "view/pgimage.h"

namespace {

std::string NativePath(const QByteArray& native) {
    return native.toStdString();
}

// Types shown by the image view control; the others have their own control.
bool IsLibraryType(const QString& type) {
    return type != "AVI" && type != "GIF" && type != "WMF" && type != "ICO";
}

// Types the worker may decode ahead: the library's, less the metafiles,
// which are quick to play and draw with the screen's fonts.
bool IsPreloadType(const QString& type) {
    return IsLibraryType(type) && type != "EMF";
}

// A load that failed; the load's own handler decides what the user sees.
struct TLoadFailed {};

} // namespace

TPreview::TPreview(TForm1* form)
    : QObject(form), f_(form), preloader_(std::make_unique<TPreloader>()) {
    setObjectName("Preview");
    QWidget* pane = f_->RightMain;

    PGImage1 = new TPGImage(pane);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetAutoSize(true);
    PGImage1->SetStretch(sAlwaysKAR);
    PGImage1->SetUseThread(false);
    PGImage1->SetShowHourGlass(false);
    PGImage1->SetReadWarningAction(pgwaIgnore);
    // The control is sized to the picture itself: a frame would take
    // pixels from the picture.
    PGImage1->SetBorderStyle(bsNone);
    Image1 = new TImageBox(pane);
    Image1->setObjectName("Image1");
    GIFImage1 = new TGIFImage(pane);
    GIFImage1->setObjectName("GIFImage1");
    AVIPlay1 = new TAVIPlayer(pane);
    AVIPlay1->setObjectName("AVIPlay1");
    PreviewMessage = new QLabel(pane);
    PreviewMessage->setObjectName("PreviewMessage");
    PreviewMessage->setTextFormat(Qt::PlainText);
    PreviewMessage->setWordWrap(true);
    PreviewMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PreviewMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PreviewMessage->setContextMenuPolicy(Qt::NoContextMenu);
    PreviewMessage->hide();
    for (QWidget* c : {static_cast<QWidget*>(PGImage1), static_cast<QWidget*>(Image1),
                       static_cast<QWidget*>(GIFImage1), static_cast<QWidget*>(AVIPlay1)}) {
        c->setGeometry(4, 4, 1, 1);
        c->hide();
        // The pane's context menu works over the picture too.
        c->setContextMenuPolicy(Qt::NoContextMenu);
    }
    PGImage1->PicBox()->setContextMenuPolicy(Qt::NoContextMenu);
    metaTimer_ = new QTimer(this);
    metaTimer_->setSingleShot(true);
    metaTimer_->setInterval(150);
    connect(metaTimer_, &QTimer::timeout, this, [this] {
        if (PreviewType != "WMF" || loadedPath_.isEmpty() || !Image1->isVisible()) return;
        try {
            PlayMetafile(loadedPath_);
        } catch (...) {
            // The file changed under the pane: the drawing shown stays.
        }
    });

    // The whole picture of a first look is swapped in as soon as the worker
    // has it; the message carries the name, so a late one for a file no
    // longer shown does nothing.
    preloader_->SetOnDone([this](const QString& path, int reduce) {
        if (reduce != 0) return;
        QMetaObject::invokeMethod(
            this,
            [this, path] {
                if (firstLook_ && path == firstLookPath_) ShowFullPicture(false);
            },
            Qt::QueuedConnection);
    });

    aheadTimer_ = new QTimer(this);
    aheadTimer_->setSingleShot(true);
    aheadTimer_->setInterval(0);
    connect(aheadTimer_, &QTimer::timeout, this, [this] {
        preloader_->Dispose(std::move(retired_));
        PreloadNeighbours(aheadPath_);
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    connect(Timer1, &QTimer::timeout, this, &TPreview::SlideTick);

    auto bind = [this](TCommandId id, auto fn) {
        QAction* a = f_->Command(id);
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, fn);
    };
    bind(TCommandId::PreviousImage, [this] { PreviousImage(); });
    bind(TCommandId::NextImage, [this] { NextImage(); });
    bind(TCommandId::SlideShow, [this](bool down) { SlideShowToggled(down); });
    bind(TCommandId::AutoZoom, [this](bool down) { AutoZoomToggled(down); });
    // UpDown1: the Seconds arrows change a running show at once.
    connect(f_->Seconds, &QSpinBox::valueChanged, this,
            [this](int s) { Timer1->setInterval(s * 1000); });

    TFileListView* list = f_->SLV1;
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SelectionChanged(); });
    // Whatever the worker decoded for the list as it was is of no use now.
    QAbstractItemModel* m = list->model();
    auto invalidate = [this] { preloader_->Invalidate(); };
    connect(m, &QAbstractItemModel::modelReset, this, invalidate);
    connect(m, &QAbstractItemModel::layoutChanged, this, invalidate);
    connect(m, &QAbstractItemModel::rowsInserted, this, invalidate);
    connect(m, &QAbstractItemModel::rowsRemoved, this, invalidate);

    pane->installEventFilter(this);
    qApp->installEventFilter(this);
}

TPreview::~TPreview() {
    qApp->removeEventFilter(this);
}

QWidget* TPreview::ControlFor(const QString& type) const {
    if (type == "AVI") return AVIPlay1;
    if (type == "GIF" || (type == PreviewType && animation_)) return GIFImage1;
    if (type == "WMF" || type == "ICO") return Image1;
    return PGImage1;
}

QWidget* TPreview::ShownControl() const {
    for (QWidget* c : {static_cast<QWidget*>(PGImage1), static_cast<QWidget*>(Image1),
                       static_cast<QWidget*>(GIFImage1), static_cast<QWidget*>(AVIPlay1)})
        if (!c->isHidden()) return c;
    return nullptr;
}

TPreloadSettings TPreview::LoadSettings() const {
    return {PGImage1->ReadWarningAction(), PGImage1->BackGroundColor()};
}

// ---- loading

void TPreview::RequestLoad() {
    if (loadQueued_) return;
    loadQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { LoadPending(); }, Qt::QueuedConnection);
}

void TPreview::LeaveActualSize() {
    if (!actualSize_) return;
    actualSize_ = false;
    PGImage1->SetStretch(sAlwaysKAR);
}

void TPreview::HideAll() {
    LeaveActualSize();
    PreviewMessage->hide();
    AVIPlay1->Stop();
    AVIPlay1->hide();
    Image1->hide();
    GIFImage1->SetAnimate(false);
    GIFImage1->hide();
    PGImage1->hide();
    animation_ = false;
}

QSize TPreview::LoadInto(const QByteArray& path) {
    if (PreviewType == "AVI") {
        if (!AVIPlay1->Open(path)) throw TLoadFailed{};
        return AVIPlay1->FrameSize();
    }
    // Animated WebP files play in the GIF control; their stills, and
    // their first frame anywhere else, come from the library.
    if (PreviewType == "GIF" || (PreviewType == "WEB" && IsAnimatedWebPFile(NativePath(path)))) {
        animation_ = true;
        if (!GIFImage1->Load(path)) throw TLoadFailed{};
        return GIFImage1->PictureSize();
    }
    if (PreviewType == "ICO") {
        // Icons as the desktop shows them: the largest, deepest image over
        // the pane's colour.
        const QColor pane = f_->RightMain->palette().color(QPalette::Window);
        TPixelGraphic pg;
        TFileStream file(NativePath(path), TFileStream::OpenRead);
        if (!LoadDesktopIcon(file, RGB(pane.red(), pane.green(), pane.blue()), pg))
            throw TLoadFailed{};
        QImage img;
        AssignToBitmap(pg, img);
        if (img.isNull()) throw TLoadFailed{};
        Image1->SetPicture(img);
        return img.size();
    }
    if (PreviewType == "WMF") {
        // The file's own size from its header; the drawing is played at the
        // size the pane shows it at.
        std::string type;
        TPGImageInfo info;
        metaFullSize_ = GetFileImageInfo(NativePath(path), 0, type, info) && info.Width > 0 &&
                                info.Height > 0
                            ? QSize(info.Width, info.Height)
                            : QSize();
        PlayMetafile(path);
        return ContentSize();
    }
    // The worker knows files by text: a name that is no valid text is
    // always loaded here, by its bytes.
    std::unique_ptr<TPixelGraphic> pg;
    QSize full;
    if (const int reduce = FirstLookHint(path, full); reduce > 0) {
        const QString abs = QFileInfo(DisplayPath(path)).absoluteFilePath();
        // The whole picture decoded ahead is better still; one being decoded
        // is not waited for.
        pg = preloader_->Take(abs, LoadSettings(), 0, false);
        if (pg) {
            retired_ = PGImage1->TakeLoadedPixelGraphic(std::move(pg), NativePath(path));
            return {PGImage1->ImageWidth(), PGImage1->ImageHeight()};
        }
        // The whole picture starts on the worker at once, beside the first
        // look decoded here: it is ready about when a plain load would be.
        preloader_->Want(std::vector<TPreloadRequest>{{abs, 0}, {abs, reduce}}, LoadSettings());
        pg = preloader_->Take(abs, LoadSettings(), reduce, false);
        if (!pg) {
            pg = std::make_unique<TPixelGraphic>();
            pg->SetReadWarningAction(PGImage1->ReadWarningAction());
            pg->SetBackgroundColor(PGImage1->BackGroundColor());
            pg->SetLoadSizeHint(reduce);
            pg->LoadFromFile(NativePath(path));
        }
        retired_ = PGImage1->TakeLoadedPixelGraphic(std::move(pg), NativePath(path));
        firstLook_ = true;
        fullSize_ = full;
        firstLookPath_ = abs;
        preloader_->Want(std::vector<TPreloadRequest>{{abs, 0}}, LoadSettings());
        return full;
    }
    if (IsQStringSafe(path))
        pg = preloader_->Take(QFileInfo(DisplayPath(path)).absoluteFilePath(), LoadSettings());
    if (pg)
        // The picture it replaces goes back once the new one is on screen.
        retired_ = PGImage1->TakeLoadedPixelGraphic(std::move(pg), NativePath(path));
    else
        PGImage1->LoadFromFile(NativePath(path));
    return {PGImage1->ImageWidth(), PGImage1->ImageHeight()};
}

void TPreview::LoadPending() {
    loadQueued_ = false;
    f_->ALed1->SetLit(true);
    f_->ALed1->repaint();
    const QByteArray path = f_->PendingNative;
    firstLook_ = false;
    const QString name = ExtractFileName(DisplayPath(path));
    PreviewType = FileTypeText(name);
    loadedPath_ = path;

    struct stat st;
    const qint64 size = ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
    f_->SB1->SetPanelText(2, QString::number(size / 1024 + 1) + "K");
    HideAll();

    try {
        const QSize s = LoadInto(path);
        f_->SB1->SetPanelText(3, " " + name + "  (" + QString::number(s.width()) + " x " +
                                     QString::number(s.height()) + ")");
        QWidget* c = ControlFor(PreviewType);
        c->move(4, 4);
        c->show();
        PlaceShown();
        if (animation_ && GIFImage1->FrameCount() > 1) GIFImage1->SetAnimate(true);
        if (PreviewType == "AVI") AVIPlay1->Play();
    } catch (const std::exception& e) {
        LoadFailed(name, QString::fromStdString(e.what()));
    } catch (...) {
        LoadFailed(name, {});
    }
    f_->ALed1->SetLit(false);
    // The worker starts on the neighbours once this picture has been
    // painted, so that it does not compete with the painting.
    aheadPath_ = path;
    aheadTimer_->start();
}

void TPreview::LoadFailed(const QString& name, const QString& reason) {
    firstLook_ = false;
    // The name panel would otherwise go on naming the file shown before,
    // which is not the one selected.
    f_->SB1->SetPanelText(3, QString());
    // The pane says why instead of staying blank.
    struct stat st;
    QString why = reason;
    if (::stat(loadedPath_.constData(), &st) != 0)
        why = "The file is not there (any more).";
    else if (why.isEmpty())
        why = "The file cannot be read as a picture of its type.";
    PreviewMessage->setText("Can not show " + name + "\n\n" + why);
    PreviewMessage->setGeometry(8, 8, std::max(40, f_->RightMain->width() - 16),
                                std::max(20, f_->RightMain->height() - 16));
    PreviewMessage->show();
    // The pictures of the platform's own loader also say so in a box.
    if (PreviewType == "WMF" || PreviewType == "ICO") {
        f_->ALed1->SetLit(false);
        ShowMessage("Error reading image file", f_);
    }
}

int TPreview::MetafileHint() const {
    if (metaFullSize_.isEmpty()) return 0;
    const QSize pane = f_->RightMain->size();
    const QSize& full = metaFullSize_;
    const bool fitted = pane.width() < full.width() + 8 || pane.height() < full.height() + 8 ||
                        f_->Command(TCommandId::AutoZoom)->isChecked();
    return MetafilePlayHint(full, fitted ? FitToPaneSize(full, pane) : full,
                            f_->RightMain->devicePixelRatioF());
}

void TPreview::PlayMetafile(const QByteArray& path) {
    TPixelGraphic pg;
    pg.SetReadWarningAction(pgwaIgnore);
    metaHint_ = MetafileHint();
    pg.SetLoadSizeHint(metaHint_);
    pg.LoadFromFile(NativePath(path));
    QImage img;
    AssignToBitmap(pg, img);
    if (img.isNull()) throw TLoadFailed{};
    // Without a size from the header, what was played is the size.
    if (metaFullSize_.isEmpty()) metaFullSize_ = img.size();
    Image1->SetPicture(img);
}

void TPreview::PlaceShown() {
    QWidget* c = ShownControl();
    if (!c) return;
    // A metafile played for a smaller pane is played again, once the
    // resizing has settled, when the pane now shows it larger.
    if (PreviewType == "WMF" && metaHint_ > 0) {
        const int hint = MetafileHint();
        if (hint == 0 || hint > metaHint_) metaTimer_->start();
    }
    const QSize s = ContentSize();
    const QSize pane = f_->RightMain->size();
    if (actualSize_) {
        // Still larger than the pane: the scrolled view takes the pane.
        if (pane.width() < s.width() + 8 || pane.height() < s.height() + 8) {
            c->setGeometry(4, 4, std::max(1, pane.width() - 8), std::max(1, pane.height() - 8));
            return;
        }
        LeaveActualSize();
    }
    const bool autoZoom = f_->Command(TCommandId::AutoZoom)->isChecked();
    if (PreviewType == "AVI") {
        c->resize(ClipBoxSize(s, pane));
        if (autoZoom) FitToPane();
    } else if (pane.width() < s.width() + 8 || pane.height() < s.height() + 8) {
        FitToPane();
    } else {
        c->resize(std::max(1, s.width()), std::max(1, s.height()));
        if (autoZoom) FitToPane();
    }
}

void TPreview::ClearIfGone() {
    if (loadedPath_.isEmpty()) return;
    struct stat st;
    if (::stat(loadedPath_.constData(), &st) == 0 && S_ISREG(st.st_mode)) return;
    HideAll();
    firstLook_ = false;
    loadedPath_.clear();
    lastShownNative_.clear();
    LastShownName.clear();
    PreviewType.clear();
    f_->SB1->SetPanelText(2, QString());
    f_->SB1->SetPanelText(3, QString());
}

// ---- sizing

QSize TPreview::ContentSize() const {
    if (PreviewType == "AVI") return AVIPlay1->FrameSize();
    if (PreviewType == "GIF" || animation_) return GIFImage1->PictureSize();
    if (PreviewType == "WMF") return metaFullSize_;
    if (PreviewType == "ICO") return Image1->Picture().size();
    if (firstLook_) return fullSize_;
    return {PGImage1->ImageWidth(), PGImage1->ImageHeight()};
}

int TPreview::FirstLookHint(const QByteArray& path, QSize& full) const {
    if (!preloader_->Enabled() || !IsQStringSafe(path)) return 0;
    std::string type;
    TPGImageInfo info;
    if (!GetFileImageInfo(NativePath(path), 0, type, info) || type != "JPEG (JFIF compliant)")
        return 0;
    full = QSize(info.Width, info.Height);
    const QSize pane = f_->RightMain->size();
    // Shown at its own size unless larger than the pane or "Auto Zoom" is
    // down: then the first look would show fewer pixels than the file has.
    const bool fitted = pane.width() < full.width() + 8 || pane.height() < full.height() + 8 ||
                        f_->Command(TCommandId::AutoZoom)->isChecked();
    if (!fitted) return 0;
    // The view draws the fitted picture with the screen's own pixels: the
    // first look has to cover the fitted size in device pixels.
    const QSize logical = FitToPaneSize(full, pane);
    const qreal r = PGImage1->devicePixelRatioF();
    const QSize device = r == 1.0 ? logical
                                  : QSize(int(std::ceil(logical.width() * r - 1e-9)),
                                          int(std::ceil(logical.height() * r - 1e-9)));
    return FirstLookReduce(full, device);
}

void TPreview::ShowFullPicture(bool wait) {
    if (!firstLook_) return;
    std::unique_ptr<TPixelGraphic> pg = preloader_->Take(firstLookPath_, LoadSettings(), 0, wait);
    // Still queued behind another decode: it comes with its message.
    if (!pg && !wait && preloader_->Pending(firstLookPath_, 0)) return;
    // The control keeps its place and size: only the pixels get finer.
    const QRect place = PGImage1->geometry();
    if (pg) {
        preloader_->Dispose(
            PGImage1->TakeLoadedPixelGraphic(std::move(pg), NativePath(loadedPath_)));
    } else {
        // The worker could not (its memory budget) or did not: load here.
        try {
            PGImage1->LoadFromFile(NativePath(loadedPath_));
        } catch (...) {
            // The reduced picture came from the same file; it stays shown.
        }
    }
    PGImage1->setGeometry(place);
    firstLook_ = false;
}

void TPreview::EnsureFullPicture() {
    ShowFullPicture(true);
}

void TPreview::FitToPane() {
    LeaveActualSize();
    const QSize s = FitToPaneSize(ContentSize(), f_->RightMain->size());
    if (s.isEmpty()) return; // nothing shown: nothing to fit
    QWidget* c = ControlFor(PreviewType);
    c->setGeometry(4, 4, s.width(), s.height());
}

void TPreview::AutoZoomToggled(bool down) {
    if (down)
        FitToPane();
    else
        ShowSelectedAgain();
}

void TPreview::ZoomIn() {
    FitToPane();
}

void TPreview::ZoomOut() {
    // A picture larger than the pane has been fitted: its own size is
    // larger still, so it is shown at 100 % with scroll bars in the pane.
    const QSize s = ContentSize();
    const QSize pane = f_->RightMain->size();
    if (ShownControl() == PGImage1 &&
        (pane.width() < s.width() + 8 || pane.height() < s.height() + 8)) {
        EnsureFullPicture();
        actualSize_ = true;
        PGImage1->SetStretch(sNeverKAR);
        PGImage1->setGeometry(4, 4, std::max(1, pane.width() - 8), std::max(1, pane.height() - 8));
        return;
    }
    ShowSelectedAgain();
}

void TPreview::ShowSelectedAgain() {
    const QList<int> sel = f_->SLV1->SelectedRows();
    if (!sel.isEmpty())
        f_->ShowNativeInPreview(f_->SLV1->NativePath(sel.first()));
    else if (!loadedPath_.isEmpty())
        // Nothing selected (a file shown from the command line or another
        // window): the file shown comes back at its own size.
        f_->ShowNativeInPreview(loadedPath_);
}

// ---- list selection and navigation

void TPreview::SelectionChanged() {
    TFileListView* list = f_->SLV1;
    if (list->SelCount() != 1) return;
    // The file shown is the one selected item, also when the change that
    // left it alone was another item's deselection. Opened by its bytes:
    // names that display alike are still different files.
    const QByteArray path = list->NativePath(list->SelectedRows().first());
    // (A window that clears LastShownName asks for the file to be shown again.)
    if (path == lastShownNative_ && LastShownName == DisplayPath(path)) return;
    lastShownNative_ = path;
    LastShownName = DisplayPath(path);
    f_->ShowNativeInPreview(path);
}

void TPreview::NextImage() {
    TFileListView* list = f_->SLV1;
    const int count = list->Count();
    if (count == 0) return;
    QItemSelectionModel* sm = list->selectionModel();
    int index = 0;
    const QModelIndex focused = list->currentIndex();
    if (focused.isValid()) {
        sm->select(focused, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        index = focused.row() + 1;
    }
    if (index > count - 1) index = 0;
    const QModelIndex target = list->model()->index(index, 0);
    sm->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    sm->select(target, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->scrollTo(target);
}

void TPreview::PreviousImage() {
    TFileListView* list = f_->SLV1;
    const int count = list->Count();
    if (count == 0) return;
    QItemSelectionModel* sm = list->selectionModel();
    int index = count - 1;
    const QModelIndex focused = list->currentIndex();
    if (focused.isValid()) {
        sm->select(focused, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        index = focused.row() - 1;
    }
    if (index < 0) index = count - 1;
    const QModelIndex target = list->model()->index(index, 0);
    sm->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    sm->select(target, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->scrollTo(target);
}

// ---- slide show

void TPreview::SlideShowToggled(bool down) {
    QAction* btn = f_->Command(TCommandId::SlideShow);
    TFileListView* list = f_->SLV1;
    if (list->Count() == 0) {
        {
            const QSignalBlocker block(btn);
            btn->setChecked(false);
        }
        // An emptied list also ends a running show: a timer left running
        // would start stepping again behind a released button.
        Timer1->stop();
        if (down) ShowMessage("You must select a folder with files to run a slide show", f_);
    } else {
        if (list->SelCount() == 0) {
            const QModelIndex first = list->model()->index(0, 0);
            list->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
            list->selectionModel()->select(first,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            f_->ShowNativeInPreview(list->NativePath(0));
        }
        Timer1->setInterval(f_->Seconds->value() * 1000);
        if (btn->isChecked())
            Timer1->start();
        else
            Timer1->stop();
    }
    // Bookmarks would change the folder under a running show.
    if (QAction* a = f_->Command(TCommandId::BookmarksMenu)) a->setEnabled(!btn->isChecked());
}

void TPreview::StopSlideShow() {
    Timer1->stop();
}

void TPreview::SlideTick() {
    // A message box or dialog is open: the show waits for it rather than
    // changing the picture under it.
    if (QApplication::activeModalWidget()) return;
    NextImage();
}

// ---- preloading

bool TPreview::PreloadPending() const {
    return aheadTimer_->isActive();
}

void TPreview::PreloadNeighbours(const QByteArray& shownNative) {
    if (!preloader_->Enabled()) return;
    QStringList want;
    TFileListView* list = f_->SLV1;
    const int n = list->Count();
    const QString folder = f_->ListedFolder();
    if (n >= 2 && !folder.isEmpty()) {
        const QString shown = QFileInfo(DisplayPath(shownNative)).absoluteFilePath();
        auto pathOf = [&](int row) {
            return QFileInfo(AddBackslash(folder) + list->Caption(row)).absoluteFilePath();
        };
        int row = -1;
        const QModelIndex cur = list->currentIndex();
        if (cur.isValid() && pathOf(cur.row()) == shown) {
            row = cur.row();
        } else if (QFileInfo(shown).absolutePath() == QFileInfo(folder).absoluteFilePath()) {
            const QString name = QFileInfo(shown).fileName();
            for (int r = 0; r < n && row < 0; ++r)
                if (list->Caption(r) == name) row = r;
        }
        if (row >= 0) {
            // Next first: it is the way people step.
            for (int r : {(row + 1) % n, (row + n - 1) % n}) {
                const QString p = pathOf(r);
                // The worker knows files by text: names that are no valid
                // text are left to the plain load.
                if (r != row && IsPreloadType(FileTypeText(list->Caption(r))) &&
                    IsQStringSafe(list->NativePath(r)) && !want.contains(p))
                    want << p;
            }
        }
    }
    // The whole picture of the first look shown comes first; then a first
    // look of each neighbour (a step shows something at once), then their
    // whole pictures.
    std::vector<TPreloadRequest> requests;
    if (firstLook_) requests.push_back({firstLookPath_, 0});
    for (const QString& p : want) {
        QSize full;
        if (const int reduce = FirstLookHint(QFile::encodeName(p), full); reduce > 0)
            requests.push_back({p, reduce});
    }
    for (const QString& p : want)
        requests.push_back({p, 0});
    preloader_->Want(requests, LoadSettings());
}

// ---- keys

bool TPreview::eventFilter(QObject* watched, QEvent* e) {
    if (watched == f_->RightMain && e->type() == QEvent::Resize) {
        // The window or the splitter changed the pane: the picture keeps to
        // the load's rule (fitted only when too large or with "Auto Zoom").
        PlaceShown();
        if (PreviewMessage->isVisible())
            PreviewMessage->resize(std::max(40, f_->RightMain->width() - 16),
                                   std::max(20, f_->RightMain->height() - 16));
        return false;
    }
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != f_) return false; // another window's keys are its own
    // The key reaches the focus widget first and then, unless taken, its
    // parents: act on the first delivery only.
    QWidget* first = QApplication::focusWidget();
    if (!first || first->window() != f_) first = f_;
    if (w != first) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    HandleKey(k->key(), k->modifiers());
    return false; // the focused control still gets the key
}

bool TPreview::HandleKey(int key, Qt::KeyboardModifiers mods) {
    const bool keypad = mods & Qt::KeypadModifier;
    if (keypad && key == Qt::Key_Plus) {
        ZoomIn();
        return true;
    }
    if (keypad && key == Qt::Key_Minus) {
        ZoomOut();
        return true;
    }
    // The commands of the other keys belong to the file operations and the
    // tools; each key runs its command when that command can be used.
    TCommandId command;
    switch (key) {
    case Qt::Key_Delete:
        command = TCommandId::PopupDelete;
        break;
    case Qt::Key_F1:
        command = TCommandId::HelpContents;
        break;
    case Qt::Key_F2:
        command = TCommandId::PopupRename;
        break;
    case Qt::Key_F3:
        command = TCommandId::SearchFiles;
        break;
    case Qt::Key_F8:
        command = TCommandId::EditInTavirlo;
        break;
    default:
        return false;
    }
    f_->UpdatePopupMenu1();
    QAction* a = f_->Command(command);
    if (!a || !a->isEnabled()) return false;
    a->trigger();
    return true;
}
