#include "browser/macroserver.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "browser/macros.h"
#include "browser/mainform.h"

namespace {

constexpr char kTopicMacros[] = "Macros";
constexpr char kTopicServer[] = "TavirloDdeServer";
constexpr char kAnswer[] = "OK\n";

// A file descriptor closed on every path out.
struct TFd {
    int fd = -1;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

bool PeerIsUs(QLocalSocket* s) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    return cred.uid == ::getuid();
}

// Connects to the socket at `path`; -1 when nothing is there or it refuses.
int ConnectTo(const QByteArray& path) {
    sockaddr_un addr{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof addr.sun_path) return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString MacroSocketPath() {
    const QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !dir.startsWith('/')) return {};
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return QString::fromLocal8Bit(dir) + QStringLiteral("/tavirlo");
}

bool SendMacro(const QString& socketPath, const QString& macro, int timeoutMs) {
    TFd fd{ConnectTo(QFile::encodeName(socketPath))};
    if (fd.fd < 0) return false;
    const QByteArray msg = QByteArray(kTopicMacros) + '\n' + macro.toUtf8() + '\n';
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        return int(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count()));
    };
    qsizetype sent = 0;
    while (sent < msg.size()) {
        pollfd p{fd.fd, POLLOUT, 0};
        if (::poll(&p, 1, left()) <= 0) return false;
        const ssize_t n =
            ::send(fd.fd, msg.constData() + sent, size_t(msg.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += n;
    }
    QByteArray got;
    while (!got.contains('\n')) {
        pollfd p{fd.fd, POLLIN, 0};
        if (::poll(&p, 1, left()) <= 0) return false;
        char buf[64];
        const ssize_t n = ::recv(fd.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got.append(buf, n);
    }
    return got.startsWith(kAnswer);
}

bool SendOpenRequest(const QString& file) {
    const QString path = MacroSocketPath();
    if (path.isEmpty()) return false;
    return SendMacro(path, OpenMacroFor(QFileInfo(file).absoluteFilePath()));
}

TMacroServer::TMacroServer(TDDEHandler* handler, QObject* parent)
    : QObject(parent), handler_(handler), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TMacroServer::Accept);
}

TMacroServer::~TMacroServer() {
    // Closing removes the socket file; a successor can then listen at once.
    server_->close();
}

bool TMacroServer::Listen(QString path) {
    if (path.isEmpty()) path = MacroSocketPath();
    if (path.isEmpty()) return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        TFd probe{ConnectTo(native)};
        if (probe.fd >= 0) return false; // another program answers there
        // Only a socket left behind by a program that died goes; anything
        // else at that name is not ours to delete.
        if (!S_ISSOCK(st.st_mode)) return false;
        QLocalServer::removeServer(path);
    }
    if (!server_->listen(path)) return false;
    // Connecting needs write permission only; nobody but us gets any.
    ::chmod(native.constData(), 0600);
    path_ = path;
    return true;
}

void TMacroServer::Accept() {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        if (!PeerIsUs(s)) {
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setProperty("tavTopic", QString());
        s->setProperty("tavBytes", qint64(0));
        auto* timer = new QTimer(s);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, s, [s] { s->abort(); });
        timer->start(TimeoutMs);
        connect(s, &QLocalSocket::readyRead, this, [this, s] { Read(s); });
        if (s->bytesAvailable() > 0) Read(s);
    }
}

void TMacroServer::Read(QLocalSocket* s) {
    qint64 bytes = s->property("tavBytes").toLongLong();
    while (s->state() == QLocalSocket::ConnectedState) {
        // Read no further than the connection's allowance.
        const qint64 room = MaxBytes - bytes;
        if (room <= 0) {
            s->abort();
            return;
        }
        if (!s->canReadLine()) {
            if (s->bytesAvailable() >= room) s->abort();
            break;
        }
        QByteArray line = s->readLine(room + 1);
        bytes += line.size();
        s->setProperty("tavBytes", bytes);
        if (!line.endsWith('\n')) {
            s->abort();
            return;
        }
        line.chop(1);
        if (line.endsWith('\r')) line.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(line);
        if (utf8.hasError() || line.contains('\0')) {
            s->abort();
            return;
        }
        const QString topic = s->property("tavTopic").toString();
        if (topic.isEmpty()) {
            if (text != QLatin1String(kTopicMacros) && text != QLatin1String(kTopicServer)) {
                s->abort();
                return;
            }
            s->setProperty("tavTopic", text);
            continue;
        }
        // Both topics end at the main window's receiver; the handler holds
        // the line when the window is not there yet.
        handler_->ExecuteMacro(text);
        s->write(kAnswer);
        s->flush();
    }
}

void ShowOpenMacros(TForm1* form, const QStringList& macros) {
    const QString path = LastOpenPath(macros);
    if (!form || !IsShowablePath(path)) return;
    // The tree, the list and its selection follow the file: every command
    // (Delete above all) then acts on the file in view.
    form->ShowFileInBrowser(QFile::encodeName(path));
    if (form->isMinimized()) form->showNormal();
    form->raise();
    form->activateWindow();
}
