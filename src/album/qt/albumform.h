#pragma once
// TfAlbum, "Tavirlo TavAlbum Maker": an ordered list of pictures, each with a
// caption and a rotation, saved as album files and printed as pages of
// frames (through the print preview). TfAPrefs, "Frame Setup", holds the page
// settings in the settings store; TfrmEdit edits one caption in place.

#include <QDialog>
#include <QMainWindow>
#include <atomic>
#include <memory>
#include <vector>

#include "album/file/albumfile.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QLabel;
class QPrinter;
class QProgressBar;
class QSpinBox;
class QTreeWidget;
class TPanelStatusBar;
class TPixelGraphic;

class TfAPrefs : public QDialog {
    Q_OBJECT
  public:
    explicit TfAPrefs(QWidget* parent = nullptr);
    QSpinBox *Rows, *Cols, *Border;
    QButtonGroup* CaptionOptions;
    QCheckBox* PrintFrames;
    QButtonGroup* Quality;

    // From the settings store ("PARows", ...), values brought into range; an
    // unreadable value is said once.
    void LoadSettings();
    void StoreSettings() const;

  protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;
};

// The caption editor: a borderless white window holding one edit, 20 pixels
// high; Enter keeps the text, Esc closes without change.
class TfrmEdit : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmEdit(QWidget* parent = nullptr);
    QLineEdit* Edit = nullptr;
};

class TfAlbum : public QMainWindow {
    Q_OBJECT
  public:
    explicit TfAlbum(QWidget* parent = nullptr);
    ~TfAlbum() override;

    QTreeWidget* List = nullptr;
    QProgressBar* Progress = nullptr;
    TPanelStatusBar* StatusBar1 = nullptr;
    TfAPrefs* Prefs = nullptr;

    const std::vector<TAlbumEntry>& Entries() const { return entries_; }
    QString SaveName() const { return saveName_; }

    // The commands.
    void New();
    void Open();
    bool OpenFile(const QString& path); // "Open" after its dialog
    void Save();
    void SaveAs();
    void ClearAll();
    void DeleteSelection();
    void ImportAll();
    // Adds the files as a drop does (the drop rule; "Can't edit " otherwise).
    void AddFiles(const QString& folder, const QStringList& names);
    void AddPaths(const QStringList& paths);
    void MoveUp();
    void MoveDown();
    void Rotate(int quarterTurns);
    void ViewImage();
    void ImageProperties();
    void EditCaption();
    void FrameSetup();
    void Preview();
    void ContactSheet();
    // The web publishing wizard with this album's entries (empty until the
    // wizard exists).
    void WebPublishingWizard();

    // The album as it would be saved (settings from Frame Setup).
    TAlbum Album() const;
    int Selected() const; // row, or -1

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void Refresh(int select = -1);
    void PaintPages(QPrinter* printer);
    void WriteTo(const QString& path);

    std::vector<TAlbumEntry> entries_;
    TAlbumHeader font_; // the caption font fields of the album
    QString saveName_ = "*.alb";
    bool building_ = false;
    std::atomic<bool> running_{false};
};
