// The tavirlo program.

#include <QApplication>

#include "album/qt/register.h"
#include "browser/startup.h"
#include "editor/qt/register.h"
#include "meta/qt/register.h"
#include "thumbs/qt/register.h"
#include "tools/qt/register.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The tool windows' factories, before the start-up creates them.
    RegisterMetaWindows();
    RegisterEditorWindows();
    RegisterThumbsWindows();
    RegisterAlbumWindows();
    RegisterToolsWindows();
    return RunTavirlo(app);
}
