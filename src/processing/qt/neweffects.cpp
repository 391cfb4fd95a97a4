#include "processing/qt/neweffects.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/pixelgraphic.h"
#include "platform/dialogbuttons.h"
#include "processing/effects.h"
#include "processing/pgrandom.h"

void ChooserEffect(int tag, const TFastBMP& first, TFastBMP& second, int value, TPGRandom& random) {
    switch (tag) {
    case 1:
        FastSpray(first, second, value, random);
        break;
    case 2:
        FastMonoNoise(second, value, random);
        break;
    case 3:
        FastColorNoise(second, value, random);
        break;
    case 4:
        FastMosaic(second, value, value);
        break;
    default:
        break;
    }
}

const char* ChooserEffectName(int tag) {
    static const char* const names[] = {"Spray Paint", "Monochrome Noise", "Color Noise", "Mosaic"};
    return tag >= 1 && tag <= 4 ? names[tag - 1] : "";
}

void ChooserPreviewSize(int width, int height, int& w, int& h) {
    w = h = 0;
    if (width <= 0 || height <= 0) return;
    const double r = double(width) / double(height);
    if (r > 1) {
        w = 240;
        h = int(std::nearbyint(240 / r));
    } else {
        w = int(std::nearbyint(r * 240));
        h = 240;
    }
}

void MosaicPreview(const TPixelGraphic& source, TFastBMP& preview, int block) {
    const int64_t W = source.GetWidth(), H = source.GetHeight();
    const int w = preview.Width(), h = preview.Height();
    if (block <= 0 || W <= 0 || H <= 0 || w <= 0 || h <= 0) return;
    const int64_t half = (int64_t(block) + 1) / 2;
    // The picture pixel a block takes its colour from, as FastMosaic picks it.
    auto sample = [&](int64_t v, int64_t size) {
        return int(std::min<int64_t>(v / block * block + half, size - 1));
    };
    for (int py = 0; py < h; ++py) {
        const int sy = sample(int64_t(py) * H / h, H);
        uint8_t* p = preview.Row(py);
        for (int px = 0; px < w; ++px, p += 3) {
            const TRGB c = source.GetPixelColor(sample(int64_t(px) * W / w, W), sy);
            p[0] = uint8_t(GetBValue(c));
            p[1] = uint8_t(GetGValue(c));
            p[2] = uint8_t(GetRValue(c));
        }
    }
}

int ChooserDefaultValue(int tag) {
    switch (tag) {
    case 1:
        return 10;
    case 2:
    case 3:
        return 30;
    case 4:
        return 10;
    default:
        return 0;
    }
}

namespace {

// The box the preview is drawn in; the chooser paints it.
class TPreviewBox : public QWidget {
  public:
    TPreviewBox(QWidget* parent, std::function<void(QWidget*)> paint)
        : QWidget(parent), paint_(std::move(paint)) {
        setFixedSize(250, 250);
    }

  protected:
    void paintEvent(QPaintEvent*) override { paint_(this); }

  private:
    std::function<void(QWidget*)> paint_;
};

} // namespace

TfrmNewEFX::TfrmNewEFX(QWidget* parent) : QDialog(parent) {
    setObjectName("frmNewEFX");
    // Centred, without the title bar's buttons: OK and Cancel end it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* box = new QVBoxLayout(this);
    Preview = new TPreviewBox(this, [this](QWidget* w) { PaintPreview(w); });
    Preview->setObjectName("Preview");
    box->addWidget(Preview, 0, Qt::AlignHCenter);
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName("TrackBar1");
    TrackBar1->setRange(0, 100);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(10);
    TrackBar1->setTickInterval(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    box->addWidget(TrackBar1);
    ValueLabel = new QLabel(this);
    ValueLabel->setObjectName("ValueLabel");
    ValueLabel->setBuddy(TrackBar1);
    box->addWidget(ValueLabel);
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
    connect(TrackBar1, &QSlider::valueChanged, this, [this](int v) { SliderMoved(v); });
    for (int tag = 1; tag <= 4; ++tag) lastValue_[tag] = ChooserDefaultValue(tag);
    SetTag(1);
}

TfrmNewEFX::~TfrmNewEFX() = default;

void TfrmNewEFX::SetTag(int tag) {
    tag_ = tag;
    setWindowTitle(ChooserEffectName(tag));
    // A new effect wants a picture again (Activate): the one of the last
    // use may be gone since.
    source_ = nullptr;
    reference_ = TFastBMP();
    working_ = TFastBMP();
    SliderMoved(TrackBar1->value());
    Preview->update();
}

void TfrmNewEFX::ShowValue(int v) {
    switch (tag_) {
    case 1:
        ValueLabel->setText(QString("&Spread: %1 pixels").arg(v));
        break;
    case 4:
        ValueLabel->setText(QString("&Block size: %1 pixels").arg(v));
        break;
    default:
        ValueLabel->setText(QString("&Amount: %1").arg(v));
        break;
    }
}

void TfrmNewEFX::Activate(TPixelGraphic& picture) {
    int w = 0, h = 0;
    ChooserPreviewSize(picture.GetWidth(), picture.GetHeight(), w, h);
    reference_ = TFastBMP();
    working_ = TFastBMP();
    source_ = &picture;
    if (w > 0 && h > 0) {
        TPixelGraphic fitted;
        fitted.SetFormat(w, h, pg24Bit);
        fitted.CopyFrom(picture);
        reference_ = TFastBMP(fitted);
        working_ = TFastBMP(w, h);
        working_.CopyBitsFrom(reference_);
    }
    {
        const QSignalBlocker block(TrackBar1);
        TrackBar1->setValue(tag_ >= 1 && tag_ <= 4 ? lastValue_[tag_] : 0);
    }
    SliderMoved(TrackBar1->value());
    Preview->update();
}

QPoint TfrmNewEFX::PreviewOrigin() const {
    return {(240 - working_.Width()) / 2 + 5, (240 - working_.Height()) / 2 + 5};
}

void TfrmNewEFX::SliderMoved(int v) {
    ShowValue(v);
    if (reference_.Empty()) return;
    // Each position starts from the picture again: noise never piles up.
    working_.CopyBitsFrom(reference_);
    const double scale =
        source_ && source_->GetWidth() > 0 ? double(working_.Width()) / source_->GetWidth() : 1.0;
    if (tag_ == 4 && source_ && v > 1) {
        MosaicPreview(*source_, working_, v);
    } else if (tag_ == 1) {
        // The spray's reach in picture pixels, at the preview's scale.
        const int reach = int(std::lround(v * scale));
        ChooserEffect(tag_, reference_, working_, reach, ProgramRandom());
    } else {
        ChooserEffect(tag_, reference_, working_, v, ProgramRandom());
    }
    Preview->repaint();
}

void TfrmNewEFX::PaintPreview(QWidget* box) {
    QPainter p(box);
    if (working_.Empty()) return;
    const QImage img(working_.Bits(), working_.Width(), working_.Height(),
                     qsizetype(working_.RowStride()), QImage::Format_BGR888);
    p.drawImage(PreviewOrigin(), img);
}

void TfrmNewEFX::FreePreview() {
    reference_ = TFastBMP();
    working_ = TFastBMP();
}

void TfrmNewEFX::done(int r) {
    if (r == QDialog::Accepted && tag_ >= 1 && tag_ <= 4) lastValue_[tag_] = TrackBar1->value();
    // The preview is of no use once the window closes, whatever the answer.
    FreePreview();
    source_ = nullptr;
    QDialog::done(r);
}
