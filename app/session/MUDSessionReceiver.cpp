#include "app/session/MUDSessionReceiver.h"

#include "app/session/MUDDocument.h"
#include "core/CVMainThread.h"

MUDSessionReceiver::MUDSessionReceiver(MUDDocument* document)
    : m_document(document)
    , m_ansiDataProcessor(this)
{
}

void MUDSessionReceiver::processData(QByteArrayView data)
{
    m_ansiDataProcessor.processData(data);
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
    if (data.isEmpty())
        return;
    m_ansiDataProcessor.processData(data);
}

void MUDSessionReceiver::MUDSocketHasDisconnected(MUDSocket* socket)
{
    if (m_document)
        m_document->MUDSocketHasDisconnected(socket);
}

void MUDSessionReceiver::ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results)
{
    // The QPointer is copied here but read only on the main thread, where
    // the session lives and dies.
    fc_executeOnMainThread([document = m_document, results] {
        if (document)
            document->ANSIDataProcessorReceived(results);
    });
}
