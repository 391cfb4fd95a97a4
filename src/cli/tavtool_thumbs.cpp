// tavtool thumbs: saved thumbnails from the command line, with the explorer's
// geometry, naming and source guard.

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "cli/tavtool_commands.h"
#include "core/registry.h"
#include "thumbs/thumbsave.h"

extern const char* const kThumbsUsage =
    "  thumbs FILE... [--size S] [--format bmp|jpg|tif|png|tga] [--prefix P]\n"
    "                 [--out DIR] [--jobs N]\n"
    "        write an S x S thumbnail of each FILE (default 64, bmp, prefix thm_,\n"
    "        beside each FILE unless --out) on N threads; never writes over one of\n"
    "        the FILEs\n";

namespace {
struct TThumbsArgs {
    QStringList files;
    int size = 64;
    QString ext = "bmp";
    QString prefix = "thm_";
    QString out; // empty: each file's own folder
    int jobs = 0;
};

int IntArg(const std::string& flag, const std::string& v, int lo, int hi) {
    return int(ToolIntArg(flag, v, lo, hi));
}

TThumbsArgs Parse(const TToolCommandArgs& args) {
    TThumbsArgs a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError{s + " needs a value"};
            return args[++i];
        };
        if (s == "--size") {
            a.size = IntArg(s, value(), 16, 1024);
        } else if (s == "--format") {
            a.ext = QString::fromStdString(value()).toLower();
            if (!IsThumbSaveExt(a.ext)) throw TUsageError{"--format: bmp, jpg, tif, png or tga"};
        } else if (s == "--prefix") {
            a.prefix = QString::fromStdString(value());
            if (!ValidThumbPrefix(a.prefix)) throw TUsageError{"Invalid file prefix"};
        } else if (s == "--out") {
            a.out = QString::fromStdString(value());
        } else if (s == "--jobs") {
            a.jobs = IntArg(s, value(), 1, 64);
        } else if (s.size() > 1 && s[0] == '-' && s != "-") {
            throw TUsageError{"thumbs: unknown option " + s};
        } else {
            a.files << QString::fromStdString(s);
        }
    }
    if (a.files.isEmpty()) throw TUsageError{"thumbs needs at least one FILE"};
    return a;
}
} // namespace

int RunThumbsCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    const TThumbsArgs a = Parse(args);
    if (!a.out.isEmpty() && !QFileInfo(a.out).isDir()) {
        std::fprintf(err, "tavtool: %s is not a folder\n", a.out.toStdString().c_str());
        return 1;
    }
    QStringList sources;
    for (const QString& f : a.files)
        sources << QFileInfo(f).absoluteFilePath();
    const auto items = PlanThumbnailSaves(sources, a.out, a.prefix, a.ext);

    TThumbOptions o;
    o.size = a.size;
    o.fast = false;
    o.loadHint = 2 * a.size;
    o.warnings = pgwaIgnore;
    PrepareLibraryForWorkers();

    const int jobs =
        a.jobs > 0 ? a.jobs : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    std::mutex io;
    auto work = [&] {
        TPixelGraphic source, scaled, square;
        for (size_t i = next++; i < items.size(); i = next++) {
            try {
                SaveThumbnailItem(items[i], sources, o, source, scaled, square);
                std::lock_guard lock(io);
                std::fprintf(out, "%s\n", items[i].output.toStdString().c_str());
            } catch (const std::exception& e) {
                ++failures;
                std::lock_guard lock(io);
                std::fprintf(err, "tavtool: %s: %s\n", items[i].source.toStdString().c_str(),
                             e.what());
            }
        }
    };
    std::vector<std::thread> pool;
    for (int j = 1; j < std::min<int>(jobs, int(items.size())); ++j)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
    return failures ? 1 : 0;
}
