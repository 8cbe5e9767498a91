#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// zlib streams (RFC 1950) as a compressing game server sends them, for the
// tests and benches of inflating.
namespace ZlibStreams {
// `data` as one whole stream, ending with its trailer.
QByteArray finished(QByteArrayView data, int level = 6);
// `data` flushed to a byte boundary but not ended, as a server sends while
// compression stays on.
QByteArray unfinished(QByteArrayView data, int level = 6);
// A decompression bomb: a stream of `zeroBytes` zero bytes (a multiple of
// one mebibyte), about a thousand times smaller, built without compressing
// them all; ended with its trailer when `ends`.
QByteArray bomb(quint64 zeroBytes, bool ends);
}
