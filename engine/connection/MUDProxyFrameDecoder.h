#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns the byte stream a viewer receives from the proxy server back into
// documents, whatever the chunking of the reads. A header with an unknown
// flag or an oversized length loses the framing for good: the decoder then
// fails and takes nothing more. A compressed payload that does not inflate
// is skipped with an error; the frames after it still decode.
//
// Threads: the one thread that reads the stream.
class MUDProxyFrameDecoder {
public:
    // Payloads larger than this (before or after inflating) are refused.
    static constexpr quint32 DefaultMaxPayloadBytes = 64 * 1024 * 1024;

    explicit MUDProxyFrameDecoder(quint32 maxPayloadBytes = DefaultMaxPayloadBytes);

    // Adds received bytes; complete frames become documents.
    void append(const QByteArray& bytes);
    // Takes the documents decoded so far, in order.
    QStringList takeDocuments();

    bool hasFailed() const { return m_failed; }
    // Every problem met so far, one line each (framing loss and skipped frames).
    QStringList takeErrors();
    // Bytes held for a frame not yet complete.
    qsizetype pendingByteCount() const { return m_buffer.size(); }

private:
    bool decodeOne();
    void fail(const QString& reason);

    const quint32 m_maxPayloadBytes;
    QByteArray m_buffer;
    QStringList m_documents;
    QStringList m_errors;
    bool m_failed = false;
};
