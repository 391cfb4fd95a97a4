#include "editor/qt/redeyeform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "platform/dialogbuttons.h"
#include "view/pgimage.h"

TfrmRedEyeReduction::TfrmRedEyeReduction(QWidget* parent) : QDialog(parent) {
    setObjectName("frmRedEyeReduction");
    setWindowTitle("Red Eye Reduction");
    // Centred above its window, without the title bar's buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* box = new QVBoxLayout(this);
    box->addWidget(new QLabel("Red Eye Reduction Amount", this));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Min", this));
    tbReductionAmount = new QSlider(Qt::Horizontal, this);
    tbReductionAmount->setObjectName("tbReductionAmount");
    tbReductionAmount->setRange(kRedEyeMinAmount, kRedEyeMaxAmount);
    tbReductionAmount->setTickInterval(5);
    tbReductionAmount->setTickPosition(QSlider::TicksBelow);
    tbReductionAmount->setValue(0);
    row->addWidget(tbReductionAmount, 1);
    row->addWidget(new QLabel("Max", this));
    box->addLayout(row);
    PGRedEye = new TPGImage(this);
    PGRedEye->setObjectName("PGRedEye");
    PGRedEye->SetCenter(true);
    PGRedEye->SetStretch(sAlwaysKAR);
    PGRedEye->SetReadWarningAction(pgwaIgnore);
    PGRedEye->setMinimumSize(240, 180);
    box->addWidget(PGRedEye, 1);
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
    connect(tbReductionAmount, &QSlider::valueChanged, this, [this](int v) {
        limits_ = RedEyeLimitsFor(v);
        RebuildPreview();
    });
}

TfrmRedEyeReduction::~TfrmRedEyeReduction() = default;

void TfrmRedEyeReduction::SetRegion(std::unique_ptr<TPixelGraphic> region) {
    region_ = std::move(region);
    RebuildPreview();
}

void TfrmRedEyeReduction::RebuildPreview() {
    if (!region_) return;
    // Always from the untouched area: changes never add up.
    std::unique_ptr<TPixelGraphic> preview = PGSnapshot(*region_);
    ReduceRedEye(*preview, limits_);
    PGRedEye->TakePixelGraphic(std::move(preview));
}
