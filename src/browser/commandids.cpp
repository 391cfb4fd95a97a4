#include "browser/commandids.h"

#include <array>
#include <cstddef>

namespace {

struct TCommandText {
    TCommandId id;
    const char* caption;
    const char* objectName; // tool-bar buttons only
};

// In the order of TCommandId (checked below).
constexpr TCommandText kCommands[] = {
    {TCommandId::PreviousImage, "Previous Image", "PreviousImageButton"},
    {TCommandId::NextImage, "Next Image", "NextImageButton"},
    {TCommandId::SlideShow, "Slide Show", "TavirloBtn"},
    {TCommandId::MoverButton, "TavMover", "MoveButton"},
    {TCommandId::EditorButton, "Image Editor / Acquire Images from a Scanner", "tbAcquire"},
    {TCommandId::AlbumsButton, "TavAlbums", "tbPhotoAlbum"},
    {TCommandId::ConverterButton, "TavConverter", "ToolButton1"},
    {TCommandId::SearchButton, "Search Engine", "SearchButton"},
    {TCommandId::ThumbnailsButton, "Thumbnail Explorer", "tbThumbTav"},
    {TCommandId::ThumbCreatorButton, "ThumbTav Creator", "ToolButton5"},
    {TCommandId::SetColorButton, "Set Background Color", "SetColor"},
    {TCommandId::AutoZoom, "Auto Zoom", "AutoZoom"},
    {TCommandId::CopyButton, "Copy To Clipboard", "CopyClipButton"},
    {TCommandId::FileMenu, "&File", nullptr},
    {TCommandId::EditFileMenu, "&Edit File", nullptr},
    {TCommandId::EditMenu, "&Edit", nullptr},
    {TCommandId::BookmarksMenu, "&Bookmarks", nullptr},
    {TCommandId::ToolsMenu, "&Tools", nullptr},
    {TCommandId::HelpMenu, "&Help", nullptr},
    {TCommandId::ContactMenu, "C&ontacting us...", nullptr},
    {TCommandId::SetAsWallpaper, "Set As &Wallpaper", nullptr},
    {TCommandId::MoveFiles, "&Move files...", nullptr},
    {TCommandId::EditInTavirlo, "In &Tavirlo\tF8", nullptr},
    {TCommandId::EditInExternalEditor, "In E&xternal Editor", nullptr},
    {TCommandId::RenameFile, "&Rename File...\tF2", nullptr},
    {TCommandId::DeleteFile, "&Delete File\tDel", nullptr},
    {TCommandId::FileAttributes, "File &Attributes...", nullptr},
    {TCommandId::SearchFiles, "&Search Files...\tF3", nullptr},
    {TCommandId::PageSetup, "Page Set&up...", nullptr},
    {TCommandId::PrintListings, "&Print Directory Listings", nullptr},
    {TCommandId::Preferences, "Set Prefere&nces...", nullptr},
    {TCommandId::SetColor, "Set &Color...", nullptr},
    {TCommandId::Quit, "&Quit", nullptr},
    {TCommandId::OpenTavirloEditor, "Open Tavirlo &Editor", nullptr},
    {TCommandId::OpenExternalEditor, "Open E&xternal Editor", nullptr},
    {TCommandId::CopyToClipboard, "&Copy to clipboard", nullptr},
    {TCommandId::RotateLeft, "R&otate Left", nullptr},
    {TCommandId::RotateRight, "Rotate Ri&ght", nullptr},
    {TCommandId::FlipHorizontal, "Flip &Horizontal", nullptr},
    {TCommandId::FlipVertical, "Flip Ver&tical", nullptr},
    {TCommandId::ApplyExifOrientation, "Apply EXIF Orie&ntation", nullptr},
    {TCommandId::AddBookmark, "&Add Bookmark", nullptr},
    {TCommandId::EditBookmarks, "&Edit Bookmarks...", nullptr},
    {TCommandId::ToolMover, "Tav&Mover", nullptr},
    {TCommandId::ToolEditor, "Tav&Editor", nullptr},
    {TCommandId::ToolAlbums, "Tav&Albums", nullptr},
    {TCommandId::ToolConverter, "Tav&Converter", nullptr},
    {TCommandId::ToolSearch, "Tav&Search", nullptr},
    {TCommandId::ToolThumbnails, "&Thumbnail Explorer", nullptr},
    {TCommandId::ToolThumbCreator, "ThumbTav C&reator", nullptr},
    {TCommandId::HelpContents, "&Contents", nullptr},
    {TCommandId::HelpSearch, "&Search For Help On...", nullptr},
    {TCommandId::HelpOverview, "&Feature Overview...", nullptr},
    {TCommandId::HelpHowTo, "&How To Use Help...", nullptr},
    {TCommandId::HelpWebSite, "&Go to our web site", nullptr},
    {TCommandId::HelpEmail, "&email us", nullptr},
    {TCommandId::About, "&About Tavirlo", nullptr},
    {TCommandId::PopupEditInTavirlo, "&Edit with Tavirlo...\tF8", nullptr},
    {TCommandId::PopupEditExternal, "Edit with E&xternal Editor...", nullptr},
    {TCommandId::PopupConvert, "Con&vert with TavConverter...", nullptr},
    {TCommandId::PopupRename, "&Rename File (F2)", nullptr},
    {TCommandId::PopupDelete, "&Delete Files (Del)", nullptr},
    {TCommandId::IncrementalRename, "&Incremental Rename...", nullptr},
    {TCommandId::ExifData, "EXI&F Data...", nullptr},
    {TCommandId::ImageProperties, "Image &Properties...", nullptr},
    {TCommandId::RemoveWallpaper, "Re&move Wallpaper", nullptr},
    {TCommandId::ViewAllFiles, "View All File&s", nullptr},
    {TCommandId::RefreshList, "Refresh &List (F5)", nullptr},
    {TCommandId::AddFolder, "&Add Folder...", nullptr},
    {TCommandId::DeleteFolder, "&Delete Folder", nullptr},
    {TCommandId::RefreshFolders, "&Refresh", nullptr},
};

constexpr bool InIdOrder() {
    if (std::size(kCommands) != std::size_t(TCommandId::Count)) return false;
    for (std::size_t i = 0; i < std::size(kCommands); ++i)
        if (std::size_t(kCommands[i].id) != i) return false;
    return true;
}
static_assert(InIdOrder(), "kCommands lists every command once, in the order of TCommandId");

} // namespace

const char* CommandCaption(TCommandId id) {
    return kCommands[std::size_t(id)].caption;
}

const char* CommandObjectName(TCommandId id) {
    return kCommands[std::size_t(id)].objectName;
}
