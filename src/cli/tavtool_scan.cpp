// tavtool scan: one picture from a SANE scanner, as the editor's "Acquire..."
// receives it (a DIB), written through the registry by the extension of OUT;
// --list names the devices.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "cli/tavtool_commands.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "editor/sanescan.h"
#include "formats/bmp.h"
#include "formats/tiff.h"

extern const char* const kScanUsage =
    "  scan OUT [--device D] [--mode M] [--depth N] [--resolution DPI] [--source S]\n"
    "       [--option NAME=VALUE]...\n"
    "  scan --list\n"
    "        scan one picture with SANE (the first device, $SANE_DEFAULT_DEVICE or D)\n"
    "        and save it as OUT; --list prints device, vendor, model and type\n";

namespace {

// The device's refusal of `value` as its resolution, in words; empty when
// it takes it (or says nothing of its limits).
std::string ResolutionRefusal(const std::vector<TSaneOption>& options, const std::string& value) {
    double dpi = 0;
    ParseToolReal(value, dpi);
    for (const TSaneOption& o : options) {
        if (o.name != "resolution") continue;
        if (o.constraint == TSaneOption::cRange && (dpi < o.min || dpi > o.max)) {
            char range[64];
            std::snprintf(range, sizeof range, "%g to %g", o.min, o.max);
            return "--resolution " + value + " is out of range: this scanner takes " + range +
                   " dpi";
        }
        if (o.constraint == TSaneOption::cList && !o.list.empty()) {
            std::string all;
            for (const std::string& v : o.list) {
                double d = 0;
                if (ParseToolReal(v, d) && d == dpi) return {};
                all += (all.empty() ? "" : ", ") + v;
            }
            return "--resolution " + value + " is not offered: this scanner takes " + all + " dpi";
        }
    }
    return {};
}

// The resolution the device scanned at, in dots per inch (0: not said).
double ScanResolution(const std::vector<TSaneOption>& options) {
    for (const char* name : {"resolution", "x-resolution"})
        for (const TSaneOption& o : options) {
            double dpi = 0;
            if (o.name == name && o.active && ParseToolReal(o.value, dpi) && dpi > 0) return dpi;
        }
    return 0;
}

// The DIB header's pixels per metre, both ways.
void SetDibResolution(std::vector<uint8_t>& dib, double dpi) {
    if (dib.size() < 40) return;
    const uint32_t ppm = uint32_t(std::lround(dpi / 0.0254));
    for (size_t at : {size_t(24), size_t(28)})
        for (int i = 0; i < 4; ++i)
            dib[at + size_t(i)] = uint8_t(ppm >> (8 * i));
}

} // namespace

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
    if (const auto r = options.find("resolution"); r != options.end()) {
        double dpi = 0;
        if (!ParseToolReal(r->second, dpi) || dpi <= 0)
            throw TUsageError{"--resolution needs a number of dots per inch, not \"" + r->second +
                              "\""};
    }
    std::vector<uint8_t> dib;
    std::string error;
    // One session, so that the device's own limits can be checked before
    // the scan and its resolution read after it.
    struct TSession {
        TSaneApi& sane;
        ~TSession() { sane.Exit(); }
    } session{sane};
    if (!sane.Open(device, error)) {
        if (!device.empty())
            error = "cannot open scanner \"" + device + "\": " + error +
                    " ('tavtool scan --list' names the scanners)";
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    if (const auto r = options.find("resolution"); r != options.end()) {
        const std::string refused = ResolutionRefusal(sane.Describe(), r->second);
        if (!refused.empty()) {
            std::fprintf(err, "tavtool: %s\ntry 'tavtool --help'\n", refused.c_str());
            return 2;
        }
    }
    if (!sane.SetOptions(options, error) || !sane.Acquire(PGMaxImageBytes, dib, error)) {
        std::fprintf(err, "tavtool: %s\n", error.c_str());
        return 1;
    }
    const double dpi = ScanResolution(sane.Describe());
    sane.EndScan();
    // The scan's resolution goes with the picture: in the DIB's header for
    // a BMP, the TIFF writer's fields, and PNG's pHYs and JPEG's JFIF
    // density after writing.
    if (dpi > 0) SetDibResolution(dib, dpi);
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
    if (dpi > 0) {
        const auto d = TPGRational{uint32_t(std::lround(dpi)), 1};
        TIFFResolutionX = d;
        TIFFResolutionY = d;
        TIFFResolutionUnit = 1;
    }
    picture.SaveToFile(target);
    if (dpi > 0 && !WriteFileResolution(target, dpi))
        std::fprintf(err, "tavtool: %s: the resolution could not be written\n", target.c_str());
    return 0;
}
