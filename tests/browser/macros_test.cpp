// The macro channel: parsing, the queue before the main window exists, and
// the socket with hostile senders.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "browser/macros.h"
#include "browser/macroserver.h"
#include "fixtures.h"

namespace {

// Waits for `f` while the event loop runs (the server lives on this thread).
template <class T> T Pump(std::future<T>& f) {
    QElapsedTimer t;
    t.start();
    while (f.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready &&
           t.elapsed() < 10000)
        QCoreApplication::processEvents();
    return f.get();
}

// Sends raw bytes and returns what came back before the peer closed or a
// second passed.
QByteArray SendRaw(const QString& path, const QByteArray& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
    QByteArray got;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n =
                ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += n;
        }
        for (;;) {
            pollfd pf{fd, POLLIN, 0};
            if (::poll(&pf, 1, 1000) <= 0) break;
            char buf[64];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, n);
        }
    }
    ::close(fd);
    return got;
}

} // namespace

TEST(Macros, OpenPathsFromReceivedLines) {
    struct Case {
        QString line;
        QString last;
    } cases[] = {
        {R"([Open("/pics/a b.jpg")])", "/pics/a b.jpg"},
        {R"([Open("/p/a.jpg")][Open("/p/b.jpg")])", "/p/b.jpg"},
        {R"(  [Open("/p/a.jpg")]  ][Close()])", "/p/a.jpg"},
        {R"(  [Open("/p/a.jpg")])", ""}, // the remainder is kept as it is
        {R"([Print("/p/a.jpg")])", ""},
        {R"([Open(no quotes)])", ""},
        {R"([Open("file:///p/%E2%82%AC%22x%5D%5B.jpg")])", QString::fromUtf8("/p/€\"x][.jpg")},
        {R"([Open("file:///p/%FF.jpg")])", ""}, // not UTF-8
        {R"([Open("file:///p/a%00.jpg")])", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LastOpenPath(SplitMacroLine(c.line)), c.last) << c.line.toStdString();
    EXPECT_EQ(SplitMacroLine(" [A][B] ][C] "), QStringList({"[A]", "[B] ]", "[C] "}));
}

TEST(Macros, HostileNamesSurviveTheRoundTrip) {
    for (const QString& name :
         {QStringLiteral("/t/a\"b.jpg"), QStringLiteral("/t/x][y.jpg"),
          QStringLiteral("/t/ %25 #?.jpg"), QString::fromUtf8("/t/ünï.jpg")}) {
        const QString macro = OpenMacroFor(name);
        EXPECT_EQ(SplitMacroLine(macro).size(), 1);
        EXPECT_EQ(LastOpenPath(SplitMacroLine(macro)), name);
    }
}

TEST(Macros, QueuedUntilTheReceiverRegisters) {
    TDDEHandler h;
    h.ExecuteMacro(R"([Open("/a.jpg")][Open("/b.jpg")])");
    EXPECT_EQ(h.Queue().size(), 2);
    QList<QStringList> got;
    h.SetReceiver([&](const QStringList& m) { got << m; });
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0], QStringList({R"([Open("/a.jpg")])", R"([Open("/b.jpg")])"}));
    EXPECT_TRUE(h.Queue().isEmpty());
    h.ExecuteMacro(R"([Open("/c.jpg")])");
    EXPECT_EQ(got.size(), 2);

    TDDEHandler flood;
    for (int i = 0; i < 1000; ++i)
        flood.ExecuteMacro(QString(R"([Open("/%1.jpg")])").arg(i));
    EXPECT_EQ(flood.Queue().size(), TDDEHandler::MaxQueued);
    EXPECT_EQ(LastOpenPath(flood.Queue()), "/999.jpg");
}

TEST(Macros, OnlyExistingRegularFilesAreShowable) {
    QTemporaryDir dir;
    MakeFile(dir.filePath("a.jpg"), 10);
    EXPECT_TRUE(IsShowablePath(dir.filePath("a.jpg")));
    EXPECT_FALSE(IsShowablePath(dir.path()));
    EXPECT_FALSE(IsShowablePath(dir.filePath("missing.jpg")));
    EXPECT_FALSE(IsShowablePath("a.jpg"));
    EXPECT_FALSE(IsShowablePath(""));
}

class MacroServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
        path = dir.filePath("tavirlo");
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(MacroServer, DeliversOpensAndRefusesHostileMessages) {
    TDDEHandler h;
    QStringList got;
    h.SetReceiver([&](const QStringList& m) { got << m; });
    TMacroServer server(&h);
    ASSERT_TRUE(server.Listen(path));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const QString name = dir.filePath("a\"b][c d.jpg");
    auto ok = std::async(std::launch::async, [&] { return SendMacro(path, OpenMacroFor(name)); });
    EXPECT_TRUE(Pump(ok));
    EXPECT_EQ(LastOpenPath(got), name);

    got.clear();
    const std::pair<const char*, QByteArray> hostile[] = {
        {"over 64 KiB", "Macros\n[Open(\"/" + QByteArray(1 << 20, 'a') + "\")]\n"},
        {"invalid UTF-8", "Macros\n[Open(\"/a\xff.jpg\")]\n"},
        {"unknown topic", "Other\n[Open(\"/a.jpg\")]\n"},
        {"no line end", "Macros\n[Open(\"/a.jpg\")]"},
    };
    for (const auto& [what, bytes] : hostile) {
        const QByteArray b = bytes;
        auto f = std::async(std::launch::async, [&, b] { return SendRaw(path, b); });
        EXPECT_EQ(Pump(f), QByteArray()) << what;
    }
    EXPECT_TRUE(got.isEmpty());
}

TEST_F(MacroServer, StaleSocketIsReplacedALiveOneIsNot) {
    TDDEHandler h;
    {
        // A program that died leaves its socket file behind.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ::close(fd);
    }
    TMacroServer first(&h);
    EXPECT_TRUE(first.Listen(path));
    TMacroServer second(&h);
    EXPECT_FALSE(second.Listen(path));
    auto ok = std::async(std::launch::async, [&] { return SendMacro(path, "[Open(\"/x\")]"); });
    EXPECT_TRUE(Pump(ok)); // the first still answers

    MakeFile(dir.filePath("plain"), 1);
    TMacroServer third(&h);
    EXPECT_FALSE(third.Listen(dir.filePath("plain")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("plain")));
}

TEST(MacroSocket, RuntimeFolderMustBeOursAndPrivate) {
    QTemporaryDir dir;
    const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_EQ(MacroSocketPath(), QString());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(MacroSocketPath(), dir.path() + "/tavirlo");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(MacroSocketPath(), QString());
    EXPECT_FALSE(SendOpenRequest("/nothing.jpg"));
    if (!old.isEmpty()) qputenv("XDG_RUNTIME_DIR", old);
}
