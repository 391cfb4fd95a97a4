#pragma once
// "Preferences": which picture types the browser lists (and "Associate"
// registers with the desktop), the external editor of each type, and how
// files are deleted, and whether pictures are shown colour managed. Opening re-reads every value; OK writes them all;
// Cancel writes nothing.

#include <QDialog>
#include <array>

#include "browser/filelist.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QGroupBox;

class TfPrefs : public QDialog {
  public:
    // The rows in their fixed order; position n is character n of
    // "FileTypes" and its editor setting is Types[n] + " Editor".
    static constexpr std::array<const char*, kFileTypeCount> Types = {
        "JPG", "GIF", "BMP", "ICO", "WMF", "AVI",  "PCX", "PNG",
        "TGA", "TIF", "PNM", "WEBP", "AVIF", "HEIF", "JXL"};

    explicit TfPrefs(QWidget* parent = nullptr);

    QTabWidget* PageControl1;
    std::array<QCheckBox*, kFileTypeCount> Check{};    // JPG .. JXL
    std::array<QLineEdit*, kFileTypeCount> Edit{};     // Edit1 .. Edit15
    std::array<QPushButton*, kFileTypeCount> Locate{}; // L1 .. L15
    QGroupBox* DeletionType;
    QRadioButton* RecycleItem;
    QRadioButton* PermanentItem;
    QCheckBox* cbConfirmDeletions;
    QCheckBox* cbColourManagement;
    class QLabel* DisplayProfileLabel; // names the display profile in use
    QPushButton* Associate;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Reads the settings into the controls (done each time it is shown).
    void ReadValues();
    // OK: writes the settings and tells the main window.
    void WriteValues();
    // "Associate" (the question first).
    void AssociateChecked();

  protected:
    void showEvent(QShowEvent* e) override;
};

// The "Colour Management" setting (on unless set off) into the library.
void LoadColourManagementSetting();

// Registers the dialog with the tool-window registry.
void RegisterPrefsWindow();
