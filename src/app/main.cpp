// The tavirlo program.

#include <QApplication>

#include "album/qt/register.h"
#include "browser/appicon.h"
#include "browser/help.h"
#include "browser/startup.h"
#include "editor/qt/register.h"
#include "meta/qt/register.h"
#include "thumbs/qt/register.h"
#include "tools/qt/register.h"

int main(int argc, char** argv) {
    // "tavirlo -- -odd.jpg": Qt never sees what follows "--", so a file
    // whose name looks like one of its options is opened as a file.
    const TCommandLine cl = SplitCommandLine(argc, argv);
    int qtArgc = cl.qtArgc;
    QApplication app(qtArgc, argv);
    // The desktop matches our windows to tavirlo.desktop and its icon.
    QApplication::setDesktopFileName("tavirlo");
    QApplication::setWindowIcon(TavirloIcon());
    RegisterHelpWindows();
    InstallHelpKeys();
    // The tool windows' factories, before the start-up creates them.
    RegisterMetaWindows();
    RegisterEditorWindows();
    RegisterThumbsWindows();
    RegisterAlbumWindows();
    RegisterToolsWindows();
    return RunTavirlo(app, FileArguments(qtArgc, argv, cl));
}
