#include "thumbs/qt/toolwidgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWidget>

QString ElideKeepingEnd(const QFontMetrics& fm, const QString& text, int width) {
    if (fm.horizontalAdvance(text) <= width) return text;
    const QString dots(QChar(0x2026));
    const int room = width - fm.horizontalAdvance(dots);
    if (room <= 0) return dots;
    // The end takes up to two thirds of the room, the start what is left;
    // an end that needs less leaves the rest to the start.
    int tail = 0;
    while (tail < text.size() &&
           fm.horizontalAdvance(text.right(tail + 1)) <= room * 2 / 3)
        ++tail;
    int head = 0;
    while (head + tail < text.size() &&
           fm.horizontalAdvance(text.left(head + 1)) + fm.horizontalAdvance(text.right(tail)) <=
               room)
        ++head;
    while (head + tail < text.size() &&
           fm.horizontalAdvance(text.left(head)) + fm.horizontalAdvance(text.right(tail + 1)) <=
               room)
        ++tail;
    return text.left(head) + dots + text.right(tail);
}

namespace {
// The width a line of the list may use: the view's visible width.
int VisibleWidth(const QStyleOptionViewItem& option) {
    if (const auto* v = qobject_cast<const QAbstractItemView*>(option.widget))
        return v->viewport()->width();
    return option.rect.width();
}
} // namespace

void TElidingDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem o(option);
    initStyleOption(&o, index);
    o.rect.setRight(std::min(o.rect.right(), o.rect.left() + VisibleWidth(option) - 1));
    // The text's own room: the line less the style's margins.
    const int margin = (o.widget ? o.widget->style() : QApplication::style())
                           ->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, o.widget) +
                       1;
    int room = o.rect.width() - 2 * margin;
    if (o.features & QStyleOptionViewItem::HasDecoration) room -= o.decorationSize.width() + margin;
    o.text = ElideKeepingEnd(o.fontMetrics, o.text, std::max(0, room));
    const QWidget* w = o.widget;
    (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &o, p, w);
}

QSize TElidingDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setWidth(std::min(s.width(), std::max(1, VisibleWidth(option))));
    return s;
}
