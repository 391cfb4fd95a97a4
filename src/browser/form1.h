#pragma once
// The running program's main window, for the tool windows: they show files in
// its preview, read its listed folder and tell it when they changed a folder.

#include <QString>

class TForm1;

// The main window of the running program, or null (tests without one).
TForm1* Form1();
void SetForm1(TForm1* form);

// A tool wrote, moved or removed files in `folder`: the browser refreshes its
// list when it shows that folder. Safe to call with no main window.
void FolderContentsChanged(const QString& folder);
