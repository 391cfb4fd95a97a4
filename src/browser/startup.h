#pragma once
// The program run: splash, application title, main window, every tool
// window once and hidden, then the event loop. Closing the main window ends
// the run; the tool windows are destroyed afterwards and save their settings.

#include <QByteArray>
#include <QList>

class QApplication;

// The command line split at the first "--": Qt sees only the arguments
// before it (it takes "-style=x.jpg" and its like as its own options), every
// argument after it is a file, whatever it starts with.
struct TCommandLine {
    int qtArgc = 0;                // argv[0 .. qtArgc) go to the application object
    QList<QByteArray> afterDashes; // file arguments after "--", as bytes
};
TCommandLine SplitCommandLine(int argc, const char* const* argv);

// The files to open: what the application object left of argv[1 .. qtArgc)
// followed by the arguments after "--", all as the file system's bytes.
QList<QByteArray> FileArguments(int qtArgc, const char* const* argv, const TCommandLine& cl);

int RunTavirlo(QApplication& app);
int RunTavirlo(QApplication& app, const QList<QByteArray>& fileArgs);
