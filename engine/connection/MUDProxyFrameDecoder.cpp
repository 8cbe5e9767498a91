#include "engine/connection/MUDProxyFrameDecoder.h"

#include <QtEndian>

#include "core/CVCkoGzip.h"
#include "engine/connection/MUDProxyFrame.h"

MUDProxyFrameDecoder::MUDProxyFrameDecoder(quint32 maxPayloadBytes)
    : m_maxPayloadBytes(maxPayloadBytes)
{
}

void MUDProxyFrameDecoder::append(const QByteArray& bytes)
{
    if (m_failed)
        return;
    m_buffer.append(bytes);
    while (decodeOne()) { }
}

bool MUDProxyFrameDecoder::decodeOne()
{
    if (m_failed || m_buffer.size() < MUDProxyFrame::HeaderSize)
        return false;
    const quint16 flag = qFromLittleEndian<quint16>(m_buffer.constData());
    const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + 2);
    if (flag != MUDProxyFrame::PlainFlag && flag != MUDProxyFrame::GzipFlag) {
        fail(QStringLiteral("Unknown proxy frame flag %1").arg(flag));
        return false;
    }
    if (length > m_maxPayloadBytes) {
        fail(QStringLiteral("Proxy frame of %1 bytes exceeds the limit of %2").arg(length).arg(m_maxPayloadBytes));
        return false;
    }
    if (m_buffer.size() - MUDProxyFrame::HeaderSize < static_cast<qsizetype>(length))
        return false;

    const QByteArray payload = m_buffer.mid(MUDProxyFrame::HeaderSize, length);
    m_buffer.remove(0, MUDProxyFrame::HeaderSize + length);
    if (flag == MUDProxyFrame::PlainFlag) {
        m_documents.append(QString::fromUtf8(payload));
        return true;
    }
    CVError error;
    const QByteArray inflated = CVCkoGzip::gunzip(payload, &error, m_maxPayloadBytes);
    if (inflated.isEmpty() && !error.description.isEmpty())
        m_errors.append(QStringLiteral("Skipped a proxy frame that does not inflate: %1").arg(error.description));
    else
        m_documents.append(QString::fromUtf8(inflated));
    return true;
}

void MUDProxyFrameDecoder::fail(const QString& reason)
{
    m_failed = true;
    m_errors.append(reason);
    m_buffer.clear();
}

QStringList MUDProxyFrameDecoder::takeDocuments()
{
    QStringList documents;
    documents.swap(m_documents);
    return documents;
}

QStringList MUDProxyFrameDecoder::takeErrors()
{
    QStringList errors;
    errors.swap(m_errors);
    return errors;
}
