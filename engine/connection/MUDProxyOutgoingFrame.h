#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <mutex>

// One document on its way to every viewer of a proxy server: it is encoded
// into its frame (MUDProxyFrame) once, by whichever viewer thread sends it
// first, and every viewer sends those same bytes. Compressing a flood's
// documents once per viewer cost each viewer a core's worth of gzip and
// starved the session's main thread. A document may also be given as the
// function that makes it: a session's whole output for joining viewers is
// then turned into JSON on a viewer thread, not on the main thread. Any
// thread.
class MUDProxyOutgoingFrame {
public:
    explicit MUDProxyOutgoingFrame(QString document);
    explicit MUDProxyOutgoingFrame(std::function<QString()> makeDocument);

    // The encoded frame, empty for an empty document (which is not sent).
    // The first caller makes and encodes the document, callers at the same
    // moment wait for that; the document itself is not kept.
    const QByteArray& bytes() const;

private:
    mutable QString m_document;
    mutable std::function<QString()> m_makeDocument;
    mutable std::once_flag m_encoded;
    mutable QByteArray m_bytes;
};
