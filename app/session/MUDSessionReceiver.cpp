#include "app/session/MUDSessionReceiver.h"

#include <chrono>

#include "app/session/MUDDocument.h"
#include "core/CVMainThread.h"

MUDSessionReceiver::MUDSessionReceiver(MUDDocument* document)
    : m_document(document)
    , m_ansiDataProcessor(this)
    , m_localDataProcessor(this)
{
}

void MUDSessionReceiver::processData(QByteArrayView data)
{
    m_localDataProcessor.processData(data);
}

void MUDSessionReceiver::MUDSocketHasConnected(MUDSocket* socket)
{
    if (m_document)
        m_document->MUDSocketHasConnected(socket);
}

void MUDSessionReceiver::MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage)
{
    if (m_document)
        m_document->MUDSocketConnectionFailed(socket, errorMessage);
}

void MUDSessionReceiver::MUDSocketReceivedData(MUDSocket*, QByteArray& data)
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

void MUDSessionReceiver::MUDSocketHasDisconnected(MUDSocket* socket)
{
    if (m_document)
        m_document->MUDSocketHasDisconnected(socket);
}

void MUDSessionReceiver::ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results)
{
    // Locally fed batches come from the main thread itself: nothing to count.
    const qsizetype readBytes = processor == &m_ansiDataProcessor ? std::exchange(m_readBytes, 0) : 0;
    if (readBytes > 0) {
        std::lock_guard lock(m_pendingMutex);
        m_pendingBytes += readBytes;
    }
    // The QPointer is copied here but read only on the main thread, where
    // the session lives and dies.
    fc_executeOnMainThread([self = shared_from_this(), document = m_document, results, readBytes] {
        if (document)
            document->ANSIDataProcessorReceived(results);
        self->batchHandled(readBytes);
    });
}

void MUDSessionReceiver::waitForMainThread()
{
    std::unique_lock lock(m_pendingMutex);
    m_mainThreadCaughtUp.wait_for(lock, std::chrono::milliseconds(MaxCatchUpWaitMs),
                                  [this] { return m_pendingBytes <= MaxPendingBytes; });
}

void MUDSessionReceiver::batchHandled(qsizetype readBytes)
{
    if (readBytes == 0)
        return;
    std::lock_guard lock(m_pendingMutex);
    m_pendingBytes -= readBytes;
    if (m_pendingBytes <= MaxPendingBytes)
        m_mainThreadCaughtUp.notify_all();
}
