#include "processing/qt/filterdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <vector>

#include "platform/prompts.h"
#include "processing/filtervalues.h"
#include "view/pgimage.h"

TFilterDialog::~TFilterDialog() = default;

void TFilterDialog::Init() {
    LoadCaptions();
    filter_ = CreateFilter();
    UpdateFilter(*filter_);
}

std::unique_ptr<TPGFilter> TFilterDialog::ConfiguredFilter() const {
    auto f = CreateFilter();
    UpdateFilter(*f);
    return f;
}

std::string TFilterDialog::ValueText(int slider) const {
    return PercentText(sliders_[size_t(slider)].position);
}

void TFilterDialog::SaveValues() {
    for (int i = 0; i < 3; ++i)
        saved_.positions[size_t(i)] = sliders_[size_t(i)].position;
    saved_.checked = checked_;
    saved_.radios = radioChecked_;
}

void TFilterDialog::RestoreValues() {
    for (int i = 0; i < 3; ++i)
        sliders_[size_t(i)].position = saved_.positions[size_t(i)];
    checked_ = saved_.checked;
    radioChecked_ = saved_.radios;
}

bool TFilterDialog::Execute() {
    return Run(nullptr);
}

namespace {

QLabel* Label(QWidget* parent, const std::string& text, const QRect& r,
              Qt::Alignment a = Qt::AlignLeft) {
    auto* l = new QLabel(QString::fromStdString(text), parent);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(r);
    l->setAlignment(a | Qt::AlignVCenter);
    return l;
}

} // namespace

bool TFilterDialog::Run(const TPixelGraphic* picture) {
    SaveValues();
    LoadCaptions();

    QDialog dialog(owner_ ? owner_->window() : QApplication::activeWindow());
    dialog.setObjectName("FilterDialog");
    dialog.setWindowTitle(QString::fromStdString(caption_));
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont font = dialog.font();
    font.setPointSize(8);
    dialog.setFont(font);

    // Caption and value widths as described, widened where the font needs it.
    const QFontMetrics fm(font);
    bool anySlider = false;
    int capW = 0, valW = 0;
    for (int i = 0; i < 3; ++i) {
        const TSliderDesc& s = sliders_[size_t(i)];
        if (!s.present) continue;
        anySlider = true;
        capW = std::max(
            {capW, s.captionWidth, fm.horizontalAdvance(QString::fromStdString(s.caption)) + 6});
        valW = std::max({valW, s.valueWidth, fm.horizontalAdvance("-100%") + 4});
    }
    const int margin = anySlider ? 10 : 40;
    const int sliderW = 240;
    const int width =
        anySlider ? margin + capW + valW + margin + (preview_ ? 390 : 240) : 40 + 40 + 140;

    std::array<QSlider*, 3> sliders{};
    std::array<QLabel*, 3> values{};
    int y = 10;
    for (int i = 0; i < 3; ++i) {
        const TSliderDesc& s = sliders_[size_t(i)];
        if (!s.present) continue;
        const int top = 10 + 50 * i;
        const int sx = margin + capW;
        Label(&dialog, s.caption, QRect(margin, top, capW, 24))
            ->setObjectName(QString("Caption%1").arg(i + 1));
        auto* sl = new QSlider(Qt::Horizontal, &dialog);
        sl->setObjectName(QString("TrackBar%1").arg(i + 1));
        sl->setRange(s.min, s.max);
        sl->setTickInterval(s.tick);
        sl->setSingleStep(1);
        sl->setPageStep(s.tick);
        sl->setTickPosition(QSlider::TicksBelow);
        sl->setValue(s.position);
        sl->setGeometry(sx, top, sliderW, 24);
        sliders[size_t(i)] = sl;
        // The neutral position gets its own mark above the slider.
        auto* mark = new QFrame(&dialog);
        mark->setObjectName(QString("NeutralMark%1").arg(i + 1));
        mark->setFrameShape(QFrame::VLine);
        const int span = sliderW - 12;
        mark->setGeometry(sx + 6 + QStyle::sliderPositionFromValue(s.min, s.max, s.neutral, span) -
                              1,
                          top - 4, 3, 5);
        Label(&dialog, s.minCaption, QRect(sx, top + 24, 60, 16))
            ->setObjectName(QString("MinCaption%1").arg(i + 1));
        Label(&dialog, s.midCaption, QRect(sx + sliderW / 2 - 30, top + 24, 60, 16),
              Qt::AlignHCenter)
            ->setObjectName(QString("MidCaption%1").arg(i + 1));
        Label(&dialog, s.maxCaption, QRect(sx + sliderW - 60, top + 24, 60, 16), Qt::AlignRight)
            ->setObjectName(QString("MaxCaption%1").arg(i + 1));
        values[size_t(i)] =
            Label(&dialog, ValueText(i), QRect(sx + sliderW + 4, top, valW + 10, 24));
        values[size_t(i)]->setObjectName(QString("ValueLabel%1").arg(i + 1));
        y = top + 50;
    }
    QCheckBox* check = nullptr;
    std::array<QRadioButton*, 2> radios{};
    if (checkPresent_) {
        check = new QCheckBox(QString::fromStdString(checkCaption_), &dialog);
        check->setObjectName("CheckBox1");
        check->setChecked(checked_);
        check->setGeometry(margin, y, 200, 24);
        y += 34;
    }
    if (radiosPresent_) {
        Label(&dialog, radiosLabel_, QRect(margin, y, capW + 20, 24))
            ->setObjectName("RadioCaption");
        for (int i = 0; i < 2; ++i) {
            radios[size_t(i)] =
                new QRadioButton(QString::fromStdString(radioCaptions_[size_t(i)]), &dialog);
            radios[size_t(i)]->setObjectName(QString("RadioButton%1").arg(i + 1));
            radios[size_t(i)]->setChecked(radioChecked_[size_t(i)]);
            radios[size_t(i)]->setGeometry(margin + capW + 20 + 80 * i, y, 75, 24);
        }
        y += 34;
    }
    TPGImage* image = nullptr;
    if (preview_) {
        image = new TPGImage(&dialog);
        image->setObjectName("PGImage1");
        image->SetBorderStyle(bsNone);
        image->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        image->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        image->setGeometry(width - kPreviewBox - 10, 10, kPreviewBox, kPreviewBox);
        y = std::max(y, 10 + kPreviewBox + 10);
    }
    auto* line = new QFrame(&dialog);
    line->setFrameShape(QFrame::HLine);
    line->setGeometry(margin, y, width - 2 * margin, 4);
    y += 12;
    auto* ok = new QPushButton(QString::fromStdString(PGMessage(42)), &dialog);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromStdString(PGMessage(43)), &dialog);
    cancel->setObjectName("CancelButton");
    ok->setGeometry(width / 2 - 85, y, 80, 26);
    cancel->setGeometry(width / 2 + 5, y, 80, 26);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    dialog.setFixedSize(width, y + 36);

    // Every change: read all controls, refresh the labels, configure the
    // filter, restart the preview.
    auto changed = [&, this] {
        for (int i = 0; i < 3; ++i)
            if (sliders[size_t(i)]) sliders_[size_t(i)].position = sliders[size_t(i)]->value();
        if (check) checked_ = check->isChecked();
        if (radios[0]) radioChecked_ = {radios[0]->isChecked(), radios[1]->isChecked()};
        for (int i = 0; i < 3; ++i)
            if (values[size_t(i)]) values[size_t(i)]->setText(QString::fromStdString(ValueText(i)));
        Reconfigure();
        PreviewChanged();
    };
    for (QSlider* s : sliders)
        if (s) QObject::connect(s, &QSlider::valueChanged, &dialog, changed);
    if (check) QObject::connect(check, &QCheckBox::toggled, &dialog, changed);
    for (QRadioButton* r : radios)
        if (r) QObject::connect(r, &QRadioButton::toggled, &dialog, changed);

    if (preview_) PreviewOpened(dialog, image, picture);
    int result = QDialog::Rejected;
    try {
        result = ExecDialog(&dialog);
    } catch (...) {
        PreviewClosing();
        throw;
    }
    PreviewClosing();
    if (result == QDialog::Accepted) return true;
    RestoreValues();
    Reconfigure();
    return false;
}
