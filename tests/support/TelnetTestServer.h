#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMutex>

#include "LoopbackServer.h"

// Makes a loopback game server speak telnet, for tests of option
// negotiation: it sends whatever the test gives it, records every byte the
// client sends, splits them into the client's telnet commands and its
// text, and can answer the client by rule (a server that asks again each
// time it is answered, say). Wraps a LoopbackServer that outlives it (a
// session fixture's, say). Threads: as LoopbackServer; rules run on the
// server thread and are guarded by their own lock.
class TelnetTestServer {
public:
    explicit TelnetTestServer(LoopbackServer& server);
    ~TelnetTestServer();

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.port(); }
    LoopbackServer& loopback() { return m_server; }

    void send(const QByteArray& bytes) { m_server.send(bytes); }
    // IAC <verb> <option>.
    void sendCommand(quint8 verb, quint8 option);
    // IAC SB <option> <payload, IAC doubled> IAC SE.
    void sendSubnegotiation(quint8 option, QByteArrayView payload);

    QByteArray receivedBytes() const { return m_server.receivedBytes(); }
    // The client's telnet commands so far, each whole, in order.
    QList<QByteArray> receivedCommands() const;
    // How often the client sent exactly this command.
    qsizetype count(const QByteArray& command) const;
    // The client's bytes outside telnet commands.
    QByteArray receivedText() const;
    // Spins the event loop until the client sent `command` (bounded).
    bool waitForCommand(const QByteArray& command, int timeoutMs = 5000) const;
    // Payloads of the client's subnegotiations of `option`, IAC IAC undone.
    QList<QByteArray> subnegotiations(quint8 option) const;

    // Each time the client's bytes hold `trigger` once more, the server
    // sends `reply`, at most `maxReplies` times.
    void answer(const QByteArray& trigger, const QByteArray& reply, int maxReplies = 1000);

    // Splits a client's byte stream into telnet commands and text.
    static void split(QByteArrayView stream, QList<QByteArray>* commands, QByteArray* text);

private:
    struct Rule {
        QByteArray trigger;
        QByteArray reply;
        int maxReplies;
        int replies = 0;
    };
    QByteArray respond(const QByteArray& received);

    QMutex m_rulesMutex;
    QList<Rule> m_rules;
    LoopbackServer& m_server;
};
