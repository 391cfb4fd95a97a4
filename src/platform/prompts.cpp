#include "platform/prompts.h"

#include <QApplication>
#include <QDialog>

#include "core/prompts.h"
#include "platform/qtprompts.h"

namespace {

std::unique_ptr<TPrompts>& Current() {
    static std::unique_ptr<TPrompts> p = std::make_unique<TQtPrompts>();
    return p;
}

} // namespace

TPrompts& Prompts() {
    return *Current();
}

std::unique_ptr<TPrompts> SetPrompts(std::unique_ptr<TPrompts> p) {
    if (!p) p = std::make_unique<TQtPrompts>();
    std::swap(p, Current());
    return p;
}

int TPrompts::ExecDialog(QDialog* dialog) {
    return dialog->exec();
}

int ExecDialog(QDialog* dialog) {
    return Prompts().ExecDialog(dialog);
}

void ShowMessage(const QString& text, QWidget* parent) {
    Prompts().MessageBox(parent, text, QApplication::applicationName(), QMessageBox::Ok,
                         QMessageBox::NoIcon);
}

QMessageBox::StandardButton MessageDlg(const QString& text, QMessageBox::Icon icon,
                                       QMessageBox::StandardButtons buttons, QWidget* parent) {
    return Prompts().MessageBox(parent, text, QApplication::applicationName(), buttons, icon);
}

void InstallLibraryPrompts() {
    PGMessageBoxHandler = [](const std::string& text, const std::string& caption,
                             TPGBoxButtons buttons) {
        const auto qb = buttons == TPGBoxButtons::OKCancel
                            ? QMessageBox::Ok | QMessageBox::Cancel
                            : QMessageBox::StandardButtons(QMessageBox::Ok);
        const auto r =
            Prompts().MessageBox(QApplication::activeWindow(), QString::fromStdString(text),
                                 QString::fromStdString(caption), qb, QMessageBox::Warning);
        // An OK box has only one answer, however it was closed.
        if (buttons == TPGBoxButtons::OK) return TPGBoxResult::OK;
        return r == QMessageBox::Ok ? TPGBoxResult::OK : TPGBoxResult::Cancel;
    };
}
