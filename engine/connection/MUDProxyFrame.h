#pragma once

#include <QByteArray>
#include <QString>

// The frame that carries one JSON document from the proxy server to a viewer:
// a 2-byte little-endian compression flag (1 gzip, 0 plain), a 4-byte
// little-endian payload length, then the payload (the document in UTF-8,
// gzip-compressed when the flag is 1). Pure functions; any thread.
class MUDProxyFrame {
public:
    static constexpr int HeaderSize = 6;
    // Documents longer than this many UTF-16 code units are compressed.
    static constexpr qsizetype PlainLimit = 100;
    static constexpr quint16 PlainFlag = 0;
    static constexpr quint16 GzipFlag = 1;

    // The frame for `document`; falls back to a plain frame when compression
    // yields nothing.
    static QByteArray encode(const QString& document);
    static QByteArray header(quint16 flag, quint32 length);
};
