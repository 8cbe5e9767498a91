#include "app/session/MUDSessionGMCP.h"

#include <QCoreApplication>
#include <QPointer>

#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionTriggers.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDGMCPState.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTriggerProcessor.h"
#include "engine/connection/MUDGMCPOptionHandler.h"
#include "engine/connection/MUDTelnetNegotiator.h"

MUDSessionGMCP::MUDSessionGMCP(MUDDocument& document)
    : m_document(document)
{
}

void MUDSessionGMCP::startConnection(const std::shared_ptr<MUDTelnetNegotiator>& negotiator)
{
    m_document.javascriptProcessor()->gmcpState().reset();
    m_negotiator = negotiator;
    m_handler = nullptr;
    if (!negotiator)
        return;
    auto handler = std::make_unique<MUDGMCPOptionHandler>(
        QCoreApplication::applicationVersion(), [document = QPointer<MUDDocument>(&m_document)](const auto& message) {
            if (document)
                document->gmcp().messageReceived(message);
        });
    m_handler = handler.get();
    negotiator->addHandler(std::move(handler));
}

void MUDSessionGMCP::messageReceived(const MUDGMCPMessage& message)
{
    // Kept first, so the package's triggers read at least this message.
    m_document.javascriptProcessor()->gmcpState().apply(message);
    if (MUDTriggerProcessor* processor = m_document.triggers().triggerProcessor())
        processor->processGMCPMessage(message, m_document.commandPipeline().commandIndex());
}

bool MUDSessionGMCP::send(const QString& package, const QJsonValue& value)
{
    if (const std::shared_ptr<MUDTelnetNegotiator> negotiator = m_negotiator.lock(); negotiator && m_handler)
        return m_handler->send(package, value);
    CVLog(
        QStringLiteral("MUDSessionGMCP - %1 not sent: this connection does not negotiate telnet options").arg(package));
    return false;
}

QString MUDSessionGMCP::packagesLine() const
{
    const QStringList packages = m_document.javascriptProcessor()->gmcpState().packages();
    return QStringLiteral("GMCP packages received: %1")
        .arg(packages.isEmpty() ? QStringLiteral("none") : packages.join(QStringLiteral(", ")));
}
