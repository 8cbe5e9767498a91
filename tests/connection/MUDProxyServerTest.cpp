#include "engine/connection/MUDProxyServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ChildProgram.h"
#include "TestSupport.h"
#include "core/CVCkoGzip.h"
#include "core/CVMainThread.h"
#include "core/CVSocket.h"
#include "engine/connection/MUDKernelTcpTable.h"
#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/connection/MUDProxyServerDelegate.h"
#include "engine/connection/MUDProxyViewerConnection.h"

namespace {
// Ports of the tests that do not test the search itself: away from 5484, so
// the search test (which ctest may run beside them) sees only what it blocks.
constexpr quint16 kOtherTestsFirstPort = 5700;

// A plain listening socket on 127.0.0.1 that holds a port, as any other
// program on the machine might.
class PortHolder {
public:
    explicit PortHolder(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_fd, 1) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~PortHolder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool holds() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The first port from `from` that a plain socket can take, 0 when none up to 6000.
quint16 firstFreePort(quint16 from)
{
    for (quint32 port = from; port <= MUDProxyServer::LastPort; ++port) {
        if (PortHolder(static_cast<quint16>(port)).holds())
            return static_cast<quint16>(port);
    }
    return 0;
}

class RecordingDelegate : public MUDProxyServerDelegate {
public:
    void MUDProxyServerInitialBuffer(MUDProxyServer*, InitialBufferReady ready) override
    {
        ++initialBufferCalls;
        if (holdsInitialBuffers) {
            held.append(std::move(ready));
            return;
        }
        ready(std::make_shared<const MUDProxyOutgoingFrame>(initialBuffer), messagesSoFar);
    }
    void MUDProxyServerRequestsCommand(MUDProxyServer*, const QString& command) override
    {
        offMainThread += fc_isMainThread() ? 0 : 1;
        commands.append(command);
    }
    void MUDProxyServerIsListening(MUDProxyServer*, quint16 port) override { listeningPorts.append(port); }
    void MUDProxyServerFailedToListen(MUDProxyServer*, const QString& message) override { failures.append(message); }

    QString initialBuffer = QStringLiteral("{\"action\":\"initialBuffer\",\"entries\":[]}");
    QList<MUDMessage> messagesSoFar;
    // Keeps joining viewers waiting, as a session does while it copies a long output.
    bool holdsInitialBuffers = false;
    QList<InitialBufferReady> held;
    int initialBufferCalls = 0;
    int offMainThread = 0;
    QStringList commands;
    QList<quint16> listeningPorts;
    QStringList failures;
};

// Listening addresses of `port` in /proc/net/tcp{,6}, as the kernel shows them.
QStringList listeningAddresses(quint16 port)
{
    QStringList addresses;
    const QString portField = QStringLiteral(":%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile table(QString::fromLatin1(path));
        if (!table.open(QIODevice::ReadOnly))
            continue;
        table.readLine();
        while (!table.atEnd()) {
            const QStringList fields = QString::fromLatin1(table.readLine()).simplified().split(QLatin1Char(' '));
            // Fields: slot, local address:port, remote, state (0A = LISTEN).
            if (fields.size() > 3 && fields[1].endsWith(portField) && fields[3] == QLatin1String("0A"))
                addresses.append(fields[1].chopped(portField.size()));
        }
    }
    return addresses;
}

class MUDProxyServerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (!server)
            return;
        server->close();
        // Every thread of the server has let go of it: the port is released
        // and each viewer retired.
        EXPECT_TRUE(waitUntil([&] { return server->port() == 0 && !server->hasConnections(); }));
    }

    void start(quint16 firstPort = kOtherTestsFirstPort, quint16 lastPort = MUDProxyServer::LastPort)
    {
        server = std::make_shared<MUDProxyServer>(delegate);
        server->setPortRange(firstPort, lastPort);
        server->startListening();
    }

    bool startAndWaitForPort()
    {
        start();
        return waitUntil([&] { return server->port() != 0; });
    }

    std::unique_ptr<MUDProxyViewerConnection> attachViewer()
    {
        const quint64 before = server->clientCount();
        auto viewer = std::make_unique<MUDProxyViewerConnection>();
        EXPECT_TRUE(viewer->connect(QStringLiteral("127.0.0.1"), server->port(), 1000))
            << viewer->lastErrorText().toStdString();
        EXPECT_TRUE(waitUntil([&] { return server->clientCount() == before + 1; }));
        return viewer;
    }

    // Documents the viewer receives until it has `count` (or 5 s pass).
    static QStringList receive(MUDProxyViewerConnection& viewer, int count)
    {
        QStringList documents;
        waitUntil([&] {
            documents += viewer.receiveDocuments(0);
            return documents.size() >= count;
        });
        return documents;
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<MUDProxyServer> server;
};
}

TEST_F(MUDProxyServerTest, TakesTheNextPortWhenTheFirstIsTaken)
{
    // Whatever else runs on this machine, the first free port is held here,
    // so the server has to move past it.
    const quint16 held = firstFreePort(MUDProxyServer::FirstPort);
    ASSERT_NE(held, 0);
    PortHolder holder(held);
    ASSERT_TRUE(holder.holds());
    const quint16 expected = firstFreePort(held + 1);
    ASSERT_NE(expected, 0);

    LogRecorder log;
    start(MUDProxyServer::FirstPort);
    ASSERT_TRUE(waitUntil([&] { return server->port() != 0; }));

    EXPECT_EQ(server->port(), expected);
    const QString running = QStringLiteral("Proxy server is running on port %1").arg(expected);
    const QStringList lines = log.lines();
    const qsizetype runningAt = lines.indexOf(running);
    ASSERT_GE(runningAt, 0);
    // One failure per port tried before, all logged before the running line.
    const QStringList failures = lines.filter(QStringLiteral("Failed to start server. "));
    EXPECT_EQ(failures.size(), expected - MUDProxyServer::FirstPort);
    EXPECT_EQ(lines.mid(0, runningAt).filter(QStringLiteral("Failed to start server. ")), failures);
    EXPECT_EQ(
        failures.value(held - MUDProxyServer::FirstPort),
        QStringLiteral("Failed to start server. Cannot listen on 127.0.0.1 port %1: Address already in use").arg(held));
    EXPECT_TRUE(waitUntil([&] { return delegate->listeningPorts == QList<quint16>{expected}; }));
}

TEST_F(MUDProxyServerTest, StopsAfterOneRoundWhenEveryPortIsTaken)
{
    const quint16 first = firstFreePort(5900);
    ASSERT_NE(first, 0);
    PortHolder holder(first);
    ASSERT_TRUE(holder.holds());

    LogRecorder log;
    start(first, first);
    const QString message = QStringLiteral("No free local port from %1 to %1 for the proxy server.").arg(first);
    ASSERT_TRUE(waitUntil([&] { return !delegate->failures.isEmpty(); }));
    EXPECT_EQ(delegate->failures, QStringList{message});
    EXPECT_EQ(log.lines().filter(QStringLiteral("Failed to start server. ")).size(), 1);
    EXPECT_EQ(log.count(message), 1);
    EXPECT_FALSE(server->isRunning());
    EXPECT_EQ(server->port(), 0);
    EXPECT_TRUE(delegate->listeningPorts.isEmpty());
}

TEST_F(MUDProxyServerTest, ListensOnLoopbackOnly)
{
    ASSERT_TRUE(startAndWaitForPort());
    QStringList addresses = listeningAddresses(server->port());
    addresses.sort();
    // 127.0.0.1 and ::1 as the kernel prints them (::1 only where IPv6 exists).
    const QString ipv4 = QStringLiteral("0100007F");
    const QString ipv6 = QStringLiteral("00000000000000000000000001000000");
    EXPECT_TRUE(addresses == QStringList{ipv4} || addresses == (QStringList{ipv6, ipv4}))
        << addresses.join(' ').toStdString();
}

TEST_F(MUDProxyServerTest, FramesOnTheWireCompressAboveOneHundredCharacters)
{
    delegate->initialBuffer = QString(100, QLatin1Char('i'));
    ASSERT_TRUE(startAndWaitForPort());
    CVSocket viewer;
    ASSERT_TRUE(viewer.connect(QStringLiteral("127.0.0.1"), server->port(), 1000));
    ASSERT_TRUE(waitUntil([&] { return server->hasConnections(); }));
    const QString update = QString(101, QLatin1Char('u'));
    server->sendString(update);

    QByteArray stream;
    viewer.setMaxReadIdleMs(0);
    const auto frameEnd = [&](qsizetype offset) {
        if (stream.size() < offset + MUDProxyFrame::HeaderSize)
            return qsizetype(-1);
        return offset + MUDProxyFrame::HeaderSize + qFromLittleEndian<quint32>(stream.constData() + offset + 2);
    };
    ASSERT_TRUE(waitUntil([&] {
        stream += viewer.receiveBytes();
        const qsizetype first = frameEnd(0);
        return first > 0 && frameEnd(first) > 0 && stream.size() >= frameEnd(first);
    }));
    const qsizetype second = frameEnd(0);
    EXPECT_EQ(qFromLittleEndian<quint16>(stream.constData()), MUDProxyFrame::PlainFlag);
    EXPECT_EQ(stream.mid(MUDProxyFrame::HeaderSize, 100), delegate->initialBuffer.toUtf8());
    EXPECT_EQ(qFromLittleEndian<quint16>(stream.constData() + second), MUDProxyFrame::GzipFlag);
    EXPECT_EQ(CVCkoGzip::gunzip(stream.mid(second + MUDProxyFrame::HeaderSize)), update.toUtf8());
}

TEST_F(MUDProxyServerTest, ViewerGetsInitialBufferThenMessagesThenUpdatesInOrder)
{
    delegate->messagesSoFar = {MUDMessage(QStringLiteral("first")), MUDMessage(QStringLiteral("second"))};
    ASSERT_TRUE(startAndWaitForPort());
    auto viewer = attachViewer();

    // Nothing to send: neither an empty list nor (below) a list with no viewer.
    server->sendMessages({});
    QStringList updates;
    for (int index = 0; index < 200; ++index)
        updates.append(QStringLiteral("{\"action\":\"appendText\",\"n\":%1}").arg(index));
    for (const QString& update : std::as_const(updates))
        server->sendString(update);
    server->sendMessages({MUDMessage(QStringLiteral("live"))});

    const QStringList documents = receive(*viewer, 203);
    ASSERT_EQ(documents.size(), 203);
    EXPECT_EQ(documents[0], delegate->initialBuffer);
    const QJsonObject messages = QJsonDocument::fromJson(documents[1].toUtf8()).object();
    EXPECT_EQ(messages.value("action").toString(), QStringLiteral("messages"));
    EXPECT_EQ(messages.value("entries").toArray(), (QJsonArray{"first", "second"}));
    EXPECT_EQ(documents.mid(2, 200), updates);
    EXPECT_EQ(documents[202], MUDProxyServer::createSendStringForMessages({MUDMessage(QStringLiteral("live"))}));
    EXPECT_EQ(delegate->initialBufferCalls, 1);
}

TEST_F(MUDProxyServerTest, MessagesDocument)
{
    EXPECT_EQ(MUDProxyServer::createSendStringForMessages({}), QString());
    EXPECT_EQ(MUDProxyServer::createSendStringForMessages({MUDMessage(QStringLiteral("a \"quoted\"\nline"))}),
              QStringLiteral("{\"action\":\"messages\",\"entries\":[\"a \\\"quoted\\\"\\nline\"]}"));
}

TEST_F(MUDProxyServerTest, CommandLinesReachTheDelegateInOrderOnTheMainThread)
{
    ASSERT_TRUE(startAndWaitForPort());
    auto viewer = attachViewer();
    // Two lines in one packet, then one ending in CR LF: the server hands
    // over the line as sent; the session trims it.
    ASSERT_TRUE(viewer->sendCommand(QStringLiteral("north\nsouth")));
    ASSERT_TRUE(viewer->sendCommand(QStringLiteral("look\r")));
    ASSERT_TRUE(viewer->sendCommand(QString::fromUtf8("say caf\xC3\xA9")));
    ASSERT_TRUE(waitUntil([&] { return delegate->commands.size() >= 4; }));
    EXPECT_EQ(delegate->commands, (QStringList{"north", "south", "look\r", QString::fromUtf8("say caf\xC3\xA9")}));
    EXPECT_EQ(delegate->offMainThread, 0);
}

TEST_F(MUDProxyServerTest, CloseEndsEveryViewerAndReleasesThePort)
{
    ASSERT_TRUE(startAndWaitForPort());
    const quint16 port = server->port();
    auto first = attachViewer();
    auto second = attachViewer();
    server->close();
    EXPECT_TRUE(waitUntil([&] {
        first->receiveDocuments(0);
        second->receiveDocuments(0);
        return !first->isConnected() && !second->isConnected();
    }));
    EXPECT_TRUE(waitUntil([&] { return server->port() == 0 && !server->hasConnections(); }));
    // A stopped server is not restarted; a new one can have the port at once.
    server->startListening();
    auto next = std::make_shared<MUDProxyServer>(delegate);
    next->setPortRange(port, port);
    next->startListening();
    EXPECT_TRUE(waitUntil([&] { return next->port() == port; }));
    next->close();
    EXPECT_TRUE(waitUntil([&] { return next->port() == 0; }));
    EXPECT_EQ(server->port(), 0);
}

TEST_F(MUDProxyServerTest, ViewersThatLeaveAreRetired)
{
    ASSERT_TRUE(startAndWaitForPort());
    auto first = attachViewer();
    auto second = attachViewer();
    EXPECT_TRUE(server->hasConnections());

    first->close();
    spinEventLoop(300);
    EXPECT_TRUE(server->hasConnections());
    second->close();
    EXPECT_TRUE(waitUntil([&] { return !server->hasConnections(); }));
    EXPECT_EQ(server->clientCount(), 2u);

    // Documents for nobody go nowhere; a new viewer still attaches.
    server->sendString(QStringLiteral("unseen"));
    auto third = attachViewer();
    server->sendString(QStringLiteral("seen"));
    EXPECT_EQ(receive(*third, 2), (QStringList{delegate->initialBuffer, "seen"}));
}

TEST_F(MUDProxyServerTest, OverlongViewerLineIsDroppedAndTheViewerGoesOn)
{
    ASSERT_TRUE(startAndWaitForPort());
    auto viewer = attachViewer();
    LogRecorder log;
    ASSERT_TRUE(viewer->sendCommand(QString(MUDProxyServer::MaxCommandBytes + 10, QLatin1Char('x'))));
    ASSERT_TRUE(waitUntil(
        [&] { return !log.lines().filter("MUDProxyServer - dropped a viewer line of 1048586 bytes").isEmpty(); }));
    ASSERT_TRUE(viewer->sendCommand(QStringLiteral("still here")));
    ASSERT_TRUE(waitUntil([&] { return delegate->commands.contains("still here"); }));
    EXPECT_EQ(delegate->commands, QStringList{"still here"});
}

TEST_F(MUDProxyServerTest, AViewerJoinsWhenItsInitialBufferIsHandedOver)
{
    delegate->holdsInitialBuffers = true;
    delegate->messagesSoFar = {MUDMessage(QStringLiteral("so far"))};
    ASSERT_TRUE(startAndWaitForPort());
    MUDProxyViewerConnection viewer;
    ASSERT_TRUE(viewer.connect(QStringLiteral("127.0.0.1"), server->port(), 1000));
    ASSERT_TRUE(waitUntil([&] { return delegate->held.size() == 1; }));
    // Output before the hand-over is the buffer's; the viewer gets none of it twice.
    server->sendString(QStringLiteral("in the buffer"));
    EXPECT_FALSE(server->hasConnections());
    EXPECT_EQ(server->clientCount(), 0u);
    delegate->held.takeFirst()(std::make_shared<const MUDProxyOutgoingFrame>(delegate->initialBuffer),
                               delegate->messagesSoFar);
    server->sendString(QStringLiteral("after the buffer"));
    EXPECT_EQ(receive(viewer, 3), (QStringList{delegate->initialBuffer,
                                               MUDProxyServer::createSendStringForMessages(delegate->messagesSoFar),
                                               QStringLiteral("after the buffer")}));
    EXPECT_EQ(server->viewerCount(), 1);
}

TEST_F(MUDProxyServerTest, ASeventeenthViewerIsToldAndClosedWhileSixteenKeepWatching)
{
    ASSERT_TRUE(startAndWaitForPort());
    std::vector<std::unique_ptr<MUDProxyViewerConnection>> viewers;
    for (int i = 0; i < MUDProxyServer::MaxViewers; ++i)
        viewers.push_back(attachViewer());

    LogRecorder log;
    MUDProxyViewerConnection refused;
    ASSERT_TRUE(refused.connect(QStringLiteral("127.0.0.1"), server->port(), 1000));
    QStringList told;
    ASSERT_TRUE(waitUntil([&] {
        told += refused.receiveDocuments(0);
        return !refused.isConnected();
    }));
    EXPECT_EQ(told,
              QStringList{MUDProxyServer::createSendStringForMessages({MUDMessage(MUDProxyServer::refusalMessage())})});
    EXPECT_EQ(MUDProxyServer::refusalMessage(),
              QStringLiteral("This session already has 16 viewers; try again when one of them leaves."));
    const QStringList refusals = log.lines().filter(QStringLiteral("Proxy server refused a viewer from 127.0.0.1 "));
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals.first().endsWith(QStringLiteral(": it already has 16 viewers.")))
        << refusals.first().toStdString();
    EXPECT_EQ(server->viewerCount(), MUDProxyServer::MaxViewers);
    EXPECT_EQ(server->clientCount(), quint64(MUDProxyServer::MaxViewers));
    EXPECT_EQ(delegate->initialBufferCalls, MUDProxyServer::MaxViewers);

    // The sixteen still watch and drive the session.
    server->sendString(QStringLiteral("still watched"));
    for (const std::unique_ptr<MUDProxyViewerConnection>& viewer : viewers)
        EXPECT_EQ(receive(*viewer, 2), (QStringList{delegate->initialBuffer, QStringLiteral("still watched")}));
    ASSERT_TRUE(viewers.back()->sendCommand(QStringLiteral("from the sixteenth")));
    EXPECT_TRUE(waitUntil([&] { return delegate->commands.contains(QStringLiteral("from the sixteenth")); }));

    // A place freed by a viewer that leaves is taken by the next.
    viewers.front()->close();
    ASSERT_TRUE(waitUntil([&] { return server->viewerCount() == MUDProxyServer::MaxViewers - 1; }));
    auto next = attachViewer();
    EXPECT_EQ(receive(*next, 1), QStringList{delegate->initialBuffer});
}

// A probe in another process connects, reads the first frame's six header
// bytes (or less, when the server closes first) and prints how many it got.
TEST_F(MUDProxyServerTest, OnlyViewersOfThisUserMayWatch)
{
    ASSERT_TRUE(startAndWaitForPort());
    LogRecorder log;
    const QString probe =
        QStringLiteral("exec 3<>/dev/tcp/127.0.0.1/%1 || exit 3; timeout 5 head -c 6 <&3 | wc -c").arg(server->port());
    const auto run = [&](const QStringList& asUser) {
        ChildProgram program;
        const QStringList command = asUser + QStringList{QStringLiteral("/bin/bash"), QStringLiteral("-c"), probe};
        EXPECT_TRUE(program.start(command.first(), command.mid(1), QProcessEnvironment::systemEnvironment(),
                                  QStringLiteral("/")))
            << program.errorText().toStdString();
        EXPECT_TRUE(program.waitForFinished(10000));
        return QString::fromLatin1(program.readOutput()).trimmed();
    };

    // A program of this user, as the viewer program is, watches.
    EXPECT_EQ(run({}), QStringLiteral("6"));
    EXPECT_TRUE(waitUntil([&] { return server->clientCount() == 1; }));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Proxy server refused")), QStringList());
    if (MUDKernelTcpTable::thisProcessOwner() != 0)
        GTEST_SKIP() << "running a probe as another user needs root; only this user's viewer was tried";

    // The same probe as the nobody user is closed before it gets a byte.
    EXPECT_EQ(run({QStringLiteral("/usr/bin/setpriv"), QStringLiteral("--reuid=nobody"),
                   QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")}),
              QStringLiteral("0"));
    ASSERT_TRUE(waitUntil([&] { return !log.lines().filter(QStringLiteral("Proxy server refused")).isEmpty(); }));
    const QStringList refusals = log.lines().filter(QStringLiteral("Proxy server refused a viewer from 127.0.0.1 "));
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals.first().endsWith(QStringLiteral(": it belongs to user 65534, not to this session's user 0.")))
        << refusals.first().toStdString();
    EXPECT_EQ(server->clientCount(), 1u);
    EXPECT_EQ(delegate->initialBufferCalls, 1);

    // This user's viewers still join afterwards.
    auto viewer = attachViewer();
    EXPECT_EQ(receive(*viewer, 1), QStringList{delegate->initialBuffer});
}
