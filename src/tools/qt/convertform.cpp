#include "tools/qt/convertform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QShowEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSlider>
#include <QStatusBar>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <cmath>
#include <unistd.h>

#include "browser/browsercontext.h"
#include "browser/filelist.h"
#include "browser/form1.h"
#include "browser/fileops_ui.h"
#include "core/pixelgraphic.h"
#include "editor/qt/giftrans.h"
#include "formats/jpeg.h"
#include "meta/qt/fileprop.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "view/pgimage.h"

namespace {

// "path 12K": the panel's text for a file.
QString FileText(const QString& path) {
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists()) return QString();
    return path + " " + QString::number(fi.size() / 1024 + 1) + "K";
}

} // namespace

TfrmConvert::TfrmConvert(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmConvert");
    setWindowTitle("TavConverter- Original Size Mode");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(458, 335);

    QToolBar* tb = addToolBar("ToolBar1");
    tb->setObjectName("ToolBar1");
    ConvertNow = tb->addAction("Convert Now!");
    ConvertNow->setObjectName("ConvertNow");
    connect(ConvertNow, &QAction::triggered, this, [this] { Convert(); });
    FormatList = new QComboBox(tb);
    FormatList->setObjectName("FormatList");
    FormatList->addItems(ConvertFormatNames());
    tb->addWidget(FormatList);
    auto* options = new QMenu(this);
    MaintainOriginalSize = options->addAction("Maintain Original Size");
    MaintainOriginalSize->setObjectName("MaintainOriginalSize");
    MaintainOriginalSize->setToolTip("Maintain original height and width");
    AutoSharpen = options->addAction("Auto Sharpen when Resizing");
    AutoSharpen->setObjectName("AutoSharpen");
    SizeToFit = options->addAction("Size To Fit");
    SizeToFit->setObjectName("SizeToFit");
    for (QAction* a : {MaintainOriginalSize, AutoSharpen, SizeToFit}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    options->setToolTipsVisible(true);
    auto* drop = new QToolButton(tb);
    drop->setText("Options");
    drop->setMenu(options);
    drop->setPopupMode(QToolButton::InstantPopup);
    tb->addWidget(drop);

    // The format's own options go on a second row, so that the first keeps
    // the format list in sight at the window's first width.
    addToolBarBreak();
    SizeBar = addToolBar("SizeBar");
    SizeBar->setObjectName("SizeBar");
    SizeBar->addWidget(new QLabel("Size ", SizeBar));
    NewWidth = new QSpinBox(SizeBar);
    NewWidth->setObjectName("NewWidth");
    NewHeight = new QSpinBox(SizeBar);
    NewHeight->setObjectName("NewHeight");
    for (QSpinBox* b : {NewWidth, NewHeight}) {
        b->setRange(1, 65535);
        b->setKeyboardTracking(false);
    }
    NewWidth->setToolTip("Width of the converted picture (the height keeps the proportions)");
    NewHeight->setToolTip("Height of the converted picture (the width keeps the proportions)");
    SizeBar->addWidget(NewWidth);
    SizeBar->addWidget(new QLabel(" x ", SizeBar));
    SizeBar->addWidget(NewHeight);
    connect(NewWidth, &QSpinBox::valueChanged, this, [this] { SizeTyped(true); });
    connect(NewHeight, &QSpinBox::valueChanged, this, [this] { SizeTyped(false); });

    JPEGBar = addToolBar("JPEGBar");
    JPEGBar->setObjectName("JPEGBar");
    JPEGBar->addWidget(new QLabel("Size ", JPEGBar));
    QualityBar = new QSlider(Qt::Horizontal, JPEGBar);
    QualityBar->setObjectName("QualityBar");
    QualityBar->setRange(10, 100);
    QualityBar->setValue(100);
    QualityBar->setToolTip("JPG Compression Quality (left more compression, right more quality)");
    JPEGBar->addWidget(QualityBar);
    JPEGBar->addWidget(new QLabel(" Quality ", JPEGBar));
    QualityValue = new QLabel("100", JPEGBar);
    QualityValue->setObjectName("QualityValue");
    JPEGBar->addWidget(QualityValue);
    connect(QualityBar, &QSlider::valueChanged, this,
            [this](int v) { QualityValue->setText(QString::number(v)); });

    GIFBar = addToolBar("GIFBar");
    GIFBar->setObjectName("GIFBar");
    Interlaced = new QCheckBox("Interlaced", GIFBar);
    Interlaced->setObjectName("Interlaced");
    Transparent = new QCheckBox("Transparent", GIFBar);
    Transparent->setObjectName("Transparent");
    GIFBar->addWidget(Interlaced);
    GIFBar->addWidget(Transparent);

    views_ = new QWidget(this);
    setCentralWidget(views_);
    PGImage1 = new TPGImage(views_);
    PGImage1->setObjectName("PGImage1");
    PGImage2 = new TPGImage(views_);
    PGImage2->setObjectName("PGImage2");
    for (TPGImage* v : {PGImage1, PGImage2}) {
        v->SetStretch(sAlwaysKAR);
        v->SetCenter(true);
        v->SetReadWarningAction(pgwaIgnore);
        v->installEventFilter(this);
        if (v->viewport()) v->viewport()->installEventFilter(this);
    }
    PGImage1->setAcceptDrops(true);
    if (PGImage1->viewport()) PGImage1->viewport()->setAcceptDrops(true);

    Panel0 = new QLabel(this);
    Panel0->setObjectName("Panel0");
    Panel0->setTextFormat(Qt::PlainText);
    Panel1 = new QLabel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(Panel0, 1);
    statusBar()->addWidget(Panel1, 1);

    connect(FormatList, &QComboBox::currentIndexChanged, this, [this] { FormatChanged(); });
    connect(MaintainOriginalSize, &QAction::toggled, this, &TfrmConvert::MaintainToggled);
    connect(SizeToFit, &QAction::toggled, this, [this](bool on) {
        PGImage1->SetStretch(on ? sAlwaysKAR : sNeverKAR);
        PGImage2->SetStretch(on ? sAlwaysKAR : sNeverKAR);
    });
    FormatChanged();
    SizeBar->setVisible(!MaintainOriginalSize->isChecked());
}

void TfrmConvert::FormatChanged() {
    JPEGBar->setVisible(FormatList->currentIndex() == 1);
    GIFBar->setVisible(FormatList->currentIndex() == 5);
}

void TfrmConvert::MaintainToggled(bool on) {
    setWindowTitle(on ? "TavConverter - Original Size Mode" : "TavConverter - ReSize Mode");
    // Resizing converts what is shown: the picture must be fitted to be seen.
    if (!on) SizeToFit->setChecked(true);
    SizeBar->setVisible(!on);
    ShowResizeSize();
}

QSize TfrmConvert::ResizeTo() const {
    if (sizeTyped_) return {NewWidth->value(), NewHeight->value()};
    return DisplaySize();
}

void TfrmConvert::ShowResizeSize() {
    const QSize s = ResizeTo();
    if (s.isEmpty()) return;
    syncing_ = true;
    NewWidth->setValue(s.width());
    NewHeight->setValue(s.height());
    syncing_ = false;
}

void TfrmConvert::SizeTyped(bool width) {
    if (syncing_) return;
    sizeTyped_ = true;
    const TPixelGraphic* pg = PGImage1->CurrentPixelGraphic();
    if (!pg || pg->GetWidth() <= 0 || pg->GetHeight() <= 0) return;
    // The other side follows, keeping the proportions.
    syncing_ = true;
    if (width)
        NewHeight->setValue(std::max(
            1, int(std::lround(double(NewWidth->value()) * pg->GetHeight() / pg->GetWidth()))));
    else
        NewWidth->setValue(std::max(
            1, int(std::lround(double(NewHeight->value()) * pg->GetWidth() / pg->GetHeight()))));
    syncing_ = false;
}

void TfrmConvert::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) PlaceOnScreen(this);
}

void TfrmConvert::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Layout();
    ShowResizeSize();
}

void TfrmConvert::Layout() {
    // Two views side by side, each half the width.
    const int h = views_->width() / 2;
    PGImage1->setGeometry(0, 0, std::max(1, h - 6), views_->height());
    PGImage2->setGeometry(h, 0, std::max(1, views_->width() - h), views_->height());
}

void TfrmConvert::TakeHandOver(const QString&, const QStringList& files) {
    // Of several selected files the first is the source.
    if (!files.isEmpty()) SetSource(files.front());
}

bool TfrmConvert::SetSource(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.isFile()) return false;
    try {
        TWaitCursor wait;
        auto pg = std::make_unique<TPixelGraphic>();
        pg->SetReadWarningAction(pgwaIgnore);
        pg->LoadFromFile(QFile::encodeName(path).toStdString());
        PGImage1->TakePixelGraphic(std::move(pg));
    } catch (const std::exception&) {
        ShowMessage("Can't convert " + path, this);
        return false;
    }
    source_ = fi.absoluteFilePath();
    target_.clear();
    PGImage2->TakePixelGraphic(std::unique_ptr<TPixelGraphic>());
    ShowSizes();
    sizeTyped_ = false;
    ShowResizeSize();
    return true;
}

void TfrmConvert::ShowSizes() {
    Panel0->setText(FileText(source_));
    Panel1->setText(FileText(target_));
}

QSize TfrmConvert::DisplaySize() const {
    const TPixelGraphic* pg = PGImage1->CurrentPixelGraphic();
    if (!pg || pg->GetWidth() <= 0 || pg->GetHeight() <= 0) return {};
    const QSize box = PGImage1->viewport() ? PGImage1->viewport()->size() : PGImage1->size();
    if (!SizeToFit->isChecked() || box.isEmpty()) return {pg->GetWidth(), pg->GetHeight()};
    const double s =
        std::min(double(box.width()) / pg->GetWidth(), double(box.height()) / pg->GetHeight());
    return {std::max(1, int(std::nearbyint(pg->GetWidth() * s))),
            std::max(1, int(std::nearbyint(pg->GetHeight() * s)))};
}

void TfrmConvert::Convert() {
    TPixelGraphic* picture = PGImage1->CurrentPixelGraphic();
    if (source_.isEmpty() || !picture || picture->GetWidth() == 0) return;
    TConvertOptions o;
    o.ext = ConvertExtension(FormatList->currentIndex());
    o.originalSize = MaintainOriginalSize->isChecked();
    o.sharpen = AutoSharpen->isChecked();
    const QSize size = ResizeTo();
    o.width = size.width();
    o.height = size.height();
    o.gifInterlaced = Interlaced->isChecked();
    // The source is never offered for overwriting; a taken name is asked
    // about, and "No" tries the name with a "!" before it.
    QString target = ConvertTargetAvoidingSource(source_, o.ext);
    while (QFileInfo::exists(target)) {
        const auto answer = Prompts().MessageBox(
            this, target + " exists. Overwrite?", "Confirm",
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question);
        if (answer == QMessageBox::Yes) break;
        if (answer != QMessageBox::No) return;
        target = ConvertRetryName(target);
    }
    if (o.ext == "jpg") JPEGQuality = QualityBar->value(); // kept for the program
    if (o.ext == "gif" && Transparent->isChecked()) {
        TfrmGIFTrans trans(this);
        trans.PGImage1->TakePixelGraphic(ConvertGIFPicture(*ConvertedPicture(*picture, o)));
        ExecDialog(&trans);
        o.gifTransparent = true;
        o.gifTransparentColor = trans.LastColor();
    }
    try {
        TWaitCursor wait;
        ConvertToFile(*picture, o, target);
        auto out = std::make_unique<TPixelGraphic>();
        out->SetReadWarningAction(pgwaIgnore);
        out->LoadFromFile(QFile::encodeName(target).toStdString());
        PGImage2->TakePixelGraphic(std::move(out));
        target_ = target;
    } catch (const std::exception&) {
        target_.clear();
        PGImage2->TakePixelGraphic(std::unique_ptr<TPixelGraphic>());
        ShowSizes();
        ShowMessage("Can't convert " + source_, this);
        return;
    }
    ShowSizes();
    FolderContentsChanged(QFileInfo(target).absolutePath());
}

void TfrmConvert::DeleteConverted() {
    if (target_.isEmpty()) return;
    const TDeletionSettings deletion = BrowserDeletion();
    const QString target = target_;
    const QFileInfo fi(target);
    TDeleteFilesStep step;
    step.parent = this;
    step.folder = fi.absolutePath();
    step.names = {fi.fileName()};
    step.confirm = deletion.Confirm;
    step.permanent = deletion.Permanent;
    const auto deleted = DeleteFilesStep(step);
    if (!deleted || deleted->isEmpty()) return;
    // Events ran during the step: a new conversion keeps its own result.
    if (target_ == target) {
        target_.clear();
        PGImage2->TakePixelGraphic(std::unique_ptr<TPixelGraphic>());
        ShowSizes();
    }
    FolderContentsChanged(step.folder);
}

bool TfrmConvert::eventFilter(QObject* watched, QEvent* e) {
    const bool left = watched == PGImage1 || watched == PGImage1->viewport();
    const bool right = watched == PGImage2 || watched == PGImage2->viewport();
    if (left && (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove)) {
        static_cast<QDropEvent*>(e)->acceptProposedAction();
        return true;
    }
    if (left && e->type() == QEvent::Drop) {
        // Exactly one name, from the folder the drag came from.
        const auto files = DecodeDroppedFiles(static_cast<QDropEvent*>(e)->mimeData());
        if (files.size() == 1) SetSource(files.front().Path());
        return true;
    }
    if ((left || right) && e->type() == QEvent::ContextMenu) {
        QMenu menu(this);
        const QString file = left ? source_ : target_;
        QAction* props = menu.addAction("Image Properties");
        props->setEnabled(!file.isEmpty());
        QAction* extra = nullptr;
        if (left) {
            const QSize s = DisplaySize();
            extra = menu.addAction("Current Display Size = " + QString::number(s.width()) + "X" +
                                   QString::number(s.height()));
            extra->setEnabled(false);
        } else {
            extra = menu.addAction("Delete Converted File");
            extra->setEnabled(!target_.isEmpty());
        }
        QAction* chosen = menu.exec(static_cast<QContextMenuEvent*>(e)->globalPos());
        if (chosen == props) ShowImageProperties(this, file);
        if (right && chosen == extra) DeleteConverted();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}
