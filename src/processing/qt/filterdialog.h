#pragma once
// The filter dialogs: plain objects that own one filter each (made by
// CreateFilter), hold the user's values, and build a modal window on
// Execute. The editor runs a dialog and, when Execute returns true, applies
// Filter() to its picture. TPreviewFilterDialog adds the live preview,
// computed on two worker threads (previewthreads.h).

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "core/filter.h"
#include "core/types.h"
#include "processing/qt/previewthreads.h"

class QDialog;
class QLabel;
class QSlider;
class QCheckBox;
class QRadioButton;
class QTimer;
class QWidget;
class TPGImage;

struct TSliderDesc {
    bool present = false;
    int min = -100, max = 100, tick = 10, neutral = 0;
    std::string caption, minCaption, midCaption, maxCaption;
    int captionWidth = 14, valueWidth = 32;
    int position = 0;
};

class TFilterDialog {
  public:
    virtual ~TFilterDialog();
    TFilterDialog(const TFilterDialog&) = delete;
    TFilterDialog& operator=(const TFilterDialog&) = delete;

    // The dialog's own filter, configured with its values.
    TPGFilter& Filter() { return *filter_; }
    // A new filter configured with the current values (for a worker).
    std::unique_ptr<TPGFilter> ConfiguredFilter() const;
    // Shows the dialog modally (through the prompts service); true on OK.
    bool Execute();
    // The window the dialog belongs to: it opens above that window (the
    // active window when none was given).
    void SetOwner(QWidget* owner) { owner_ = owner; }

    const std::string& Caption() const { return caption_; }
    const TSliderDesc& Slider(int i) const { return sliders_[size_t(i)]; }
    virtual std::string ValueText(int slider) const;

  protected:
    static constexpr int kPreviewBox = 140;
    TFilterDialog() = default;
    // Called at the end of each dialog's constructor: captions, the filter,
    // configured with the defaults.
    void Init();
    virtual void LoadCaptions() = 0;
    virtual std::unique_ptr<TPGFilter> CreateFilter() const = 0;
    virtual void UpdateFilter(TPGFilter& f) const = 0;
    virtual void SaveValues();
    virtual void RestoreValues();
    // Reconfigures the own filter after a value changed.
    void Reconfigure() { UpdateFilter(*filter_); }

    // The window: built, run and torn down around one Execute.
    bool Run(const TPixelGraphic* preview);
    QPointer<QWidget> owner_;
    // Preview hooks (no preview in this class).
    virtual void PreviewOpened(QDialog&, TPGImage*, const TPixelGraphic*) {}
    virtual void PreviewChanged() {}
    virtual void PreviewClosing() {}

    std::string caption_;
    std::array<TSliderDesc, 3> sliders_;
    bool checkPresent_ = false, checked_ = false;
    std::string checkCaption_;
    bool radiosPresent_ = false;
    std::array<bool, 2> radioChecked_{true, false};
    std::array<std::string, 2> radioCaptions_;
    std::string radiosLabel_;
    bool preview_ = false;

  private:
    struct TSaved {
        std::array<int, 3> positions;
        bool checked;
        std::array<bool, 2> radios;
    } saved_{};
    std::unique_ptr<TPGFilter> filter_;
};

// A dialog with the live preview: 140 x 140 at the right.
class TPreviewFilterDialog : public TFilterDialog {
  public:
    ~TPreviewFilterDialog() override;
    // Shows the dialog with a preview of `picture` (may be null or empty).
    bool Execute(const TPixelGraphic* picture);

    // Handed unchanged to the preview's view control.
    TPaletteIdent Palette8BitSys24BitGraphic() const { return palette8BitSys24BitGraphic_; }
    void SetPalette8BitSys24BitGraphic(TPaletteIdent p) { palette8BitSys24BitGraphic_ = p; }
    TPaletteIdent Palette8BitSys8BitGraphic() const { return palette8BitSys8BitGraphic_; }
    void SetPalette8BitSys8BitGraphic(TPaletteIdent p) { palette8BitSys8BitGraphic_ = p; }
    QColor ProgressClockBkColor() const { return progressClockBkColor_; }
    void SetProgressClockBkColor(const QColor& c) { progressClockBkColor_ = c; }
    QColor ProgressClockLineColor() const { return progressClockLineColor_; }
    void SetProgressClockLineColor(const QColor& c) { progressClockLineColor_ = c; }
    bool ProgressClockVisible() const { return progressClockVisible_; }
    void SetProgressClockVisible(bool v) { progressClockVisible_ = v; }

    // For tests: the run and job numbers the next events must carry, and the
    // receiver events go to while a dialog is open.
    uint64_t CurrentRun() const { return run_; }
    uint64_t CurrentJob() const { return job_; }
    QObject* PreviewReceiver() const { return receiver_.get(); }
    const TPixelGraphic* PreviewSource() const { return source_.get(); }

  protected:
    TPreviewFilterDialog() { preview_ = true; }
    void PreviewOpened(QDialog& dialog, TPGImage* image, const TPixelGraphic* picture) override;
    void PreviewChanged() override;
    void PreviewClosing() override;

  private:
    void OnEvent(TPreviewEvent& e);
    void OnTimer();

    TPaletteIdent palette8BitSys24BitGraphic_ = pOptimized252Sys16;
    TPaletteIdent palette8BitSys8BitGraphic_ = pOptimized252Sys16;
    QColor progressClockBkColor_ = Qt::white;
    QColor progressClockLineColor_ = Qt::black;
    bool progressClockVisible_ = true;

    uint64_t run_ = 0, job_ = 0;
    TPGImage* image_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<TPreviewReceiver> receiver_;
    std::unique_ptr<TPixelGraphic> source_;
    bool sourceReady_ = false;
    std::unique_ptr<TCreateSrcPGThread> srcThread_;
    std::unique_ptr<TCreateDestPGThread> destThread_;
};
