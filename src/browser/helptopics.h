#pragma once
// The help pages that ship with the program and the one table that maps help
// context numbers to them. Windows name their help by context number (their
// Help buttons and F1); the number picks a page here, and a number the table
// does not know opens the contents, so a window can never open a blank page.

#include <QString>
#include <vector>

// Context numbers. The numbers the windows' Help buttons have always used
// (130, 370, 380, 500, 560, 590, 600) keep their values; the rest fill the
// gaps by subject.
enum THelpContext : int {
    hcContents = 1,
    hcBrowser = 100,        // main window, folder tree, file list
    hcPreview = 120,        // preview, navigation, slide show
    hcMover = 130,          // TavMover
    hcFileOperations = 140, // delete, rename, attributes, folders, drops
    hcBookmarks = 150,
    hcPreferences = 160,  // preferences, file types, associations
    hcDesktopTools = 170, // wallpaper, clipboard, external editors, listings
    hcConverter = 200,
    hcSearch = 220,
    hcThumbnails = 300,   // thumbnail explorer
    hcContactSheet = 310, // ThumbTav Creator
    hcAcquire = 370,      // scanning into the editor
    hcEditor = 380,
    hcFilters = 390,     // colour filters, convolution, effects, border
    hcSaveOptions = 400, // save options, GIF export, transparency
    hcExif = 420,
    hcImageProperties = 430,
    hcFeatureOverview = 500,
    hcAlbums = 510,
    hcPublishing = 560,
    hcRadialAdjustment = 590, // radial adjustment and red-eye reduction
    hcIncrementalRename = 600,
    hcHowToUseHelp = 700,
    hcFormats = 800,
    hcFilesAndSettings = 810,
    hcKeys = 820,
    hcCommandLine = 830,
};

struct THelpTopic {
    int context;
    const char* page;  // file name under the help resource folder
    const char* title; // as the contents list shows it
};

// Every page, in the order of the contents list.
const std::vector<THelpTopic>& HelpTopics();

// The resource folder of the pages ("qrc:/help/" as a URL, ":/help/" as a path).
QString HelpResourceFolder();

// The page of `context`; the contents page for a number the table lacks.
QString HelpPageForContext(int context);
// The contents page's file name.
QString HelpContentsPage();
// The title of `page` from the table (empty when it is not one of ours).
QString HelpTitleOfPage(const QString& page);

// The help context of a tool window, by the window's class name (its object
// name); hcContents for a name the table does not know.
int HelpContextForWindow(const QString& className);
