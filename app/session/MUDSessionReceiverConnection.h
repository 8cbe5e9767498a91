#pragma once

#include <QByteArray>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "engine/connection/MUDReceiveStream.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

class MUDSessionReceiver;
class MUDTextBatchDecoder;
class MUDSocket;
class MUDTelnetNegotiator;
class MUDTriggerBacklog;

// What one connection of a session needs to receive: its own decoder (so
// nothing a connection leaves half-sent reaches the next one), its own
// stream state (plain or compressed, MUDReceiveStream) and its own count of
// bytes waiting for the main thread.
//
// A flood must not bury the main thread: once more than MaxPendingBytes of
// read bytes wait for it, the loop thread stops reading until the main
// thread catches up (for at most MaxCatchUpWaitMs per slice, so a busy main
// thread never stalls the connection for long), and the server is slowed
// down by TCP itself. The same holds while the session's triggers have too
// much text or too many scripts waiting (MUDTriggerBacklog). Inflated
// bytes count like read ones.
//
// A connection that negotiates telnet options has a MUDTelnetNegotiator:
// it hears every telnet command as the decoder completes it, and the events
// it posts for the session travel to the main thread like the batches.
//
// Threads: receive() runs on the socket's loop thread; batches are handed
// to the receiver on the main thread. m_pendingMutex guards the pending
// byte count.
class MUDSessionReceiverConnection : public ANSIDataProcessorDelegate,
                                     public MUDReceiveStream::Sink,
                                     public std::enable_shared_from_this<MUDSessionReceiverConnection> {
public:
    static constexpr qsizetype MaxPendingBytes = 64 * 1024;
    // Reads are decoded, and handed to the main thread, in slices of this size.
    static constexpr qsizetype SliceBytes = MUDReceiveStream::SliceBytes;
    static constexpr int MaxCatchUpWaitMs = 250;

    MUDSessionReceiverConnection(const MUDSocket* socket, std::weak_ptr<MUDSessionReceiver> receiver,
                                 std::shared_ptr<MUDTriggerBacklog> triggerBacklog);
    ~MUDSessionReceiverConnection() override;

    // The encoding of the server's text (an IANA name); UTF-8 until set, and
    // for a name ICU does not know. Before the first read or on the socket
    // loop thread.
    void setTextEncoding(const QString& encoding);

    // Identifies the socket this decoder serves; never dereferenced.
    const MUDSocket* socket() const { return m_socket; }

    // Answers telnet option requests from now on. Main thread, before the
    // socket connects.
    void setNegotiator(std::shared_ptr<MUDTelnetNegotiator> negotiator);

    // Decodes one read and posts its batches to the main thread.
    void receive(const QByteArray& data);
    // True once nothing more can be read from this connection (its
    // compressed stream broke): the socket should be closed.
    bool isUnreadable() const { return m_unreadable; }
    // True once, after the server agreed to UTF-8 (CHARSET): what is typed
    // goes out in UTF-8 from then on. Socket loop thread.
    bool takeUtf8Agreement() { return std::exchange(m_agreedToUtf8, false); }

    const MUDReceiveStream& stream() const { return *m_stream; }

    void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) override;
    void ANSIDataProcessorServerEchoes(ANSIDataProcessor* processor, bool serverEchoes) override;
    bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor* processor, QByteArrayView command) override;

    qsizetype decodeSlice(QByteArrayView slice) override;
    void receiveStreamEvent(MUDReceiveStream::Event event) override;

private:
    bool charsetAgreed() const;
    void waitForMainThread();
    void batchHandled(qsizetype readBytes);

    const MUDSocket* const m_socket;
    const std::weak_ptr<MUDSessionReceiver> m_receiver;
    const std::shared_ptr<MUDTriggerBacklog> m_triggerBacklog;
    ANSIDataProcessor m_ansiDataProcessor;
    std::shared_ptr<MUDTelnetNegotiator> m_negotiator;
    // Shared with the COMPRESS2 handler, which may outlive this object.
    const std::shared_ptr<MUDReceiveStream> m_stream;
    // Converts text to UTF-8 when the server writes another encoding.
    std::unique_ptr<MUDTextBatchDecoder> m_textDecoder;
    bool m_unreadable = false;
    // The server agreed to UTF-8 in the read being decoded; the text
    // encoding changes once the text before the agreement is handed on.
    bool m_utf8Pending = false;
    bool m_agreedToUtf8 = false;
    // The size of the slice being decoded, counted against the pending
    // bytes once its batch is posted (socket loop thread only).
    qsizetype m_readBytes = 0;

    std::mutex m_pendingMutex;
    std::condition_variable m_mainThreadCaughtUp;
    qsizetype m_pendingBytes = 0;
};
