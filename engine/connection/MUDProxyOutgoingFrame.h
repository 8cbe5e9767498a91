#pragma once

#include <QByteArray>
#include <QString>
#include <mutex>

// One document on its way to every viewer of a proxy server: it is encoded
// into its frame (MUDProxyFrame) once, by whichever viewer thread sends it
// first, and every viewer sends those same bytes. Compressing a flood's
// documents once per viewer cost each viewer a core's worth of gzip and
// starved the session's main thread. Any thread.
class MUDProxyOutgoingFrame {
public:
    explicit MUDProxyOutgoingFrame(QString document);

    const QString& document() const { return m_document; }
    // The encoded frame; the first caller encodes it, callers at the same
    // moment wait for that.
    const QByteArray& bytes() const;

private:
    const QString m_document;
    mutable std::once_flag m_encoded;
    mutable QByteArray m_bytes;
};
