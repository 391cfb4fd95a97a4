#pragma once
// The main window's commands by id. The code finds a command by its id; the
// caption (with its accelerator mark and the key shown after a tab) is only
// what the menu shows, so a caption can change without a command getting
// lost. One id may stand in two menus (the turn commands and "File
// Attributes..." are in a menu and in the list's pop-up): both are that
// command.

enum class TCommandId {
    // Tool bar
    PreviousImage,
    NextImage,
    SlideShow,
    MoverButton,
    EditorButton,
    AlbumsButton,
    ConverterButton,
    SearchButton,
    ThumbnailsButton,
    ThumbCreatorButton,
    SetColorButton,
    AutoZoom,
    CopyButton,
    // Menus themselves (their menu actions)
    FileMenu,
    EditFileMenu,
    EditMenu,
    BookmarksMenu,
    ToolsMenu,
    HelpMenu,
    ContactMenu,
    SetAsWallpaper,
    // File menu
    MoveFiles,
    EditInTavirlo,
    EditInExternalEditor,
    RenameFile,
    DeleteFile,
    FileAttributes, // also in the list's pop-up
    SearchFiles,
    PageSetup,
    PrintListings,
    Preferences,
    SetColor,
    Quit,
    // Edit menu
    OpenTavirloEditor,
    OpenExternalEditor,
    CopyToClipboard,
    RotateLeft, // the turn commands, also in the list's pop-up
    RotateRight,
    FlipHorizontal,
    FlipVertical,
    ApplyExifOrientation,
    // Bookmarks menu
    AddBookmark,
    EditBookmarks,
    // Tools menu
    ToolMover,
    ToolEditor,
    ToolAlbums,
    ToolConverter,
    ToolSearch,
    ToolThumbnails,
    ToolThumbCreator,
    // Help menu
    HelpContents,
    HelpSearch,
    HelpOverview,
    HelpHowTo,
    HelpWebSite,
    HelpEmail,
    About,
    // The file list's pop-up
    PopupEditInTavirlo,
    PopupEditExternal,
    PopupConvert,
    PopupRename,
    PopupDelete,
    IncrementalRename,
    ExifData,
    ImageProperties,
    RemoveWallpaper,
    ViewAllFiles,
    RefreshList,
    // The folder tree's pop-up
    AddFolder,
    DeleteFolder,
    RefreshFolders,

    Count
};

// What the command shows: a menu caption ("&Delete File\tDel") or, for a
// tool-bar button, its hint.
const char* CommandCaption(TCommandId id);
// A tool-bar button's object name ("PreviousImageButton"); null for menu
// commands.
const char* CommandObjectName(TCommandId id);
