#pragma once
// Small pieces the tool windows share: a text elided in the middle that
// keeps its end (where file names differ: "img_…0815.jpg"), and a list delegate
// that elides each line to the list's width instead of cutting it off.

#include <QString>
#include <QStyledItemDelegate>

class QFontMetrics;
class QWidget;

// `text` as it fits `width` pixels: whole when it fits, else its start and
// its end around an ellipsis, the end given most of the room.
QString ElideKeepingEnd(const QFontMetrics& fm, const QString& text, int width);

// Draws each line of a list view elided with ElideKeepingEnd to the width
// the view shows, and asks for no more width than that (so no line runs out
// of sight behind a scroll bar).
class TElidingDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
