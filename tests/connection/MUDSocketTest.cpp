#include "engine/connection/MUDSocket.h"

#include <QDir>
#include <QMutexLocker>
#include <gtest/gtest.h>
#include <thread>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "LoopbackServer.h"
#include "RecordingSocketDelegate.h"
#include "TestSupport.h"
#include "TrustedTLSFront.h"
#include "core/CVMainThread.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocketDelegate.h"

namespace {
// This process's descriptor of a TCP connection to `port` on the loopback
// address, found the way a system tool would (every open descriptor), or -1.
int clientDescriptorConnectedTo(quint16 port)
{
    const QStringList descriptors =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    for (const QString& name : descriptors) {
        const int fd = name.toInt();
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 && peer.sin_family == AF_INET &&
            ntohs(peer.sin_port) == port)
            return fd;
    }
    return -1;
}

int intOption(int fd, int level, int option)
{
    int value = -1;
    socklen_t length = sizeof value;
    return getsockopt(fd, level, option, &value, &length) == 0 ? value : -1;
}

bool isRegistered(const std::shared_ptr<MUDSocket>& socket)
{
    return MUDSocket::allConnectedSockets().contains(socket);
}

class MUDSocketTest : public ::testing::Test {
protected:
    std::shared_ptr<MUDSocket> makeSocket(quint64 port, std::chrono::milliseconds delayPerRead = {})
    {
        auto connection = std::make_shared<MUDConnection>();
        connection->setHost("127.0.0.1");
        connection->setPort(port);
        connection->setSecure(m_tls && port == m_tls->server.port());
        auto socket = std::make_shared<MUDSocket>(connection);
        m_delegate = std::make_shared<RecordingSocketDelegate>(m_calls, delayPerRead);
        socket->setDelegate(m_delegate);
        return socket;
    }

    std::shared_ptr<MUDSocket> connectedSocket(std::chrono::milliseconds delayPerRead = {})
    {
        return connected(makeSocket(gamePort(), delayPerRead));
    }

    // The game server's port: the TLS front's when there is one.
    quint16 gamePort() const { return m_tls ? m_tls->server.port() : m_server.port(); }

    std::shared_ptr<MUDSocket> connected(std::shared_ptr<MUDSocket> socket)
    {
        socket->connect();
        EXPECT_TRUE(waitUntil([&] { return m_calls.connected == 1 && m_server.hasClient(); }));
        EXPECT_EQ(socket->security().trust,
                  m_tls ? MUDSocketSecurity::Trust::Verified : MUDSocketSecurity::Trust::Plain);
        return socket;
    }

    // Leaves no loop running into the next test.
    void TearDown() override
    {
        for (const auto& socket : MUDSocket::allConnectedSockets())
            socket->disconnect();
        EXPECT_TRUE(waitUntil([] { return MUDSocket::allConnectedSockets().isEmpty(); }));
        spinEventLoop(20);
        EXPECT_EQ(m_calls.offMainThread, 0);
        EXPECT_EQ(m_calls.dataOnMainThread, 0);
    }

    LoopbackServer m_server;
    std::unique_ptr<TrustedTLSFront> m_tls;
    SocketCalls m_calls;
    std::shared_ptr<RecordingSocketDelegate> m_delegate;
    LogRecorder m_log;
};
}

enum class Transport { Plain, TLS };

// The same behaviours over a plain connection and over TLS: above the
// socket nothing may tell them apart.
class MUDSocketTransportTest : public MUDSocketTest, public ::testing::WithParamInterface<Transport> {
protected:
    void SetUp() override
    {
        if (GetParam() == Transport::TLS) {
            m_tls = std::make_unique<TrustedTLSFront>(m_server.port());
            ASSERT_TRUE(m_tls->server.isListening());
        }
    }
};

INSTANTIATE_TEST_SUITE_P(Over, MUDSocketTransportTest, ::testing::Values(Transport::Plain, Transport::TLS),
                         [](const ::testing::TestParamInfo<Transport>& row) {
                             return row.param == Transport::TLS ? "TLS" : "Plain";
                         });

TEST(MUDSocketFailureMessage, JoinsTrimsAndEndsInAPeriod)
{
    struct Row {
        QStringList reasons;
        QString message;
    };
    const Row rows[] = {
        {{}, "."},
        {{"\r\n "}, "."},
        {{"Connection refused"}, "Connection refused."},
        {{" Name or service not known\n"}, "Name or service not known."},
        {{"Connection refused", "Connection timed out"}, "Connection refused Connection timed out."},
        {{"Already said."}, "Already said."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MUDSocket::connectionFailedMessage(row.reasons), row.message) << row.reasons.join('|').toStdString();
}

TEST_F(MUDSocketTest, RefusedPortReportsOneFailureEndingInAPeriod)
{
    quint16 closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    auto socket = makeSocket(closedPort);
    socket->connect();
    ASSERT_TRUE(waitUntil([&] { return m_calls.failed == 1; }));
    spinEventLoop(150);
    EXPECT_EQ(m_calls.failed, 1);
    EXPECT_EQ(m_calls.connected, 0);
    EXPECT_EQ(m_calls.disconnected, 0);
    EXPECT_EQ(m_calls.failureMessage, "Connection refused.");
    EXPECT_EQ(m_log.count("Failed to connect"), 1);
    EXPECT_FALSE(socket->isConnected());
    EXPECT_FALSE(isRegistered(socket));
}

TEST_P(MUDSocketTransportTest, DisconnectIsReportedExactlyOnceAndEmptiesTheRegistry)
{
    auto socket = connectedSocket();
    EXPECT_TRUE(socket->isConnected());
    EXPECT_TRUE(isRegistered(socket));

    socket->disconnect();
    ASSERT_TRUE(waitUntil([&] { return m_calls.disconnected == 1; }));
    EXPECT_FALSE(isRegistered(socket));
    EXPECT_FALSE(socket->isConnected());
    EXPECT_TRUE(waitUntil([&] { return m_server.clientClosed(); }));
    socket->disconnect();
    spinEventLoop(400);
    EXPECT_EQ(m_calls.disconnected, 1);
    EXPECT_EQ(m_log.count("Closing a MUDSocket."), 1);
}

TEST_P(MUDSocketTransportTest, ServerDropIsReportedOnceWithoutAClose)
{
    auto socket = connectedSocket();
    m_server.dropClient();
    ASSERT_TRUE(waitUntil([&] { return m_calls.disconnected == 1; }));
    EXPECT_FALSE(isRegistered(socket));
    EXPECT_FALSE(socket->isConnected());
    spinEventLoop(300);
    EXPECT_EQ(m_calls.disconnected, 1);
    EXPECT_EQ(m_log.count("Closing a MUDSocket."), 0);
}

TEST_F(MUDSocketTest, SecondConnectIsRefusedWithALogLine)
{
    auto socket = connectedSocket();
    socket->connect();
    EXPECT_EQ(m_log.count("Is already attempting to connect. Doing nothing."), 1);
    spinEventLoop(200);
    EXPECT_EQ(m_calls.connected, 1);
    EXPECT_EQ(m_server.acceptedCount(), 1);
}

TEST_P(MUDSocketTransportTest, ReceivedBytesReachTheDelegateUnchangedOnTheLoopThread)
{
    auto socket = connectedSocket();
    // The literal's own size keeps the embedded NUL and nothing past the end.
    const QByteArray bytes = QByteArrayLiteral("\xff\xfb\x01Welcome\0to\x1b[31m the game\r\n");
    m_server.send(bytes);
    ASSERT_TRUE(waitUntil([&] { return m_calls.receivedData().size() >= bytes.size(); }));
    EXPECT_EQ(m_calls.receivedData(), bytes);
}

TEST_P(MUDSocketTransportTest, SendTextEndsEveryLineWithOneLineFeed)
{
    auto socket = connectedSocket();
    EXPECT_TRUE(socket->sendText("look"));
    EXPECT_TRUE(socket->sendText("say hi\n"));
    EXPECT_TRUE(socket->sendText(""));
    EXPECT_TRUE(socket->sendText("say \u00e9t\u00e9"));
    ASSERT_TRUE(waitUntil([&] { return m_server.receivedLines().size() >= 4; }));
    spinEventLoop(100);
    EXPECT_EQ(m_server.receivedTexts(), QList<QByteArray>({"look", "say hi", "", "say \xc3\xa9t\xc3\xa9"}));
}

TEST_P(MUDSocketTransportTest, RawBytesGoOutUnchangedInOrderWithTypedLines)
{
    auto socket = connectedSocket();
    socket->sendText("look");
    socket->sendBytes(QByteArrayLiteral("\xff\xfb\x1f"));
    socket->sendText("say \u00e9");
    socket->sendBytes(QByteArrayLiteral("\xff\xfa\x1f\x00\xff\xff\x00\x18\xff\xf0"));
    const QByteArray expected =
        QByteArrayLiteral("look\n\xff\xfb\x1fsay \xc3\xa9\n\xff\xfa\x1f\x00\xff\xff\x00\x18\xff\xf0");
    ASSERT_TRUE(waitUntil([&] { return m_server.receivedBytes().size() >= expected.size(); }));
    spinEventLoop(100);
    EXPECT_EQ(m_server.receivedBytes(), expected);
}

TEST_P(MUDSocketTransportTest, KeepAliveIsOneEmptySendAfterTheIntervalThenTheCountRestarts)
{
    auto socket = makeSocket(gamePort());
    socket->setKeepAliveInterval(0.3);
    socket->connect();
    ASSERT_TRUE(waitUntil([&] { return m_calls.connected == 1 && socket->lastSendTimeInterval() > 0; }));
    const double connectedAt = socket->lastSendTimeInterval();
    ASSERT_TRUE(waitUntil([&] { return socket->lastSendTimeInterval() != connectedAt; }, 2000));
    const double firstKeepAlive = socket->lastSendTimeInterval();
    ASSERT_TRUE(waitUntil([&] { return socket->lastSendTimeInterval() != firstKeepAlive; }, 2000));
    const double secondKeepAlive = socket->lastSendTimeInterval();
    // Passes are 100 ms apart when idle, so each keep-alive comes 0.3 s to
    // about 0.4 s (plus scheduling) after the previous send.
    EXPECT_GT(firstKeepAlive - connectedAt, 0.3);
    EXPECT_LT(firstKeepAlive - connectedAt, 0.9);
    EXPECT_GT(secondKeepAlive - firstKeepAlive, 0.3);
    EXPECT_LT(secondKeepAlive - firstKeepAlive, 0.9);
    EXPECT_EQ(m_server.receivedByteCount(), 0);
    EXPECT_TRUE(socket->isConnected());
}

TEST_F(MUDSocketTest, DefaultKeepAliveWaitsTwentySeconds)
{
    auto socket = connectedSocket();
    const double connectedAt = socket->lastSendTimeInterval();
    spinEventLoop(600);
    EXPECT_EQ(socket->lastSendTimeInterval(), connectedAt);
    EXPECT_EQ(MUDSocket::DefaultKeepAliveInterval, 20.0);
}

TEST_F(MUDSocketTest, TheKernelKeepsAnIdleConnectionAliveAfterTwentySeconds)
{
    auto socket = connectedSocket();
    const int fd = clientDescriptorConnectedTo(m_server.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 20);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 10);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 6);
}

// A delegate that takes 2 ms per read keeps the socket's receive buffer full
// while the server floods, so every read in that time returns data.
TEST_P(MUDSocketTransportTest, QueuedLinesWaitWhileTheServerFloods)
{
    auto socket = connectedSocket(std::chrono::milliseconds(2));
    m_server.startFlood();
    ASSERT_TRUE(waitUntil([&] { return m_calls.receivedData().size() > 256 * 1024; }));
    socket->sendText("flee");
    const qint64 floodedBefore = m_server.floodBytesSent();
    spinEventLoop(300);
    EXPECT_GT(m_server.floodBytesSent(), floodedBefore) << "the flood must go on while the line waits";
    EXPECT_TRUE(m_server.receivedLines().isEmpty());
    m_server.stopFlood();
    ASSERT_TRUE(waitUntil([&] { return !m_server.receivedLines().isEmpty(); }));
    EXPECT_EQ(m_server.receivedTexts(), QList<QByteArray>{"flee"});
}

// Longer than any test waits: a line that had to sit out a wait this long
// would never arrive within the test.
constexpr int kLongerThanAnyTest = 10 * 60 * 1000;

TEST_P(MUDSocketTransportTest, ThreeQueuedLinesGoOutInOrderInOnePass)
{
    // After a send the loop pauses for as long as a test can wait, unless a
    // new line wakes it: a line left for a later pass would never arrive.
    auto socket = makeSocket(gamePort(), std::chrono::milliseconds(2));
    socket->setPauseAfterSendMs(kLongerThanAnyTest);
    connected(socket);
    // The flood holds the loop in passes that end with data, so all three
    // lines are queued before the pass that sends them.
    m_server.startFlood();
    ASSERT_TRUE(waitUntil([&] { return m_calls.receivedData().size() > 256 * 1024; }));
    socket->sendText("north");
    socket->sendText("east");
    socket->sendText("south");
    spinEventLoop(50);
    m_server.stopFlood();
    ASSERT_TRUE(waitUntil([&] { return m_server.receivedLines().size() >= 3; }));
    EXPECT_EQ(m_server.receivedTexts(), QList<QByteArray>({"north", "east", "south"}));
}

TEST_P(MUDSocketTransportTest, AQueuedLineWakesAnIdleLoop)
{
    // A read waits for data for as long as a test can wait: a line that did
    // not wake it would never arrive.
    auto socket = makeSocket(gamePort());
    socket->setReadWaitMs(kLongerThanAnyTest);
    connected(socket);
    // Lines into a loop idle in its read, and lines right after the previous
    // send, while the loop reads and pauses after it.
    const int gapsMs[] = {130, 130, 130, 20, 20, 20, 0, 0};
    for (int i = 0; i < int(std::size(gapsMs)); ++i) {
        spinEventLoop(gapsMs[i]);
        socket->sendText("score");
        ASSERT_TRUE(waitUntil([&] { return m_server.receivedLines().size() == i + 1; })) << "line " << i;
    }
}

TEST_F(MUDSocketTest, ASocketOutlivingItsDelegateCallsNothing)
{
    auto socket = connectedSocket();
    m_delegate.reset();
    m_server.send("text nobody reads\r\n");
    spinEventLoop(150);
    m_server.dropClient();
    ASSERT_TRUE(waitUntil([&] { return !isRegistered(socket); }));
    spinEventLoop(50);
    EXPECT_EQ(m_calls.disconnected, 0);
    EXPECT_TRUE(m_calls.receivedData().isEmpty());
}

TEST_F(MUDSocketTest, ASocketNotOwnedBySharedPointerRefusesToConnect)
{
    MUDSocket socket(std::make_shared<MUDConnection>());
    socket.connect();
    EXPECT_EQ(m_log.lines().size(), 1);
    EXPECT_FALSE(socket.isConnected());
}
