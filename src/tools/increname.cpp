#include "tools/increname.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cerrno>

#include "core/fileid.h"
#include "core/fileops.h"

std::optional<TRunningNumber> ParseRunningNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    qint64 n = 0;
    for (QChar c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c.unicode() - '0');
    }
    return TRunningNumber{n, int(text.size())};
}

QString FormatRunningNumber(qint64 n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

bool IsValidIncRenameName(const QString& name) {
    return !name.contains('/') && !name.contains(QChar(0));
}

QString LineExtension(const QString& line) {
    const qsizetype slash = line.lastIndexOf('/');
    const qsizetype dot = line.lastIndexOf('.');
    return dot > slash ? line.mid(dot) : QString();
}

QString IncRenameTarget(const QString& line, const QString& name, qint64 number, int width) {
    if (!line.startsWith('/') || !IsValidIncRenameName(name)) return {};
    const qsizetype slash = line.lastIndexOf('/');
    if (slash == line.size() - 1) return {}; // a folder, not a file
    return line.left(slash + 1) + name + '_' + FormatRunningNumber(number, width) +
           LineExtension(line);
}

QString TIncRenameStep::Result() const {
    return done ? target : QLatin1String(kIncRenameErrorMark) + line;
}

std::vector<TIncRenameStep> PlanIncRename(const QStringList& lines, const QString& name,
                                          TRunningNumber number) {
    std::vector<TIncRenameStep> steps;
    steps.reserve(lines.size());
    qint64 n = number.first;
    for (const QString& line : lines) {
        TIncRenameStep s;
        s.line = line;
        s.target = IncRenameTarget(line, name, n++, number.width);
        steps.push_back(std::move(s));
    }
    return steps;
}

int RenameFileNoReplace(const QString& from, const QString& to) {
    return RenameNoReplace(QFile::encodeName(from).toStdString(),
                           QFile::encodeName(to).toStdString());
}

void RunIncRename(std::vector<TIncRenameStep>& steps, const TRenameFn& renameFn) {
    const TRenameFn rename = renameFn ? renameFn : TRenameFn(&RenameFileNoReplace);
    const int count = int(steps.size());

    // A line whose new name is another line's current name waits for that
    // line to move on first.
    QHash<QString, int> bySource;
    for (int i = count - 1; i >= 0; --i)
        if (!steps[i].target.isEmpty()) bySource.insert(steps[i].line, i);
    std::vector<int> waitsFor(count, -1);
    for (int i = 0; i < count; ++i) {
        if (steps[i].target.isEmpty() || steps[i].target == steps[i].line) continue;
        const auto it = bySource.constFind(steps[i].target);
        if (it != bySource.constEnd() && *it != i) waitsFor[i] = *it;
    }

    enum { Pending, Busy, Finished };
    std::vector<char> state(count, Pending);
    auto renameOne = [&](TIncRenameStep& s) {
        if (s.target.isEmpty()) {
            s.error = EINVAL;
            return;
        }
        if (s.target == s.line) { // a rerun: the file already has its name
            const QFileInfo fi(s.line);
            s.done = fi.exists() || fi.isSymLink();
            s.error = s.done ? 0 : ENOENT;
            return;
        }
        // Folders are not files to number (a script may name one by mistake).
        const QFileInfo source(s.line);
        if (source.isDir() && !source.isSymLink()) {
            s.error = EISDIR;
            return;
        }
        s.error = rename(s.line, s.target);
        if (s.error == EEXIST && SameFile(QFile::encodeName(s.line).toStdString(),
                                          QFile::encodeName(s.target).toStdString()))
            s.error = 0; // a second name of the same file: it has its new name
        s.done = s.error == 0;
    };

    std::vector<int> chain;
    for (int i = 0; i < count; ++i) {
        // Follow the waiting chain to its end (or round a cycle, whose lines
        // simply find their names taken), then rename back along it.
        chain.clear();
        for (int j = i; j >= 0 && state[j] == Pending; j = waitsFor[j]) {
            state[j] = Busy;
            chain.push_back(j);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            renameOne(steps[*it]);
            state[*it] = Finished;
        }
    }
}

void DryRunIncRename(std::vector<TIncRenameStep>& steps) {
    QSet<QString> gone, arrived;
    auto exists = [&](const QString& p) {
        if (arrived.contains(p)) return true;
        if (gone.contains(p)) return false;
        const QFileInfo fi(p);
        return fi.exists() || fi.isSymLink();
    };
    RunIncRename(steps, [&](const QString& from, const QString& to) {
        if (!exists(from)) return ENOENT;
        if (exists(to)) return EEXIST;
        const QFileInfo folder(QFileInfo(to).absolutePath());
        if (!folder.isDir()) return ENOENT;
        if (!folder.isWritable()) return EACCES;
        gone.insert(from);
        arrived.remove(from);
        arrived.insert(to);
        gone.remove(to);
        return 0;
    });
}

namespace {
// -1, 0 or 1: `a` against `b` with digit runs as numbers and letters
// without case.
int NaturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a[ie].isDigit()) ++ie;
            while (je < b.size() && b[je].isDigit()) ++je;
            // Leading zeros do not change a number's value.
            qsizetype is = i, js = j;
            while (is + 1 < ie && a[is] == '0') ++is;
            while (js + 1 < je && b[js] == '0') ++js;
            if (ie - is != je - js) return ie - is < je - js ? -1 : 1;
            for (qsizetype k = 0; k < ie - is; ++k)
                if (a[is + k] != b[js + k]) return a[is + k] < b[js + k] ? -1 : 1;
            i = ie;
            j = je;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}
} // namespace

bool NaturalLess(const QString& a, const QString& b) {
    const int r = NaturalCompare(a, b);
    return r != 0 ? r < 0 : a < b; // one order for names equal but for case or zeros
}

QStringList IncRenameResults(const std::vector<TIncRenameStep>& steps) {
    QStringList out;
    out.reserve(qsizetype(steps.size()));
    for (const TIncRenameStep& s : steps)
        out << s.Result();
    return out;
}
