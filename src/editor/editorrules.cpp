#include "editor/editorrules.h"
#include "formats/droptypes.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

// Repeated steps of 0.2 do not add up exactly in binary; the limits are
// compared with this slack so ten clicks in reach 3.0 and stop there.
constexpr long double kZoomSlack = 1e-9L;

int TruncClamp(long double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(std::trunc(v));
}

} // namespace

long double ZoomToolStep(long double zoom, bool rightButton) {
    if (rightButton) return zoom <= 0.3L + kZoomSlack ? zoom : zoom - 0.2L;
    return zoom >= 3.0L - kZoomSlack ? zoom : zoom + 0.2L;
}

int ZoomToolPicturePoint(int boxPos, long double oldZoom) {
    if (!(oldZoom > 0)) return 0;
    return TruncClamp(boxPos / oldZoom);
}

int ZoomToolScroll(long double newZoom, int p, int clientExtent) {
    return TruncClamp(newZoom * p) - (clientExtent - 21) / 2;
}

bool IsEditableDropName(const QString& path) {
    return IsDroppedPictureName(QFileInfo(path).fileName().toStdString());
}

QString QtFilterFromPipes(const std::string& pipes) {
    const QStringList parts = QString::fromStdString(pipes).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) continue;
        QStringList pats = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : pats)
            p = p.trimmed();
        // Qt's "*.*" only lists names with a dot; "*" is every file.
        for (QString& p : pats)
            if (p == "*.*") p = "*";
        entries << parts[i] + " (" + pats.join(' ') + ")";
    }
    return entries.join(";;");
}

QString FilterExtension(const QString& qtEntry) {
    static const QRegularExpression one(R"(\(\*\.([A-Za-z0-9]+)\)$)");
    const auto m = one.match(qtEntry.trimmed());
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

QString FilterEntryForFile(const QString& qtFilter, const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext.isEmpty()) return {};
    for (const QString& e : qtFilter.split(";;"))
        if (FilterExtension(e) == ext) return e;
    return {};
}

QString WithDefaultExtension(const QString& fileName, const QString& qtEntry) {
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) return fileName;
    const QString ext = FilterExtension(qtEntry);
    return ext.isEmpty() ? fileName : fileName + '.' + ext;
}

QRect EditorWindowRect(const QString& left, const QString& top, const QString& width,
                       const QString& height, const QRect& screen) {
    auto num = [](const QString& s, int def) {
        bool ok = false;
        const int v = s.toInt(&ok);
        return ok ? v : def;
    };
    QRect r(num(left, 50), num(top, 50), num(width, 600), num(height, 400));
    if (screen.isEmpty()) return r;
    // A usable size that fits the screen...
    r.setWidth(std::clamp(r.width(), 200, std::max(200, screen.width())));
    r.setHeight(std::clamp(r.height(), 150, std::max(150, screen.height())));
    // ...and a position that keeps the whole window on it.
    r.moveLeft(std::clamp(r.left(), screen.left(),
                          std::max(screen.left(), screen.right() + 1 - r.width())));
    r.moveTop(std::clamp(r.top(), screen.top(),
                         std::max(screen.top(), screen.bottom() + 1 - r.height())));
    return r;
}

TPGPixelFormat CaptureFormatForDepth(int depth) {
    return depth == 4 ? pg4Bit : depth == 8 ? pg8Bit : pg24Bit;
}
