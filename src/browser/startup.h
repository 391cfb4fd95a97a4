#pragma once
// The program run: splash, application title, main window, every tool
// window once and hidden, then the event loop. Closing the main window ends
// the run; the tool windows are destroyed afterwards and save their settings.

class QApplication;

int RunTavirlo(QApplication& app);
