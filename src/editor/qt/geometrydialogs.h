#pragma once
// The editor's geometry dialogs: "Rotate Degrees" (TfRotate), "Border
// Options" (TfrmBorder) and "Resize" (TfrmResize). Each is made once and kept,
// so its fields show the values of the last use; the editor fills what it
// must, runs the dialog through ExecDialog and reads the values on OK.

#include <QColor>
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// A whole number typed into one of the dialogs' fields, or the conversion
// message the editor shows ("'abc' is not a valid integer value").
bool DialogInteger(const QString& text, int64_t& value, QString& error);

class TfRotate : public QDialog {
    Q_OBJECT
  public:
    explicit TfRotate(QWidget* parent = nullptr);
    QLineEdit* eAngle = nullptr;
    QRadioButton* rbClockwise = nullptr;
    QRadioButton* rbCounterClockwise = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

class TfrmBorder : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmBorder(QWidget* parent = nullptr);
    QLineEdit* eWidth = nullptr;
    QPushButton* pColor = nullptr; // the swatch: a click asks for a colour
    QRadioButton* rbRectangle = nullptr;
    QRadioButton* rbEllipse = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    QColor Color() const { return color_; }
    void SetColor(const QColor& c);

  private:
    QColor color_ = Qt::white;
};

class TfrmResize : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmResize(QWidget* parent = nullptr);
    QLabel* lOldWidth = nullptr;
    QLabel* lOldHeight = nullptr;
    QLineEdit* eNewWidth = nullptr;
    QLineEdit* eNewHeight = nullptr;
    QCheckBox* cbMaintainRatio = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // Shows the picture's size as the old one and in both edits.
    void SetOldSize(int width, int height);
    // "Leaving" an edit: with proportions kept, the other edit follows.
    void WidthLeft();
    void HeightLeft();

  protected:
    void accept() override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    int oldWidth_ = 0, oldHeight_ = 0;
    QLineEdit* lastEdited_ = nullptr;
};
