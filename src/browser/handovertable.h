#pragma once
// What the main window hands each tool window when a command opens it. The
// table is data: a tool takes part by implementing TToolHandOver
// (handover.h), or, for the one-file rows, by an invokable ShowFile(QString)
// slot; a tool with neither is simply shown.

#include <QString>

class TForm1;

struct THandOverRow {
    const char* className;
    // Calls TakeHandOver before showing (else the window is only shown).
    bool handOver;
    // Hands the selected files' full paths (list order); else none.
    bool files;
    // Needs a selected file and takes the first of several; with none,
    // `noFileText` is shown (or, when null, nothing happens).
    bool needOne;
    const char* noFileText;
    // Hands the tree's folder instead of the listed one.
    bool treeFolder;
    bool waitCursor;
};

// The row of `className`, or null for a window that gets nothing.
const THandOverRow* HandOverRow(const QString& className);

// Runs a tool command of `form`: finds the window, hands it the folder and
// the selected files' full paths (list order) as its row says, then shows
// it; a dialog is run modally through ExecDialog and its result returned
// (-1 when nothing was shown or the window is not a dialog).
int RunToolCommand(TForm1* form, const QString& className);
