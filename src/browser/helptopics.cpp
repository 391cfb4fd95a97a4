#include "browser/helptopics.h"

#include <map>

const std::vector<THelpTopic>& HelpTopics() {
    static const std::vector<THelpTopic> topics = {
        {hcContents, "contents.html", "Contents"},
        {hcFeatureOverview, "overview.html", "Feature Overview"},
        {hcHowToUseHelp, "usinghelp.html", "How To Use Help"},
        {hcBrowser, "browser.html", "The Main Window"},
        {hcPreview, "preview.html", "Preview, Navigation and Slide Show"},
        {hcFileOperations, "fileops.html", "Deleting, Renaming and Moving Files"},
        {hcBookmarks, "bookmarks.html", "Bookmarks"},
        {hcPreferences, "preferences.html", "Preferences and File Associations"},
        {hcDesktopTools, "desktop.html", "Wallpaper, Clipboard, Editors and Listings"},
        {hcEditor, "editor.html", "Image Editor"},
        {hcFilters, "filters.html", "Filters and Effects"},
        {hcRadialAdjustment, "radial.html", "Red-Eye Reduction and Radial Adjustment"},
        {hcSaveOptions, "saveoptions.html", "Save Options and GIF Export"},
        {hcAcquire, "acquire.html", "Scanning Images"},
        {hcThumbnails, "thumbnails.html", "Thumbnail Explorer"},
        {hcContactSheet, "contactsheet.html", "ThumbTav Creator (Contact Sheets)"},
        {hcAlbums, "albums.html", "TavAlbums: the Album Maker"},
        {hcPublishing, "publishing.html", "Web Publishing Wizard"},
        {hcConverter, "converter.html", "TavConverter"},
        {hcMover, "mover.html", "TavMover: Moving and Copying Files"},
        {hcIncrementalRename, "increname.html", "Incremental File Rename"},
        {hcSearch, "search.html", "TavSearch: Finding Files"},
        {hcExif, "exif.html", "EXIF Data"},
        {hcImageProperties, "properties.html", "Image Properties"},
        {hcFormats, "formats.html", "Picture Formats"},
        {hcKeys, "keys.html", "Keyboard Shortcuts"},
        {hcFilesAndSettings, "files.html", "Where Tavirlo Keeps Things"},
        {hcCommandLine, "commandline.html", "Command Line and tavtool"},
    };
    return topics;
}

QString HelpResourceFolder() {
    return QStringLiteral(":/help/");
}

QString HelpContentsPage() {
    return QStringLiteral("contents.html");
}

QString HelpPageForContext(int context) {
    for (const THelpTopic& t : HelpTopics())
        if (t.context == context) return QString::fromLatin1(t.page);
    return HelpContentsPage();
}

QString HelpTitleOfPage(const QString& page) {
    for (const THelpTopic& t : HelpTopics())
        if (page == QLatin1String(t.page)) return QString::fromLatin1(t.title);
    return {};
}

int HelpContextForWindow(const QString& className) {
    // Dialogs that belong to a tool open the tool's page.
    static const std::map<QString, int> byClass = {
        {"Form1", hcContents},
        {"TfSelectFiles", hcMover},
        {"TfAbout", hcContents},
        {"TfPrefs", hcPreferences},
        {"TfRename", hcFileOperations},
        {"TFileAttrForm", hcFileOperations},
        {"TfDirAdd", hcFileOperations},
        {"TfSearch", hcSearch},
        {"TfAPrefs", hcAlbums},
        {"TfBMEdit", hcBookmarks},
        {"TfAlbum", hcAlbums},
        {"TfrmEdit", hcAlbums},
        {"TfrmAcquire", hcEditor},
        {"TfrmFileSaveOptions", hcSaveOptions},
        {"TfRotate", hcEditor},
        {"TfrmBorder", hcFilters},
        {"TfrmColorRez", hcEditor},
        {"TfrmFileProp", hcImageProperties},
        {"TfrmResize", hcEditor},
        {"TfrmNewEFX", hcFilters},
        {"TfrmConvert", hcConverter},
        {"TfrmGIFTrans", hcSaveOptions},
        {"TfrmThumbnails", hcThumbnails},
        {"TfrmSaveThumbnail", hcThumbnails},
        {"TfrmThumbTavOptions", hcContactSheet},
        {"TfrmThumbEdit", hcContactSheet},
        {"TfrmSelectFolder", hcThumbnails},
        {"TfrmPubWizard", hcPublishing},
        {"TfrmRedEyeReduction", hcRadialAdjustment},
        {"TfrmBarrel", hcRadialAdjustment},
        {"TfrmIncRename", hcIncrementalRename},
        {"TfrmEXIF", hcExif},
    };
    auto it = byClass.find(className);
    return it == byClass.end() ? int(hcContents) : it->second;
}
