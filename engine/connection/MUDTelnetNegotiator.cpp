#include "engine/connection/MUDTelnetNegotiator.h"

#include "core/CVLogHelper.h"
#include "engine/connection/MUDTelnet.h"

MUDTelnetNegotiator::MUDTelnetNegotiator(Sender sender)
    : m_sender(std::move(sender))
{
}

MUDTelnetNegotiator::~MUDTelnetNegotiator() = default;

void MUDTelnetNegotiator::addHandler(std::unique_ptr<MUDTelnetOptionHandler> handler)
{
    std::lock_guard lock(m_mutex);
    handler->m_negotiator = this;
    m_handlerFor[handler->option()] = handler.get();
    m_handlers.push_back(std::move(handler));
}

MUDTelnetOptionHandler* MUDTelnetNegotiator::handler(quint8 option) const
{
    std::lock_guard lock(m_mutex);
    return m_handlerFor[option];
}

void MUDTelnetNegotiator::setSessionPoster(SessionPoster poster)
{
    std::lock_guard lock(m_mutex);
    m_poster = std::move(poster);
}

void MUDTelnetNegotiator::receivedCommand(QByteArrayView command)
{
    if (command.size() < 2 || quint8(command[0]) != MUDTelnet::Iac)
        return;
    std::lock_guard lock(m_mutex);
    const quint8 verb = quint8(command[1]);
    if (verb >= MUDTelnet::Will && verb <= MUDTelnet::Dont && command.size() == 3)
        receivedVerb(verb, quint8(command[2]));
    else if (verb == MUDTelnet::Sb)
        receivedSubnegotiation(command);
    // Other commands (GA, EOR, NOP, ...) carry no negotiation.
}

void MUDTelnetNegotiator::receivedVerb(quint8 verb, quint8 option)
{
    // WILL and WONT speak of what the server performs, DO and DONT of what
    // it asks the client to perform.
    const MUDTelnetSide side =
        verb == MUDTelnet::Will || verb == MUDTelnet::Wont ? MUDTelnetSide::Server : MUDTelnetSide::Client;
    sideState(option, side).seen = true;
    if (verb == MUDTelnet::Will || verb == MUDTelnet::Do)
        receivedPositive(verb, option, side);
    else
        receivedNegative(verb, option, side);
}

void MUDTelnetNegotiator::receivedPositive(quint8 verb, quint8 option, MUDTelnetSide side)
{
    SideState& s = sideState(option, side);
    const QString received = MUDTelnet::verbName(verb);
    switch (s.state) {
    case State::No: {
        const MUDTelnetOptionHandler* handler = m_handlerFor[option];
        if (handler && handler->accepts(side)) {
            // Logged before the handler hears of it, in the order of the bytes sent.
            logStep(received, option, QStringLiteral("sent %1, now on").arg(answer(true, option, side)));
            setState(option, side, State::Yes);
        } else if (!s.refused) {
            s.refused = true;
            logStep(received, option, QStringLiteral("sent %1, refused").arg(answer(false, option, side)));
        }
        break;
    }
    case State::Yes: break;
    case State::WantNo:
        // The peer should have agreed to turn it off; take its word.
        setState(option, side, s.opposite ? State::Yes : State::No);
        s.opposite = false;
        logStep(received, option, QStringLiteral("in answer to a request to turn it off"));
        break;
    case State::WantYes:
        if (s.opposite) {
            s.opposite = false;
            setState(option, side, State::WantNo);
            logStep(received, option, QStringLiteral("sent %1, asking it off again").arg(answer(false, option, side)));
        } else {
            logStep(received, option, QStringLiteral("agreed, now on"));
            setState(option, side, State::Yes);
        }
        break;
    }
}

void MUDTelnetNegotiator::receivedNegative(quint8 verb, quint8 option, MUDTelnetSide side)
{
    SideState& s = sideState(option, side);
    const QString received = MUDTelnet::verbName(verb);
    switch (s.state) {
    case State::No: break;
    case State::Yes:
        setState(option, side, State::No);
        logStep(received, option, QStringLiteral("sent %1, now off").arg(answer(false, option, side)));
        break;
    case State::WantNo:
        if (s.opposite) {
            s.opposite = false;
            setState(option, side, State::WantYes);
            logStep(received, option, QStringLiteral("sent %1, asking it on again").arg(answer(true, option, side)));
        } else {
            setState(option, side, State::No);
            logStep(received, option, QStringLiteral("agreed, now off"));
        }
        break;
    case State::WantYes:
        s.opposite = false;
        setState(option, side, State::No);
        logStep(received, option, QStringLiteral("refused by the server, stays off"));
        break;
    }
}

void MUDTelnetNegotiator::receivedSubnegotiation(QByteArrayView command)
{
    // One cut short by a stray command is not the option's to read.
    if (command.size() < 5 || quint8(command[command.size() - 2]) != MUDTelnet::Iac ||
        quint8(command.back()) != MUDTelnet::Se)
        return;
    const quint8 option = quint8(command[2]);
    MUDTelnetOptionHandler* handler = m_handlerFor[option];
    OptionState& state = m_options[option];
    const bool on = state.client.state == State::Yes || state.server.state == State::Yes;
    if (!handler || !on) {
        // A server may send these forever: one line is enough.
        if (!state.strayLogged)
            logStep(QStringLiteral("SB"), option, QStringLiteral("ignored, the option is off"));
        state.strayLogged = true;
        return;
    }
    handler->subnegotiation(MUDTelnet::subnegotiationPayload(command));
}

void MUDTelnetNegotiator::request(quint8 option, MUDTelnetSide side, bool on)
{
    std::lock_guard lock(m_mutex);
    SideState& s = sideState(option, side);
    const QString asked = on ? QStringLiteral("asking on") : QStringLiteral("asking off");
    switch (s.state) {
    case State::No:
        if (on) {
            setState(option, side, State::WantYes);
            logStep(asked, option, QStringLiteral("sent %1").arg(answer(true, option, side)));
        }
        break;
    case State::Yes:
        if (!on) {
            setState(option, side, State::WantNo);
            logStep(asked, option, QStringLiteral("sent %1").arg(answer(false, option, side)));
        }
        break;
    case State::WantNo: s.opposite = on; break;
    case State::WantYes: s.opposite = !on; break;
    }
}

bool MUDTelnetNegotiator::isEnabled(quint8 option, MUDTelnetSide side) const
{
    std::lock_guard lock(m_mutex);
    return sideState(option, side).state == State::Yes;
}

QStringList MUDTelnetNegotiator::stateLines() const
{
    std::lock_guard lock(m_mutex);
    QStringList lines;
    for (int option = 0; option < 256; ++option) {
        const OptionState& state = m_options[option];
        const MUDTelnetOptionHandler* handler = m_handlerFor[option];
        if (!handler && !state.client.seen && !state.server.seen)
            continue;
        QString line = QStringLiteral("%1 (%2): client %3, server %4")
                           .arg(MUDTelnet::optionName(quint8(option)))
                           .arg(option)
                           .arg(stateText(state.client), stateText(state.server));
        if (const QString detail = handler ? handler->detail() : QString(); !detail.isEmpty())
            line += QStringLiteral("; ") + detail;
        lines.append(line);
    }
    return lines;
}

void MUDTelnetNegotiator::sendSubnegotiation(quint8 option, QByteArrayView payload)
{
    std::lock_guard lock(m_mutex);
    m_sender(MUDTelnet::subnegotiation(option, payload));
}

void MUDTelnetNegotiator::postToSession(std::function<void()> event)
{
    std::lock_guard lock(m_mutex);
    if (m_poster)
        m_poster(std::move(event));
}

void MUDTelnetNegotiator::withLock(const std::function<void()>& work)
{
    std::lock_guard lock(m_mutex);
    work();
}

MUDTelnetNegotiator::SideState& MUDTelnetNegotiator::sideState(quint8 option, MUDTelnetSide side)
{
    return side == MUDTelnetSide::Client ? m_options[option].client : m_options[option].server;
}

const MUDTelnetNegotiator::SideState& MUDTelnetNegotiator::sideState(quint8 option, MUDTelnetSide side) const
{
    return side == MUDTelnetSide::Client ? m_options[option].client : m_options[option].server;
}

void MUDTelnetNegotiator::setState(quint8 option, MUDTelnetSide side, State state)
{
    SideState& s = sideState(option, side);
    const bool wasOn = s.state == State::Yes;
    s.state = state;
    const bool isOn = state == State::Yes;
    MUDTelnetOptionHandler* handler = m_handlerFor[option];
    if (!handler || wasOn == isOn)
        return;
    if (isOn)
        handler->enabled(side);
    else
        handler->disabled(side);
}

QString MUDTelnetNegotiator::answer(bool positive, quint8 option, MUDTelnetSide side)
{
    const bool client = side == MUDTelnetSide::Client;
    const quint8 verb =
        client ? (positive ? MUDTelnet::Will : MUDTelnet::Wont) : (positive ? MUDTelnet::Do : MUDTelnet::Dont);
    m_sender(MUDTelnet::command(verb, option));
    return MUDTelnet::verbName(verb);
}

void MUDTelnetNegotiator::logStep(const QString& received, quint8 option, const QString& outcome) const
{
    CVLog(QStringLiteral("MUDTelnetNegotiator - %1 %2: %3").arg(received, MUDTelnet::optionName(option), outcome));
}

QString MUDTelnetNegotiator::stateText(const SideState& side)
{
    switch (side.state) {
    case State::No: return side.refused ? QStringLiteral("refused") : QStringLiteral("off");
    case State::Yes: return QStringLiteral("on");
    case State::WantNo: return QStringLiteral("turning off");
    case State::WantYes: return QStringLiteral("asked");
    }
    return {};
}
