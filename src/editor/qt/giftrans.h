#pragma once
// TfrmGIFTrans, "GIF Transparency Selector": the converter puts a copy of an
// 8-bit picture into PGImage1 and runs the window modally; moving the mouse
// over the picture shows the colour under it, a click closes the window, and
// LastColor() is the colour last seen (black until the mouse moved over the
// picture).

#include <QDialog>

#include "core/types.h"

class QLabel;
class TPGImage;

class TfrmGIFTrans : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmGIFTrans(QWidget* parent = nullptr);

    TPGImage* PGImage1 = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* SBR = nullptr;
    QLabel* SBG = nullptr;
    QLabel* SBB = nullptr;

    TRGB LastColor() const { return lastColor_; }
    // What a mouse move over the paint box at (x, y) does.
    void PointerMoved(int x, int y);

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    TRGB lastColor_ = 0;
};
