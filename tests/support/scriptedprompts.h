#pragma once
// A prompts service that answers from queues filled by a test and records
// every prompt. An unanswered prompt never blocks: a message box answers
// Cancel when it has one (else its first button), dialogs answer "cancelled".

#include <QPrinter>
#include <deque>
#include <vector>

#include "platform/prompts.h"

struct TPromptRecord {
    QString kind; // "message", "color", "font", "open", "opens", "save", "dir", "print",
                  // "pagesetup", "preview", "dialog" (text: the dialog's object name),
                  // "list" (text: the lines, one per line)
    QString text; // message text or dialog caption
    QString caption;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class TScriptedPrompts : public TPrompts {
  public:
    std::vector<TPromptRecord> asked;

    std::deque<QMessageBox::StandardButton> buttonAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::deque<QStringList> fileAnswers; // open, opens, save and dir; empty = cancel
    std::deque<bool> printAnswers;       // print and page set-up dialogs
    bool paintPreview = true;            // preview calls the paint callback once
    // The program's own modal dialogs: each is shown (not run modally) and
    // handed to the next answer, which fills it in and returns
    // QDialog::Accepted or Rejected; with no answer queued it is rejected.
    std::deque<std::function<int(QDialog*)>> dialogAnswers;
    // Lists to choose from: the index chosen, -1 cancels; none queued cancels.
    std::deque<int> itemAnswers;

    // Message texts asked so far, in order.
    QStringList Messages() const;

    QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& text,
                                           const QString& caption,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::Icon icon) override;
    std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial,
                                      bool fullOpen) override;
    std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial) override;
    QString OpenFileName(QWidget* parent, const TFileDialogRequest& r,
                         QString* selectedFilter) override;
    QStringList OpenFileNames(QWidget* parent, const TFileDialogRequest& r) override;
    QString SaveFileName(QWidget* parent, const TFileDialogRequest& r,
                         QString* selectedFilter) override;
    QString ExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    bool PrintDialog(QWidget* parent, QPrinter* printer) override;
    bool PageSetupDialog(QWidget* parent, QPrinter* printer) override;
    void PrintPreview(QWidget* parent, QPrinter* printer,
                      const std::function<void(QPrinter*)>& paint) override;
    int ExecDialog(QDialog* dialog) override;
    int ChooseItem(QWidget* parent, const QString& caption, const QStringList& items,
                   int current) override;

  private:
    QStringList NextFiles(const QString& kind, const QString& caption);
};

// Installs a TScriptedPrompts for the life of the scope and restores the
// previous service afterwards.
class TScopedPrompts {
  public:
    TScopedPrompts();
    ~TScopedPrompts();
    TScopedPrompts(const TScopedPrompts&) = delete;
    TScopedPrompts& operator=(const TScopedPrompts&) = delete;
    TScriptedPrompts* operator->() const { return p_; }
    TScriptedPrompts& operator*() const { return *p_; }

  private:
    TScriptedPrompts* p_;
    std::unique_ptr<TPrompts> previous_;
};
