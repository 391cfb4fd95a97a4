#include "editor/qt/geometrydialogs.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "platform/dialogbuttons.h"
#include "platform/prompts.h"
#include "processing/geometryops.h"

bool DialogInteger(const QString& text, int64_t& value, QString& error) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok) {
        error = "'" + text + "' is not a valid integer value";
        return false;
    }
    value = v;
    return true;
}

namespace {

// Digits only: typed and pasted text alike (the fields hold whole numbers).
void DigitsOnly(QLineEdit* e) {
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
}

} // namespace

TfRotate::TfRotate(QWidget* parent) : QDialog(parent) {
    setObjectName("fRotate");
    setWindowTitle("Rotate Degrees");
    auto* box = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    eAngle = new QLineEdit("0", this);
    eAngle->setObjectName("eAngle");
    DigitsOnly(eAngle);
    form->addRow("Angle:", eAngle);
    box->addLayout(form);
    rbClockwise = new QRadioButton("Clockwise", this);
    rbClockwise->setObjectName("rbClockwise");
    rbClockwise->setChecked(true);
    rbCounterClockwise = new QRadioButton("Counter Clockwise", this);
    rbCounterClockwise->setObjectName("rbCounterClockwise");
    box->addWidget(rbClockwise);
    box->addWidget(rbCounterClockwise);
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
}

TfrmBorder::TfrmBorder(QWidget* parent) : QDialog(parent) {
    setObjectName("frmBorder");
    setWindowTitle("Border Options");
    auto* box = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    eWidth = new QLineEdit("20", this);
    eWidth->setObjectName("eWidth");
    DigitsOnly(eWidth);
    form->addRow("Width (pixels)", eWidth);
    pColor = new QPushButton(this);
    pColor->setObjectName("pColor");
    pColor->setFixedSize(48, 20);
    form->addRow("Color", pColor);
    box->addLayout(form);
    auto* shape = new QGroupBox(" Shape ", this);
    shape->setObjectName("rgShape");
    auto* shapes = new QVBoxLayout(shape);
    rbRectangle = new QRadioButton("Rectangle", shape);
    rbRectangle->setObjectName("rbRectangle");
    rbRectangle->setChecked(true);
    rbEllipse = new QRadioButton("Ellipse", shape);
    rbEllipse->setObjectName("rbEllipse");
    shapes->addWidget(rbRectangle);
    shapes->addWidget(rbEllipse);
    box->addWidget(shape);
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
    SetColor(Qt::white);
    connect(pColor, &QPushButton::clicked, this, [this] {
        if (const auto c = Prompts().ChooseColor(this, color_, false)) SetColor(*c);
    });
}

void TfrmBorder::SetColor(const QColor& c) {
    color_ = c;
    pColor->setStyleSheet(QString("background-color: %1; border: 1px solid black;").arg(c.name()));
}

TfrmResize::TfrmResize(QWidget* parent) : QDialog(parent) {
    setObjectName("frmResize");
    setWindowTitle("Resize");
    auto* box = new QVBoxLayout(this);
    auto* original = new QGroupBox("Original Size", this);
    auto* of = new QFormLayout(original);
    lOldWidth = new QLabel(original);
    lOldWidth->setObjectName("lOldWidth");
    lOldHeight = new QLabel(original);
    lOldHeight->setObjectName("lOldHeight");
    of->addRow("Width:", lOldWidth);
    of->addRow("Height:", lOldHeight);
    box->addWidget(original);
    auto* fresh = new QGroupBox("New Size", this);
    auto* nf = new QFormLayout(fresh);
    eNewWidth = new QLineEdit(fresh);
    eNewWidth->setObjectName("eNewWidth");
    DigitsOnly(eNewWidth);
    eNewHeight = new QLineEdit(fresh);
    eNewHeight->setObjectName("eNewHeight");
    DigitsOnly(eNewHeight);
    nf->addRow("Width:", eNewWidth);
    nf->addRow("Height:", eNewHeight);
    box->addWidget(fresh);
    cbMaintainRatio = new QCheckBox("Constrain Proportions", this);
    cbMaintainRatio->setObjectName("cbMaintainRatio");
    cbMaintainRatio->setChecked(true);
    box->addWidget(cbMaintainRatio);
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
    // With Constrain Proportions the other field follows as the user types,
    // so the fields always show the size OK will make.
    for (QLineEdit* e : {eNewWidth, eNewHeight}) {
        e->installEventFilter(this);
        connect(e, &QLineEdit::textEdited, this, [this, e] {
            lastEdited_ = e;
            if (e == eNewWidth)
                WidthLeft();
            else
                HeightLeft();
        });
    }
    connect(cbMaintainRatio, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) return;
        if (lastEdited_ == eNewHeight)
            HeightLeft();
        else
            WidthLeft();
    });
}

void TfrmResize::SetOldSize(int width, int height) {
    oldWidth_ = width;
    oldHeight_ = height;
    lOldWidth->setText(QString::number(width));
    lOldHeight->setText(QString::number(height));
    eNewWidth->setText(QString::number(width));
    eNewHeight->setText(QString::number(height));
    lastEdited_ = nullptr;
}

void TfrmResize::WidthLeft() {
    int64_t w = 0;
    QString error;
    if (!cbMaintainRatio->isChecked() || !DialogInteger(eNewWidth->text(), w, error)) return;
    if (const int64_t h = ConstrainedSide(w, oldWidth_, oldHeight_); h > 0)
        eNewHeight->setText(QString::number(h));
}

void TfrmResize::HeightLeft() {
    int64_t h = 0;
    QString error;
    if (!cbMaintainRatio->isChecked() || !DialogInteger(eNewHeight->text(), h, error)) return;
    if (const int64_t w = ConstrainedSide(h, oldHeight_, oldWidth_); w > 0)
        eNewWidth->setText(QString::number(w));
}

bool TfrmResize::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusOut) {
        if (watched == eNewWidth) WidthLeft();
        if (watched == eNewHeight) HeightLeft();
    }
    return QDialog::eventFilter(watched, e);
}

void TfrmResize::accept() {
    // Return closes the dialog without leaving the edit: the field typed in
    // last still gets its say, or the proportions would be lost.
    if (lastEdited_ == eNewWidth) WidthLeft();
    if (lastEdited_ == eNewHeight) HeightLeft();
    lastEdited_ = nullptr;
    QDialog::accept();
}
