#include "platform/prompts.h"

#include <QVBoxLayout>

#include <QListWidget>

#include <algorithm>

#include "core/pixelgraphic.h"
#include <QFile>
#include <QFileInfo>

#include <QApplication>
#include <QDialog>

#include "core/prompts.h"
#include "platform/dialogbuttons.h"
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

int TPrompts::ChooseItem(QWidget* parent, const QString& caption, const QStringList& items,
                         int current) {
    QDialog d(parent);
    d.setObjectName("ChooseItem");
    d.setWindowTitle(caption);
    auto* list = new QListWidget(&d);
    list->setObjectName("Items");
    list->addItems(items);
    list->setCurrentRow(current >= 0 && current < items.size() ? current : 0);
    auto* v = new QVBoxLayout(&d);
    v->addWidget(list);
    v->addLayout(OkCancelRow(&d));
    QObject::connect(list, &QListWidget::itemDoubleClicked, &d, &QDialog::accept);
    if (d.exec() != QDialog::Accepted || !list->currentItem()) return -1;
    return list->currentRow();
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

QImage PicturePreview(const QString& path, int size) {
    // Only plain files: a FIFO would block the dialog.
    if (!QFileInfo(path).isFile() || size <= 0) return {};
    try {
        TPixelGraphic pg;
        pg.SetReadWarningAction(pgwaIgnore);
        pg.SetLoadSizeHint(size); // large JPEGs are decoded reduced
        pg.LoadFromFile(QFile::encodeName(path).toStdString());
        const int w = pg.GetWidth(), h = pg.GetHeight();
        if (w <= 0 || h <= 0) return {};
        const double s = std::min(1.0, double(size) / std::max(w, h));
        TPixelGraphic small;
        small.SetFormat(std::max(1, int(w * s)), std::max(1, int(h * s)), pg24Bit);
        small.CopyFrom(pg);
        QImage img(small.GetWidth(), small.GetHeight(), QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const TRGB c = small.GetPixelColor(x, y);
                img.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
            }
        return img;
    } catch (const std::exception&) {
        return {};
    }
}
