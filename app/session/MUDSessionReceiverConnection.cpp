#include "app/session/MUDSessionReceiverConnection.h"

#include <chrono>

#include "app/session/MUDSessionReceiver.h"
#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetCharset.h"
#include "engine/connection/MUDTelnetCompress2Handler.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/decoding/MUDTextBatchDecoder.h"

MUDSessionReceiverConnection::MUDSessionReceiverConnection(const MUDSocket* socket,
                                                           std::weak_ptr<MUDSessionReceiver> receiver,
                                                           std::shared_ptr<MUDTriggerBacklog> triggerBacklog)
    : m_socket(socket)
    , m_receiver(std::move(receiver))
    , m_triggerBacklog(std::move(triggerBacklog))
    , m_ansiDataProcessor(this)
    , m_stream(std::make_shared<MUDReceiveStream>(*this))
{
}

void MUDSessionReceiverConnection::setNegotiator(std::shared_ptr<MUDTelnetNegotiator> negotiator)
{
    m_negotiator = std::move(negotiator);
    if (!m_negotiator)
        return;
    m_negotiator->addHandler(std::make_unique<MUDTelnetCompress2Handler>(m_stream));
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

MUDSessionReceiverConnection::~MUDSessionReceiverConnection() = default;

void MUDSessionReceiverConnection::setTextEncoding(const QString& encoding)
{
    m_textDecoder.reset();
    m_ansiDataProcessor.setTextBytes(ANSIDataProcessor::TextBytes::Utf8);
    if (encoding.compare(MUDTextEncoding::UTF8, Qt::CaseInsensitive) == 0)
        return;
    auto decoder = std::make_unique<MUDTextBatchDecoder>(encoding);
    if (!decoder->isValid()) {
        CVLog(QStringLiteral("MUDSessionReceiverConnection - reading \"%1\" text as UTF-8").arg(encoding));
        return;
    }
    m_textDecoder = std::move(decoder);
    m_ansiDataProcessor.setTextBytes(ANSIDataProcessor::TextBytes::Encoded);
}

void MUDSessionReceiverConnection::receive(const QByteArray& data)
{
    m_stream->receive(data);
}

qsizetype MUDSessionReceiverConnection::decodeSlice(QByteArrayView slice)
{
    // In slices, so the main thread handles a long read in several short
    // steps and other work (input, painting) gets a turn between them.
    m_readBytes = slice.size();
    m_ansiDataProcessor.processData(slice);
    m_readBytes = 0;
    if (std::exchange(m_utf8Pending, false)) {
        setTextEncoding(MUDTextEncoding::UTF8);
        m_agreedToUtf8 = true;
    }
    waitForMainThread();
    return m_ansiDataProcessor.consumedBytes();
}

void MUDSessionReceiverConnection::receiveStreamEvent(MUDReceiveStream::Event event)
{
    if (event == MUDReceiveStream::Event::CompressionCorrupt || event == MUDReceiveStream::Event::CompressionDidNotEnd)
        m_unreadable = true;
    // The rest of a bomb is dropped: a server that hears the client refuse
    // compression ends its stream, and plain text goes on after it.
    if (event == MUDReceiveStream::Event::CompressionTooLarge && m_negotiator)
        m_negotiator->request(MUDTelnet::Option::Compress2, MUDTelnetSide::Server, false);
    // Posted like a batch, so it keeps its place among them.
    fc_executeOnMainThread([self = shared_from_this(), event, figures = m_stream->figures()] {
        if (std::shared_ptr<MUDSessionReceiver> receiver = self->m_receiver.lock())
            receiver->deliverStreamEvent(self.get(), event, figures);
    });
}

void MUDSessionReceiverConnection::ANSIDataProcessorReceived(ANSIDataProcessor*,
                                                             const ANSIDataProcessorResults& decoded)
{
    const ANSIDataProcessorResults results = m_textDecoder ? m_textDecoder->toUtf8(decoded) : decoded;
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
    if (m_negotiator) {
        m_negotiator->receivedCommand(command);
        // The server's text is UTF-8 from the agreement on: the read stops
        // here, so the text before it is converted as it was sent.
        if (m_textDecoder && !m_utf8Pending && charsetAgreed()) {
            m_utf8Pending = true;
            return false;
        }
    }
    // The bytes after a compression start are the compressed stream's.
    return !m_stream->stopsAfter(command);
}

bool MUDSessionReceiverConnection::charsetAgreed() const
{
    bool agreed = false;
    m_negotiator->withLock([&] {
        const auto* charset = dynamic_cast<const MUDTelnetCharset*>(m_negotiator->handler(MUDTelnet::Option::Charset));
        agreed = charset && charset->hasAgreed();
    });
    return agreed;
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
