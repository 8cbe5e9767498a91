#include "app/session/MUDSessionReceiver.h"

#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionCompressionLines.h"
#include "app/session/MUDSessionReceiverConnection.h"
#include "core/CVMainThread.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDTextEncoding.h"

MUDSessionReceiver::MUDSessionReceiver(MUDDocument* document)
    : m_document(document)
    , m_localDataProcessor(this)
{
}

MUDSessionReceiver::~MUDSessionReceiver() = default;

void MUDSessionReceiver::attach(const std::shared_ptr<MUDSocket>& socket,
                                std::shared_ptr<MUDTelnetNegotiator> negotiator)
{
    auto decoder = std::make_shared<MUDSessionReceiverConnection>(socket.get(), weak_from_this(), m_triggerBacklog);
    decoder->setNegotiator(std::move(negotiator));
    if (socket->connection())
        decoder->setTextEncoding(socket->connection()->textEncoding());
    {
        std::lock_guard lock(m_currentMutex);
        m_current = std::move(decoder);
    }
    socket->setDelegate(weak_from_this());
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

void MUDSessionReceiver::MUDSocketReceivedData(MUDSocket* socket, QByteArray& data)
{
    // A replaced socket's loop may still be inside a read: its bytes belong
    // to a connection the session has left.
    std::shared_ptr<MUDSessionReceiverConnection> decoder = currentDecoderFor(socket);
    if (!decoder)
        return;
    decoder->receive(data);
    if (decoder->isUnreadable())
        socket->disconnect();
    if (decoder->takeUtf8Agreement())
        socket->setTextEncoding(MUDTextEncoding::UTF8);
}

void MUDSessionReceiver::MUDSocketHasDisconnected(MUDSocket* socket)
{
    if (!m_document)
        return;
    if (std::shared_ptr<MUDSessionReceiverConnection> decoder = currentDecoderFor(socket))
        MUDSessionCompressionLines::showDisconnected(*m_document, decoder->stream().figures());
    m_document->MUDSocketHasDisconnected(socket);
}

void MUDSessionReceiver::ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results)
{
    // Locally fed bytes: posted like the server's, so they keep their place
    // among batches already on their way.
    fc_executeOnMainThread([document = m_document, results] {
        if (document)
            document->ANSIDataProcessorReceived(results);
    });
}

void MUDSessionReceiver::deliverBatch(const MUDSessionReceiverConnection* decoder,
                                      const ANSIDataProcessorResults& results)
{
    if (m_document && isCurrent(decoder))
        m_document->ANSIDataProcessorReceived(results);
}

void MUDSessionReceiver::deliverServerEchoes(const MUDSessionReceiverConnection* decoder, bool serverEchoes)
{
    if (m_document && isCurrent(decoder))
        m_document->setPasswordMode(serverEchoes);
}

void MUDSessionReceiver::deliverEvent(const MUDSessionReceiverConnection* decoder, const std::function<void()>& event)
{
    if (m_document && isCurrent(decoder))
        event();
}

void MUDSessionReceiver::deliverStreamEvent(const MUDSessionReceiverConnection* decoder, MUDReceiveStream::Event event,
                                            const MUDCompressionFigures& figures)
{
    if (m_document && isCurrent(decoder))
        MUDSessionCompressionLines::show(*m_document, event, figures);
}

bool MUDSessionReceiver::isCurrent(const MUDSessionReceiverConnection* decoder)
{
    std::lock_guard lock(m_currentMutex);
    return m_current.get() == decoder;
}

std::shared_ptr<MUDSessionReceiverConnection> MUDSessionReceiver::currentDecoderFor(const MUDSocket* socket)
{
    std::lock_guard lock(m_currentMutex);
    return m_current && m_current->socket() == socket ? m_current : nullptr;
}
