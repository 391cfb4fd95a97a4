#pragma once
// TfrmColorRez, "Color Resolution": the depth, its palette choice, the colour
// counts of the optimised palettes, dithering and RGB weighting. Made once and
// kept, so it shows the last choice; Options() says what OK stands for.

#include <QDialog>

#include "processing/colorres.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfrmColorRez : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmColorRez(QWidget* parent = nullptr);

    QRadioButton *BC1RB, *BC4RB, *BC8RB, *BC24RB;
    QRadioButton *BC1BlackWhiteRB, *BC1OptimizedRB;
    QRadioButton *BC4Gray4RB, *BC4GraySys4RB, *BC4Gray16RB, *BC4Sys16RB, *BC4OptimizedRB;
    QRadioButton *BC8Gray236RB, *BC8Gray256RB, *BC8Special125RB, *BC8Special216RB, *BC8Special252RB,
        *BC8OptimizedRB;
    QLineEdit *BC4ColorsEdit, *BC8ColorsEdit;
    QCheckBox* BC8OptimizedIncludeSys16CB;
    QCheckBox *DitheringCB, *RGBWeightingCB;
    QPushButton *OKButton, *CancelButton;

    // The conversion the dialog's state asks for.
    TColorRezOptions Options() const;

  private:
    void CountsChanged();
};
