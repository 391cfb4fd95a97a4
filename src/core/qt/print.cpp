#include "core/qt/print.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cmath>
#include <memory>

#include "core/colour.h"
#include "core/exceptions.h"
#include "core/qt/drawing.h"

QPrinter& PGPrinter() {
    static std::unique_ptr<QPrinter> printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

TPGPrintDialogHandler PGPrintDialogHandler = [](QPrinter& printer, QWidget* owner) {
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
};

QRect PGPrintRect(int width, int height, int pw, int ph, int ax, int ay) {
    if (width <= 0 || height <= 0 || pw <= 0 || ph <= 0 || ax <= 0 || ay <= 0) return {};
    const long double w = width, h = height;
    // Compare with the page's shape on paper (pixel counts times pixel
    // sizes), the same measure the two extents below use; comparing with
    // ay / ax instead would push pictures off the page on devices whose
    // pixels are not square.
    if (w / h >= (static_cast<long double>(pw) / ph) * ax / ay) {
        const int e = int(std::nearbyint(pw * (h / w) * ax / ay));
        const int top = (ph - e) / 2;
        return QRect(QPoint(0, top), QPoint(pw - 1, ph - top - 1));
    }
    const int e = int(std::nearbyint(ph * (w / h) * ay / ax));
    const int left = (pw - e) / 2;
    return QRect(QPoint(left, 0), QPoint(pw - left - 1, ph - 1));
}

std::string PGPrintTitle(const TPixelGraphic& pg) {
    const long long colors = 1LL << pg.BitsPerPixel();
    return QGuiApplication::applicationDisplayName().toStdString() + " Graphic " +
           std::to_string(pg.GetWidth()) + "x" + std::to_string(pg.GetHeight()) + "x" +
           std::to_string(colors);
}

void Print(const TPixelGraphic& pg, bool showDialog, bool chooseOrientation, QWidget* owner) {
    const int W = pg.GetWidth(), H = pg.GetHeight();
    if (W == 0 || H == 0) return;
    QPrinter& printer = PGPrinter();
    if (showDialog && !(PGPrintDialogHandler && PGPrintDialogHandler(printer, owner))) return;

    const QPageLayout::Orientation old = printer.pageLayout().orientation();
    struct Restore {
        QPrinter& p;
        QPageLayout::Orientation o;
        ~Restore() { p.setPageOrientation(o); }
    } restore{printer, old};
    if (chooseOrientation && W != H)
        printer.setPageOrientation(H < W ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(QString::fromStdString(PGPrintTitle(pg)));

    // The print path takes the pixels for sRGB: a tagged picture goes in
    // converted, the picture itself untouched.
    std::unique_ptr<TPixelGraphic> srgb;
    if (PGNeedsColourConversion(pg, TPGColourTarget::sRGB)) {
        srgb = std::make_unique<TPixelGraphic>();
        srgb->Assign(&pg);
        PGConvertColours(*srgb, TPGColourTarget::sRGB);
    }
    const TPixelGraphic& printed = srgb ? *srgb : pg;

    QPainter painter;
    // A printer that cannot start a job is an error the caller must see,
    // not a silently empty print.
    if (!painter.begin(&printer)) throw EPixelGraphic(PGMessage(31, "StartDoc"));
    try {
        // Relative pixel width and height: a pixel is as wide as the
        // vertical resolution is fine, and the other way round.
        const int ax = printer.logicalDpiY(), ay = printer.logicalDpiX();
        DrawToDC(printed, painter, PGPrintRect(W, H, printer.width(), printer.height(), ax, ay));
    } catch (...) {
        painter.end();
        throw;
    }
    painter.end();
}
