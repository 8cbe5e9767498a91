#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <atomic>
#include <memory>

#include "engine/automation/MUDMessage.h"

class CVServerSocket;
class CVSocket;
class MUDProxyClient;
class MUDProxyCommandBuffer;
class MUDProxyOutgoingFrame;
class MUDProxyServerDelegate;

// Lets other programs on this machine watch and drive a session: listens on
// the first free loopback port from 5484, sends every attached viewer the
// session's output as framed JSON documents (see MUDProxyFrame) and hands
// each line a viewer sends back to the session as a command. Only programs
// of the user running the session may watch: a viewer whose socket belongs
// to another user of the machine, or whose owner cannot be found, is logged
// and closed, since a viewer drives the session as its player. At most
// MaxViewers watch at once: each costs a thread, a copy of the output and
// main-thread time for its commands, so more are told so and closed.
//
// Threads: the owner (the session, main thread) starts, feeds and closes it;
// one accept thread searches a port and accepts viewers; one loop thread per
// viewer sends its documents and reads its commands. Delegate calls run on the
// main thread. m_clientsMutex guards the viewer list and the counts; each
// viewer's queue has its own lock, always taken after the list's. Must be
// owned by a std::shared_ptr (the threads keep a reference until they end).
class MUDProxyServer : public std::enable_shared_from_this<MUDProxyServer> {
public:
    static constexpr quint16 FirstPort = 5484;
    static constexpr quint16 LastPort = 6000;
    static constexpr int Backlog = 25;
    static constexpr int AcceptWaitMs = 20000;
    static constexpr int ViewerIdleMs = 100;
    // A viewer line longer than this is dropped whole, with a log line.
    static constexpr qsizetype MaxCommandBytes = 1024 * 1024;
    // Viewers attached or joining at once; one more is refused.
    static constexpr int MaxViewers = 16;

    explicit MUDProxyServer(std::weak_ptr<MUDProxyServerDelegate> delegate);
    ~MUDProxyServer();
    MUDProxyServer(const MUDProxyServer&) = delete;
    MUDProxyServer& operator=(const MUDProxyServer&) = delete;

    // The ports searched, in order, once each; set before startListening().
    void setPortRange(quint16 firstPort, quint16 lastPort);

    // Starts the port search and accept loop on a thread and returns at once.
    // A server starts once; a closed one is not restarted.
    void startListening();
    // Viewers attached now (a viewer whose loop ended is retired).
    bool hasConnections() const;
    // Viewers attached now.
    int viewerCount() const;
    // Viewers accepted since the start.
    quint64 clientCount() const;
    bool isRunning() const { return m_running.load(); }
    // The port being listened on, 0 when not listening.
    quint16 port() const { return m_port.load(); }

    // Queues `string` for every viewer attached now, in call order. Any thread.
    void sendString(const QString& string);
    // Queues the "messages" document when there are messages and viewers.
    void sendMessages(const QList<MUDMessage>& messages);
    // {"action": "messages", "entries": [message, ...]}; empty for no messages.
    static QString createSendStringForMessages(const QList<MUDMessage>& messages);
    // What a viewer beyond MaxViewers is told before it is closed.
    static QString refusalMessage();

    // Stops accepting, releases the port and ends every viewer's loop (each
    // within one read wait); returns at once.
    void close();

private:
    void acceptLoop();
    bool searchPort();
    void attachViewer(std::unique_ptr<CVSocket> socket);
    bool isFromThisUser(const CVSocket& socket) const;
    bool reserveViewerPlace();
    void refuseViewer(CVSocket& socket);
    void admitViewer(const std::shared_ptr<MUDProxyClient>& client,
                     std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer, const QList<MUDMessage>& messages);
    void viewerLoop(const std::shared_ptr<MUDProxyClient>& client);
    bool viewerPass(MUDProxyClient& client, MUDProxyCommandBuffer& commands);
    void retire(const std::shared_ptr<MUDProxyClient>& client);
    std::shared_ptr<MUDProxyServerDelegate> delegate() const;

    const std::weak_ptr<MUDProxyServerDelegate> m_delegate;
    const std::unique_ptr<CVServerSocket> m_listenSocket;
    quint16 m_firstPort = FirstPort;
    quint16 m_lastPort = LastPort;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_running{false};
    std::atomic<quint16> m_port{0};

    mutable QMutex m_clientsMutex;
    QList<std::shared_ptr<MUDProxyClient>> m_clients;
    // Accepted viewers waiting for their initial buffer.
    int m_joiningViewers = 0;
    quint64 m_clientCount = 0;
};
