// tavtool scan: one picture from a SANE scanner, as the editor's "Acquire..."
// receives it (a DIB), written through the registry by the extension of OUT;
// --list names the devices.

#include <cctype>
#include <map>
#include <string>

#include "cli/tavtool_commands.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "editor/sanescan.h"
#include "formats/bmp.h"

extern const char* const kScanUsage =
    "  scan OUT [--device D] [--mode M] [--depth N] [--resolution DPI] [--source S]\n"
    "       [--option NAME=VALUE]...\n"
    "  scan --list\n"
    "        scan one picture with SANE (the first device, $SANE_DEFAULT_DEVICE or D)\n"
    "        and save it as OUT; --list prints device, vendor, model and type\n";

int RunScanCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    TSaneApi sane;
    if (args.size() == 1 && args[0] == "--list") {
        std::vector<TSaneDevice> devices;
        std::string error;
        if (!sane.Devices(devices, error)) {
            std::fprintf(err, "tavtool: %s\n", error.c_str());
            return 1;
        }
        for (const TSaneDevice& d : devices)
            std::fprintf(out, "%s\t%s\t%s\t%s\n", d.name.c_str(), d.vendor.c_str(), d.model.c_str(),
                         d.type.c_str());
        return 0;
    }
    std::string target, device;
    std::map<std::string, std::string> options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--device")
            device = value();
        else if (a == "--mode")
            options["mode"] = value();
        else if (a == "--depth")
            options["depth"] = value();
        else if (a == "--resolution")
            options["resolution"] = value();
        else if (a == "--source")
            options["source"] = value();
        else if (a == "--option") {
            const std::string v = value();
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) throw TUsageError{"--option needs NAME=VALUE"};
            options[v.substr(0, eq)] = v.substr(eq + 1);
        } else if (a.rfind("--", 0) == 0)
            throw TUsageError{"scan: unknown switch " + a};
        else if (target.empty())
            target = a;
        else
            throw TUsageError{"scan takes one OUT"};
    }
    if (target.empty()) throw TUsageError{"scan needs OUT or --list"};
    std::vector<uint8_t> dib;
    std::string error;
    if (!sane.Scan(device, options, PGMaxImageBytes, dib, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    // A BMP is the DIB behind a file header, as the editor's acquisition
    // stores it; other types go through the picture and the registry.
    std::string ext = target.size() >= 4 ? target.substr(target.size() - 4) : "";
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".bmp") {
        const int rc = SaveDibAsBmpFile(dib, target);
        if (rc != 0) {
            std::fprintf(err, "tavtool: %s %s\n", rc == -2 ? "Cannot create file" : "Error writing",
                         target.c_str());
            return 1;
        }
        return 0;
    }
    TPixelGraphic picture;
    DecodePackedDIB(picture, dib.data(), dib.size());
    std::vector<uint8_t>().swap(dib); // not held while the file is written
    picture.SetSaveColorResWarningAction(pgwaIgnore);
    picture.SaveToFile(target);
    return 0;
}
