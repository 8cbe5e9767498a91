#include "engine/connection/MUDTelnetTerminalType.h"

#include <QByteArray>

#include "engine/connection/MUDTelnet.h"

namespace {
constexpr char kIs = 0;
constexpr char kSend = 1;
// Colours come as ANSI, 256-colour and 24-bit sequences alike.
const QByteArray kClientName = QByteArrayLiteral("QUARROW");
const QByteArray kTerminalType = QByteArrayLiteral("XTERM-TRUECOLOR");
}

MUDTelnetTerminalType::MUDTelnetTerminalType(Capabilities capabilities)
    : MUDTelnetOptionHandler(MUDTelnet::Option::TerminalType, true, false)
    , m_capabilities(capabilities)
{
}

void MUDTelnetTerminalType::setCapabilities(Capabilities capabilities)
{
    withNegotiatorLocked([&] { m_capabilities = capabilities; });
}

int MUDTelnetTerminalType::mttsValue(Capabilities capabilities)
{
    int value = Ansi | Colors256 | TrueColor;
    if (capabilities.utf8)
        value |= Utf8;
    if (capabilities.screenReader)
        value |= ScreenReader;
    if (capabilities.proxy)
        value |= Proxy;
    if (capabilities.secure)
        value |= Ssl;
    return value;
}

QByteArray MUDTelnetTerminalType::terminalName(int index, Capabilities capabilities)
{
    if (index == 0)
        return kClientName;
    if (index == 1)
        return kTerminalType;
    return "MTTS " + QByteArray::number(mttsValue(capabilities));
}

void MUDTelnetTerminalType::enabled(MUDTelnetSide)
{
    m_requests = 0;
}

void MUDTelnetTerminalType::subnegotiation(QByteArrayView payload)
{
    if (payload.size() != 1 || payload[0] != kSend)
        return;
    const QByteArray name = terminalName(m_requests, m_capabilities);
    // The count stops once the last answer is reached, so it cannot overflow.
    m_requests = std::min(m_requests + 1, 2);
    sendSubnegotiation(kIs + name);
    log(QStringLiteral("sent %1").arg(QString::fromLatin1(name)));
}

QString MUDTelnetTerminalType::detail() const
{
    return QStringLiteral("MTTS %1").arg(mttsValue(m_capabilities));
}
