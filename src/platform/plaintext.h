#pragma once
// File names and text taken from files (EXIF values, album captions) are
// shown as the characters they are, never as markup: Qt's automatic
// rich-text detection would otherwise render "<h1>BIG.jpg" as a heading and
// load the resource of "<img src=z>.jpg" from the current folder, which may
// be a FIFO or /dev/zero. Every window of the program follows these rules:
//  - labels, panels and captions that can hold such text: SetPlainText or
//    MakePlainText (Qt::PlainText);
//  - list cells: models return plain strings (views draw them as text);
//  - tooltips: PlainToolTip (tooltips have no plain-text switch);
//  - message boxes: through the prompts service, which shows plain text;
//  - a label that really wants rich text escapes what it inserts
//    (QString::toHtmlEscaped) and is marked with MarkRichText.

#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

void MakePlainText(QLabel* label);
// MakePlainText, then the text.
void SetPlainText(QLabel* label, const QString& text);
// Makes every label under `root` (and `root` itself) plain text, except the
// ones marked with MarkRichText.
void MakeLabelsPlainText(QWidget* root);
// A label whose rich text escapes every inserted text; RichTextLabels lets it be.
void MarkRichText(QLabel* label);
// The labels under `root` that may render markup: object names (or class
// and text when unnamed) of labels neither plain text nor marked.
QStringList RichTextLabels(QWidget* root);

// A tooltip that shows `text` literally.
QString PlainToolTip(const QString& text);
