// Makes the files the installation puts on the desktop, at build time, from
// the program's own code: the icons (drawn as the windows draw them), the
// desktop entry (the text the file associations write) and tavtool's manual
// page (its commands taken from `tavtool --help`, so the two cannot drift).
//
//   tavirlo-dist icons FOLDER               FOLDER/<size>x<size>/tavirlo.png
//   tavirlo-dist desktop FILE               the desktop entry
//   tavirlo-dist man TEMPLATE TAVTOOL FILE  TEMPLATE with @COMMANDS@ made from
//                                           the output of `TAVTOOL --help`

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

#include "browser/appicon.h"
#include "platform/desktopentry.h"

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        std::fprintf(stderr, "tavirlo-dist: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Text for roff: backslashes and dashes spelled out, no line starting as a
// request.
QString Roff(const QString& s) {
    QString r = s;
    r.replace('\\', QStringLiteral("\\e"));
    r.replace('-', QStringLiteral("\\-"));
    if (r.startsWith('.') || r.startsWith('\'')) r.prepend(QStringLiteral("\\&"));
    return r;
}

// One command of the help: its synopsis and what it does.
struct TEntry {
    QString synopsis;
    QString text;
};

// The help lists each command as a line indented by two spaces, its
// synopsis wrapped onto lines starting with "[" or "-", then the description
// indented further (or on the same line after a gap of spaces).
std::vector<TEntry> ParseHelp(const QString& help) {
    std::vector<TEntry> entries;
    bool inCommands = false;
    for (const QString& line : help.split('\n')) {
        if (line.startsWith("Commands:")) {
            inCommands = true;
            continue;
        }
        if (!inCommands) continue;
        if (line.trimmed().isEmpty()) continue;
        if (line.startsWith("Exit status")) break;
        if (!line.startsWith(' ')) continue; // a heading between groups of commands
        const QString t = line.trimmed();
        if (line.startsWith("  ") && line.size() > 2 && line[2] != ' ') {
            TEntry e;
            const int gap = t.indexOf(QStringLiteral("  "));
            e.synopsis = gap < 0 ? t : t.left(gap);
            if (gap >= 0) e.text = t.mid(gap).trimmed();
            entries.push_back(e);
        } else if (!entries.empty()) {
            TEntry& e = entries.back();
            if (e.text.isEmpty() && (t.startsWith('[') || t.startsWith('-')))
                e.synopsis += ' ' + t;
            else
                e.text += (e.text.isEmpty() ? QString() : QStringLiteral(" ")) + t;
        }
    }
    return entries;
}

QString CommandsRoff(const QString& help) {
    QString r;
    for (const TEntry& e : ParseHelp(help)) {
        r += ".TP\n.B " + Roff(e.synopsis) + "\n";
        if (!e.text.isEmpty()) r += Roff(e.text) + "\n";
    }
    return r;
}

int Icons(const QString& folder) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2").arg(folder).arg(size);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!QDir().mkpath(dir) || !DrawTavirloIcon(size).save(&png, "PNG") ||
            !Write(dir + "/tavirlo.png", png.data()))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList a = [&] {
        QStringList l;
        for (int i = 1; i < argc; ++i)
            l << QString::fromLocal8Bit(argv[i]);
        return l;
    }();
    if (a.size() == 2 && a[0] == "icons") return Icons(a[1]);
    if (a.size() == 2 && a[0] == "desktop")
        return Write(a[1], DesktopEntryText({"tavirlo", "--open"}, ReadableMimeTypes()).toUtf8()) ? 0 : 1;
    if (a.size() == 4 && a[0] == "man") {
        QFile t(a[1]);
        if (!t.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tavirlo-dist: cannot read %s\n", argv[2]);
            return 1;
        }
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        tool.setProcessEnvironment(env);
        tool.start(a[2], {"--help"});
        if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0) {
            std::fprintf(stderr, "tavirlo-dist: %s --help failed\n", argv[3]);
            return 1;
        }
        const QString help = QString::fromUtf8(tool.readAllStandardOutput());
        if (ParseHelp(help).empty()) {
            std::fprintf(stderr, "tavirlo-dist: no commands in the help of %s\n", argv[3]);
            return 1;
        }
        QString page = QString::fromUtf8(t.readAll());
        page.replace("@COMMANDS@\n", CommandsRoff(help));
        return Write(a[3], page.toUtf8()) ? 0 : 1;
    }
    std::fputs("usage: tavirlo-dist icons FOLDER | desktop FILE | man TEMPLATE TAVTOOL FILE\n",
               stderr);
    return 2;
}
