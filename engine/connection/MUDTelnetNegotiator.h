#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/connection/MUDTelnetOptionHandler.h"

// Answers a server's telnet option requests for one connection (so every
// connect starts afresh) by the Q method of RFC 1143, kept per option and
// per side: an option is agreed only when a registered handler accepts that
// side; every other one is refused, once (a server repeating a refused
// request is not answered again); a request that would not change the
// option's state is never answered, so no two peers can loop. Each step
// writes one log line. Only ever fed whole commands (the decoder's telnet
// chunks); it never touches text.
//
// Threads: receivedCommand() on the socket loop thread; handlers' calls
// from other threads (a window resize), stateLines() and the rest from any
// thread. Everything is guarded by one recursive lock, which handlers'
// callbacks run under.
class MUDTelnetNegotiator {
public:
    // Puts bytes on the connection's send queue, in order.
    using Sender = std::function<void(const QByteArray&)>;
    // Hands an event to the session's thread, in order with the text.
    using SessionPoster = std::function<void(std::function<void()>)>;

    explicit MUDTelnetNegotiator(Sender sender);
    ~MUDTelnetNegotiator();
    MUDTelnetNegotiator(const MUDTelnetNegotiator&) = delete;
    MUDTelnetNegotiator& operator=(const MUDTelnetNegotiator&) = delete;

    // One handler per option; the negotiator owns it. Add them before the
    // first command arrives.
    void addHandler(std::unique_ptr<MUDTelnetOptionHandler> handler);
    MUDTelnetOptionHandler* handler(quint8 option) const;
    void setSessionPoster(SessionPoster poster);

    // One whole telnet command as the decoder cut it.
    void receivedCommand(QByteArrayView command);
    // Asks for an option to be turned on or off on one side (a handler
    // giving up, say); answered requests follow the Q method too.
    void request(quint8 option, MUDTelnetSide side, bool on);

    bool isEnabled(quint8 option, MUDTelnetSide side) const;
    // One line per option that has a handler or was ever asked for, in
    // option order, for the #telnet command.
    QStringList stateLines() const;

    void sendSubnegotiation(quint8 option, QByteArrayView payload);
    void postToSession(std::function<void()> event);
    void withLock(const std::function<void()>& work);

private:
    enum class State : quint8 { No, Yes, WantNo, WantYes };
    struct SideState {
        State state = State::No;
        // A request for the opposite state waits for the pending answer.
        bool opposite = false;
        // A refusal was sent once; repeats of the request are ignored.
        bool refused = false;
        bool seen = false;
    };
    struct OptionState {
        SideState client;
        SideState server;
        // An unexpected subnegotiation was logged once already.
        bool strayLogged = false;
    };

    SideState& sideState(quint8 option, MUDTelnetSide side);
    const SideState& sideState(quint8 option, MUDTelnetSide side) const;
    void receivedVerb(quint8 verb, quint8 option);
    void receivedPositive(quint8 verb, quint8 option, MUDTelnetSide side);
    void receivedNegative(quint8 verb, quint8 option, MUDTelnetSide side);
    void receivedSubnegotiation(QByteArrayView command);
    // Moves one side to `state`, telling the handler when the option turns on or off.
    void setState(quint8 option, MUDTelnetSide side, State state);
    // Sends IAC <verb> <option> and returns the verb's name for the log line.
    QString answer(bool positive, quint8 option, MUDTelnetSide side);
    void logStep(const QString& received, quint8 option, const QString& outcome) const;
    static QString stateText(const SideState& side);

    const Sender m_sender;
    SessionPoster m_poster;
    std::array<OptionState, 256> m_options{};
    std::array<MUDTelnetOptionHandler*, 256> m_handlerFor{};
    std::vector<std::unique_ptr<MUDTelnetOptionHandler>> m_handlers;
    mutable std::recursive_mutex m_mutex;
};
