// The tavirlo program.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <vector>

#include "album/qt/register.h"
#include "browser/about.h"
#include "browser/appicon.h"
#include "browser/help.h"
#include "browser/macroserver.h"
#include "browser/prefs.h"
#include "browser/startup.h"
#include "editor/qt/register.h"
#include "meta/qt/register.h"
#include "thumbs/qt/register.h"
#include "tools/qt/register.h"

namespace {

const char kUsage[] =
    "Usage: tavirlo [FOLDER | FILE]\n"
    "       tavirlo --open FILE\n"
    "       tavirlo -- FILE          (a file whose name starts with \"-\")\n"
    "\n"
    "Opens the image browser on FOLDER, or on FILE's folder with FILE shown;\n"
    "without an argument on the folder of the last run.\n"
    "\n"
    "  --open FILE    show FILE in the running program (starts one if none runs)\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n";

} // namespace

int main(int argc, char** argv) {
    // Help and version are answered before any window system is needed, as
    // every command-line program does. Only as the first argument: a file
    // of that name is still opened with "tavirlo -- --help".
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("tavirlo %s\n", TavirloVersion().toUtf8().constData());
        return 0;
    }
    if (argc >= 2 && QByteArray(argv[1]) == "--open" && argc != 3) {
        std::fputs("tavirlo: --open takes one FILE\n", stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }
    // `tavirlo --open FILE` (what the desktop runs for an associated file):
    // a running program shows FILE and this one ends at once; otherwise this
    // one starts with FILE, made absolute, as its one argument.
    std::vector<char*> args(argv, argv + argc);
    QByteArray openFile;
    if (argc == 3 && QByteArray(argv[1]) == "--open") {
        const QString file = QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath();
        // What the desktop or a script asked for must exist: a missing file
        // would otherwise show nothing anywhere and still report success.
        const QFileInfo info(file);
        if (!info.exists() || !info.isFile()) {
            std::fprintf(stderr, "tavirlo: %s: %s\n", QFile::encodeName(file).constData(),
                         info.exists() ? "not a file" : "no such file");
            return 1;
        }
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
