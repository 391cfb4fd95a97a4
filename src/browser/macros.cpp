#include "browser/macros.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <utility>

QStringList SplitMacroLine(const QString& line) {
    QStringList out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = line.indexOf(QLatin1String("]["), from);
        if (at < 0) break;
        out << line.mid(from, at + 1 - from).trimmed();
        from = at + 1;
    }
    out << line.mid(from);
    return out;
}

QString OpenMacroPath(const QString& macro) {
    if (!macro.startsWith(QLatin1String("[Open("))) return {};
    const qsizetype q1 = macro.indexOf('"');
    if (q1 < 0) return {};
    const qsizetype q2 = macro.indexOf('"', q1 + 1);
    QString text = q2 < 0 ? macro.mid(q1 + 1) : macro.mid(q1 + 1, q2 - q1 - 1);
    static const QLatin1String scheme("file://");
    if (!text.startsWith(scheme)) return text;
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.mid(scheme.size()).toUtf8());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString path = utf8.decode(bytes);
    if (utf8.hasError() || bytes.contains('\0')) return {};
    return path;
}

QString LastOpenPath(const QStringList& macros) {
    QString last;
    for (const QString& m : macros)
        if (m.startsWith(QLatin1String("[Open("))) last = OpenMacroPath(m);
    return last;
}

QString OpenMacroFor(const QString& path) {
    // Everything but unreserved characters and "/" encoded: the quote and
    // the brackets of a name cannot end the macro early.
    return QStringLiteral("[Open(\"file://") +
           QString::fromLatin1(path.toUtf8().toPercentEncoding("/")) + QStringLiteral("\")]");
}

bool IsShowablePath(const QString& path) {
    if (path.isEmpty() || !path.startsWith('/')) return false;
    const QFileInfo fi(path);
    return fi.exists() && fi.isFile();
}

void TDDEHandler::SetReceiver(TReceiver r) {
    receiver_ = std::move(r);
    Deliver();
}

void TDDEHandler::ExecuteMacro(const QString& line) {
    for (const QString& m : SplitMacroLine(line)) {
        // A flood before the window exists must not grow without end: the
        // oldest go, the last Open is the one that counts.
        if (queue_.size() >= MaxQueued) queue_.removeFirst();
        queue_ << m;
    }
    Deliver();
}

void TDDEHandler::Deliver() {
    if (!receiver_ || queue_.isEmpty()) return;
    const QStringList macros = std::exchange(queue_, {});
    receiver_(macros);
}
