#include "engine/connection/MUDProxyFrame.h"

#include <QtEndian>

#include "core/CVCkoGzip.h"

QByteArray MUDProxyFrame::encode(const QString& document)
{
    const QByteArray plain = document.toUtf8();
    QByteArray payload;
    if (document.size() > PlainLimit)
        payload = CVCkoGzip::gzip(plain);
    const quint16 flag = payload.isEmpty() ? PlainFlag : GzipFlag;
    if (flag == PlainFlag)
        payload = plain;
    return header(flag, static_cast<quint32>(payload.size())) + payload;
}

QByteArray MUDProxyFrame::header(quint16 flag, quint32 length)
{
    QByteArray bytes(HeaderSize, Qt::Uninitialized);
    qToLittleEndian(flag, bytes.data());
    qToLittleEndian(length, bytes.data() + 2);
    return bytes;
}
