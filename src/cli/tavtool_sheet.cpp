// tavtool sheet: a contact sheet from the command line, built by the same
// code as the ThumbTav Creator with the options of its tabs.

#include <QFileInfo>
#include <functional>

#include "cli/tavtool_commands.h"
#include "thumbs/sheet.h"

extern const char* const kSheetUsage =
    "  sheet OUT FILE... [--size 30..900] [--cols 2..20] [--hspace 5..100]\n"
    "                 [--vspace 20..100] [--no-names] [--background RRGGBB]\n"
    "                 [--text-color RRGGBB] [--no-sharpen] [--sharpen 50..100]\n"
    "                 [--tile IMAGE] [--no-border] [--border-color RRGGBB] [--no-shadow]\n"
    "                 [--bevel] [--title TEXT] [--title-face F] [--title-size 6..72]\n"
    "                 [--title-color RRGGBB] [--footer TEXT] [--footer-face F]\n"
    "                 [--footer-size 6..72] [--footer-color RRGGBB]\n"
    "        lay the FILEs out as a contact sheet and save it as OUT (format by\n"
    "        extension); never writes over one of the FILEs or the tile\n";

namespace {
int Int(const std::string& flag, const std::string& v, int lo, int hi) {
    return int(ToolIntArg(flag, v, lo, hi));
}

TRGB Colour(const std::string& flag, const std::string& v) {
    if (v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        const unsigned long x = std::stoul(v, nullptr, 16);
        return RGB((x >> 16) & 255, (x >> 8) & 255, x & 255);
    }
    throw TUsageError{flag + " needs a colour RRGGBB"};
}

using TSetter = std::function<void(TSheetOptions&, const std::string& flag, const std::string& v)>;
struct TFlag {
    const char* name;
    bool takesValue;
    TSetter set;
};

const std::vector<TFlag>& Flags() {
    static const std::vector<TFlag> f = {
        {"--size", true, [](auto& o, auto& k, auto& v) { o.size = Int(k, v, 30, 900); }},
        {"--cols", true, [](auto& o, auto& k, auto& v) { o.cols = Int(k, v, 2, 20); }},
        {"--hspace", true, [](auto& o, auto& k, auto& v) { o.hspc = Int(k, v, 5, 100); }},
        {"--vspace", true, [](auto& o, auto& k, auto& v) { o.vspc = Int(k, v, 20, 100); }},
        {"--no-names", false, [](auto& o, auto&, auto&) { o.includeFilenames = false; }},
        {"--background", true, [](auto& o, auto& k, auto& v) { o.backgroundColor = Colour(k, v); }},
        {"--text-color", true, [](auto& o, auto& k, auto& v) { o.textColor = Colour(k, v); }},
        {"--no-sharpen", false, [](auto& o, auto&, auto&) { o.autoSharpen = false; }},
        {"--sharpen", true,
         [](auto& o, auto& k, auto& v) {
             o.autoSharpen = true;
             o.sharpenFactor = Int(k, v, 50, 100);
         }},
        {"--tile", true,
         [](auto& o, auto&, auto& v) {
             o.useBackgroundImage = true;
             o.backgroundImage = QString::fromStdString(v);
         }},
        {"--no-border", false, [](auto& o, auto&, auto&) { o.addBorder = false; }},
        {"--border-color", true, [](auto& o, auto& k, auto& v) { o.borderColor = Colour(k, v); }},
        {"--no-shadow", false, [](auto& o, auto&, auto&) { o.addShadow = false; }},
        {"--bevel", false, [](auto& o, auto&, auto&) { o.bevel = true; }},
        {"--title", true,
         [](auto& o, auto&, auto& v) {
             o.includeTitle = true;
             o.titleText = QString::fromStdString(v);
         }},
        {"--title-face", true,
         [](auto& o, auto&, auto& v) { o.titleFace = QString::fromStdString(v); }},
        {"--title-size", true, [](auto& o, auto& k, auto& v) { o.titleSize = Int(k, v, 6, 72); }},
        {"--title-color", true, [](auto& o, auto& k, auto& v) { o.titleColor = Colour(k, v); }},
        {"--footer", true,
         [](auto& o, auto&, auto& v) {
             o.includeFooter = true;
             o.footerText = QString::fromStdString(v);
         }},
        {"--footer-face", true,
         [](auto& o, auto&, auto& v) { o.footerFace = QString::fromStdString(v); }},
        {"--footer-size", true, [](auto& o, auto& k, auto& v) { o.footerSize = Int(k, v, 6, 72); }},
        {"--footer-color", true, [](auto& o, auto& k, auto& v) { o.footerColor = Colour(k, v); }},
    };
    return f;
}
} // namespace

int RunSheetCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    TSheetOptions o;
    QStringList positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            const TFlag* f = nullptr;
            for (const TFlag& x : Flags())
                if (s == x.name) f = &x;
            if (!f) throw TUsageError{"sheet: unknown option " + s};
            std::string v;
            if (f->takesValue) {
                if (i + 1 >= args.size()) throw TUsageError{s + " needs a value"};
                v = args[++i];
            }
            f->set(o, s, v);
        } else {
            positional << QString::fromStdString(s);
        }
    }
    if (positional.size() < 2) throw TUsageError{"sheet needs OUT and at least one FILE"};
    const QString outName = positional.takeFirst();

    int failures = 0, unread = 0;
    TSheetEvents ev;
    ev.error = [&](const QString& text) {
        ++failures;
        if (text.startsWith("Error loading file ")) ++unread;
        std::fprintf(err, "tavtool: %s\n", text.toStdString().c_str());
    };
    auto sheet = BuildSheet(positional, o, ev);
    // A sheet of nothing but empty cells is no result: nothing is written.
    if (unread == positional.size()) {
        std::fprintf(err, "tavtool: no picture could be read; %s not written\n",
                     outName.toStdString().c_str());
        return 1;
    }
    QStringList sources = positional;
    if (o.useBackgroundImage) sources << o.backgroundImage;
    SaveSheet(*sheet, outName, sources);
    std::fprintf(out, "%s: %d x %d\n", outName.toStdString().c_str(), sheet->GetWidth(),
                 sheet->GetHeight());
    return failures ? 1 : 0;
}
