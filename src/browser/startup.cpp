#include "browser/startup.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QScreen>

#include "browser/fileopsdialogs.h"
#include "browser/macros.h"
#include "browser/macroserver.h"
#include "browser/mainform.h"
#include "browser/prefs.h"
#include "browser/splash.h"
#include "browser/toolwindows.h"
#include "formats/library.h"
#include "formats/qt/metafile_qt.h"
#include "platform/displayprofile.h"
#include "platform/prompts.h"

TCommandLine SplitCommandLine(int argc, const char* const* argv) {
    TCommandLine cl;
    cl.qtArgc = argc;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--") {
            cl.qtArgc = i;
            for (int j = i + 1; j < argc; ++j)
                cl.afterDashes << QByteArray(argv[j]);
            break;
        }
    return cl;
}

QList<QByteArray> FileArguments(int qtArgc, const char* const* argv, const TCommandLine& cl) {
    QList<QByteArray> files;
    for (int i = 1; i < qtArgc; ++i)
        files << QByteArray(argv[i]);
    return files + cl.afterDashes;
}

int RunTavirlo(QApplication& app) {
    QList<QByteArray> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args << QFile::encodeName(a);
    return RunTavirlo(app, args);
}

int RunTavirlo(QApplication& app, const QList<QByteArray>& fileArgs) {
    QPointer<TSplash> splash = new TSplash;
    splash->ShowNow();

    QApplication::setApplicationName("Tavirlo");
    InitImageLibrary();
    // Metafiles are played through Qt: registered once the application exists.
    RegisterMetafileFormats();
    InstallLibraryPrompts();
    // Pictures with a profile are shown for the display's; its profile is
    // read again when the screen changes.
    LoadColourManagementSetting();
    RefreshDisplayProfile();
    QObject::connect(&app, &QGuiApplication::primaryScreenChanged, &app,
                     [] { RefreshDisplayProfile(); });

    // The macro channel exists before the main window: a file the desktop
    // sends meanwhile waits in the handler's queue.
    TDDEHandler dde;
    TMacroServer macroServer(&dde);
    macroServer.Listen();

    // More than one argument is not a file to open: all are ignored.
    TForm1 form;
    form.SetNativeArgs(fileArgs);
    form.QuitOnClose = true;
    dde.SetReceiver([&form](const QStringList& macros) { ShowOpenMacros(&form, macros); });
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
    dde.SetReceiver({});
    return rc;
}
