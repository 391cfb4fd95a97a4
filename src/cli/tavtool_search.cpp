#include <QFile>

#include "cli/tavtool_commands.h"
#include "core/fileops.h"
#include "tools/filesearch.h"

extern const char* const kSearchUsage =
    "  search PATTERN ROOT...\n"
    "        list the files under each ROOT whose names match PATTERN (* and ?,\n"
    "        case ignored), sorted; stays on ROOT's file system, skips hidden\n"
    "        names and does not follow links to folders\n";

int RunSearchCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    if (args.size() < 2) throw TUsageError{"search needs PATTERN and at least one ROOT"};
    for (const std::string& a : args)
        if (a.size() > 1 && a[0] == '-' && a[1] == '-')
            throw TUsageError{"search: unknown option " + a};

    std::vector<QByteArray> found;
    TSearchWalk walk(QFile::decodeName(QByteArray::fromStdString(args[0])));
    walk.onFound = [&](QByteArray&& p) { found.push_back(std::move(p)); };
    int status = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        int error = 0;
        switch (walk.Walk(QByteArray::fromStdString(args[i]), &error)) {
        case TSearchEnd::RootFailed:
            std::fprintf(err, "tavtool: cannot search %s: %s\n", args[i].c_str(),
                         FileErrorText(error).c_str());
            status = 1;
            break;
        case TSearchEnd::CapReached:
            std::fprintf(err, "tavtool: %s: Number of files exceeds list box capacity.\n",
                         args[i].c_str());
            status = 1;
            break;
        default:
            break;
        }
    }
    SortSearchResults(found);
    for (const QByteArray& p : found) {
        std::fwrite(p.constData(), 1, size_t(p.size()), out);
        std::fputc('\n', out);
    }
    return status;
}
