#include "core/CVSocket.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LoopbackServer.h"
#include "StalledListener.h"
#include "TestSupport.h"
#include "TrustedTLSFront.h"
#include "core/CVTLSSession.h"

namespace {
std::unique_ptr<CVSocket> connectedTo(LoopbackServer& server)
{
    auto socket = std::make_unique<CVSocket>();
    EXPECT_TRUE(socket->connect("127.0.0.1", server.port(), 1000)) << socket->lastErrorText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return server.hasClient(); }));
    return socket;
}

QByteArray loopbackAddress(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return QByteArray(reinterpret_cast<const char*>(&address), sizeof address);
}

// True when a connect to the loopback `port` is still unanswered after `ms`:
// the port drops packets, as a host behind a filtering firewall does.
bool dropsConnects(quint16 port, int ms)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const QByteArray address = loopbackAddress(port);
    ::connect(fd, reinterpret_cast<const sockaddr*>(address.constData()), address.size());
    pollfd waiting{fd, POLLOUT, 0};
    const bool answered = poll(&waiting, 1, ms) == 1;
    ::close(fd);
    return !answered;
}

qint64 msToReceive(CVSocket& socket, QByteArray* received = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    const QByteArray bytes = socket.receiveBytes();
    if (received)
        *received = bytes;
    return timer.elapsed();
}
}

TEST(CVSocket, ConnectFailuresSayWhy)
{
    quint16 closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    struct Row {
        QString host;
        quint64 port;
        QStringList reasons;
    };
    const Row rows[] = {
        {"127.0.0.1", closedPort, {"Connection refused"}},
        {"127.0.0.1", 0, {"Invalid port 0"}},
        {"127.0.0.1", 70000, {"Invalid port 70000"}},
        {"  ", 23, {"No host name given"}},
    };
    for (const Row& row : rows) {
        CVSocket socket;
        EXPECT_FALSE(socket.connect(row.host, row.port, 500));
        EXPECT_EQ(socket.connectFailReasons(), row.reasons) << row.host.toStdString() << ":" << row.port;
        EXPECT_FALSE(socket.lastErrorText().isEmpty());
        EXPECT_FALSE(socket.isConnected());
    }
}

TEST(CVSocket, ConnectsByNameAndSendsBytes)
{
    LoopbackServer server;
    CVSocket socket;
    // "localhost" may resolve to ::1 first, which nothing serves here: the
    // next address must still be tried.
    ASSERT_TRUE(socket.connect("localhost", server.port(), 1000)) << socket.lastErrorText().toStdString();
    EXPECT_TRUE(socket.isConnected());
    EXPECT_TRUE(socket.sendString("hello\n"));
    EXPECT_TRUE(socket.sendBytes({}));
    ASSERT_TRUE(waitUntil([&] { return server.receivedLines().size() == 1; }));
    EXPECT_EQ(server.receivedTexts(), QList<QByteArray>{"hello"});
}

TEST(CVSocket, ReadWaitsForTheIdleLimitUnlessWoken)
{
    LoopbackServer server;
    auto socket = connectedTo(server);
    socket->setMaxReadIdleMs(100);
    EXPECT_GE(msToReceive(*socket), 90);

    // Woken, a read returns without waiting for its idle limit.
    constexpr int kIdleLimitMs = 5000;
    socket->setMaxReadIdleMs(kIdleLimitMs);
    socket->wake();
    EXPECT_LT(msToReceive(*socket), kIdleLimitMs);
    EXPECT_LT(msToReceive(*socket), kIdleLimitMs) << "the wake-up stays until cleared";
    socket->clearWake();
    socket->setMaxReadIdleMs(100);
    EXPECT_GE(msToReceive(*socket), 90);
}

TEST(CVSocket, DataThatIsReadyComesEvenWhileAWakeUpIsPending)
{
    LoopbackServer server;
    auto socket = connectedTo(server);
    socket->setMaxReadIdleMs(1000);
    server.send("prompt> ");
    QByteArray received;
    ASSERT_TRUE(waitUntil(
        [&] {
            msToReceive(*socket, &received);
            return !received.isEmpty();
        },
        3000));
    EXPECT_EQ(received, "prompt> ");
    server.send("more");
    spinEventLoop(50);
    socket->wake();
    msToReceive(*socket, &received);
    EXPECT_EQ(received, "more");
}

TEST(CVSocket, PeerCloseAndLocalCloseEndTheConnection)
{
    LoopbackServer server;
    auto socket = connectedTo(server);
    server.dropClient();
    socket->setMaxReadIdleMs(1000);
    QByteArray received;
    EXPECT_LT(msToReceive(*socket, &received), 900);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_FALSE(socket->isConnected());
    EXPECT_FALSE(socket->sendString("look\n"));

    auto second = connectedTo(server);
    second->close();
    EXPECT_FALSE(second->isConnected());
    EXPECT_FALSE(second->sendString("look\n"));
    EXPECT_TRUE(second->receiveBytes().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return server.clientClosed(); }));
}

TEST(CVSocket, AnAddressThatDropsPacketsDoesNotCostTheNextOneItsChance)
{
    // A dual-stack host whose first address is unreachable without an
    // answer (broken IPv6, say) and whose second one serves.
    // A listener whose accept queue is full: the kernel drops further SYNs.
    StalledListener blackHole;
    ASSERT_TRUE(dropsConnects(blackHole.port(), 300)) << "the port answered: the test cannot show anything";
    LoopbackServer server;
    CVSocket socket;
    socket.setResolver([&](const QString&, quint64, QString*) {
        return QList<QByteArray>{loopbackAddress(blackHole.port()), loopbackAddress(server.port())};
    });
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(socket.connect(QStringLiteral("dual.example"), 4000, 1000)) << socket.lastErrorText().toStdString();
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(socket.peerPort(), server.port());
    EXPECT_TRUE(waitUntil([&] { return server.hasClient(); }));
    // The second address is started a quarter of a second after the first,
    // not after the first has used up the whole limit.
    EXPECT_LT(elapsed, 700);
}

TEST(CVSocket, EveryAddressThatDropsGetsItsOwnLimit)
{
    StalledListener first;
    StalledListener second;
    ASSERT_TRUE(dropsConnects(first.port(), 300) && dropsConnects(second.port(), 300));
    CVSocket socket;
    socket.setResolver([&](const QString&, quint64, QString*) {
        return QList<QByteArray>{loopbackAddress(first.port()), loopbackAddress(second.port())};
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(socket.connect(QStringLiteral("dual.example"), 4000, 400));
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(socket.connectFailReasons(), QStringList{QStringLiteral("Connection timed out")});
    // The second attempt starts 250 ms after the first and has 400 ms of its own.
    EXPECT_GE(elapsed, 600);
    EXPECT_LT(elapsed, 1200);
}

TEST(CVSocket, AResolverThatFindsNothingFailsWithItsReason)
{
    CVSocket socket;
    socket.setResolver([](const QString&, quint64, QString* reason) {
        *reason = QStringLiteral("Name or service not known");
        return QList<QByteArray>{};
    });
    EXPECT_FALSE(socket.connect(QStringLiteral("nowhere.example"), 4000, 400));
    EXPECT_EQ(socket.connectFailReasons(), QStringList{QStringLiteral("Name or service not known")});
}

// OpenSSL's own socket writes raise SIGPIPE on a connection the peer has
// reset, which would end the whole program: a TLS send to a vanished server
// must fail like a plain one.
TEST(CVSocket, ATLSSendToAVanishedServerFailsWithoutEndingTheProgram)
{
    LoopbackServer game;
    TrustedTLSFront front(game.port());
    CVSocket socket;
    ASSERT_TRUE(socket.connect("127.0.0.1", front.server.port(), 1000));
    ASSERT_TRUE(socket.startTLS("127.0.0.1", 5000)) << socket.lastErrorText().toStdString();
    ASSERT_TRUE(socket.tlsSession());
    ASSERT_TRUE(socket.sendBytes("look\n"));
    ASSERT_TRUE(waitUntil([&] { return game.receivedTexts() == QList<QByteArray>{"look"}; }));

    game.dropClient();
    ASSERT_FALSE(game.hasClient());
    // The front notices and closes its side without a goodbye.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bool failed = false;
    for (int attempt = 0; attempt < 20 && !failed; ++attempt) {
        failed = !socket.sendBytes(QByteArray(1024, 'x'));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(failed);
    EXPECT_FALSE(socket.isConnected());
    EXPECT_FALSE(socket.tlsSession()) << "a broken connection keeps no TLS session";
}
