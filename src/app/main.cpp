// The tavirlo program.

#include <QApplication>

#include "browser/startup.h"

int main(int argc, char** argv) {
    // "tavirlo -- -odd.jpg": Qt never sees what follows "--", so a file
    // whose name looks like one of its options is opened as a file.
    const TCommandLine cl = SplitCommandLine(argc, argv);
    int qtArgc = cl.qtArgc;
    QApplication app(qtArgc, argv);
    return RunTavirlo(app, FileArguments(qtArgc, argv, cl));
}
