#pragma once
// "Preferences": which picture types the browser lists (and "Associate"
// registers with the desktop), the external editor of each type, and how
// files are deleted. Opening re-reads every value; OK writes them all;
// Cancel writes nothing.

#include <QDialog>
#include <array>

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
    static constexpr std::array<const char*, 10> Types = {"JPG", "GIF", "BMP", "ICO", "WMF",
                                                          "AVI", "PCX", "PNG", "TGA", "TIF"};

    explicit TfPrefs(QWidget* parent = nullptr);

    QTabWidget* PageControl1;
    std::array<QCheckBox*, 10> Check{};    // JPG .. TIF
    std::array<QLineEdit*, 10> Edit{};     // Edit1 .. Edit10
    std::array<QPushButton*, 10> Locate{}; // L1 .. L10
    QGroupBox* DeletionType;
    QRadioButton* RecycleItem;
    QRadioButton* PermanentItem;
    QCheckBox* cbConfirmDeletions;
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

// Registers the dialog with the tool-window registry.
void RegisterPrefsWindow();
