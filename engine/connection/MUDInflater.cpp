#include "engine/connection/MUDInflater.h"

#include <zlib.h>

#include <array>

struct MUDInflater::Stream {
    z_stream zlib{};
    bool open = false;
    std::array<Bytef, PieceBytes> piece{};
};

MUDInflater::MUDInflater()
    : m_stream(std::make_unique<Stream>())
{
    // Window bits 15 take any window a server chose; the zlib header is required.
    m_stream->open = inflateInit(&m_stream->zlib) == Z_OK;
    if (!m_stream->open) {
        m_finished = Status::Corrupt;
        m_errorText = "inflateInit failed";
    }
}

MUDInflater::~MUDInflater()
{
    if (m_stream->open)
        inflateEnd(&m_stream->zlib);
}

MUDInflater::Result MUDInflater::inflate(QByteArrayView input, const std::function<void(QByteArrayView)>& sink)
{
    if (m_finished != Status::NeedsInput)
        return {m_finished, 0};
    z_stream& zlib = m_stream->zlib;
    zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    zlib.avail_in = uInt(input.size());
    // Each round fills at most one piece, so the loop ends: either input
    // runs out, the stream ends, or it fails.
    for (;;) {
        zlib.next_out = m_stream->piece.data();
        zlib.avail_out = uInt(m_stream->piece.size());
        const uInt availableBefore = zlib.avail_in;
        const int status = ::inflate(&zlib, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(m_stream->piece.size() - zlib.avail_out);
        m_wireBytes += availableBefore - zlib.avail_in;
        m_inflatedBytes += quint64(produced);
        const qsizetype consumed = input.size() - qsizetype(zlib.avail_in);

        if (m_capped && expandsTooFar()) {
            m_finished = Status::TooLarge;
            return {m_finished, consumed};
        }
        // What came before a corruption is still the server's text.
        if (produced > 0)
            sink(QByteArrayView(reinterpret_cast<const char*>(m_stream->piece.data()), produced));
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT || status == Z_MEM_ERROR || status == Z_STREAM_ERROR) {
            m_finished = Status::Corrupt;
            m_errorText = zlib.msg ? QByteArray(zlib.msg) : QByteArray("error ") + QByteArray::number(status);
            return {m_finished, consumed};
        }
        if (status == Z_STREAM_END) {
            m_finished = Status::StreamEnd;
            return {Status::StreamEnd, consumed};
        }
        // A piece left room: zlib holds nothing more for this input.
        if (status == Z_BUF_ERROR || (zlib.avail_in == 0 && zlib.avail_out != 0))
            return {Status::NeedsInput, consumed};
    }
}

void MUDInflater::liftExpansionCap()
{
    m_capped = false;
    if (m_finished == Status::TooLarge)
        m_finished = Status::NeedsInput;
}

bool MUDInflater::expandsTooFar() const
{
    return m_inflatedBytes > m_wireBytes * MaxExpansionRatio + ExpansionAllowance;
}
