#include "support/scriptedprompts.h"

#include <QDialog>

namespace {

template <class T> std::optional<T> Pop(std::deque<std::optional<T>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
}

} // namespace

QStringList TScriptedPrompts::Messages() const {
    QStringList r;
    for (const auto& a : asked)
        if (a.kind == "message") r << a.text;
    return r;
}

QMessageBox::StandardButton TScriptedPrompts::MessageBox(QWidget*, const QString& text,
                                                         const QString& caption,
                                                         QMessageBox::StandardButtons buttons,
                                                         QMessageBox::Icon icon) {
    asked.push_back({"message", text, caption, buttons, icon});
    if (!buttonAnswers.empty()) {
        const auto b = buttonAnswers.front();
        buttonAnswers.pop_front();
        return b;
    }
    if (buttons & QMessageBox::Cancel) return QMessageBox::Cancel;
    for (unsigned bit = 1; bit; bit <<= 1)
        if (buttons & bit) return static_cast<QMessageBox::StandardButton>(bit);
    return QMessageBox::NoButton;
}

std::optional<QColor> TScriptedPrompts::ChooseColor(QWidget*, const QColor&, bool) {
    asked.push_back({"color", {}, {}, {}, {}});
    return Pop(colorAnswers);
}

std::optional<QFont> TScriptedPrompts::ChooseFont(QWidget*, const QFont&) {
    asked.push_back({"font", {}, {}, {}, {}});
    return Pop(fontAnswers);
}

QStringList TScriptedPrompts::NextFiles(const QString& kind, const QString& caption) {
    asked.push_back({kind, caption, {}, {}, {}});
    if (fileAnswers.empty()) return {};
    QStringList r = fileAnswers.front();
    fileAnswers.pop_front();
    return r;
}

QString TScriptedPrompts::OpenFileName(QWidget*, const TFileDialogRequest& r, QString* sel) {
    const QStringList f = NextFiles("open", r.caption);
    if (sel) *sel = r.selectedFilter;
    return f.value(0);
}

QStringList TScriptedPrompts::OpenFileNames(QWidget*, const TFileDialogRequest& r) {
    return NextFiles("opens", r.caption);
}

QString TScriptedPrompts::SaveFileName(QWidget*, const TFileDialogRequest& r, QString* sel) {
    const QStringList f = NextFiles("save", r.caption);
    if (sel) *sel = r.selectedFilter;
    return f.value(0);
}

QString TScriptedPrompts::ExistingDirectory(QWidget*, const QString& caption, const QString&) {
    return NextFiles("dir", caption).value(0);
}

bool TScriptedPrompts::PrintDialog(QWidget*, QPrinter*) {
    asked.push_back({"print", {}, {}, {}, {}});
    if (printAnswers.empty()) return false;
    const bool b = printAnswers.front();
    printAnswers.pop_front();
    return b;
}

bool TScriptedPrompts::PageSetupDialog(QWidget*, QPrinter*) {
    asked.push_back({"pagesetup", {}, {}, {}, {}});
    if (printAnswers.empty()) return false;
    const bool b = printAnswers.front();
    printAnswers.pop_front();
    return b;
}

void TScriptedPrompts::PrintPreview(QWidget*, QPrinter* printer,
                                    const std::function<void(QPrinter*)>& paint) {
    asked.push_back({"preview", {}, {}, {}, {}});
    if (paintPreview && paint) paint(printer);
}

int TScriptedPrompts::ExecDialog(QDialog* dialog) {
    asked.push_back({"dialog", dialog->objectName(), dialog->windowTitle(), {}, {}});
    if (dialogAnswers.empty()) return QDialog::Rejected;
    auto answer = std::move(dialogAnswers.front());
    dialogAnswers.pop_front();
    // Shown as the real dialog would be, so the answer sees laid-out controls.
    dialog->show();
    const int r = answer(dialog);
    dialog->hide();
    dialog->setResult(r);
    return r;
}

int TScriptedPrompts::ChooseItem(QWidget*, const QString& caption, const QStringList& items,
                                 int) {
    asked.push_back({"list", items.join('\n'), caption, {}, {}});
    if (itemAnswers.empty()) return -1;
    const int r = itemAnswers.front();
    itemAnswers.pop_front();
    return r >= 0 && r < items.size() ? r : -1;
}

TScopedPrompts::TScopedPrompts() {
    auto p = std::make_unique<TScriptedPrompts>();
    p_ = p.get();
    previous_ = SetPrompts(std::move(p));
}

TScopedPrompts::~TScopedPrompts() {
    SetPrompts(std::move(previous_));
}
