#include "core/CVCkoGzip.h"

#include <zlib.h>

#include <memory>

namespace {

// deflateInit2/inflateInit2 window bits 15 plus 16 select the gzip wrapper.
constexpr int kGzipWindowBits = 31;
constexpr int kChunk = 64 * 1024;

QString zlibMessage(const char* what, int code, const z_stream& stream)
{
    return QStringLiteral("%1 failed (%2): %3")
        .arg(QLatin1String(what))
        .arg(code)
        .arg(stream.msg ? QString::fromLatin1(stream.msg) : QStringLiteral("no details"));
}

}

QByteArray CVCkoGzip::gzip(const QByteArray& data, CVError* error)
{
    z_stream stream{};
    int status = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) {
        CVSetError(error, zlibMessage("deflateInit2", status, stream));
        return {};
    }
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, deflateEnd);

    QByteArray out;
    out.resize(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    status = deflate(&stream, Z_FINISH);
    if (status != Z_STREAM_END) {
        CVSetError(error, zlibMessage("deflate", status, stream));
        return {};
    }
    out.resize(static_cast<qsizetype>(stream.total_out));
    return out;
}

QByteArray CVCkoGzip::gunzip(const QByteArray& data, CVError* error, qsizetype maxSize)
{
    z_stream stream{};
    int status = inflateInit2(&stream, kGzipWindowBits);
    if (status != Z_OK) {
        CVSetError(error, zlibMessage("inflateInit2", status, stream));
        return {};
    }
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);

    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    QByteArray out;
    do {
        const qsizetype used = out.size();
        if (used >= maxSize) {
            CVSetError(error, QStringLiteral("gunzip output exceeds %1 bytes").arg(maxSize));
            return {};
        }
        out.resize(used + kChunk);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream.avail_out = kChunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(used + kChunk - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    } while (status == Z_OK);
    if (status != Z_STREAM_END) {
        CVSetError(error, status == Z_OK || status == Z_BUF_ERROR ? QStringLiteral("gunzip: truncated gzip stream")
                                                                  : zlibMessage("inflate", status, stream));
        return {};
    }
    return out;
}
