#include "cli/tavtool_options.h"

#include <charconv>
#include <functional>

#include "cli/tavtool_commands.h"
#include "cli/tavtool_geometry.h"

namespace {

// A value that is a number but out of range, said with its range.
struct TOutOfRange {
    long long lo, hi;
};

bool ParseInt(const std::string& s, int lo, int hi, int& v) {
    long long n = 0;
    switch (ReadToolInt(s, lo, hi, n)) {
    case TToolNumber::Ok:
        v = int(n);
        return true;
    case TToolNumber::OutOfRange:
        throw TOutOfRange{lo, hi};
    default:
        return false;
    }
}

// One row per flag: its name, the commands that take it, whether a value
// follows, and how the value is stored.
struct TFlag {
    const char* name;
    const char* commands; // space-separated
    bool hasValue;
    std::function<bool(TToolArgs&, const std::string&)> apply;
};

const std::vector<TFlag>& Flags() {
    static const std::vector<TFlag> flags = {
        {"--index", "info convert", true,
         [](TToolArgs& a, const std::string& v) { return ParseInt(v, 0, 1 << 30, a.index); }},
        {"--size", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             // WxH, or Wx / xH keeping the proportions.
             const auto x = v.find_first_of("xX");
             if (x == std::string::npos) return false;
             const std::string w = v.substr(0, x), h = v.substr(x + 1);
             if (w.empty() && h.empty()) return false;
             a.width = a.height = 0;
             if ((!w.empty() && !ParseInt(w, 1, 1 << 20, a.width)) ||
                 (!h.empty() && !ParseInt(h, 1, 1 << 20, a.height)))
                 return false;
             a.edits.push_back({"--size", v});
             return true;
         }},
        {"--stretch", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             if (v == "fast")
                 a.stretch = smFast;
             else if (v == "medium")
                 a.stretch = smMedium;
             else if (v == "precise")
                 a.stretch = smPrecise;
             else
                 return false;
             return true;
         }},
        {"--quality", "convert", true,
         [](TToolArgs& a, const std::string& v) { return ParseInt(v, 1, 100, a.quality); }},
        {"--lossless", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.lossless = true; }},
        {"--speed", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             int n = 0;
             if (!ParseInt(v, 0, 10, n)) return false;
             a.speed = n;
             return true;
         }},
        {"--progressive", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.progressive = true; }},
        {"--binary", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.binary = true; }},
        {"--colors", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             return ParseInt(v, 2, 256, a.colors) &&
                    (a.colors == 2 || a.colors == 16 || a.colors == 256);
         }},
        {"--tiff-compression", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             static const std::pair<const char*, int> kNames[] = {
                 {"none", 1}, {"packbits", 32773}, {"lzw", 5}, {"deflate", 8}};
             for (const auto& [name, code] : kNames)
                 if (v == name) {
                     a.tiffCompression = code;
                     return true;
                 }
             return false;
         }},
        {"--tiff-byte-order", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             if (v != "intel" && v != "motorola") return false;
             a.tiffMotorola = v == "motorola";
             return true;
         }},
        {"--tiff-cmyk", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.tiffCmyk = true; }},
        {"--tiff-resolution", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             // X[/Y][,inch|cm]: dots per unit, Y defaults to X.
             std::string n = v, unit = "inch";
             if (const auto c = v.find(','); c != std::string::npos) {
                 n = v.substr(0, c);
                 unit = v.substr(c + 1);
             }
             if (unit != "inch" && unit != "cm") return false;
             int x = 0, y = 0;
             const auto slash = n.find('/');
             if (!ParseInt(n.substr(0, slash), 1, 1000000, x)) return false;
             y = x;
             if (slash != std::string::npos && !ParseInt(n.substr(slash + 1), 1, 1000000, y))
                 return false;
             a.tiffResolutionX = x;
             a.tiffResolutionY = y;
             a.tiffResolutionUnit = unit == "inch" ? 1 : 2;
             return true;
         }},
        {"--png-gamma", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             if (v != "on" && v != "off") return false;
             a.pngGamma = v == "on";
             return true;
         }},
        {"--profile", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             if (v != "keep" && v != "srgb" && v != "strip") return false;
             a.profile = v;
             return true;
         }},
        {"--trim", "convert", false, [](TToolArgs& a, const std::string&) { return a.trim = true; }},
        {"--auto-orient", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.autoOrient = true; }},
        {"--interlace", "convert", false,
         [](TToolArgs& a, const std::string&) { return a.interlace = true; }},
        {"--transparent", "convert", true,
         [](TToolArgs& a, const std::string& v) {
             // RRGGBB in hexadecimal, as colour pickers show it.
             unsigned rgb = 0;
             const auto r = std::from_chars(v.data(), v.data() + v.size(), rgb, 16);
             if (v.size() != 6 || r.ec != std::errc() || r.ptr != v.data() + v.size()) return false;
             a.transparentColor = RGB(int(rgb >> 16), int(rgb >> 8), int(rgb));
             return a.transparent = true;
         }},
    };
    static const std::vector<TFlag> all = [] {
        std::vector<TFlag> f = flags;
        for (const char* const* e = kEditSwitches; *e; ++e) {
            const std::string name = *e;
            f.push_back(
                {*e, "convert", EditSwitchHasValue(name),
                 [name](TToolArgs& a, const std::string& v) { return AddEditStep(a, name, v); }});
        }
        return f;
    }();
    return all;
}

bool Takes(const char* commands, const std::string& command) {
    const std::string list = std::string(" ") + commands + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

} // namespace

bool ParseToolArgs(const std::string& command, const std::vector<std::string>& args, TToolArgs& a,
                   std::string& problem) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s.size() < 2 || s.compare(0, 2, "--") != 0) {
            a.positional.push_back(s);
            continue;
        }
        const TFlag* flag = nullptr;
        for (const TFlag& f : Flags())
            if (s == f.name && Takes(f.commands, command)) flag = &f;
        if (!flag) {
            problem = "unknown option \"" + s + "\" for " + command;
            return false;
        }
        std::string value;
        if (flag->hasValue) {
            if (i + 1 >= args.size()) {
                problem = s + " needs a value";
                return false;
            }
            value = args[++i];
        }
        try {
            if (!flag->apply(a, value)) {
                problem = "invalid value \"" + value + "\" for " + s;
                return false;
            }
        } catch (const TOutOfRange& r) {
            problem = s + " " + value + " is out of range: a number " + ToolRangeText(r.lo, r.hi);
            return false;
        }
    }
    return true;
}
