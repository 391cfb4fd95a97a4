#include "view/services.h"

#include "core/qt/canvas.h"
#include "core/qt/print.h"
#include "platform/prompts.h"

void InstallViewServices() {
    static bool done = false;
    if (done) return;
    done = true;
    InstallPGCanvas();
    PGPrintDialogHandler = [](QPrinter& printer, QWidget* owner) {
        return Prompts().PrintDialog(owner, &printer);
    };
}
