#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "engine/automation/MUDMessage.h"

class MUDProxyOutgoingFrame;
class MUDProxyServer;

// What a MUDProxyServer asks of and reports to its session. Every call runs on
// the main thread; the command is handed over synchronously from a viewer's
// thread, which waits for it to run.
class MUDProxyServerDelegate {
public:
    // Takes a joining viewer's first documents: the frame of the document
    // describing the whole output and the messages so far. Main thread, once.
    using InitialBufferReady = std::function<void(std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer,
                                                  const QList<MUDMessage>& messages)>;

    virtual ~MUDProxyServerDelegate() = default;

    // A viewer joins. The session calls `ready` once, at once or after later
    // turns of the event loop (so a long output never holds the main thread
    // for long). Output appended before `ready` runs belongs in the initial
    // buffer; output appended after it reaches the viewer as updates.
    virtual void MUDProxyServerInitialBuffer(MUDProxyServer* server, InitialBufferReady ready) = 0;
    // A viewer has left (its connection ended or the server closed it); the
    // list viewerCount() counts no longer holds it. Asynchronous.
    virtual void MUDProxyServerViewerLeft(MUDProxyServer*) { }
    // One line a viewer sent, without its "\n" (a "\r" before it stays).
    virtual void MUDProxyServerRequestsCommand(MUDProxyServer* server, const QString& command) = 0;
    // The server listens on `port`; reported once, asynchronously.
    virtual void MUDProxyServerIsListening(MUDProxyServer* server, quint16 port) = 0;
    // No port of the search range could be bound; the server has stopped.
    // `message` says so in a sentence for the player. Asynchronous.
    virtual void MUDProxyServerFailedToListen(MUDProxyServer* server, const QString& message) = 0;
};
