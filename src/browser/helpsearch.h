#pragma once
// The keyword search of the help window, kept apart from its widgets: the
// pages' text goes in, the pages that hold every word of the query come out,
// best first.

#include <QString>
#include <QStringList>
#include <vector>

struct THelpPageText {
    QString page;     // file name
    QString title;    // the page's <title>
    QString keywords; // its <meta name="keywords">: words a reader may try
    QString text;     // the page as plain text
};

struct THelpHit {
    QString page;
    QString title;
    int score = 0;
};

// The words of a query or a text: lower case, split at anything that is not
// a letter or digit.
QStringList HelpWords(const QString& text);

// Pages holding every word of `query` (a word matches the start of a word of
// the page, so "renam" finds "renaming"). Title and keyword matches weigh
// more than the body text. Best first; equal scores by title. An empty query
// finds nothing.
std::vector<THelpHit> SearchHelpPages(const std::vector<THelpPageText>& pages,
                                      const QString& query);

// Reads one page's title, keywords and plain text from its HTML.
THelpPageText HelpPageTextFromHtml(const QString& page, const QString& html);
