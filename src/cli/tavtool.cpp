#include "cli/tavtool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <memory>
#include <new>

#include "cli/tavtool_commands.h"
#include "cli/tavtool_geometry.h"
#include "cli/tavtool_lossless.h"
#include "cli/tavtool_options.h"
#include "core/colour.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/library.h"
#ifdef TAV_HAVE_METAFILES
#include "formats/qt/metafile_qt.h"
#endif

namespace {

const char* kUsage =
    "Usage: tavtool COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE [--index N]\n"
    "        print the type, subtype, size and colours of a picture file\n"
    "  convert IN OUT [--index N] [--size WxH] [--stretch fast|medium|precise]\n"
    "                 [--quality 1..100] [--progressive] [--lossless] [--speed 0..10]\n"
    "                 [--binary] [--colors 2|16|256]\n"
    "                 [--interlace] [--transparent RRGGBB]\n"
    "                 [--tiff-compression none|packbits|lzw|deflate] [--tiff-byte-order intel|motorola]\n"
    "                 [--tiff-cmyk] [--tiff-resolution X[/Y][,inch|cm]] [--png-gamma on|off]\n"
    "                 [--crop WxH+X+Y] [--flip-horizontal] [--flip-vertical] [--rotate DEG]\n"
    "                 [--depth 1|4|8|24 [--palette NAME] [--no-dither] [--no-rgb-weighting]]\n"
    "                 [--posterize] [--border N[:RRGGBB[:ellipse]]] [--redeye X,Y,W,H[:V]]\n"
    "                 [--radial A,B,C,D]\n"
    "                 [--auto-orient] [--lossless [--trim]] [--profile keep|srgb|strip]\n"
    "        load IN, optionally resample it to W x H, optionally reduce it to an\n"
    "        optimised palette of 2, 16 or 256 colours (dithered), and save it as OUT\n"
    "        in the format of OUT's extension (colours are reduced when the format\n"
    "        needs it); GIF output is interlaced with --interlace and marks the\n"
    "        colour RRGGBB transparent with --transparent; PBM, PGM and PPM output\n"
    "        is binary with --binary (plain text otherwise); the --tiff-* switches set\n"
    "        the TIFF writer, --png-gamma whether PNG output carries a gAMA chunk;\n"
    "        --quality sets JPEG, WebP and AVIF output, --lossless makes WebP output\n"
    "        lossless, --speed sets the AVIF encoder (0 slowest .. 10 fastest);\n"
    "        the editing switches run in the order given: --crop keeps the part of the\n"
    "        rectangle on the picture, --rotate turns clockwise (negative: counter-\n"
    "        clockwise), --depth converts with --palette bw|gray4|sysgray4|gray16|sys16|\n"
    "        gray236|gray256|special125|special216|special252|optimized:N|\n"
    "        optimized-sys16:N, --posterize maps to 8 colours, --border blends a border\n"
    "        of N pixels (20 white rectangle by default), --redeye blackens red pixels\n"
    "        in the circle of the rectangle (V -50..80), --radial corrects barrel\n"
    "        distortion; --size Wx or xH keeps the proportions\n"
    "        --auto-orient first turns the picture upright by its EXIF orientation;\n"
    "        --lossless turns, flips and crops a JPEG into a JPEG without decoding it\n"
    "        (--rotate 90|180|270, --flip-*, --crop on the block grid, --auto-orient\n"
    "        resetting the orientation to 1), keeping every marker; a size that is not\n"
    "        a whole number of blocks is refused unless --trim drops the edge blocks\n"
    "        --profile keep (default) writes IN's colour profile where OUT's format\n"
    "        holds one and converts to sRGB where it cannot, srgb converts to sRGB\n"
    "        and drops the profile, strip drops it and keeps the numbers\n"
    "  convert --to bmp|jpg|tif|png|tga|gif|webp|avif [--size WxH] [--sharpen]\n"
    "          [--quality 1..100] [--lossless] [--speed 0..10] FILE...\n"
    "        convert each FILE beside itself as the converter window does: the name up\n"
    "        to its first dot plus the new extension; a taken name is kept and the\n"
    "        converted file gets \"!\" before its name; --size resizes (--sharpen\n"
    "        sharpens afterwards); GIF gets 252 optimised colours with the system ones\n"
    "  --version             print the version\n"
    "  --help                print this help\n";
const char* kUsageEnd = "\nExit status: 0 success, 1 failure, 2 usage error.\n";

void PrintUsage(std::FILE* f) {
    std::fputs(kUsage, f);
    for (const TToolCommand& c : ToolCommands())
        if (*c.usage) std::fputs(*c.usage, f);
    std::fputs(kUsageEnd, f);
}

// A mistake on the command line: one line naming it, and where the help is.
int UsageMistake(std::FILE* err, const std::string& text) {
    std::fprintf(err, "tavtool: %s\ntry 'tavtool --help'\n", text.c_str());
    return 2;
}

void StartLibrary() {
    InitImageLibrary();
#ifdef TAV_HAVE_METAFILES
    RegisterMetafileFormats();
#endif
}

int RunInfo(const TToolArgs& a, std::FILE* out) {
    if (a.positional.size() != 1) throw TUsageError{"info needs exactly one FILE"};
    const std::string& name = a.positional[0];
    // The same steps as GetFileImageInfo, but keeping the library's message
    // of whatever went wrong for the user.
    TFileStream f(name, TFileStream::OpenRead);
    TFileFormatReader* reader = FindReader(f, FileExtensionHint(name));
    if (!reader) throw EPGUnknownFileFormat(PGMessage(6));
    TPGImageInfo info;
    reader->GetInfo(f, a.index, info);
    std::fprintf(out,
                 "Type: %s\nSubType: %s\nOptions: %s\nWidth: %d\nHeight: %d\nColors: %s\n"
                 "BitsPerPixel: %d\nGraphicCount: %d\n",
                 reader->Description.c_str(), info.SubType.c_str(), info.Options.c_str(),
                 info.Width, info.Height, info.Colors.c_str(), info.BitsPerPixel,
                 info.GraphicCount);
    return 0;
}

bool IsWebPName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "webp";
}

int RunConvert(const TToolArgs& a, std::FILE* err) {
    if (a.positional.size() != 2) throw TUsageError{"convert needs IN and OUT"};
    const std::string& inName = a.positional[0];
    const std::string& outName = a.positional[1];
    // --lossless means the block-moving JPEG path unless the output is
    // WebP, whose writer takes it as its own lossless mode.
    if (a.lossless && !IsWebPName(outName)) {
        // The block-moving path keeps every marker, the profile among them.
        if (a.profile != "keep") throw TUsageError{"--profile srgb|strip needs a decoded convert"};
        return RunLosslessConvert(a);
    }
    if (a.trim) throw TUsageError{"--trim needs --lossless"};
    CheckEditSteps(a);
    ApplyWriterOptions(a);

    auto picture = std::make_unique<TPixelGraphic>();
    picture->LoadFromFileIndex(inName, a.index);
    // The edit steps make new pictures; the source's metadata goes with the
    // result (the writers set the saved size).
    TPGMetadata metadata = picture->Metadata();
    if (a.autoOrient) {
        AutoOrient(picture, inName);
        // The pixels stand upright now; the saved EXIF must not turn them again.
        SetExifBlockOrientation(metadata.Exif, 1);
    }
    picture = RunEditSteps(std::move(picture), a);
    if (a.colors > 0) picture = ReduceColors(*picture, a.colors);
    picture->SetMetadata(std::move(metadata));
    if (a.profile == "srgb") {
        PGConvertColours(*picture, TPGColourTarget::sRGB);
        picture->SetICCProfile({}); // also one that could not be used
    } else if (a.profile == "strip") {
        picture->SetICCProfile({});
    }

    SavePicture(*picture, outName, a, err);
    return 0;
}

} // namespace

int TavToolMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    try {
        if (args.empty()) return UsageMistake(err, "no command given");
        const std::string& cmd = args[0];
        if (cmd == "--version") {
            std::fputs("tavtool 7.8\n", out);
            return 0;
        }
        if (cmd == "--help" || cmd == "-h") {
            PrintUsage(out);
            return 0;
        }
        if (const TToolCommand* c = FindToolCommand(cmd)) {
            StartLibrary();
            return c->run(TToolCommandArgs(args.begin() + 1, args.end()), out, err);
        }
        if (cmd == "convert" &&
            std::find(args.begin() + 1, args.end(), std::string("--to")) != args.end()) {
            StartLibrary();
            return RunConvertTo(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
        }
        if (cmd != "info" && cmd != "convert")
            return UsageMistake(err, "unknown command \"" + cmd + "\"");
        TToolArgs a;
        std::string problem;
        if (!ParseToolArgs(cmd, std::vector<std::string>(args.begin() + 1, args.end()), a, problem))
            throw TUsageError{problem};
        StartLibrary();
        return cmd == "info" ? RunInfo(a, out) : RunConvert(a, err);
    } catch (const TUsageError& e) {
        return UsageMistake(err, e.text);
    } catch (const std::bad_alloc&) {
        std::fputs("tavtool: out of memory\n", err);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(err, "tavtool: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fputs("tavtool: unexpected failure\n", err);
        return 1;
    }
}
