#include "engine/connection/MUDProxyViewerConnection.h"

#include "core/CVLogHelper.h"
#include "core/CVSocket.h"

MUDProxyViewerConnection::MUDProxyViewerConnection()
    : m_socket(std::make_unique<CVSocket>())
{
}

MUDProxyViewerConnection::~MUDProxyViewerConnection() = default;

bool MUDProxyViewerConnection::connect(const QString& host, quint16 port, int maxWaitMs)
{
    if (m_socket->connect(host, port, maxWaitMs))
        return true;
    m_lastErrorText = m_socket->lastErrorText();
    return false;
}

bool MUDProxyViewerConnection::isConnected() const
{
    return m_socket->isConnected();
}

QStringList MUDProxyViewerConnection::receiveDocuments(int maxWaitMs)
{
    m_socket->setMaxReadIdleMs(maxWaitMs);
    m_decoder.append(m_socket->receiveBytes());
    for (const QString& error : m_decoder.takeErrors()) {
        CVLog(QStringLiteral("MUDProxyViewerConnection - %1").arg(error));
        m_lastErrorText = error;
    }
    if (m_decoder.hasFailed())
        m_socket->close();
    return m_decoder.takeDocuments();
}

bool MUDProxyViewerConnection::sendCommand(const QString& command)
{
    if (m_socket->sendString(command + QLatin1Char('\n')))
        return true;
    m_lastErrorText = m_socket->lastErrorText();
    return false;
}

void MUDProxyViewerConnection::close()
{
    m_socket->close();
}

QString MUDProxyViewerConnection::lastErrorText() const
{
    return m_lastErrorText;
}
