#include "ZlibStreams.h"

#include <zlib.h>

#include <memory>

namespace {
constexpr qsizetype kMebibyte = 1024 * 1024;

struct Deflater {
    z_stream stream{};
    explicit Deflater(int level) { deflateInit(&stream, level); }
    ~Deflater() { deflateEnd(&stream); }

    QByteArray feed(QByteArrayView data, int flush)
    {
        QByteArray out;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = uInt(data.size());
        do {
            char chunk[64 * 1024];
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
        return out;
    }
};
}

namespace ZlibStreams {

QByteArray finished(QByteArrayView data, int level)
{
    return Deflater(level).feed(data, Z_FINISH);
}

QByteArray unfinished(QByteArrayView data, int level)
{
    return Deflater(level).feed(data, Z_SYNC_FLUSH);
}

QByteArray bomb(quint64 zeroBytes, bool ends)
{
    // After a full flush a block depends on nothing before it, so one
    // compressed mebibyte of zeros can be repeated; only the trailer's
    // checksum has to cover the whole.
    const QByteArray zeros(kMebibyte, '\0');
    Deflater deflater(9);
    QByteArray out = deflater.feed(zeros, Z_FULL_FLUSH);
    const QByteArray repeated = deflater.feed(zeros, Z_FULL_FLUSH);
    const quint64 mebibytes = zeroBytes / kMebibyte;
    uLong checksum = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(zeros.constData()), kMebibyte);
    const uLong blockChecksum = checksum;
    out.reserve(out.size() + qsizetype(mebibytes) * repeated.size() + 16);
    for (quint64 i = 1; i < mebibytes; ++i) {
        out.append(repeated);
        checksum = adler32_combine(checksum, blockChecksum, kMebibyte);
    }
    if (!ends)
        return out;
    QByteArray trailer = deflater.feed({}, Z_FINISH);
    // The deflater saw two mebibytes; the stream holds `mebibytes` of them.
    trailer.chop(4);
    for (int shift = 24; shift >= 0; shift -= 8)
        trailer.append(char((checksum >> shift) & 0xff));
    return out + trailer;
}
}
