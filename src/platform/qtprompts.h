#pragma once
// The prompts service with Qt's own dialogs, used by the program.

#include "platform/prompts.h"

class TQtPrompts : public TPrompts {
  public:
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
};
