#include "engine/connection/MUDProxyClient.h"

#include <QMutexLocker>

#include "core/CVSocket.h"

MUDProxyClient::MUDProxyClient(std::unique_ptr<CVSocket> clientSocket)
    : m_clientSocket(std::move(clientSocket))
{
}

MUDProxyClient::~MUDProxyClient() = default;

void MUDProxyClient::enqueue(const QString& document)
{
    QMutexLocker lock(&m_outputQueueMutex);
    m_outputQueue.append(document);
    m_clientSocket->wake();
}

std::optional<QString> MUDProxyClient::takeNext()
{
    QMutexLocker lock(&m_outputQueueMutex);
    if (m_outputQueue.isEmpty()) {
        m_clientSocket->clearWake();
        return std::nullopt;
    }
    QString document = m_outputQueue.takeFirst();
    // Cleared under the lock, so a document queued meanwhile wakes again.
    if (m_outputQueue.isEmpty())
        m_clientSocket->clearWake();
    return document;
}
