// tavtool publish: an album as web pages, as the publishing wizard makes
// them (rows, columns, frames and the caption option from the album file;
// the wizard's defaults for the rest unless given). Never opens a browser.

#include <QFile>
#include <cstdlib>
#include <string>

#include "album/file/albumfile.h"
#include "album/webpublish.h"
#include "cli/tavtool_commands.h"

extern const char* const kPublishUsage =
    "  publish ALBUM OUTDIR [--thumbnail 32..256] [--max 40..2000] [--quality 10..100]\n"
    "                 [--sharpen 40..80 | --no-sharpen] [--no-progressive] [--page NAME]\n"
    "                 [--title T] [--header T] [--footer T] [--background RRGGBB]\n"
    "                 [--text-color RRGGBB] [--background-image PATH] [--webp]\n"
    "        write the album's pictures as JPEG copies and thumbnails into OUTDIR with\n"
    "        HTML pages of thumbnails (NAME, default myphotos.html); --webp adds WebP\n"
    "        thumbnails the pages show with the JPEG ones as fallback; an album picture\n"
    "        is never replaced; exit 1 when a picture failed (the pages are written)\n";

namespace {

int Int(const std::string& v, const std::string& what, int lo, int hi) {
    return int(ToolIntArg(what, v, lo, hi));
}

TRGB Colour(const std::string& v, const std::string& what) {
    char* end = nullptr;
    const unsigned long c = std::strtoul(v.c_str(), &end, 16);
    if (v.size() != 6 || *end) throw TUsageError{what + ": \"" + v + "\" is not RRGGBB"};
    return RGB(int((c >> 16) & 255), int((c >> 8) & 255), int(c & 255));
}

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

int RunPublishCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    TPublishSettings s;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--thumbnail")
            s.thumbnailSize = Int(value(), a, 32, 256);
        else if (a == "--max")
            s.maxSize = Int(value(), a, 40, 2000);
        else if (a == "--quality")
            s.quality = Int(value(), a, 10, 100);
        else if (a == "--sharpen")
            s.sharpenAmount = Int(value(), a, 40, 80);
        else if (a == "--no-sharpen")
            s.autoSharpen = false;
        else if (a == "--no-progressive")
            s.progressive = false;
        else if (a == "--webp")
            s.webp = true;
        else if (a == "--page")
            s.pageName = Text(value());
        else if (a == "--title")
            s.title = Text(value());
        else if (a == "--header")
            s.header = Text(value());
        else if (a == "--footer")
            s.footer = Text(value());
        else if (a == "--background")
            s.background = Colour(value(), a);
        else if (a == "--text-color")
            s.text = Colour(value(), a);
        else if (a == "--background-image") {
            s.backgroundImage = Text(value());
            s.useBackgroundImage = true;
        } else if (a.rfind("--", 0) == 0)
            throw TUsageError{"publish: unknown switch " + a};
        else
            positional.push_back(a);
    }
    if (positional.size() != 2) throw TUsageError{"publish needs ALBUM and OUTDIR"};
    if (PublishPageBase(s.pageName).isEmpty()) throw TUsageError{"Invalid page name"};
    TAlbum album;
    std::string error;
    if (!ReadAlbumFile(positional[0], album, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    s.rows = album.header.rows;
    s.columns = album.header.columns;
    s.showFrames = album.header.printFrames;
    s.captionOption = album.header.captionOption;
    s.folder = QFile::decodeName(QByteArray::fromStdString(positional[1]));
    const TPublishResult r = Publish(album.entries, s);
    for (const QString& m : r.messages)
        std::fprintf(err, "%s\n", m.toLocal8Bit().constData());
    if (!r.firstPage.isEmpty())
        std::fprintf(out, "%s\n", QFile::encodeName(r.firstPage).constData());
    return r.firstPage.isEmpty() || r.failed > 0 ? 1 : 0;
}
