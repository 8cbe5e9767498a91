#include "engine/connection/MUDTelnetOptionHandler.h"

#include "core/CVLogHelper.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetNegotiator.h"

MUDTelnetOptionHandler::MUDTelnetOptionHandler(quint8 option, bool acceptsClientSide, bool acceptsServerSide)
    : m_option(option)
    , m_client(acceptsClientSide)
    , m_server(acceptsServerSide)
{
}

bool MUDTelnetOptionHandler::isEnabled(MUDTelnetSide side) const
{
    return m_negotiator && m_negotiator->isEnabled(m_option, side);
}

void MUDTelnetOptionHandler::sendSubnegotiation(QByteArrayView payload)
{
    if (m_negotiator)
        m_negotiator->sendSubnegotiation(m_option, payload);
}

void MUDTelnetOptionHandler::postToSession(std::function<void()> event)
{
    if (m_negotiator)
        m_negotiator->postToSession(std::move(event));
}

void MUDTelnetOptionHandler::withNegotiatorLocked(const std::function<void()>& work)
{
    if (m_negotiator)
        m_negotiator->withLock(work);
}

void MUDTelnetOptionHandler::log(const QString& text) const
{
    CVLog(QStringLiteral("MUDTelnetNegotiator - %1: %2").arg(MUDTelnet::optionName(m_option), text));
}
