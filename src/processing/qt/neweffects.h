#pragma once
// TfrmNewEFX: the effect chooser of the editor's Spray Paint, B/W Noise,
// Color Noise and Mosaic. The editor sets the effect (tag 1-4, which also
// sets the caption) and the picture, runs the window modally, and on OK
// applies the chosen strength to the whole picture with ChooserEffect. The
// window shows the effect live on a copy of the picture fitted into
// 240 x 240, as OK will make it at that scale: each slider move starts again
// from that copy; the spray's reach is scaled with the picture, and the
// mosaic's blocks are taken from the picture itself. The slider is labelled
// with its value and opens at the strength last chosen for the effect.

#include <QDialog>
#include <memory>

#include "processing/fastbmp.h"

class QLabel;
class QPushButton;
class QSlider;
class TPixelGraphic;
class TPGRandom;

// The chooser's effects: 1 spray paint, 2 monochrome noise, 3 colour noise,
// 4 mosaic. `second` holds a copy of `first`, both of one size; the effect
// at `value` (0..100) is left in `second`.
void ChooserEffect(int tag, const TFastBMP& first, TFastBMP& second, int value, TPGRandom& random);
// The caption and undo label of a tag ("Spray Paint", "Monochrome Noise",
// "Color Noise", "Mosaic"); empty for other tags.
const char* ChooserEffectName(int tag);
// The size of the preview of a `width` x `height` picture: fitted into
// 240 x 240 keeping the aspect, rounded half to even (0 wide or high for
// pictures 480 or more times longer one way than the other).
void ChooserPreviewSize(int width, int height, int& w, int& h);
// The mosaic of `source` with blocks of `block` pixels, as FastMosaic makes
// it, sampled into `preview` (each preview pixel shows the picture pixel
// under it).
void MosaicPreview(const TPixelGraphic& source, TFastBMP& preview, int block);
// The strength each effect opens with before one was chosen.
int ChooserDefaultValue(int tag);

class TfrmNewEFX : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmNewEFX(QWidget* parent = nullptr);
    ~TfrmNewEFX() override;

    QSlider* TrackBar1 = nullptr;
    QLabel* ValueLabel = nullptr; // "Block size: 10 pixels" 
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QWidget* Preview = nullptr; // the 250 x 250 box the preview is drawn in

    int Tag() const { return tag_; }
    // Chooses the effect and its caption.
    void SetTag(int tag);
    // Makes the preview of `picture` (reference and working buffers) and
    // puts the slider at the strength last chosen for the effect. The
    // picture must stay until the window closes or the next Activate.
    void Activate(TPixelGraphic& picture);
    // The preview as drawn now (working buffer) and where it sits in Preview.
    const TFastBMP& Working() const { return working_; }
    QPoint PreviewOrigin() const;

  protected:
    void done(int r) override;

  private:
    void SliderMoved(int v);
    void ShowValue(int v);
    void PaintPreview(QWidget* box);
    void FreePreview();

    int tag_ = 1;
    int lastValue_[5] = {};
    const TPixelGraphic* source_ = nullptr;
    TFastBMP reference_, working_;
};
