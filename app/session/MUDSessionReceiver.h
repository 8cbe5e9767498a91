#pragma once

#include <QByteArrayView>
#include <QPointer>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/connection/MUDReceiveStream.h"
#include "engine/connection/MUDSocketDelegate.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

class MUDDocument;
class MUDSessionReceiverConnection;
class MUDTelnetNegotiator;
class MUDTriggerBacklog;

// The session's end of its socket: decodes what the socket reads on the
// socket's loop thread and hands each batch to the session on the main
// thread, and passes the socket's status reports on. Held by a shared
// pointer so a loop thread still reading after the session is gone finds a
// live receiver; the session itself is reached only on the main thread and
// only while it exists.
//
// Every connection gets a decoder of its own (attach()): whatever a dropped
// connection left open (an escape or control string, a telnet
// subnegotiation, half a UTF-8 character) dies with it, and a replaced
// socket's loop thread still delivering a burst never shares a decoder with
// the new one. Its bytes, and its batches still on their way to the main
// thread, are dropped.
//
// Threads: the server's bytes are decoded on the socket's loop thread;
// bytes fed locally (the client's test commands) have a decoder of their
// own on the main thread, so they never land inside a sequence the server
// left half-sent. m_currentMutex guards the current connection's decoder.
// The rest: main thread.
class MUDSessionReceiver : public MUDSocketDelegate,
                           public ANSIDataProcessorDelegate,
                           public std::enable_shared_from_this<MUDSessionReceiver> {
public:
    explicit MUDSessionReceiver(MUDDocument* document);
    ~MUDSessionReceiver() override;

    // Makes `socket` the session's connection: it reports here from now on,
    // through a fresh decoder (and the connection's telnet negotiator, when
    // it has one), and every earlier socket's data is dropped. Main thread.
    void attach(const std::shared_ptr<MUDSocket>& socket, std::shared_ptr<MUDTelnetNegotiator> negotiator = nullptr);
    // Connections attached from now on also wait while the session's
    // triggers have too much waiting. Main thread.
    void setTriggerBacklog(std::shared_ptr<MUDTriggerBacklog> backlog) { m_triggerBacklog = std::move(backlog); }

    // Feeds bytes through the decoder as if the server had sent them.
    void processData(QByteArrayView data);

    void MUDSocketHasConnected(MUDSocket* socket) override;
    void MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage) override;
    void MUDSocketReceivedData(MUDSocket* socket, QByteArray& data) override;
    void MUDSocketHasDisconnected(MUDSocket* socket) override;

    void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) override;

    // A connection decoder's batch, on the main thread: shown only while
    // that decoder still serves the session's current socket.
    void deliverBatch(const MUDSessionReceiverConnection* decoder, const ANSIDataProcessorResults& results);
    // A connection decoder's echo report, on the main thread, under the same
    // condition. Bytes fed locally never report one: only the server
    // decides what it echoes.
    void deliverServerEchoes(const MUDSessionReceiverConnection* decoder, bool serverEchoes);
    // An event a connection's telnet options posted for the session, on the
    // main thread, run under the same condition.
    void deliverEvent(const MUDSessionReceiverConnection* decoder, const std::function<void()>& event);
    // A change in the server's compression, on the main thread, under the
    // same condition.
    void deliverStreamEvent(const MUDSessionReceiverConnection* decoder, MUDReceiveStream::Event event,
                            const MUDCompressionFigures& figures);

private:
    std::shared_ptr<MUDSessionReceiverConnection> currentDecoderFor(const MUDSocket* socket);
    bool isCurrent(const MUDSessionReceiverConnection* decoder);

    QPointer<MUDDocument> m_document;
    ANSIDataProcessor m_localDataProcessor;

    std::mutex m_currentMutex;
    std::shared_ptr<MUDSessionReceiverConnection> m_current;
    std::shared_ptr<MUDTriggerBacklog> m_triggerBacklog;
};
