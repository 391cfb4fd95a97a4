#pragma once
// The prompts service: every message box and common dialog of every window
// goes through it. The program installs TQtPrompts (real dialogs); tests
// install TScriptedPrompts (tests/support/scriptedprompts.h) and answer each prompt, so
// no test ever waits on a modal window.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QPrinter;
class QWidget;

// What a file dialog asks for.
struct TFileDialogRequest {
    QString caption;
    QString dir;    // start folder or file
    QString filter; // "Pictures (*.jpg *.png);;All files (*)"
    QString selectedFilter;
    // Open dialogs: a small preview of the picture under the cursor.
    bool preview = false;
};

// The preview of an open dialog: `path` read at most `size` pixels on its
// longer side (a null image for what is no picture).
QImage PicturePreview(const QString& path, int size);

class TPrompts {
  public:
    virtual ~TPrompts() = default;

    // A message box showing `text` as plain text (file names in it are never
    // read as markup); returns the button pressed (Cancel or the default
    // button when the box is dismissed otherwise).
    virtual QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text,
                                                   const QString& caption,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::Icon icon) = 0;

    // Colour dialog. `fullOpen` shows the custom-colour part at once.
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial,
                                              bool fullOpen) = 0;

    virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) = 0;

    // File dialogs; empty results mean the user cancelled. `selectedFilter`
    // receives the filter the user picked when not null.
    virtual QString OpenFileName(QWidget* parent, const TFileDialogRequest& r,
                                 QString* selectedFilter) = 0;
    virtual QStringList OpenFileNames(QWidget* parent, const TFileDialogRequest& r) = 0;
    virtual QString SaveFileName(QWidget* parent, const TFileDialogRequest& r,
                                 QString* selectedFilter) = 0;
    virtual QString ExistingDirectory(QWidget* parent, const QString& caption,
                                      const QString& dir) = 0;

    // Printer dialogs; true when the user confirmed (the printer is set up).
    virtual bool PrintDialog(QWidget* parent, QPrinter* printer) = 0;
    virtual bool PageSetupDialog(QWidget* parent, QPrinter* printer) = 0;
    // Print preview: `paint` draws the document on the printer it is given.
    virtual void PrintPreview(QWidget* parent, QPrinter* printer,
                              const std::function<void(QPrinter*)>& paint) = 0;

    // Runs one of the program's own modal dialogs and returns its result
    // (QDialog::Accepted or Rejected). Every window runs its modal dialogs
    // through here, so tests can fill them in and close them.
    virtual int ExecDialog(QDialog* dialog);

    // A list to choose one line from ("Select Source"): the index chosen,
    // -1 when cancelled. `current` is selected first.
    virtual int ChooseItem(QWidget* parent, const QString& caption, const QStringList& items,
                           int current);
};

// The service in use. Never null: real dialogs until SetPrompts is called.
TPrompts& Prompts();

// Installs `p` (null restores the real dialogs) and returns the previous one.
std::unique_ptr<TPrompts> SetPrompts(std::unique_ptr<TPrompts> p);

// Runs `dialog` modally through the prompts service.
int ExecDialog(QDialog* dialog);

// Shortcuts the windows use most. The caption defaults to the application
// title.
void ShowMessage(const QString& text, QWidget* parent = nullptr);
QMessageBox::StandardButton MessageDlg(const QString& text, QMessageBox::Icon icon,
                                       QMessageBox::StandardButtons buttons,
                                       QWidget* parent = nullptr);

// Routes the image library's warning boxes through the prompts service.
void InstallLibraryPrompts();
