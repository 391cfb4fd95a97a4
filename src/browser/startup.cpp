#include "browser/startup.h"

#include <QApplication>
#include <QPointer>

#include "browser/fileopsdialogs.h"
#include "browser/mainform.h"
#include "browser/splash.h"
#include "browser/toolwindows.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"
#include "platform/prompts.h"

int RunTavirlo(QApplication& app) {
    QPointer<TSplash> splash = new TSplash;
    splash->ShowNow();

    QApplication::setApplicationName("Tavirlo");
    InitImageLibrary();
    // Metafiles are played through Qt: registered once the application exists.
    RegisterMetafileFormats();
    InstallLibraryPrompts();

    // More than one argument is not a file to open: all are ignored.
    TForm1 form(QApplication::arguments().mid(1));
    form.QuitOnClose = true;
    RegisterBrowserDialogs();
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();
    form.UpdateToolCommands();
    form.show();
    if (splash) splash->raise(); // stays above the windows created after it
    const int rc = app.exec();
    delete splash.data(); // still up if the loop ended within two seconds
    SetToolWindows(nullptr);
    return rc;
}
