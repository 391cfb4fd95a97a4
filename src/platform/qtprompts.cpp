#include "platform/qtprompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

QMessageBox::StandardButton TQtPrompts::MessageBox(QWidget* parent, const QString& text,
                                                   const QString& caption,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, buttons, parent);
    // Boxes quote file names and text from files: shown as written, never as
    // markup (see plaintext.h).
    box.setTextFormat(Qt::PlainText);
    const int r = box.exec();
    return static_cast<QMessageBox::StandardButton>(r);
}

std::optional<QColor> TQtPrompts::ChooseColor(QWidget* parent, const QColor& initial,
                                              bool fullOpen) {
    QColorDialog dlg(initial, parent);
    // Qt's dialog always shows its custom part; `fullOpen` needs nothing more.
    (void)fullOpen;
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.selectedColor();
}

std::optional<QFont> TQtPrompts::ChooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    if (!ok) return std::nullopt;
    return f;
}

QString TQtPrompts::OpenFileName(QWidget* parent, const TFileDialogRequest& r,
                                 QString* selectedFilter) {
    QString sel = r.selectedFilter;
    if (!r.preview) {
        const QString f = QFileDialog::getOpenFileName(parent, r.caption, r.dir, r.filter, &sel);
        if (selectedFilter) *selectedFilter = sel;
        return f;
    }
    // Qt's own dialog (the desktop's cannot hold a widget), with a small
    // picture of the file under the cursor beside the list.
    QFileDialog dlg(parent, r.caption, r.dir, r.filter);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (!sel.isEmpty()) dlg.selectNameFilter(sel);
    auto* preview = new QLabel(&dlg);
    preview->setObjectName("Preview");
    preview->setFixedSize(136, 136);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), Qt::AlignTop);
    QObject::connect(&dlg, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        const QImage img = QFileInfo(path).isFile() ? PicturePreview(path, 128) : QImage();
        preview->setPixmap(QPixmap::fromImage(img));
    });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
    if (selectedFilter) *selectedFilter = dlg.selectedNameFilter();
    return dlg.selectedFiles().front();
}

QStringList TQtPrompts::OpenFileNames(QWidget* parent, const TFileDialogRequest& r) {
    QString sel = r.selectedFilter;
    return QFileDialog::getOpenFileNames(parent, r.caption, r.dir, r.filter, &sel);
}

QString TQtPrompts::SaveFileName(QWidget* parent, const TFileDialogRequest& r,
                                 QString* selectedFilter) {
    QString sel = r.selectedFilter;
    const QString f = QFileDialog::getSaveFileName(parent, r.caption, r.dir, r.filter, &sel);
    if (selectedFilter) *selectedFilter = sel;
    return f;
}

QString TQtPrompts::ExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) {
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

bool TQtPrompts::PrintDialog(QWidget* parent, QPrinter* printer) {
    QPrintDialog dlg(printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

bool TQtPrompts::PageSetupDialog(QWidget* parent, QPrinter* printer) {
    QPageSetupDialog dlg(printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

void TQtPrompts::PrintPreview(QWidget* parent, QPrinter* printer,
                              const std::function<void(QPrinter*)>& paint) {
    QPrintPreviewDialog dlg(printer, parent);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                     [&paint](QPrinter* p) { paint(p); });
    dlg.exec();
}
