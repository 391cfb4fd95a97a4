#pragma once
// Macros the desktop (or a second `tavirlo --open`) sends the running
// program, "[Open("path")]", and the queue that keeps them until the main
// window is there to take them. Plain rules, no sockets: macroserver.h
// carries them.

#include <QString>
#include <QStringList>
#include <functional>

// Splits one received line into macros at every "][": each piece up to and
// including its "]" is trimmed, the remainder is kept as it is.
QStringList SplitMacroLine(const QString& line);

// The path an "[Open(" macro names: the text between its first and next
// double quote. A "file://" URL (what `--open` sends, so quotes and "]["
// in names survive) is percent-decoded; its bytes must be valid UTF-8.
// Empty for other macros and for anything malformed.
QString OpenMacroPath(const QString& macro);

// The path of the last "[Open(" macro among `macros`, or empty.
QString LastOpenPath(const QStringList& macros);

// The macro `tavirlo --open` sends for the absolute `path`.
QString OpenMacroFor(const QString& path);

// Only an absolute path to an existing regular file is ever shown.
bool IsShowablePath(const QString& path);

// Queues macros from program start until a receiver is registered, then
// hands them over; later macros go to the receiver as they arrive.
class TDDEHandler {
  public:
    using TReceiver = std::function<void(const QStringList&)>;
    static constexpr int MaxQueued = 100;

    // Registers (or with {} removes) the receiver; waiting macros are
    // delivered at once.
    void SetReceiver(TReceiver r);
    // One received line on the "Macros" topic.
    void ExecuteMacro(const QString& line);
    const QStringList& Queue() const { return queue_; }

  private:
    void Deliver();
    QStringList queue_;
    TReceiver receiver_;
};
