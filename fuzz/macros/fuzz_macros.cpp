// The macro channel's parser on arbitrary lines, as a hostile local program
// could send them. Besides not crashing: every path `--open` can send comes
// back unchanged.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "browser/macros.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TDDEHandler handler;
    QString shown;
    handler.ExecuteMacro(line);
    handler.SetReceiver([&](const QStringList& macros) { shown = LastOpenPath(macros); });
    handler.ExecuteMacro(line);

    // The line read as a path: what `--open` sends for it must decode to it.
    if (!line.contains(QChar(0)) && QString::fromUtf8(line.toUtf8()) == line) {
        const QStringList parts = SplitMacroLine(OpenMacroFor(line));
        if (parts.size() != 1 || LastOpenPath(parts) != line) __builtin_trap();
    }
    return 0;
}
