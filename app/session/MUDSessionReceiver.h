#pragma once

#include <QByteArrayView>
#include <QPointer>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "engine/connection/MUDSocketDelegate.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

class MUDDocument;

// The session's end of its socket: decodes what the socket reads on the
// socket's loop thread and hands each batch to the session on the main
// thread, and passes the socket's status reports on. Held by a shared
// pointer so a loop thread still reading after the session is gone finds a
// live receiver; the session itself is reached only on the main thread and
// only while it exists.
//
// A flood must not bury the main thread: once more than MaxPendingBytes of
// read bytes wait for it, the loop thread stops reading until the main
// thread catches up (for at most MaxCatchUpWaitMs per slice, so a busy main
// thread never stalls the connection for long), and the server is slowed
// down by TCP itself.
//
// Threads: the server's bytes are decoded on the socket's loop thread;
// bytes fed locally (the client's test commands) have a decoder of their
// own on the main thread, so they never land inside a sequence the server
// left half-sent. m_pendingMutex guards the pending byte count. The rest:
// main thread.
class MUDSessionReceiver : public MUDSocketDelegate,
                           public ANSIDataProcessorDelegate,
                           public std::enable_shared_from_this<MUDSessionReceiver> {
public:
    static constexpr qsizetype MaxPendingBytes = 64 * 1024;
    // Reads are decoded, and handed to the main thread, in slices of this size.
    static constexpr qsizetype SliceBytes = 32 * 1024;
    static constexpr int MaxCatchUpWaitMs = 250;

    explicit MUDSessionReceiver(MUDDocument* document);

    // Feeds bytes through the decoder as if the server had sent them.
    void processData(QByteArrayView data);

    void MUDSocketHasConnected(MUDSocket* socket) override;
    void MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage) override;
    void MUDSocketReceivedData(MUDSocket* socket, QByteArray& data) override;
    void MUDSocketHasDisconnected(MUDSocket* socket) override;

    void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) override;

private:
    void waitForMainThread();
    void batchHandled(qsizetype readBytes);

    QPointer<MUDDocument> m_document;
    ANSIDataProcessor m_ansiDataProcessor;
    ANSIDataProcessor m_localDataProcessor;
    // The size of the slice being decoded, counted against the pending
    // bytes once its batch is posted (socket loop thread only).
    qsizetype m_readBytes = 0;

    std::mutex m_pendingMutex;
    std::condition_variable m_mainThreadCaughtUp;
    qsizetype m_pendingBytes = 0;
};
