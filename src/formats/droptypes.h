#pragma once
// The file types the program lists and takes, with every usual extension and
// MIME type of each: one table for the file list's mask, the drop targets
// (the editor, the radial adjustment, the album maker, the contact-sheet
// creator, incremental rename, tavtool's album files), the search window's
// picture pattern, the open dialogs and the desktop entry, so every window
// knows the same files.

#include <span>
#include <string>
#include <string_view>

struct TListedFileType {
    std::string_view name;                        // "JPG": its "FileTypes" position's name
    std::span<const std::string_view> extensions; // lower case; the first is the usual one
    std::span<const std::string_view> mimeTypes;  // the first is the type's own
    bool picture;                                 // false for video clips (AVI)
};

// In the order of the "FileTypes" setting: JPG, GIF, BMP, ICO, WMF, AVI,
// PCX, PNG, TGA, TIF (the first table), then PNM, WEBP, AVIF, HEIF, JXL.
std::span<const TListedFileType> ListedFileTypes();

// Every picture extension as patterns joined by `separator`
// ("*.jpg;*.jpeg;..."), in table order.
std::string PicturePatterns(std::string_view separator);

// An open dialog's filter in Qt's form: every picture type together, then
// each type alone ("JPG (*.jpg *.jpeg ...)"), then every file.
std::string PictureDialogFilter();

// True when `name` (a file name or a path) ends in ".ext" with ext one of the
// picture extensions, as a whole entry (".jpg" and ".JPEG" pass, ".jp",
// ".txt", ".avi" and a name without a dot do not).
bool IsDroppedPictureName(std::string_view name);
