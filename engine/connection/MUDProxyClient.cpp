#include "engine/connection/MUDProxyClient.h"

#include <QMutexLocker>

#include "core/CVSocket.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"

MUDProxyClient::MUDProxyClient(std::unique_ptr<CVSocket> clientSocket)
    : m_clientSocket(std::move(clientSocket))
{
}

MUDProxyClient::~MUDProxyClient() = default;

void MUDProxyClient::enqueue(std::shared_ptr<const MUDProxyOutgoingFrame> frame)
{
    QMutexLocker lock(&m_outputQueueMutex);
    m_outputQueue.append(std::move(frame));
    m_clientSocket->wake();
}

void MUDProxyClient::enqueue(const QString& document)
{
    enqueue(std::make_shared<const MUDProxyOutgoingFrame>(document));
}

std::shared_ptr<const MUDProxyOutgoingFrame> MUDProxyClient::takeNext()
{
    QMutexLocker lock(&m_outputQueueMutex);
    if (m_outputQueue.isEmpty()) {
        m_clientSocket->clearWake();
        return nullptr;
    }
    std::shared_ptr<const MUDProxyOutgoingFrame> document = m_outputQueue.takeFirst();
    // Cleared under the lock, so a document queued meanwhile wakes again.
    if (m_outputQueue.isEmpty())
        m_clientSocket->clearWake();
    return document;
}
