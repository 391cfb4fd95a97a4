#include "editor/qt/colorrezform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/dialogbuttons.h"

namespace {

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption) {
    auto* r = new QRadioButton(caption, parent);
    r->setObjectName(name);
    return r;
}

} // namespace

TfrmColorRez::TfrmColorRez(QWidget* parent) : QDialog(parent) {
    setObjectName("frmColorRez");
    setWindowTitle("Color Resolution");
    auto* box = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    box->addLayout(grid);

    // The four depths: one choice among them.
    auto* depths = new QButtonGroup(this);
    BC1RB = Radio(this, "BC1RB", "1 bit per pixel (max. 2 colors)");
    BC4RB = Radio(this, "BC4RB", "4 bits per pixel (max 16 colors)");
    BC8RB = Radio(this, "BC8RB", "8 bits per pixel (max 256 colors)");
    BC24RB = Radio(this, "BC24RB", "24 bits per pixel (true-color)");
    BC24RB->setChecked(true);

    // Each depth keeps its own palette choice.
    auto group = [this](QRadioButton* depth, std::initializer_list<QRadioButton*> choices,
                        QWidget* frame) {
        auto* g = new QButtonGroup(frame);
        for (QRadioButton* c : choices) {
            g->addButton(c);
            connect(c, &QRadioButton::clicked, depth, [depth] { depth->setChecked(true); });
        }
    };
    auto* f1 = new QGroupBox(this);
    auto* l1 = new QVBoxLayout(f1);
    // "&&" shows one ampersand.
    BC1BlackWhiteRB = Radio(f1, "BC1BlackWhiteRB", "Black&&White");
    BC1OptimizedRB = Radio(f1, "BC1OptimizedRB", "Optimized");
    BC1BlackWhiteRB->setChecked(true);
    l1->addWidget(BC1BlackWhiteRB);
    l1->addWidget(BC1OptimizedRB);
    group(BC1RB, {BC1BlackWhiteRB, BC1OptimizedRB}, f1);

    auto* f4 = new QGroupBox(this);
    auto* l4 = new QVBoxLayout(f4);
    BC4Gray4RB = Radio(f4, "BC4Gray4RB", "Grayscale 4");
    BC4GraySys4RB = Radio(f4, "BC4GraySys4RB", "Grayscale 4 (system)");
    BC4Gray16RB = Radio(f4, "BC4Gray16RB", "Grayscale 16");
    BC4Sys16RB = Radio(f4, "BC4Sys16RB", "System 16");
    BC4OptimizedRB = Radio(f4, "BC4OptimizedRB", "Optimized");
    BC4Sys16RB->setChecked(true);
    for (QRadioButton* r : {BC4Gray4RB, BC4GraySys4RB, BC4Gray16RB, BC4Sys16RB, BC4OptimizedRB})
        l4->addWidget(r);
    l4->addWidget(new QLabel("Colors (2...16)", f4));
    BC4ColorsEdit = new QLineEdit("16", f4);
    BC4ColorsEdit->setObjectName("BC4ColorsEdit");
    l4->addWidget(BC4ColorsEdit);
    group(BC4RB, {BC4Gray4RB, BC4GraySys4RB, BC4Gray16RB, BC4Sys16RB, BC4OptimizedRB}, f4);

    auto* f8 = new QGroupBox(this);
    auto* l8 = new QVBoxLayout(f8);
    BC8Gray236RB = Radio(f8, "BC8Gray236RB", "Grayscale 236");
    BC8Gray256RB = Radio(f8, "BC8Gray256RB", "Grayscale 256");
    BC8Special125RB = Radio(f8, "BC8Special125RB", "Special 125");
    BC8Special216RB = Radio(f8, "BC8Special216RB", "Special 216");
    BC8Special252RB = Radio(f8, "BC8Special252RB", "Special 252");
    BC8OptimizedRB = Radio(f8, "BC8OptimizedRB", "Optimized");
    BC8OptimizedRB->setChecked(true);
    for (QRadioButton* r : {BC8Gray236RB, BC8Gray256RB, BC8Special125RB, BC8Special216RB,
                            BC8Special252RB, BC8OptimizedRB})
        l8->addWidget(r);
    l8->addWidget(new QLabel("Colors (2...256)", f8));
    BC8ColorsEdit = new QLineEdit("252", f8);
    BC8ColorsEdit->setObjectName("BC8ColorsEdit");
    l8->addWidget(BC8ColorsEdit);
    BC8OptimizedIncludeSys16CB = new QCheckBox("Include 16 system colors", f8);
    BC8OptimizedIncludeSys16CB->setObjectName("BC8OptimizedIncludeSys16CB");
    BC8OptimizedIncludeSys16CB->setChecked(true);
    l8->addWidget(BC8OptimizedIncludeSys16CB);
    group(BC8RB,
          {BC8Gray236RB, BC8Gray256RB, BC8Special125RB, BC8Special216RB, BC8Special252RB,
           BC8OptimizedRB},
          f8);

    int row = 0;
    for (auto [depth, frame] : {std::pair<QRadioButton*, QWidget*>{BC1RB, f1},
                                {BC4RB, f4},
                                {BC8RB, f8},
                                {BC24RB, nullptr}}) {
        depths->addButton(depth);
        grid->addWidget(depth, row, 0, Qt::AlignTop);
        if (frame) grid->addWidget(frame, row, 1);
        ++row;
    }

    DitheringCB = new QCheckBox("Dithering", this);
    DitheringCB->setObjectName("DitheringCB");
    DitheringCB->setChecked(true);
    RGBWeightingCB = new QCheckBox("RGB weighting", this);
    RGBWeightingCB->setObjectName("RGBWeightingCB");
    RGBWeightingCB->setChecked(true);
    box->addWidget(DitheringCB);
    box->addWidget(RGBWeightingCB);
    box->addLayout(OkCancelRow(this, OKButton, CancelButton, "OKButton", "CancelButton"));

    // Typing a count means its depth's optimised palette; the system colours
    // belong to the 8-bit one.
    connect(BC4ColorsEdit, &QLineEdit::textEdited, this, [this] {
        BC4OptimizedRB->setChecked(true);
        BC4RB->setChecked(true);
        CountsChanged();
    });
    connect(BC8ColorsEdit, &QLineEdit::textEdited, this, [this] {
        BC8OptimizedRB->setChecked(true);
        BC8RB->setChecked(true);
        CountsChanged();
    });
    connect(BC4ColorsEdit, &QLineEdit::textChanged, this, [this] { CountsChanged(); });
    connect(BC8ColorsEdit, &QLineEdit::textChanged, this, [this] { CountsChanged(); });
    connect(BC8OptimizedIncludeSys16CB, &QCheckBox::clicked, this, [this] {
        BC8OptimizedRB->setChecked(true);
        BC8RB->setChecked(true);
    });
}

void TfrmColorRez::CountsChanged() {
    OKButton->setEnabled(ColorRezCountsValid(BC4ColorsEdit->text().toStdString(),
                                             BC8ColorsEdit->text().toStdString()));
}

TColorRezOptions TfrmColorRez::Options() const {
    TColorRezOptions o;
    o.dither = DitheringCB->isChecked();
    o.rgbWeighting = RGBWeightingCB->isChecked();
    if (BC1RB->isChecked()) {
        o.choice = BC1OptimizedRB->isChecked() ? crzOptimized2 : crzBlackWhite;
        o.colors = 2;
    } else if (BC4RB->isChecked()) {
        o.choice = BC4Gray4RB->isChecked()       ? crzGray4
                   : BC4GraySys4RB->isChecked()  ? crzSysGray4
                   : BC4Gray16RB->isChecked()    ? crzGray16
                   : BC4OptimizedRB->isChecked() ? crzOptimized16
                                                 : crzSys16;
        ParseColorCount(BC4ColorsEdit->text().toStdString(), 2, 16, o.colors);
    } else if (BC8RB->isChecked()) {
        o.choice = BC8Gray236RB->isChecked()      ? crzGray236
                   : BC8Gray256RB->isChecked()    ? crzGray256
                   : BC8Special125RB->isChecked() ? crzSpecial125
                   : BC8Special216RB->isChecked() ? crzSpecial216
                   : BC8Special252RB->isChecked() ? crzSpecial252
                                                  : crzOptimized256;
        ParseColorCount(BC8ColorsEdit->text().toStdString(), 2, 256, o.colors);
        o.systemColors = BC8OptimizedIncludeSys16CB->isChecked();
    } else {
        o.choice = crzTrueColor;
    }
    return o;
}
