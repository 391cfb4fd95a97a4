// The tavirlo program.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <vector>

#include "album/qt/register.h"
#include "browser/appicon.h"
#include "browser/help.h"
#include "browser/macroserver.h"
#include "browser/prefs.h"
#include "browser/startup.h"
#include "editor/qt/register.h"
#include "meta/qt/register.h"
#include "thumbs/qt/register.h"
#include "tools/qt/register.h"

int main(int argc, char** argv) {
    // `tavirlo --open FILE` (what the desktop runs for an associated file):
    // a running program shows FILE and this one ends at once; otherwise this
    // one starts with FILE, made absolute, as its one argument.
    std::vector<char*> args(argv, argv + argc);
    QByteArray openFile;
    if (argc == 3 && QByteArray(argv[1]) == "--open") {
        const QString file = QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath();
        if (SendOpenRequest(file)) return 0;
        openFile = QFile::encodeName(file);
        args = {argv[0], openFile.data()};
    }
    // "tavirlo -- -odd.jpg": Qt never sees what follows "--", so a file
    // whose name looks like one of its options is opened as a file.
    int count = int(args.size());
    args.push_back(nullptr);
    const TCommandLine cl = SplitCommandLine(count, args.data());
    int qtArgc = cl.qtArgc;
    QApplication app(qtArgc, args.data());
    // The desktop matches our windows to tavirlo.desktop and its icon.
    QApplication::setDesktopFileName("tavirlo");
    QApplication::setWindowIcon(TavirloIcon());
    RegisterHelpWindows();
    InstallHelpKeys();
    // The tool windows' factories, before the start-up creates them.
    RegisterPrefsWindow();
    RegisterMetaWindows();
    RegisterEditorWindows();
    RegisterThumbsWindows();
    RegisterAlbumWindows();
    RegisterToolsWindows();
    return RunTavirlo(app, FileArguments(qtArgc, args.data(), cl));
}
