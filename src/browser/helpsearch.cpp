#include "browser/helpsearch.h"

#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>

namespace {

int CountPrefixMatches(const QStringList& words, const QString& w) {
    int n = 0;
    for (const QString& x : words)
        if (x.startsWith(w)) ++n;
    return n;
}

} // namespace

QStringList HelpWords(const QString& text) {
    static const QRegularExpression split(QStringLiteral("[^\\p{L}\\p{N}]+"));
    return text.toLower().split(split, Qt::SkipEmptyParts);
}

std::vector<THelpHit> SearchHelpPages(const std::vector<THelpPageText>& pages,
                                      const QString& query) {
    std::vector<THelpHit> hits;
    QStringList q = HelpWords(query);
    q.removeDuplicates();
    if (q.isEmpty()) return hits;
    for (const THelpPageText& p : pages) {
        const QStringList title = HelpWords(p.title);
        const QStringList keys = HelpWords(p.keywords);
        const QStringList body = HelpWords(p.text);
        int score = 0;
        bool all = true;
        for (const QString& w : q) {
            const int t = CountPrefixMatches(title, w);
            const int k = CountPrefixMatches(keys, w);
            const int b = CountPrefixMatches(body, w);
            if (t + k + b == 0) {
                all = false;
                break;
            }
            score += 20 * t + 10 * k + b;
        }
        if (all) hits.push_back({p.page, p.title, score});
    }
    std::sort(hits.begin(), hits.end(), [](const THelpHit& a, const THelpHit& b) {
        if (a.score != b.score) return a.score > b.score;
        return a.title.localeAwareCompare(b.title) < 0;
    });
    return hits;
}

THelpPageText HelpPageTextFromHtml(const QString& page, const QString& html) {
    THelpPageText t;
    t.page = page;
    static const QRegularExpression meta(
        QStringLiteral("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\""),
        QRegularExpression::CaseInsensitiveOption);
    if (auto m = meta.match(html); m.hasMatch()) t.keywords = m.captured(1);
    QTextDocument doc;
    doc.setHtml(html);
    t.title = doc.metaInformation(QTextDocument::DocumentTitle);
    t.text = doc.toPlainText();
    return t;
}
