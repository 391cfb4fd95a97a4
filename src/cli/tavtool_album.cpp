// tavtool album: album files for scripts. "list" prints an album's settings
// and entries; "create" makes one from picture files by the album window's
// drop rule (a picture extension, formats/droptypes.h; names holding TAB or
// a line break are refused, since the file format cannot hold them).

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "album/albumprint.h"
#include "album/file/albumfile.h"
#include "cli/tavtool_commands.h"
#include "core/pixelgraphic.h"
#include "formats/droptypes.h"

extern const char* const kAlbumUsage =
    "  album list ALBUM\n"
    "        print the album's settings (rows, columns, border, frames, caption\n"
    "        option, font) and then one line per entry: rotation<TAB>path<TAB>caption\n"
    "  album create OUT.alb FILE... [--rows 1..6] [--cols 1..6] [--border 20..500]\n"
    "                 [--caption none|filename|caption] [--frames]\n"
    "        make an album of the picture FILEs (as dropped on the album window:\n"
    "        other files are left out with \"Can't edit \" and their name)\n"
    "  album print ALBUM OUT.pdf [--quality 0..2] [--paper a4|letter]\n"
    "        the album's printed pages as the album window prints them (pictures\n"
    "        at 150, 200 or 250 pixels per inch, one inch of margin) as a PDF\n";

namespace {

// The album window's drop rule.
bool AlbumAccepts(const std::string& path) {
    return IsDroppedPictureName(std::filesystem::path(path).filename().string()) &&
           AlbumPathAllowed(path);
}

int Int(const std::string& v, const char* what, int lo, int hi) {
    return int(ToolIntArg(what, v, lo, hi));
}

int List(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    if (args.size() != 2) throw TUsageError{"album list needs ALBUM"};
    TAlbum a;
    std::string error;
    if (!ReadAlbumFile(args[1], a, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    const TAlbumHeader& h = a.header;
    std::fprintf(out, "rows\t%d\ncolumns\t%d\nborder\t%d\nframes\t%d\ncaption\t%d\n", h.rows,
                 h.columns, h.border, h.printFrames ? 1 : 0, h.captionOption);
    std::fprintf(out, "font\t%s\t%d\t%lld\t%s%s\n", h.fontName.c_str(), h.fontSize,
                 (long long)h.fontColor, h.bold ? "bold" : "regular", h.italic ? " italic" : "");
    for (const TAlbumEntry& e : a.entries)
        std::fprintf(out, "%d\t%s\t%s\n", e.rotation, e.path.c_str(), e.caption.c_str());
    return 0;
}

int Create(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    TAlbum a;
    std::string target;
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& s = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError{s + " needs a value"};
            return args[++i];
        };
        if (s == "--rows") {
            a.header.rows = Int(value(), "--rows", 1, 6);
        } else if (s == "--cols") {
            a.header.columns = Int(value(), "--cols", 1, 6);
        } else if (s == "--border") {
            a.header.border = Int(value(), "--border", 20, 500);
        } else if (s == "--caption") {
            const std::string v = value();
            if (v == "none")
                a.header.captionOption = 0;
            else if (v == "filename")
                a.header.captionOption = 1;
            else if (v == "caption")
                a.header.captionOption = 2;
            else
                throw TUsageError{"--caption: \"" + v + "\" is not none, filename or caption"};
        } else if (s == "--frames") {
            a.header.printFrames = true;
        } else if (s.rfind("--", 0) == 0) {
            throw TUsageError{"album create: unknown switch " + s};
        } else if (target.empty()) {
            target = s;
        } else {
            files.push_back(s);
        }
    }
    if (target.empty()) throw TUsageError{"album create needs OUT.alb"};
    int refused = 0;
    for (const std::string& f : files) {
        std::error_code ec;
        const std::string path = std::filesystem::absolute(f, ec).lexically_normal().string();
        if (ec || !AlbumAccepts(path)) {
            std::fprintf(err, "Can't edit %s\n", f.c_str());
            ++refused;
            continue;
        }
        a.entries.push_back({path, "", 0});
    }
    std::string error;
    if (!WriteAlbumFile(target, a, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "%zu entries written to %s\n", a.entries.size(), target.c_str());
    return refused ? 1 : 0;
}

// The pages into a PDF, written whole or not at all.
int Print(const TToolCommandArgs& args, std::FILE*, std::FILE* err) {
    std::string album, target, paper = "a4";
    int quality = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--quality")
            quality = Int(value(), "--quality", 0, 2);
        else if (a == "--paper") {
            paper = value();
            if (paper != "a4" && paper != "letter")
                throw TUsageError{"--paper: \"" + paper + "\" is not a4 or letter"};
        } else if (a.rfind("--", 0) == 0)
            throw TUsageError{"album print: unknown switch " + a};
        else if (album.empty())
            album = a;
        else if (target.empty())
            target = a;
        else
            throw TUsageError{"album print takes ALBUM and OUT.pdf"};
    }
    if (target.empty()) throw TUsageError{"album print needs ALBUM and OUT.pdf"};
    TAlbum a;
    std::string error;
    if (!ReadAlbumFile(album, a, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    // Written beside the target and put in its place (over an older one)
    // only when complete.
    QSaveFile out(QFile::decodeName(QByteArray::fromStdString(target)));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(err, "tavtool: Cannot create file %s\n", target.c_str());
        return 1;
    }
    int failures = 0;
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(1200);
        pdf.setPageSize(QPageSize(paper == "letter" ? QPageSize::Letter : QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QFileInfo(QFile::decodeName(QByteArray::fromStdString(album))).fileName());
        TAlbumPrintSetup setup;
        setup.paper = pdf.pageLayout().fullRectPixels(pdf.resolution()).size();
        setup.dpiX = setup.dpiY = pdf.resolution();
        setup.quality = quality;
        const std::vector<TAlbumFrame> frames =
            AlbumPrepareFrames(a, setup, nullptr, [&](const QString& message) {
                std::fprintf(err, "tavtool: %s\n", message.toLocal8Bit().constData());
                ++failures;
            });
        QPainter p(&pdf);
        AlbumPaintFrames(frames, p, a.header.printFrames, AlbumCaptionFont(a.header),
                         AlbumCaptionInk(a.header, Qt::black), [&pdf] { pdf.newPage(); });
    }
    if (out.size() <= 0 || !out.commit()) {
        std::fprintf(err, "tavtool: Error writing %s\n", target.c_str());
        return 1;
    }
    return failures ? 1 : 0;
}

} // namespace

int RunAlbumCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    if (args.empty()) throw TUsageError{"album needs list, create or print"};
    if (args[0] == "list") return List(args, out, err);
    if (args[0] == "create") return Create(args, out, err);
    if (args[0] == "print") return Print(args, out, err);
    throw TUsageError{"album: \"" + args[0] + "\" is not list, create or print"};
}
