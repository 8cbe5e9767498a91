#include "app/session/MUDSessionReceiver.h"

#include <QDeadlineTimer>

#include "app/session/MUDDocument.h"
#include "core/CVMainThread.h"

MUDSessionReceiver::MUDSessionReceiver(MUDDocument* document)
    : m_document(document)
    , m_ansiDataProcessor(this)
{
}

void MUDSessionReceiver::processData(QByteArrayView data)
{
    // Locally fed bytes are the main thread's own: nothing to wait for.
    processData(data, 0);
}

void MUDSessionReceiver::processData(QByteArrayView data, qsizetype readBytes)
{
    QMutexLocker lock(&m_decoderMutex);
    m_readBytes = readBytes;
    m_ansiDataProcessor.processData(data);
    m_readBytes = 0;
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
        processData(QByteArrayView(data).sliced(offset, length), length);
        // Outside the decoder's lock: the main thread may need it to catch up.
        waitForMainThread();
    }
}

void MUDSessionReceiver::MUDSocketHasDisconnected(MUDSocket* socket)
{
    if (m_document)
        m_document->MUDSocketHasDisconnected(socket);
}

void MUDSessionReceiver::ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results)
{
    const qsizetype readBytes = std::exchange(m_readBytes, 0);
    {
        QMutexLocker lock(&m_pendingMutex);
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
    const QDeadlineTimer deadline(MaxCatchUpWaitMs);
    QMutexLocker lock(&m_pendingMutex);
    while (m_pendingBytes > MaxPendingBytes && !deadline.hasExpired())
        m_mainThreadCaughtUp.wait(&m_pendingMutex, deadline);
}

void MUDSessionReceiver::batchHandled(qsizetype readBytes)
{
    if (readBytes == 0)
        return;
    QMutexLocker lock(&m_pendingMutex);
    m_pendingBytes -= readBytes;
    if (m_pendingBytes <= MaxPendingBytes)
        m_mainThreadCaughtUp.wakeAll();
}
