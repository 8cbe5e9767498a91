#include "app/session/MUDSessionReceiverConnection.h"

#include <chrono>

#include "app/session/MUDSessionReceiver.h"
#include "core/CVMainThread.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/connection/MUDTelnetNegotiator.h"

MUDSessionReceiverConnection::MUDSessionReceiverConnection(const MUDSocket* socket,
                                                           std::weak_ptr<MUDSessionReceiver> receiver,
                                                           std::shared_ptr<MUDTriggerBacklog> triggerBacklog)
    : m_socket(socket)
    , m_receiver(std::move(receiver))
    , m_triggerBacklog(std::move(triggerBacklog))
    , m_ansiDataProcessor(this)
{
}

void MUDSessionReceiverConnection::setNegotiator(std::shared_ptr<MUDTelnetNegotiator> negotiator)
{
    m_negotiator = std::move(negotiator);
    if (!m_negotiator)
        return;
    // Weak: the negotiator lives inside this object.
    m_negotiator->setSessionPoster([weakSelf = weak_from_this()](std::function<void()> event) {
        if (std::shared_ptr<MUDSessionReceiverConnection> self = weakSelf.lock()) {
            fc_executeOnMainThread([self, event = std::move(event)] {
                if (std::shared_ptr<MUDSessionReceiver> receiver = self->m_receiver.lock())
                    receiver->deliverEvent(self.get(), event);
            });
        }
    });
}

void MUDSessionReceiverConnection::receive(const QByteArray& data)
{
    // In slices, so the main thread handles a long read in several short
    // steps and other work (input, painting) gets a turn between them.
    for (qsizetype offset = 0; offset < data.size(); offset += SliceBytes) {
        const qsizetype length = std::min(SliceBytes, data.size() - offset);
        m_readBytes = length;
        m_ansiDataProcessor.processData(QByteArrayView(data).sliced(offset, length));
        m_readBytes = 0;
        waitForMainThread();
    }
}

void MUDSessionReceiverConnection::ANSIDataProcessorReceived(ANSIDataProcessor*,
                                                             const ANSIDataProcessorResults& results)
{
    const qsizetype readBytes = std::exchange(m_readBytes, 0);
    {
        std::lock_guard lock(m_pendingMutex);
        m_pendingBytes += readBytes;
    }
    fc_executeOnMainThread([self = shared_from_this(), results, readBytes] {
        if (std::shared_ptr<MUDSessionReceiver> receiver = self->m_receiver.lock())
            receiver->deliverBatch(self.get(), results);
        self->batchHandled(readBytes);
    });
}

void MUDSessionReceiverConnection::ANSIDataProcessorServerEchoes(ANSIDataProcessor*, bool serverEchoes)
{
    // Posted like a batch, so it keeps its place among them.
    fc_executeOnMainThread([self = shared_from_this(), serverEchoes] {
        if (std::shared_ptr<MUDSessionReceiver> receiver = self->m_receiver.lock())
            receiver->deliverServerEchoes(self.get(), serverEchoes);
    });
}

bool MUDSessionReceiverConnection::ANSIDataProcessorTelnetCommand(ANSIDataProcessor*, QByteArrayView command)
{
    if (m_negotiator)
        m_negotiator->receivedCommand(command);
    return true;
}

void MUDSessionReceiverConnection::waitForMainThread()
{
    {
        std::unique_lock lock(m_pendingMutex);
        m_mainThreadCaughtUp.wait_for(lock, std::chrono::milliseconds(MaxCatchUpWaitMs),
                                      [this] { return m_pendingBytes <= MaxPendingBytes; });
    }
    // Bounded too: a trigger script waiting for server text holds the
    // script queue, and only more text can end its wait.
    if (m_triggerBacklog)
        m_triggerBacklog->waitWhileFull(MaxCatchUpWaitMs);
}

void MUDSessionReceiverConnection::batchHandled(qsizetype readBytes)
{
    if (readBytes == 0)
        return;
    std::lock_guard lock(m_pendingMutex);
    m_pendingBytes -= readBytes;
    if (m_pendingBytes <= MaxPendingBytes)
        m_mainThreadCaughtUp.notify_all();
}
