#include "formats/droptypes.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

// The nine classic picture types first, then the other extensions of the
// same formats and the formats added after them.
constexpr std::string_view kPictureExtensions[] = {
    "JPG",  "GIF",  "BMP", "ICO", "TIF",  "PNG",  "PCX",  "TGA",  "WMF",  "JPEG", "JPE", "JFIF",
    "JIF",  "TIFF", "EMF", "DIB", "RLE",  "PBM",  "PGM",  "PPM",  "PNM",  "WEBP", "AVIF", "HEIC",
    "HEIF", "JXL"};

} // namespace

bool IsDroppedPictureName(std::string_view name) {
    const size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size()) return false;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
    return std::find(std::begin(kPictureExtensions), std::end(kPictureExtensions), ext) !=
           std::end(kPictureExtensions);
}
