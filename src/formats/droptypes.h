#pragma once
// The picture types a drop target takes (the editor, the radial adjustment,
// the album maker, the contact-sheet creator, incremental rename, tavtool's
// album files): a file whose last extension, case ignored, is one of the
// readable picture types. One list, so every window takes the same files.

#include <string_view>

// True when `name` (a file name or a path) ends in ".ext" with ext one of the
// picture extensions, as a whole entry (".jpg" and ".JPEG" pass, ".jp",
// ".txt" and a name without a dot do not).
bool IsDroppedPictureName(std::string_view name);
