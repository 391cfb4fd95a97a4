#include "formats/droptypes.h"

#include <algorithm>
#include <cctype>

namespace {

using sv = std::string_view;

constexpr sv kJpgExt[] = {"jpg", "jpeg", "jpe", "jfif", "jif"};
constexpr sv kGifExt[] = {"gif"};
constexpr sv kBmpExt[] = {"bmp", "dib", "rle"};
constexpr sv kIcoExt[] = {"ico"};
constexpr sv kWmfExt[] = {"wmf", "emf"};
constexpr sv kAviExt[] = {"avi"};
constexpr sv kPcxExt[] = {"pcx"};
constexpr sv kPngExt[] = {"png"};
constexpr sv kTgaExt[] = {"tga"};
constexpr sv kTifExt[] = {"tif", "tiff"};
constexpr sv kPnmExt[] = {"pbm", "pgm", "ppm", "pnm"};
constexpr sv kWebpExt[] = {"webp"};
constexpr sv kAvifExt[] = {"avif"};
constexpr sv kHeifExt[] = {"heic", "heif"};
constexpr sv kJxlExt[] = {"jxl"};

constexpr sv kJpgMime[] = {"image/jpeg"};
constexpr sv kGifMime[] = {"image/gif"};
constexpr sv kBmpMime[] = {"image/bmp"};
constexpr sv kIcoMime[] = {"image/vnd.microsoft.icon"};
constexpr sv kWmfMime[] = {"image/wmf", "image/emf"};
constexpr sv kAviMime[] = {"video/x-msvideo"};
constexpr sv kPcxMime[] = {"image/vnd.zbrush.pcx"};
constexpr sv kPngMime[] = {"image/png"};
constexpr sv kTgaMime[] = {"image/x-tga"};
constexpr sv kTifMime[] = {"image/tiff"};
constexpr sv kPnmMime[] = {"image/x-portable-anymap", "image/x-portable-bitmap",
                           "image/x-portable-graymap", "image/x-portable-pixmap"};
constexpr sv kWebpMime[] = {"image/webp"};
constexpr sv kAvifMime[] = {"image/avif"};
// HEIC files too: the desktop's MIME database names them image/heif
// (image/heic is only an alias there, and entries name canonical types).
constexpr sv kHeifMime[] = {"image/heif"};
constexpr sv kJxlMime[] = {"image/jxl"};

constexpr TListedFileType kTypes[] = {
    {"JPG", kJpgExt, kJpgMime, true},     {"GIF", kGifExt, kGifMime, true},
    {"BMP", kBmpExt, kBmpMime, true},     {"ICO", kIcoExt, kIcoMime, true},
    {"WMF", kWmfExt, kWmfMime, true},     {"AVI", kAviExt, kAviMime, false},
    {"PCX", kPcxExt, kPcxMime, true},     {"PNG", kPngExt, kPngMime, true},
    {"TGA", kTgaExt, kTgaMime, true},     {"TIF", kTifExt, kTifMime, true},
    {"PNM", kPnmExt, kPnmMime, true},     {"WEBP", kWebpExt, kWebpMime, true},
    {"AVIF", kAvifExt, kAvifMime, true},  {"HEIF", kHeifExt, kHeifMime, true},
    {"JXL", kJxlExt, kJxlMime, true},
};

} // namespace

std::span<const TListedFileType> ListedFileTypes() {
    return kTypes;
}

std::string PicturePatterns(std::string_view separator) {
    std::string s;
    for (const TListedFileType& t : kTypes) {
        if (!t.picture) continue;
        for (sv ext : t.extensions) {
            if (!s.empty()) s += separator;
            s += "*.";
            s += ext;
        }
    }
    return s;
}

std::string PictureDialogFilter() {
    std::string s = "Image files (" + PicturePatterns(" ") + ")";
    for (const TListedFileType& t : kTypes) {
        if (!t.picture) continue;
        s += ";;";
        s += t.name;
        s += " (";
        for (size_t i = 0; i < t.extensions.size(); ++i) {
            if (i) s += ' ';
            s += "*.";
            s += t.extensions[i];
        }
        s += ')';
    }
    return s + ";;All files (*)";
}

bool IsDroppedPictureName(std::string_view name) {
    const size_t slash = name.rfind('/');
    if (slash != sv::npos) name.remove_prefix(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == sv::npos || dot + 1 == name.size()) return false;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const TListedFileType& t : kTypes)
        if (t.picture && std::find(t.extensions.begin(), t.extensions.end(), ext) != t.extensions.end())
            return true;
    return false;
}
