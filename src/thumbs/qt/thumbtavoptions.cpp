#include "thumbs/qt/thumbtavoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTabBar>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include "formats/droptypes.h"
#include "platform/prompts.h"

namespace {
QSpinBox* Spin(int lo, int hi, int step, int value, QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setSingleStep(step);
    s->setValue(value);
    // Only the arrows change it, as with a read-only edit and its up-down.
    s->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    s->findChild<QLineEdit*>()->setReadOnly(true);
    return s;
}

// The face the sheet draws in when none is chosen, as this system has it.
QString DefaultSheetFace() {
    return QFontInfo(QFont("Arial")).family();
}

// The system's font families, the sheet's own face shown as the choice.
QComboBox* Faces(QWidget* parent) {
    auto* c = new QComboBox(parent);
    QStringList faces = QFontDatabase::families();
    const QString own = DefaultSheetFace();
    if (!own.isEmpty() && !faces.contains(own)) faces.prepend(own);
    c->addItems(faces);
    c->setCurrentIndex(std::max(0, int(faces.indexOf(own))));
    c->setMaxVisibleItems(20);
    return c;
}

// The face a list names for the sheet: empty for the sheet's own.
QString ChosenFace(const QComboBox* c) {
    const QString f = c->currentText();
    return f == DefaultSheetFace() ? QString() : f;
}

// The program's "Backgrounds" data folder, when there is one.
QString BackgroundsFolder() {
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation))
        if (QDir(d + "/Backgrounds").exists()) return d + "/Backgrounds";
    const QString beside = QCoreApplication::applicationDirPath() + "/Backgrounds";
    return QDir(beside).exists() ? beside : QString();
}
} // namespace

TfrmThumbTavOptions::TfrmThumbTavOptions(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmThumbTavOptions");
    setWindowTitle("ThumbTav Options");
    auto* lay = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    // Every tab's name whole: the window is as wide as the tabs need.
    PageControl1->tabBar()->setElideMode(Qt::ElideNone);
    PageControl1->setUsesScrollButtons(false);
    lay->addWidget(PageControl1);

    // ---- Basic
    auto* basic = new QWidget;
    auto* bf = new QFormLayout(basic);
    edSize = new QLineEdit("96", basic);
    edSize->setToolTip("ThumbTav Size (pixels)");
    edSize->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,4}"), edSize));
    edSize->installEventFilter(this);
    bf->addRow("Size", edSize);
    udCols = Spin(2, 20, 1, 6, basic);
    udCols->setToolTip("Number of Columns");
    bf->addRow("Cols", udCols);
    udHSpc = Spin(5, 100, 5, 20, basic);
    bf->addRow("H Spc", udHSpc);
    udVSpc = Spin(20, 100, 5, 30, basic);
    bf->addRow("V Spc", udVSpc);
    cbFilenames = new QCheckBox("Include Filenames", basic);
    cbFilenames->setChecked(true);
    bf->addRow(cbFilenames);
    btnBackColor = new QPushButton("Background Color", basic);
    btnTextColor = new QPushButton("Text Color", basic);
    bf->addRow(btnBackColor, btnTextColor);
    cbSharpen = new QCheckBox("Auto Sharpen", basic);
    cbSharpen->setChecked(true);
    bf->addRow(cbSharpen);
    auto* sharpRow = new QHBoxLayout;
    tbSharpen = new QSlider(Qt::Horizontal, basic);
    tbSharpen->setRange(50, 100);
    tbSharpen->setValue(50);
    sharpRow->addWidget(new QLabel("Min", basic));
    sharpRow->addWidget(tbSharpen, 1);
    sharpRow->addWidget(new QLabel("Max", basic));
    bf->addRow("Sharpening Factor", sharpRow);
    connect(cbSharpen, &QCheckBox::toggled, tbSharpen, &QWidget::setEnabled);
    PageControl1->addTab(basic, "Basic");

    // ---- Background
    auto* back = new QWidget;
    auto* kf = new QFormLayout(back);
    cbUseImage = new QCheckBox("Use Image for Background", back);
    kf->addRow(cbUseImage);
    auto* imgRow = new QHBoxLayout;
    edImage = new QLineEdit("None selected...", back);
    edImage->setReadOnly(true);
    edImage->setToolTip("Image File for Background");
    btnImage = new QPushButton("...", back);
    btnImage->setFixedWidth(28);
    imgRow->addWidget(edImage, 1);
    imgRow->addWidget(btnImage);
    kf->addRow(imgRow);
    PageControl1->addTab(back, "Background");

    // ---- Border FX
    auto* fx = new QWidget;
    auto* ff = new QFormLayout(fx);
    cbBorder = new QCheckBox("Add Border", fx);
    cbBorder->setChecked(true);
    btnBorderColor = new QPushButton("Border Color", fx);
    ff->addRow(cbBorder, btnBorderColor);
    cbShadow = new QCheckBox("Add Shadow", fx);
    cbShadow->setChecked(true);
    ff->addRow(cbShadow);
    cbBevel = new QCheckBox("3D Bevel", fx);
    ff->addRow(cbBevel);
    PageControl1->addTab(fx, "Border FX");

    // ---- Title/Footer
    auto* tf = new QWidget;
    auto* tl = new QFormLayout(tf);
    cbTitle = new QCheckBox("Include Title", tf);
    tl->addRow(cbTitle);
    edTitle = new QLineEdit(TSheetOptions{}.titleText, tf);
    tl->addRow(edTitle);
    cbTitleFace = Faces(tf);
    tl->addRow(cbTitleFace);
    udTitleSize = new QSpinBox(tf);
    udTitleSize->setRange(6, 72);
    udTitleSize->setValue(24);
    btnTitleColor = new QPushButton("Color", tf);
    tl->addRow("Font Size", udTitleSize);
    tl->addRow(btnTitleColor);
    cbFooter = new QCheckBox("Include Footer", tf);
    tl->addRow(cbFooter);
    edFooter = new QLineEdit(TSheetOptions{}.footerText, tf);
    tl->addRow(edFooter);
    cbFooterFace = Faces(tf);
    tl->addRow(cbFooterFace);
    udFooterSize = new QSpinBox(tf);
    udFooterSize->setRange(6, 72);
    udFooterSize->setValue(8);
    btnFooterColor = new QPushButton("Color", tf);
    tl->addRow("Font Size", udFooterSize);
    tl->addRow(btnFooterColor);
    PageControl1->addTab(tf, "Title/Footer");

    connect(btnBackColor, &QPushButton::clicked, this,
            [this] { PickColor(btnBackColor, BackColor); });
    connect(btnTextColor, &QPushButton::clicked, this,
            [this] { PickColor(btnTextColor, TextColor); });
    connect(btnBorderColor, &QPushButton::clicked, this,
            [this] { PickColor(btnBorderColor, BorderColor); });
    connect(btnTitleColor, &QPushButton::clicked, this,
            [this] { PickColor(btnTitleColor, TitleColor); });
    connect(btnFooterColor, &QPushButton::clicked, this,
            [this] { PickColor(btnFooterColor, FooterColor); });
    connect(btnImage, &QPushButton::clicked, this, &TfrmThumbTavOptions::ChooseBackground);
    ShowColors();
}

void TfrmThumbTavOptions::ShowColors() {
    auto paint = [](QPushButton* b, TRGB c) {
        b->setStyleSheet(QString("border-left: 12px solid rgb(%1,%2,%3);")
                             .arg(GetRValue(c))
                             .arg(GetGValue(c))
                             .arg(GetBValue(c)));
    };
    paint(btnBackColor, BackColor);
    paint(btnTextColor, TextColor);
    paint(btnBorderColor, BorderColor);
    paint(btnTitleColor, TitleColor);
    paint(btnFooterColor, FooterColor);
}

void TfrmThumbTavOptions::PickColor(QPushButton*, TRGB& c) {
    const auto q =
        Prompts().ChooseColor(this, QColor(GetRValue(c), GetGValue(c), GetBValue(c)), false);
    if (!q) return;
    c = RGB(q->red(), q->green(), q->blue());
    ShowColors();
}

void TfrmThumbTavOptions::ChooseBackground() {
    TFileDialogRequest r;
    r.caption = "Open";
    r.dir = BackgroundsFolder();
    r.filter = QString::fromStdString(PictureDialogFilter());
    const QString f = Prompts().OpenFileName(this, r, nullptr);
    if (!f.isEmpty()) edImage->setText(f);
}

bool TfrmThumbTavOptions::CheckSize() {
    if (ValidSheetSizeText(edSize->text())) return true;
    ShowMessage("Invalid value. Enter a value between 30 and 900", this);
    edSize->setText("96");
    edSize->setFocus();
    return false;
}

bool TfrmThumbTavOptions::eventFilter(QObject* o, QEvent* e) {
    if (o == edSize && e->type() == QEvent::FocusOut) CheckSize();
    return QWidget::eventFilter(o, e);
}

TSheetOptions TfrmThumbTavOptions::Options(bool* ok) {
    TSheetOptions o;
    int size = 96;
    const bool valid = ValidSheetSizeText(edSize->text(), &size);
    if (!valid) CheckSize();
    if (ok) *ok = valid;
    o.size = size;
    o.cols = udCols->value();
    o.hspc = udHSpc->value();
    o.vspc = udVSpc->value();
    o.includeFilenames = cbFilenames->isChecked();
    o.backgroundColor = BackColor;
    o.textColor = TextColor;
    o.autoSharpen = cbSharpen->isChecked();
    o.sharpenFactor = tbSharpen->value();
    o.useBackgroundImage = cbUseImage->isChecked();
    o.backgroundImage = edImage->text();
    o.addBorder = cbBorder->isChecked();
    o.borderColor = BorderColor;
    o.addShadow = cbShadow->isChecked();
    o.bevel = cbBevel->isChecked();
    o.includeTitle = cbTitle->isChecked();
    o.titleText = edTitle->text();
    o.titleFace = ChosenFace(cbTitleFace);
    o.titleSize = udTitleSize->value();
    o.titleColor = TitleColor;
    o.includeFooter = cbFooter->isChecked();
    o.footerText = edFooter->text();
    o.footerFace = ChosenFace(cbFooterFace);
    o.footerSize = udFooterSize->value();
    o.footerColor = FooterColor;
    return o;
}
