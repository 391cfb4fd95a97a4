#include <QDir>
#include <QFile>
#include <cerrno>

#include "cli/tavtool_commands.h"
#include "core/fileops.h"
#include "tools/increname.h"

extern const char* const kRenameUsage =
    "  rename NAME NUMBER FILE... [--yes]\n"
    "        rename the FILEs, in order, to NAME_NUMBER with their own folder and\n"
    "        extension, counting up from NUMBER (its digits set the width: 001);\n"
    "        without --yes change nothing and print \"old -> new\": a dry run that\n"
    "        reports and exits exactly as the real run would; an existing name is\n"
    "        never replaced: that file is reported as \"ERROR * \" + old\n";

namespace {

void PutLine(std::FILE* f, const QString& s) {
    const QByteArray b = QFile::encodeName(s);
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fputc('\n', f);
}

} // namespace

int RunRenameCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    bool yes = false;
    std::vector<std::string> pos;
    for (const std::string& a : args) {
        if (a == "--yes")
            yes = true;
        else if (a.size() > 1 && a[0] == '-' && a[1] == '-')
            throw TUsageError{"rename: unknown option " + a};
        else
            pos.push_back(a);
    }
    if (pos.size() < 3) throw TUsageError{"rename needs NAME, NUMBER and at least one FILE"};
    const QString name = QFile::decodeName(QByteArray::fromStdString(pos[0]));
    if (!IsValidIncRenameName(name))
        throw TUsageError{"rename: NAME must not contain \"/\" (files keep their folder)"};
    const auto number = ParseRunningNumber(QString::fromStdString(pos[1]));
    if (!number || pos[1].size() > 5)
        throw TUsageError{"rename: NUMBER must be 1 to 5 digits, not \"" + pos[1] + "\""};

    // The window's lines are full paths; a script's names are relative to
    // where it runs.
    QStringList lines;
    const QString here = QDir::currentPath();
    for (size_t i = 2; i < pos.size(); ++i) {
        QString f = QFile::decodeName(QByteArray::fromStdString(pos[i]));
        if (!f.startsWith('/')) f = (here == "/" ? here : here + '/') + f;
        lines << f;
    }

    std::vector<TIncRenameStep> steps = PlanIncRename(lines, name, *number);
    // The dry run plays the same renames on a picture of the folders, so it
    // reports exactly what the real run would do.
    if (yes)
        RunIncRename(steps);
    else
        DryRunIncRename(steps);
    int failed = 0;
    for (const TIncRenameStep& s : steps) {
        PutLine(out, yes ? s.Result() : s.line + " -> " + s.Result());
        if (s.done) continue;
        ++failed;
        const QString why = s.error == EINVAL ? QString("not a file name")
                                              : QString::fromStdString(FileErrorText(s.error));
        std::fprintf(err, "tavtool: %s: %s\n", QFile::encodeName(s.line).constData(),
                     why.toLocal8Bit().constData());
    }
    return failed ? 1 : 0;
}
