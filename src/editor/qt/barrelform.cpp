#include "editor/qt/barrelform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstring>

#include "browser/filelist.h"
#include "browser/help.h"
#include "browser/helptopics.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "editor/editorrules.h"
#include "platform/dialogbuttons.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"
#include "processing/radial.h"
#include "view/pgimage.h"

namespace {

bool SamePicture(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.PixelFormat() != b.PixelFormat())
        return false;
    const int64_t n = a.ImageSize();
    return n == b.ImageSize() && (n == 0 || std::memcmp(a.Bits(), b.Bits(), size_t(n)) == 0);
}

// The busy cursor while the adjustment runs.
struct TKept {
    const char* setting;
    const char* def;
};
constexpr TKept kKept[4] = {
    {"RAOuter", "-0.02"}, {"RAMiddle", "0"}, {"RAInner", "0"}, {"RAScaling", "1"}};

} // namespace

TfrmBarrel::TfrmBarrel(QWidget* parent) : QDialog(parent) {
    setObjectName("frmBarrel");
    setWindowTitle("Radial Adjustment (Barrel Distortion)");
    auto* box = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* form = new QFormLayout;
    QLineEdit** edits[4] = {&eA, &eB, &eC, &eD};
    const char* names[4] = {"eA", "eB", "eC", "eD"};
    const char* captions[4] = {"Outer", "Middle", "Inner", "Scaling"};
    for (int i = 0; i < 4; ++i) {
        *edits[i] = new QLineEdit(ReadSetting(kKept[i].setting, kKept[i].def), this);
        (*edits[i])->setObjectName(names[i]);
        form->addRow(captions[i], *edits[i]);
    }
    top->addLayout(form);
    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel("View", this));
    cbView = new QComboBox(this);
    cbView->setObjectName("cbView");
    cbView->addItems({"Original Size", "Shrink to fit"});
    cbView->setCurrentIndex(1);
    side->addWidget(cbView);
    ApplyBtn = new QPushButton("Apply", this);
    ApplyBtn->setObjectName("ApplyBtn");
    side->addWidget(ApplyBtn);
    side->addStretch();
    top->addLayout(side);
    box->addLayout(top);

    auto* views = new QGridLayout;
    views->addWidget(new QLabel("Original", this), 0, 0);
    views->addWidget(new QLabel("Adjusted", this), 0, 1);
    PGImage1 = new TPGImage(this);
    PGImage1->setObjectName("PGImage1");
    PGImage2 = new TPGImage(this);
    PGImage2->setObjectName("PGImage2");
    for (TPGImage* v : {PGImage1, PGImage2}) {
        v->SetStretch(sAlwaysKAR);
        v->SetCenter(true);
        v->setMinimumSize(200, 160);
    }
    views->addWidget(PGImage1, 1, 0);
    views->addWidget(PGImage2, 1, 1);
    box->addLayout(views, 1);
    PGImage1->setAcceptDrops(true);
    PGImage1->installEventFilter(this);
    if (PGImage1->viewport()) {
        PGImage1->viewport()->setAcceptDrops(true);
        PGImage1->viewport()->installEventFilter(this);
    }

    auto* status = new QHBoxLayout;
    StatusText = new QLabel(this);
    StatusText->setObjectName("StatusText");
    StatusText->setTextFormat(Qt::PlainText);
    Gauge = new QProgressBar(this);
    Gauge->setObjectName("Gauge");
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    status->addWidget(StatusText, 1);
    status->addWidget(Gauge);
    box->addLayout(status);

    QHBoxLayout* buttons = OkCancelRow(this, OKBtn, CancelBtn);
    HelpBtn = new QPushButton("Help", this);
    HelpBtn->setObjectName("HelpBtn");
    buttons->addWidget(HelpBtn);
    box->addLayout(buttons);
    connect(HelpBtn, &QPushButton::clicked, this, [] { ShowHelpContext(hcRadialAdjustment); });
    connect(ApplyBtn, &QPushButton::clicked, this, [this] { Apply(); });
    connect(cbView, &QComboBox::currentIndexChanged, this, [this](int i) {
        for (TPGImage* v : {PGImage1, PGImage2})
            v->SetStretch(i == 0 ? sNeverKAR : sAlwaysKAR);
    });
}

TfrmBarrel::~TfrmBarrel() {
    const QLineEdit* edits[4] = {eA, eB, eC, eD};
    for (int i = 0; i < 4; ++i)
        WriteSetting(kKept[i].setting, edits[i]->text());
}

void TfrmBarrel::SetOriginal(std::unique_ptr<TPixelGraphic> picture) {
    const TPixelGraphic* old = PGImage1->CurrentPixelGraphic();
    const bool same = old && picture && SamePicture(*old, *picture);
    PGImage1->TakePixelGraphic(std::move(picture));
    // An adjustment of another picture must never reach this one.
    if (!same) ClearAdjusted();
}

void TfrmBarrel::OriginalChanged() {
    ClearAdjusted();
}

const TPixelGraphic* TfrmBarrel::Adjusted() const {
    const TPixelGraphic* p = PGImage2->CurrentPixelGraphic();
    return p && p->GetWidth() > 0 && p->GetHeight() > 0 ? p : nullptr;
}

void TfrmBarrel::ClearAdjusted() {
    auto empty = std::make_unique<TPixelGraphic>();
    PGImage2->TakePixelGraphic(std::move(empty));
}

void TfrmBarrel::Apply() {
    TRadialCoefficients k;
    if (!ParseRadialCoefficients(eA->text().toStdString(), eB->text().toStdString(),
                                 eC->text().toStdString(), eD->text().toStdString(), k)) {
        ShowMessage(kRadialInvalidValues, this);
        return;
    }
    const TPixelGraphic* original = PGImage1->CurrentPixelGraphic();
    if (!original || original->GetWidth() == 0 || original->GetHeight() == 0) return;
    TWaitCursor busy;
    StatusText->setText("Adjusting...");
    StatusText->repaint();
    try {
        // The gauge is repainted, never the event loop run: nothing else can
        // start while the picture is made.
        std::unique_ptr<TPixelGraphic> out = RadialAdjust(*original, k, [this](int percent) {
            if (Gauge->value() != percent) {
                Gauge->setValue(percent);
                Gauge->repaint();
            }
            return false;
        });
        if (out) PGImage2->TakePixelGraphic(std::move(out));
        StatusText->clear();
    } catch (const std::exception& e) {
        StatusText->clear();
        ShowMessage(QString::fromLocal8Bit(e.what()), this);
    }
    Gauge->setValue(0);
}

bool TfrmBarrel::eventFilter(QObject* watched, QEvent* e) {
    const bool original = watched == PGImage1 || watched == PGImage1->viewport();
    if (original && (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove)) {
        static_cast<QDropEvent*>(e)->acceptProposedAction();
        return true;
    }
    if (original && e->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(e);
        const auto files = DecodeDroppedFiles(drop->mimeData());
        if (files.empty()) return true;
        const QString path = files.front().Path();
        drop->acceptProposedAction();
        if (!IsEditableDropName(path)) {
            ShowMessage("Can't edit " + path, this);
            return true;
        }
        try {
            auto pg = std::make_unique<TPixelGraphic>();
            pg->SetReadWarningAction(pgwaIgnore);
            pg->LoadFromFile(QFile::encodeName(path).toStdString());
            PGImage1->TakePixelGraphic(std::move(pg));
            OriginalChanged();
        } catch (const std::exception&) {
            ShowMessage("Can't edit " + path, this);
        }
        return true;
    }
    return QDialog::eventFilter(watched, e);
}
