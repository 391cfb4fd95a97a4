#include "processing/qt/neweffects.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
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
    box->addLayout(OkCancelRow(this, OKBtn, CancelBtn));
    connect(TrackBar1, &QSlider::valueChanged, this, [this](int v) { SliderMoved(v); });
    SetTag(1);
}

TfrmNewEFX::~TfrmNewEFX() = default;

void TfrmNewEFX::SetTag(int tag) {
    tag_ = tag;
    setWindowTitle(ChooserEffectName(tag));
}

void TfrmNewEFX::Activate(TPixelGraphic& picture) {
    int w = 0, h = 0;
    ChooserPreviewSize(picture.GetWidth(), picture.GetHeight(), w, h);
    reference_ = TFastBMP();
    working_ = TFastBMP();
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
        TrackBar1->setValue(0);
    }
    Preview->update();
}

QPoint TfrmNewEFX::PreviewOrigin() const {
    return {(240 - working_.Width()) / 2 + 5, (240 - working_.Height()) / 2 + 5};
}

void TfrmNewEFX::SliderMoved(int v) {
    if (reference_.Empty()) return;
    // Each position starts from the picture again: noise never piles up.
    working_.CopyBitsFrom(reference_);
    ChooserEffect(tag_, reference_, working_, v, ProgramRandom());
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
    // The preview is of no use once the window closes, whatever the answer.
    FreePreview();
    QDialog::done(r);
}
