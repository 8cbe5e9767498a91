#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Collects the bytes a proxy viewer sends and cuts them into command lines at
// "\n". A line longer than the limit is dropped whole, up to and including
// its "\n", with one log line, so no part of it is ever run as a command.
//
// Threads: the viewer's loop thread.
class MUDProxyCommandBuffer {
public:
    explicit MUDProxyCommandBuffer(qsizetype maxLineBytes);

    void append(const QByteArray& bytes);
    // True when a complete line is waiting.
    bool hasLine() const { return m_buffer.contains('\n'); }
    // The oldest complete line, without its "\n", decoded as UTF-8.
    std::optional<QString> takeLine();

private:
    const qsizetype m_maxLineBytes;
    QByteArray m_buffer;
    // Bytes of an overlong line dropped so far; its rest is dropped too.
    qsizetype m_discarding = 0;
};
