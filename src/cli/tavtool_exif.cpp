// tavtool exif: the rows of the EXIF viewer, one a line, for scripts and for
// checking the reader against other tools.

#include <string>

#include "cli/tavtool_commands.h"
#include "meta/exif/exiffile.h"

extern const char* const kExifUsage =
    "  exif FILE [--numbers]\n"
    "        list the EXIF tags of FILE (a JPEG's EXIF block, a TIFF's header) as\n"
    "        the EXIF viewer does: \"Description<TAB>Value\" per tag, the values as\n"
    "        people read them (1/250 s, f/5.6, 48°51'29.6\"N; \"No EXIF data\" on stderr\n"
    "        when there is none); --numbers keeps the raw numbers and puts the\n"
    "        directory (IFD0, IFD1, ExifIFD, GPS, ...), tag, type and count in front;\n"
    "        tabs, line breaks and backslashes in values are written as \\t, \\n, \\r, \\\\\n";

namespace {

// One row stays one line whatever the file's text holds.
std::string Escaped(const std::string& s) {
    std::string r;
    r.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\t': r += "\\t"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\\': r += "\\\\"; break;
        default: r += c;
        }
    }
    return r;
}

} // namespace

int RunExifCommand(const TToolCommandArgs& args, std::FILE* out, std::FILE* err) {
    std::string file;
    bool numbers = false;
    for (const std::string& a : args) {
        if (a == "--numbers")
            numbers = true;
        else if (a.size() > 1 && a[0] == '-' && a != "--")
            throw TUsageError{"exif: unknown option \"" + a + "\""};
        else if (file.empty())
            file = a;
        else
            throw TUsageError{"exif needs exactly one FILE"};
    }
    if (file.empty()) throw TUsageError{"exif needs exactly one FILE"};
    // An open failure raises EFOpenError: tavtool reports it with exit 1.
    bool any = false;
    ReadExifFile(file, [&](const TExifRow& r) {
        any = true;
        if (numbers)
            std::fprintf(out, "%s\t%u\t%u\t%u\t", r.Ifd.c_str(), unsigned(r.Tag), unsigned(r.Type),
                         unsigned(r.Count));
        const std::string& value = numbers || r.Text.empty() ? r.Value : r.Text;
        std::fprintf(out, "%s\t%s\n", r.Description.c_str(), Escaped(value).c_str());
    });
    if (!any) std::fputs("No EXIF data\n", err);
    return 0;
}
