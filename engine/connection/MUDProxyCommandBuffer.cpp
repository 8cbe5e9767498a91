#include "engine/connection/MUDProxyCommandBuffer.h"

#include "core/CVLogHelper.h"

MUDProxyCommandBuffer::MUDProxyCommandBuffer(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes)
{
}

void MUDProxyCommandBuffer::append(const QByteArray& bytes)
{
    m_buffer.append(bytes);
    for (;;) {
        const qsizetype newline = m_buffer.indexOf('\n');
        const qsizetype lineLength = newline < 0 ? m_buffer.size() : newline;
        if (m_discarding == 0 && lineLength <= m_maxLineBytes)
            return;
        // The overlong line (or its rest) goes, with the "\n" that ends it.
        m_discarding += lineLength;
        m_buffer.remove(0, newline < 0 ? lineLength : newline + 1);
        if (newline < 0)
            return;
        CVLog(QStringLiteral("MUDProxyServer - dropped a viewer line of %1 bytes: longer than %2 bytes")
                  .arg(m_discarding)
                  .arg(m_maxLineBytes));
        m_discarding = 0;
    }
}

std::optional<QString> MUDProxyCommandBuffer::takeLine()
{
    const qsizetype newline = m_buffer.indexOf('\n');
    if (newline < 0)
        return std::nullopt;
    const QString line = QString::fromUtf8(m_buffer.constData(), newline);
    m_buffer.remove(0, newline + 1);
    return line;
}
