#pragma once
// "ThumbTav Options": the contact sheet's options on four tabs, a window on
// top of the creator. Values live while the program runs; nothing is stored.

#include <QWidget>

#include "thumbs/sheet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

class TfrmThumbTavOptions : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmThumbTavOptions(QWidget* parent = nullptr);

    // The options as the controls hold them; `ok` is false when the Size
    // edit is out of range (its message has then been shown).
    TSheetOptions Options(bool* ok = nullptr);

    // Leaving the Size edit with a bad value: message, "96", focus back.
    bool CheckSize();

    QTabWidget* PageControl1;
    QLineEdit* edSize;
    QSpinBox *udCols, *udHSpc, *udVSpc;
    QCheckBox* cbFilenames;
    QPushButton *btnBackColor, *btnTextColor;
    QCheckBox* cbSharpen;
    QSlider* tbSharpen;
    QCheckBox* cbUseImage;
    QLineEdit* edImage;
    QPushButton* btnImage;
    QCheckBox *cbBorder, *cbShadow, *cbBevel;
    QPushButton* btnBorderColor;
    QCheckBox* cbTitle;
    QLineEdit* edTitle;
    QComboBox* cbTitleFace;
    QSpinBox* udTitleSize;
    QPushButton* btnTitleColor;
    QCheckBox* cbFooter;
    QLineEdit* edFooter;
    QComboBox* cbFooterFace;
    QSpinBox* udFooterSize;
    QPushButton* btnFooterColor;

    TRGB BackColor = RGB(255, 255, 255);
    TRGB TextColor = RGB(0, 0, 0);
    TRGB BorderColor = RGB(255, 0, 0);
    TRGB TitleColor = RGB(255, 0, 0);
    TRGB FooterColor = RGB(128, 0, 0);

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void PickColor(QPushButton* b, TRGB& c);
    void ChooseBackground();
    void ShowColors();
};
