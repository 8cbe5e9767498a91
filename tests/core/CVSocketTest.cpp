#include "core/CVSocket.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "TestSupport.h"

namespace {
std::unique_ptr<CVSocket> connectedTo(LoopbackServer& server)
{
    auto socket = std::make_unique<CVSocket>();
    EXPECT_TRUE(socket->connect("127.0.0.1", server.port(), 1000)) << socket->lastErrorText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return server.hasClient(); }));
    return socket;
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

    socket->setMaxReadIdleMs(2000);
    socket->wake();
    EXPECT_LT(msToReceive(*socket), 50);
    EXPECT_LT(msToReceive(*socket), 50) << "the wake-up stays until cleared";
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
    ASSERT_TRUE(waitUntil([&] {
        msToReceive(*socket, &received);
        return !received.isEmpty();
    }, 3000));
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
