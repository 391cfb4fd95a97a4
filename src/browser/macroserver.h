#pragma once
// The channel that lets the desktop and a second `tavirlo --open` reach the
// running program: a local socket at $XDG_RUNTIME_DIR/tavirlo, readable by
// its owner only. A connection sends a topic line ("Macros" or
// "TavirloDdeServer") and then macro lines; each accepted line is answered
// "OK". Every message is treated as hostile: the peer must be our own user,
// a connection gets 64 KiB and two seconds, lines must be valid UTF-8.

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class TDDEHandler;
class TForm1;

// The socket's full path, or empty when $XDG_RUNTIME_DIR is unset, not ours
// or open to others (then there is no server and `--open` starts the program).
QString MacroSocketPath();

// Client side, usable before any Qt application object exists: sends `macro`
// on the "Macros" topic to `socketPath` and waits up to `timeoutMs` for the
// answer. True when the running program took it.
bool SendMacro(const QString& socketPath, const QString& macro, int timeoutMs = 2000);

// `tavirlo --open FILE`: FILE made absolute and sent. True when a running
// program took it (this one may exit).
bool SendOpenRequest(const QString& file);

class TMacroServer : public QObject {
    Q_OBJECT
  public:
    static constexpr qint64 MaxBytes = 64 * 1024;
    static constexpr int TimeoutMs = 2000;

    explicit TMacroServer(TDDEHandler* handler, QObject* parent = nullptr);
    ~TMacroServer() override;

    // Listens at `path` (default MacroSocketPath()). A stale socket is
    // removed only when nothing answers on it; false when another program
    // answers there or the path is unusable.
    bool Listen(QString path = {});
    QString Path() const { return path_; }

  private:
    void Accept();
    void Read(QLocalSocket* s);

    TDDEHandler* handler_;
    QLocalServer* server_;
    QString path_;
};

// The main window's receiver: shows the last "[Open(" macro's file when it
// is an absolute path to an existing regular file, as a click on it would:
// its folder in the tree and the list, the file selected and in the preview.
void ShowOpenMacros(TForm1* form, const QStringList& macros);
