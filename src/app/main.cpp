// The tavirlo program.

#include <QApplication>

#include "browser/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunTavirlo(app);
}
