// `tavtool convert --to EXT [--size WxH] [--sharpen] [--quality N] [--lossless]
// [--speed N] FILE...`:
// the converter's rules in batch. Each file is converted beside itself; a
// taken name is never replaced (the "!" name is used, as answering "No" in
// the window would), and the source itself is never a target.

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/tavtool.h"
#include "cli/tavtool_commands.h"
#include "core/pixelgraphic.h"
#include "formats/avif.h"
#include "formats/jpeg.h"
#include "formats/webp.h"
#include "tools/converter.h"

int RunConvertTo(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    TConvertOptions o;
    o.sharpen = false;
    std::vector<std::string> files;
    bool haveExt = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        auto value = [&](const char* what) {
            if (i + 1 >= args.size()) throw TUsageError{std::string(what) + " needs a value"};
            return args[++i];
        };
        if (s == "--to") {
            const std::string e = value("--to");
            const QString ext = QString::fromStdString(e).toLower();
            if (ext != "bmp" && ext != "jpg" && ext != "tif" && ext != "png" && ext != "tga" &&
                ext != "gif" && ext != "webp" && ext != "avif")
                throw TUsageError{"--to: \"" + e +
                                  "\" is not bmp, jpg, tif, png, tga, gif, webp or avif"};
            o.ext = ext;
            haveExt = true;
        } else if (s == "--size") {
            const std::string v = value("--size");
            const size_t x = v.find_first_of("xX");
            if (x == std::string::npos) throw TUsageError{"--size: \"" + v + "\" is not WxH"};
            const int w = int(ToolIntArg("--size width", v.substr(0, x), 1, 65535));
            const int h = int(ToolIntArg("--size height", v.substr(x + 1), 1, 65535));
            o.originalSize = false;
            o.width = w;
            o.height = h;
        } else if (s == "--sharpen") {
            o.sharpen = true;
        } else if (s == "--quality") {
            const long long q = ToolIntArg("--quality", value("--quality"), 1, 100);
            JPEGQuality = int(q);
            WebPQuality = int(q);
            AVIFQuality = int(q);
        } else if (s == "--lossless") {
            WebPLossless = true;
        } else if (s == "--speed") {
            const std::string v = value("--speed");
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || n < 0 || n > 10)
                throw TUsageError{"--speed: \"" + v + "\" is not 0..10"};
            AVIFSpeed = int(n);
        } else if (s.size() > 1 && s[0] == '-' && s[1] == '-') {
            throw TUsageError{"convert --to: unknown switch " + s};
        } else {
            files.push_back(s);
        }
    }
    if (!haveExt) throw TUsageError{"convert --to needs EXT"};
    if (files.empty()) throw TUsageError{"convert --to needs at least one FILE"};
    int failed = 0;
    for (const std::string& f : files) {
        const QString source = QFile::decodeName(QByteArray::fromStdString(f));
        QString target = ConvertTargetAvoidingSource(QFileInfo(source).absoluteFilePath(), o.ext);
        while (QFileInfo::exists(target))
            target = ConvertRetryName(target);
        try {
            TPixelGraphic picture;
            picture.SetReadWarningAction(pgwaIgnore);
            picture.SetLoadSizeHint(ConvertLoadHint(f, o));
            picture.LoadFromFile(f);
            ConvertToFile(picture, o, target);
            std::fprintf(out, "%s -> %s\n", f.c_str(), QFile::encodeName(target).constData());
        } catch (const std::exception& e) {
            std::fprintf(err, "%s: %s\n", f.c_str(), e.what());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
