#include "platform/plaintext.h"

#include <QLabel>
#include <QTextDocument>

namespace {
const char* const kRichProperty = "tavEscapedRichText";
}

void MakePlainText(QLabel* label) {
    if (label) label->setTextFormat(Qt::PlainText);
}

void SetPlainText(QLabel* label, const QString& text) {
    if (!label) return;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void MakeLabelsPlainText(QWidget* root) {
    if (!root) return;
    QList<QLabel*> labels = root->findChildren<QLabel*>();
    if (auto* self = qobject_cast<QLabel*>(root)) labels << self;
    for (QLabel* l : labels)
        if (!l->property(kRichProperty).toBool()) l->setTextFormat(Qt::PlainText);
}

void MarkRichText(QLabel* label) {
    if (!label) return;
    label->setProperty(kRichProperty, true);
    label->setTextFormat(Qt::RichText);
}

QStringList RichTextLabels(QWidget* root) {
    QStringList r;
    if (!root) return r;
    QList<QLabel*> labels = root->findChildren<QLabel*>();
    if (auto* self = qobject_cast<QLabel*>(root)) labels << self;
    for (QLabel* l : labels) {
        if (l->textFormat() == Qt::PlainText || l->property(kRichProperty).toBool()) continue;
        // A label showing a picture or nothing has no text to misread, but
        // it may be given one later: it counts all the same.
        r << (l->objectName().isEmpty() ? QString("QLabel \"%1\" in %2")
                                              .arg(l->text().left(40), l->window()->objectName())
                                        : l->objectName());
    }
    return r;
}

QString PlainToolTip(const QString& text) {
    if (text.isEmpty()) return text;
    // Escaped rich text: the tooltip shows exactly the characters given.
    return "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>";
}
