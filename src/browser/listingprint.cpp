#include "browser/listingprint.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTreeView>
#include <algorithm>
#include <vector>

void SetUpListingPage(QPrinter* printer) {
    printer->setPageOrientation(QPageLayout::Portrait);
    // Left and right 1.0 in, top 0.75 in and bottom 0.5 in, plus 0.25 in for
    // the header and the footer lines.
    printer->setPageMargins(QMarginsF(1.0, 0.75, 1.0, 0.5), QPageLayout::Inch);
}

void PaintListing(QPrinter* printer, const QString& folder, const QTreeView* list) {
    QPainter p(printer);
    if (!p.isActive()) return;
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    const QRectF area(0, 0, page.width(), page.height());
    const double dpi = printer->resolution();
    const double headerGap = 0.25 * dpi, footerGap = 0.25 * dpi;

    QFont headerFont("serif", 18);
    headerFont.setStyleHint(QFont::Serif);
    headerFont.setBold(true);
    QFont footerFont("serif", 10);
    footerFont.setStyleHint(QFont::Serif);
    footerFont.setItalic(true);
    QFont body("sans", 10);
    body.setStyleHint(QFont::SansSerif);
    QFont bold = body;
    bold.setBold(true);
    headerFont = QFont(headerFont, printer);
    footerFont = QFont(footerFont, printer);
    body = QFont(body, printer);
    bold = QFont(bold, printer);

    const QAbstractItemModel* model = list->model();
    const QHeaderView* header = list->header();
    const int columns = model ? model->columnCount() : 0;
    std::vector<int> shown;
    double total = 0;
    for (int c = 0; c < columns; ++c)
        if (!header->isSectionHidden(c)) {
            shown.push_back(c);
            total += std::max(1, header->sectionSize(c));
        }
    std::vector<double> x, w;
    double at = 0;
    for (int c : shown) {
        const double cw = area.width() * std::max(1, header->sectionSize(c)) / total;
        x.push_back(at);
        w.push_back(cw);
        at += cw;
    }
    auto alignOf = [&](int c) {
        const QVariant v = model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole);
        Qt::Alignment a = Qt::AlignLeft;
        if (v.metaType() == QMetaType::fromType<Qt::Alignment>())
            a = v.value<Qt::Alignment>();
        else if (v.isValid())
            a = Qt::Alignment(v.toInt());
        return (a & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    };

    const double headerH = QFontMetricsF(headerFont).height();
    const double footerH = QFontMetricsF(footerFont).height();
    const double rowH = QFontMetricsF(body).height() * 1.2;
    const double top = headerH + headerGap;
    const double bottom = area.height() - footerH - footerGap;
    const int rows = model ? model->rowCount() : 0;
    int row = 0, pageNo = 0;
    do {
        if (pageNo > 0) printer->newPage();
        ++pageNo;
        p.setFont(headerFont);
        p.drawText(QRectF(0, 0, area.width(), headerH), Qt::AlignCenter,
                   QFontMetricsF(headerFont).elidedText(folder, Qt::ElideMiddle, area.width()));
        p.setFont(footerFont);
        p.drawText(QRectF(0, area.height() - footerH, area.width(), footerH),
                   Qt::AlignRight | Qt::AlignVCenter, QString("Page %1").arg(pageNo));
        double y = top;
        p.setFont(bold);
        for (size_t i = 0; i < shown.size(); ++i) {
            const QString t = model->headerData(shown[i], Qt::Horizontal).toString();
            p.drawText(QRectF(x[i] + 2, y, w[i] - 4, rowH), alignOf(shown[i]),
                       QFontMetricsF(bold).elidedText(t, Qt::ElideRight, w[i] - 4));
        }
        y += rowH;
        p.drawLine(QPointF(0, y), QPointF(area.width(), y));
        y += rowH * 0.2;
        p.setFont(body);
        const QFontMetricsF fm(body);
        for (; row < rows && y + rowH <= bottom; ++row, y += rowH)
            for (size_t i = 0; i < shown.size(); ++i) {
                const QString t = model->index(row, shown[i]).data().toString();
                p.drawText(QRectF(x[i] + 2, y, w[i] - 4, rowH), alignOf(shown[i]),
                           fm.elidedText(t, Qt::ElideRight, w[i] - 4));
            }
    } while (row < rows);
}
