#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>

class MUDTelnetNegotiator;

// Which end performs an option: the client (the server asked DO, we answer
// WILL) or the server (it offered WILL, we answer DO).
enum class MUDTelnetSide { Client, Server };

// One telnet option the client agrees to, plugged into a
// MUDTelnetNegotiator. The negotiator decides when the option is on (the Q
// method) and calls enabled(), disabled() and subnegotiation(); the handler
// speaks the option's own protocol through sendSubnegotiation().
//
// Threads: the negotiator calls it under its lock, mostly on the socket
// loop thread; a handler's own entry points for other threads take that
// lock through withNegotiatorLocked().
class MUDTelnetOptionHandler {
public:
    MUDTelnetOptionHandler(quint8 option, bool acceptsClientSide, bool acceptsServerSide);
    virtual ~MUDTelnetOptionHandler() = default;
    MUDTelnetOptionHandler(const MUDTelnetOptionHandler&) = delete;
    MUDTelnetOptionHandler& operator=(const MUDTelnetOptionHandler&) = delete;

    quint8 option() const { return m_option; }
    bool accepts(MUDTelnetSide side) const { return side == MUDTelnetSide::Client ? m_client : m_server; }

    virtual void enabled(MUDTelnetSide side) { Q_UNUSED(side); }
    virtual void disabled(MUDTelnetSide side) { Q_UNUSED(side); }
    // The bytes between IAC SB <option> and IAC SE, IAC IAC undone. Only
    // called while the option is on for at least one side.
    virtual void subnegotiation(QByteArrayView payload) { Q_UNUSED(payload); }
    // What #telnet shows after the option's state ("120x40"); may be empty.
    virtual QString detail() const { return {}; }

protected:
    bool isEnabled(MUDTelnetSide side) const;
    // Sends IAC SB <option> <payload> IAC SE, doubling IAC in the payload.
    void sendSubnegotiation(QByteArrayView payload);
    // Runs `event` on the main thread, in order with the text before it,
    // and only while this connection is still the session's.
    void postToSession(std::function<void()> event);
    // For calls from a thread other than the negotiator's.
    void withNegotiatorLocked(const std::function<void()>& work);
    // One line in the log, prefixed with the option's name.
    void log(const QString& text) const;

private:
    friend class MUDTelnetNegotiator;

    const quint8 m_option;
    const bool m_client;
    const bool m_server;
    MUDTelnetNegotiator* m_negotiator = nullptr;
};
