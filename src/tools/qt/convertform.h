#pragma once
// TfrmConvert, the converter: the source picture on the left, the converted
// one on the right; a format, the JPEG quality or the GIF options, and either
// the original size or the size the picture is shown at. The browser hands it
// one file; a drop of exactly one name sets the source too.

#include <QMainWindow>

#include "browser/handover.h"
#include "tools/converter.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class QToolBar;
class TPGImage;

class TfrmConvert : public QMainWindow, public TToolHandOver {
    Q_OBJECT
  public:
    explicit TfrmConvert(QWidget* parent = nullptr);

    TPGImage* PGImage1 = nullptr; // the source
    TPGImage* PGImage2 = nullptr; // the converted file
    QComboBox* FormatList = nullptr;
    QAction* ConvertNow = nullptr;
    QAction* MaintainOriginalSize = nullptr;
    QAction* AutoSharpen = nullptr;
    QAction* SizeToFit = nullptr;
    QToolBar* JPEGBar = nullptr;
    QSlider* QualityBar = nullptr;
    QLabel* QualityValue = nullptr;
    QToolBar* GIFBar = nullptr;
    QCheckBox* Interlaced = nullptr;
    QCheckBox* Transparent = nullptr;
    // ReSize mode: the size written, the shown size until one is typed
    // (the other side follows, keeping the picture's proportions).
    QToolBar* SizeBar = nullptr;
    QSpinBox* NewWidth = nullptr;
    QSpinBox* NewHeight = nullptr;
    QLabel* Panel0 = nullptr;
    QLabel* Panel1 = nullptr;

    void TakeHandOver(const QString& folder, const QStringList& files) override;
    // Loads `path` as the source; the converted side is emptied.
    bool SetSource(const QString& path);
    QString Source() const { return source_; }
    QString Target() const { return target_; }
    // "Convert Now!".
    void Convert();
    // "Delete Converted File".
    void DeleteConverted();
    // The size the source is shown at ("Current Display Size").
    QSize DisplaySize() const;
    // The size ReSize mode writes: the one typed, else the shown size.
    QSize ResizeTo() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void FormatChanged();
    void MaintainToggled(bool on);
    void ShowSizes();
    void Layout();
    void ShowResizeSize();
    void SizeTyped(bool width);

    QString source_, target_;
    QWidget* views_ = nullptr;
    bool sizeTyped_ = false, syncing_ = false;
};
