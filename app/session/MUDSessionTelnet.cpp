#include "app/session/MUDSessionTelnet.h"

#include "app/session/MUDDocument.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/decoding/ANSIDataProcessorResults.h"

MUDSessionTelnet::MUDSessionTelnet(MUDDocument& document)
    : m_document(document)
{
}

MUDSessionTelnet::~MUDSessionTelnet() = default;

std::shared_ptr<MUDTelnetNegotiator> MUDSessionTelnet::startConnection(const std::shared_ptr<MUDSocket>& socket)
{
    m_negotiator.reset();
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (!connection || !connection->negotiatesTelnetOptions())
        return nullptr;
    std::weak_ptr<MUDSocket> weakSocket = socket;
    m_negotiator = std::make_shared<MUDTelnetNegotiator>([weakSocket](const QByteArray& bytes) {
        if (std::shared_ptr<MUDSocket> target = weakSocket.lock())
            target->sendBytes(bytes);
    });
    // The client never sends GA, so it may as well promise so; the server's
    // GA stays on, since it marks the end of a prompt.
    m_negotiator->addHandler(std::make_unique<MUDTelnetOptionHandler>(MUDTelnet::Option::SuppressGoAhead, true, false));
    m_negotiator->addHandler(std::make_unique<MUDTelnetOptionHandler>(MUDTelnet::Option::EndOfRecord, false, true));
    return m_negotiator;
}

bool MUDSessionTelnet::endsPrompt(const ANSIDataProcessorResults& results) const
{
    if (!m_negotiator)
        return false;
    for (const ANSIDataProcessorResult chunk : results) {
        const QByteArrayView bytes = chunk.data();
        if (chunk.type() == ANSIResultType::Telnet && bytes.size() == 2 &&
            (quint8(bytes[1]) == MUDTelnet::Ga || quint8(bytes[1]) == MUDTelnet::Eor))
            return true;
    }
    return false;
}

QStringList MUDSessionTelnet::stateLines() const
{
    if (!m_negotiator)
        return {QStringLiteral("Telnet options are off for this connection.")};
    return m_negotiator->stateLines();
}
