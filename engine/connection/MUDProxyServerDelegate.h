#pragma once

#include <QList>
#include <QString>

#include "engine/automation/MUDMessage.h"

class MUDProxyServer;

// What a MUDProxyServer asks of and reports to its session. Every call runs on
// the main thread; the first two are made synchronously from a server thread,
// which waits for the answer.
class MUDProxyServerDelegate {
public:
    virtual ~MUDProxyServerDelegate() = default;

    // The JSON document describing the whole current output, for a viewer
    // that has just attached; may fill `messages` with the messages so far.
    virtual QString MUDProxyServerInitialBuffer(MUDProxyServer* server, QList<MUDMessage>* messages) = 0;
    // One line a viewer sent, without its "\n" (a "\r" before it stays).
    virtual void MUDProxyServerRequestsCommand(MUDProxyServer* server, const QString& command) = 0;
    // The server listens on `port`; reported once, asynchronously.
    virtual void MUDProxyServerIsListening(MUDProxyServer* server, quint16 port) = 0;
    // No port of the search range could be bound; the server has stopped.
    // `message` says so in a sentence for the player. Asynchronous.
    virtual void MUDProxyServerFailedToListen(MUDProxyServer* server, const QString& message) = 0;
};
