#include "engine/connection/MUDProxyServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutexLocker>
#include <thread>

#include "core/CVJSONHelpers.h"
#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"
#include "core/CVServerSocket.h"
#include "core/CVSocket.h"
#include "engine/connection/MUDKernelTcpTable.h"
#include "engine/connection/MUDProxyClient.h"
#include "engine/connection/MUDProxyCommandBuffer.h"
#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/connection/MUDProxyServerDelegate.h"

MUDProxyServer::MUDProxyServer(std::weak_ptr<MUDProxyServerDelegate> delegate)
    : m_delegate(std::move(delegate))
    , m_listenSocket(std::make_unique<CVServerSocket>())
{
}

MUDProxyServer::~MUDProxyServer() = default;

void MUDProxyServer::setPortRange(quint16 firstPort, quint16 lastPort)
{
    if (m_started || firstPort == 0 || lastPort < firstPort)
        return;
    m_firstPort = firstPort;
    m_lastPort = lastPort;
}

void MUDProxyServer::startListening()
{
    if (m_started.exchange(true)) {
        CVLog(QStringLiteral("MUDProxyServer - already started; a server is started once."));
        return;
    }
    std::shared_ptr<MUDProxyServer> self = weak_from_this().lock();
    if (!self) {
        CVLog(QStringLiteral("MUDProxyServer - cannot start a server that no std::shared_ptr owns"));
        return;
    }
    m_running = true;
    std::thread([self] { self->acceptLoop(); }).detach();
}

bool MUDProxyServer::hasConnections() const
{
    QMutexLocker lock(&m_clientsMutex);
    return !m_clients.isEmpty();
}

int MUDProxyServer::viewerCount() const
{
    QMutexLocker lock(&m_clientsMutex);
    return int(m_clients.size());
}

quint64 MUDProxyServer::clientCount() const
{
    QMutexLocker lock(&m_clientsMutex);
    return m_clientCount;
}

void MUDProxyServer::sendString(const QString& string)
{
    // Queued here rather than on a worker, so documents keep the order of the
    // calls; encoding and sending happen on the viewers' own threads.
    const auto frame = std::make_shared<const MUDProxyOutgoingFrame>(string);
    QMutexLocker lock(&m_clientsMutex);
    for (const std::shared_ptr<MUDProxyClient>& client : std::as_const(m_clients))
        client->enqueue(frame);
}

void MUDProxyServer::sendMessages(const QList<MUDMessage>& messages)
{
    if (messages.isEmpty() || !hasConnections())
        return;
    sendString(createSendStringForMessages(messages));
}

QString MUDProxyServer::createSendStringForMessages(const QList<MUDMessage>& messages)
{
    if (messages.isEmpty())
        return {};
    QJsonArray entries;
    for (const MUDMessage& message : messages)
        entries.append(message.message());
    return jsonString(
        QJsonObject{{QStringLiteral("action"), QStringLiteral("messages")}, {QStringLiteral("entries"), entries}});
}

QString MUDProxyServer::refusalMessage()
{
    return QStringLiteral("This session already has %1 viewers; try again when one of them leaves.").arg(MaxViewers);
}

void MUDProxyServer::close()
{
    m_running = false;
    m_listenSocket->wake();
    QMutexLocker lock(&m_clientsMutex);
    for (const std::shared_ptr<MUDProxyClient>& client : std::as_const(m_clients))
        client->socket().wake();
}

void MUDProxyServer::acceptLoop()
{
    if (!searchPort()) {
        m_running = false;
        return;
    }
    const quint16 port = m_listenSocket->port();
    CVLog(QStringLiteral("Proxy server is running on port %1").arg(port));
    m_port = port;
    if (m_running) {
        fc_executeOnMainThread([self = shared_from_this(), port] {
            if (std::shared_ptr<MUDProxyServerDelegate> target = self->delegate())
                target->MUDProxyServerIsListening(self.get(), port);
        });
    }
    while (m_running) {
        // A wait that runs out, fails or is woken by close() just loops.
        if (std::unique_ptr<CVSocket> socket = m_listenSocket->acceptNextConnection(AcceptWaitMs))
            attachViewer(std::move(socket));
    }
    m_listenSocket->close();
    m_port = 0;
}

bool MUDProxyServer::searchPort()
{
    // One round over the range: when every port is taken the search ends
    // instead of spinning for ever.
    for (quint32 port = m_firstPort; port <= m_lastPort && m_running; ++port) {
        if (m_listenSocket->bindAndListen(static_cast<quint16>(port), Backlog))
            return true;
        CVLog(QStringLiteral("Failed to start server. %1").arg(m_listenSocket->lastErrorText()));
    }
    if (!m_running)
        return false;
    const QString message =
        QStringLiteral("No free local port from %1 to %2 for the proxy server.").arg(m_firstPort).arg(m_lastPort);
    CVLog(message);
    fc_executeOnMainThread([self = shared_from_this(), message] {
        if (std::shared_ptr<MUDProxyServerDelegate> target = self->delegate())
            target->MUDProxyServerFailedToListen(self.get(), message);
    });
    return false;
}

void MUDProxyServer::attachViewer(std::unique_ptr<CVSocket> socket)
{
    CVLog(QStringLiteral("Accepted a connection from: %1 %2").arg(socket->peerAddress()).arg(socket->peerPort()));
    if (!isFromThisUser(*socket)) {
        socket->close();
        return;
    }
    socket->setMaxReadIdleMs(ViewerIdleMs);
    socket->setMaxSendIdleMs(ViewerIdleMs);
    if (!reserveViewerPlace()) {
        refuseViewer(*socket);
        return;
    }
    auto client = std::make_shared<MUDProxyClient>(std::move(socket));
    // The session answers when its initial buffer is ready, which may take
    // several turns of the main thread's loop; the viewer joins the list in
    // that same main-thread step, so output appended after the buffer was
    // taken reaches it as an update and none falls between the two.
    fc_executeOnMainThread([self = shared_from_this(), client] {
        std::shared_ptr<MUDProxyServerDelegate> target = self->delegate();
        if (!target) {
            self->admitViewer(client, nullptr, {});
            return;
        }
        target->MUDProxyServerInitialBuffer(self.get(),
                                            [self, client](std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer,
                                                           const QList<MUDMessage>& messages) {
                                                self->admitViewer(client, std::move(initialBuffer), messages);
                                            });
    });
}

bool MUDProxyServer::isFromThisUser(const CVSocket& socket) const
{
    // The viewer's socket is the row whose own end is the viewer's and whose
    // other end is ours; its owner column names the user who made it.
    quint16 localPort = 0;
    const QString localAddress = socket.localAddress(&localPort);
    const std::optional<uint> owner =
        MUDKernelTcpTable::ownerOnThisMachine({socket.peerAddress(), socket.peerPort()}, {localAddress, localPort});
    const QString refused =
        QStringLiteral("Proxy server refused a viewer from %1 %2: %3").arg(socket.peerAddress()).arg(socket.peerPort());
    if (!owner) {
        CVLog(refused.arg(QStringLiteral("its owner is not in the kernel's TCP tables.")));
        return false;
    }
    if (const uint user = MUDKernelTcpTable::thisProcessOwner(); *owner != user) {
        CVLog(
            refused.arg(QStringLiteral("it belongs to user %1, not to this session's user %2.").arg(*owner).arg(user)));
        return false;
    }
    return true;
}

bool MUDProxyServer::reserveViewerPlace()
{
    QMutexLocker lock(&m_clientsMutex);
    if (m_clients.size() + m_joiningViewers >= MaxViewers)
        return false;
    ++m_joiningViewers;
    return true;
}

void MUDProxyServer::refuseViewer(CVSocket& socket)
{
    CVLog(QStringLiteral("Proxy server refused a viewer from %1 %2: it already has %3 viewers.")
              .arg(socket.peerAddress())
              .arg(socket.peerPort())
              .arg(MaxViewers));
    // A "messages" document is what a viewer shows as text from the session.
    socket.sendBytes(MUDProxyFrame::encode(createSendStringForMessages({MUDMessage(refusalMessage())})));
    socket.close();
}

void MUDProxyServer::admitViewer(const std::shared_ptr<MUDProxyClient>& client,
                                 std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer,
                                 const QList<MUDMessage>& messages)
{
    if (initialBuffer)
        client->enqueue(std::move(initialBuffer));
    if (!messages.isEmpty())
        client->enqueue(createSendStringForMessages(messages));
    {
        QMutexLocker lock(&m_clientsMutex);
        --m_joiningViewers;
        m_clients.append(client);
        ++m_clientCount;
    }
    // After close() the loop ends at once and retires the viewer.
    std::thread([self = shared_from_this(), client] { self->viewerLoop(client); }).detach();
}

void MUDProxyServer::viewerLoop(const std::shared_ptr<MUDProxyClient>& client)
{
    MUDProxyCommandBuffer commands(MaxCommandBytes);
    while (m_running && client->socket().isConnected()) {
        if (!viewerPass(*client, commands))
            break;
    }
    client->socket().close();
    retire(client);
}

bool MUDProxyServer::viewerPass(MUDProxyClient& client, MUDProxyCommandBuffer& commands)
{
    CVSocket& socket = client.socket();
    bool keepGoing = true;
    if (std::shared_ptr<const MUDProxyOutgoingFrame> frame = client.takeNext(); frame && !frame->bytes().isEmpty()) {
        if (socket.sendBytes(frame->bytes())) {
            CVLog(QStringLiteral("success!"));
        } else {
            CVLog(socket.lastErrorText());
            keepGoing = false;
        }
    }

    // A line already waiting needs no read wait; otherwise the wait paces an
    // idle loop (and a queued document cuts it short).
    socket.setMaxReadIdleMs(commands.hasLine() ? 0 : ViewerIdleMs);
    commands.append(socket.receiveBytes());
    // One line per pass: a viewer cannot starve the others of the main thread.
    if (std::optional<QString> command = commands.takeLine()) {
        fc_executeOnMainThreadSync([this, &command] {
            if (std::shared_ptr<MUDProxyServerDelegate> target = delegate())
                target->MUDProxyServerRequestsCommand(this, *command);
        });
    }
    return keepGoing;
}

void MUDProxyServer::retire(const std::shared_ptr<MUDProxyClient>& client)
{
    CVLog(QStringLiteral("Proxy viewer %1 %2 has left.")
              .arg(client->socket().peerAddress())
              .arg(client->socket().peerPort()));
    {
        QMutexLocker lock(&m_clientsMutex);
        m_clients.removeAll(client);
    }
    fc_executeOnMainThread([self = shared_from_this()] {
        if (std::shared_ptr<MUDProxyServerDelegate> target = self->delegate())
            target->MUDProxyServerViewerLeft(self.get());
    });
}

std::shared_ptr<MUDProxyServerDelegate> MUDProxyServer::delegate() const
{
    return m_delegate.lock();
}
