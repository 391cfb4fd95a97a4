#include "editor/qt/giftrans.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "core/pixelgraphic.h"
#include "view/pgimage.h"

TfrmGIFTrans::TfrmGIFTrans(QWidget* parent)
    : QDialog(parent, Qt::Dialog) {
    setObjectName("TfrmGIFTrans");
    setWindowTitle("GIF Transparency Selector");
    resize(420, 360);
    auto* l = new QVBoxLayout(this);
    Panel1 = new QLabel("Click on the color you want to be transparent...", this);
    Panel1->setObjectName("Panel1");
    l->addWidget(Panel1);
    PGImage1 = new TPGImage(this);
    PGImage1->setObjectName("PGImage1");
    PGImage1->SetDither(false);
    PGImage1->SetStretch(sAlwaysKAR);
    PGImage1->SetCenter(true);
    l->addWidget(PGImage1, 1);
    auto* sb = new QHBoxLayout;
    for (QLabel** p : {&SBR, &SBG, &SBB}) {
        *p = new QLabel(this);
        (*p)->setFixedWidth(50);
        (*p)->setTextFormat(Qt::PlainText);
        sb->addWidget(*p);
    }
    SBR->setObjectName("SBR");
    SBG->setObjectName("SBG");
    SBB->setObjectName("SBB");
    sb->addStretch();
    l->addLayout(sb);
    PGImage1->PicBoxOnMouseMove() = [this](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int x,
                                           int y) { PointerMoved(x, y); };
    PGImage1->PicBoxOnClick() = [this](TObject*) { accept(); };
}

void TfrmGIFTrans::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) lastColor_ = 0;
}

void TfrmGIFTrans::PointerMoved(int x, int y) {
    const TPixelGraphic* pg = PGImage1->CurrentPixelGraphic();
    if (!pg || pg->GetWidth() <= 0 || pg->GetHeight() <= 0) return;
    // The edge of the paint box may map one past the last pixel.
    const int px = std::clamp(PGImage1->BoxToImageX(x), 0, pg->GetWidth() - 1);
    const int py = std::clamp(PGImage1->BoxToImageY(y), 0, pg->GetHeight() - 1);
    lastColor_ = PGImage1->PixelGraphic()->GetPixelColor(px, py);
    // COLORREF: red in the low byte.
    SBR->setText(QString("R=%1").arg(lastColor_ & 0xFF));
    SBG->setText(QString("G=%1").arg((lastColor_ >> 8) & 0xFF));
    SBB->setText(QString("B=%1").arg((lastColor_ >> 16) & 0xFF));
}
