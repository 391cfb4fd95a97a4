#pragma once
// TfrmPubWizard, "TavAlbum Web Publishing Wizard": six pages of settings for
// Publish() (thumbnails and grid; quality and sharpening; captions and the
// output folder; page texts; colours and background; the run itself). Rows,
// columns, frames and the caption option are shared with Frame Setup.

#include <QDialog>
#include <QUrl>
#include <functional>
#include <vector>

#include "album/albumentry.h"
#include "album/webpublish.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class TfAPrefs;

class TfrmPubWizard : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmPubWizard(QWidget* parent = nullptr);

    QStackedWidget* Pages = nullptr;
    QPushButton *BackBtn, *NextBtn, *CloseBtn, *HelpBtn;
    QSpinBox *ThumbnailSize, *Columns, *Rows, *MaxSize;
    QCheckBox* ShowFrames;
    QLabel* PageCount;
    QSlider *Quality, *SharpenAmount;
    QCheckBox *AutoSharpen, *Progressive, *WebP;
    QRadioButton* Caption[3];
    QLineEdit* OutputFolder;
    QLineEdit *PageName, *Title, *Header, *Footer;
    QPushButton *BackgroundColor, *TextColor;
    QLineEdit* BackgroundImage;
    QCheckBox *UseBackgroundImage, *DisplayResults;
    QProgressBar* Progress;

    // What "Show" does: page 1, shared values from Frame Setup (when given),
    // quality 80 and sharpening 60; then runs modally through ExecDialog.
    int Run(const std::vector<TAlbumEntry>& entries, TfAPrefs* prefs);
    void Next();
    void Back();
    TPublishSettings Settings() const;

    // How a finished album is opened; tests put their own here.
    static std::function<void(const QUrl&)>& Opener();

  protected:
    void reject() override;

  private:
    void UpdatePageCount();
    bool MakeFolder(bool quiet);
    void PublishNow();
    void SetColour(QPushButton* b, TRGB c);
    void AttachPalette(QPushButton* button, TRGB* colour);

    std::vector<TAlbumEntry> entries_;
    TfAPrefs* prefs_ = nullptr;
    TRGB background_ = 0xFFFFFF, text_ = 0;
    bool running_ = false, cancel_ = false;
    QString folderProblem_; // what MakeFolder found wrong
};
