// Feeds arbitrary bytes to the proxy frame decoder: it must never crash,
// must decode the same documents whatever the chunking of the reads, and
// every document must survive an encode/decode round trip.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyFrameDecoder.h"

namespace {
constexpr quint32 kMaxPayload = 1024 * 1024;

struct Decoded {
    QStringList documents;
    bool failed = false;
    qsizetype pending = 0;
};

Decoded decodeInChunks(const QByteArray& stream, qsizetype chunk)
{
    MUDProxyFrameDecoder decoder(kMaxPayload);
    Decoded decoded;
    for (qsizetype offset = 0; offset < stream.size(); offset += chunk) {
        decoder.append(stream.mid(offset, chunk));
        decoded.documents += decoder.takeDocuments();
    }
    decoder.takeErrors();
    decoded.failed = decoder.hasFailed();
    decoded.pending = decoder.pendingByteCount();
    return decoded;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 17;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));

    const Decoded whole = decodeInChunks(stream, qMax<qsizetype>(1, stream.size()));
    const Decoded pieces = decodeInChunks(stream, chunk);
    if (whole.documents != pieces.documents || whole.failed != pieces.failed || whole.pending != pieces.pending)
        abort();

    const QString document = QString::fromUtf8(stream);
    MUDProxyFrameDecoder roundTrip(kMaxPayload);
    roundTrip.append(MUDProxyFrame::encode(document));
    if (roundTrip.takeDocuments() != QStringList{document} || roundTrip.hasFailed())
        abort();
    return 0;
}
