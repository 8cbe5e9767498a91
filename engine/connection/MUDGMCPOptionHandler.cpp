#include "engine/connection/MUDGMCPOptionHandler.h"

#include "engine/automation/MUDGMCPMessage.h"
#include "engine/connection/MUDTelnet.h"

MUDGMCPOptionHandler::MUDGMCPOptionHandler(QString clientVersion, MessageSink sink)
    : MUDTelnetOptionHandler(MUDTelnet::Option::Gmcp, false, true)
    , m_clientVersion(std::move(clientVersion))
    , m_sink(std::move(sink))
{
}

void MUDGMCPOptionHandler::enabled(MUDTelnetSide)
{
    sendSubnegotiation(MUDGMCPMessage::helloPayload(m_clientVersion));
    sendSubnegotiation(MUDGMCPMessage::supportsSetPayload(m_supports.packages()));
    log(QStringLiteral("sent Core.Hello and Core.Supports.Set %1")
            .arg(m_supports.packages().join(QStringLiteral(", "))));
}

void MUDGMCPOptionHandler::subnegotiation(QByteArrayView payload)
{
    std::optional<MUDGMCPMessage> message = MUDGMCPMessage::parse(payload);
    if (!message) {
        ++m_dropped;
        return;
    }
    ++m_received;
    postToSession([sink = m_sink, message = std::move(*message)] { sink(message); });
}

QString MUDGMCPOptionHandler::detail() const
{
    return QStringLiteral("%1 messages received, %2 dropped").arg(m_received).arg(m_dropped);
}

bool MUDGMCPOptionHandler::send(const QString& package, const QJsonValue& value)
{
    if (!MUDGMCPMessage::isPackageName(package)) {
        log(QStringLiteral("a script's message to \"%1\" not sent: no package name").arg(package));
        return false;
    }
    const QByteArray payload = MUDGMCPMessage::payload(package, value);
    if (payload.size() > MUDGMCPMessage::MaximumPayloadBytes) {
        log(QStringLiteral("a script's %1 message of %2 bytes not sent: larger than %3 bytes")
                .arg(package)
                .arg(payload.size())
                .arg(MUDGMCPMessage::MaximumPayloadBytes));
        return false;
    }
    bool done = false;
    withNegotiatorLocked([&] {
        const bool kept = m_supports.update(package, value);
        if (isEnabled(MUDTelnetSide::Server)) {
            sendSubnegotiation(payload);
            done = true;
        } else {
            done = kept;
        }
    });
    if (!done)
        log(QStringLiteral("%1 not sent: GMCP is not on for this connection").arg(package));
    return done;
}
