#include "engine/connection/MUDReceiveStream.h"

#include "core/CVLogHelper.h"
#include "engine/connection/MUDInflater.h"
#include "engine/connection/MUDTelnet.h"

MUDReceiveStream::MUDReceiveStream(Sink& sink)
    : m_sink(sink)
{
}

MUDReceiveStream::~MUDReceiveStream() = default;

void MUDReceiveStream::receive(QByteArrayView data)
{
    // Every round takes at least one byte, or the stream is dead and the
    // rest is dropped.
    while (!data.isEmpty() && m_mode != Mode::Dead) {
        const qsizetype taken = m_mode == Mode::Plain ? receivePlain(data) : receiveCompressed(data);
        data = data.sliced(taken);
    }
}

MUDCompressionFigures MUDReceiveStream::figures() const
{
    return {m_wireBytes.load(), m_inflatedBytes.load()};
}

bool MUDReceiveStream::stopsAfter(QByteArrayView command)
{
    static constexpr char kCompressionStart[] = {char(MUDTelnet::Iac), char(MUDTelnet::Sb),
                                                 char(MUDTelnet::Option::Compress2), char(MUDTelnet::Iac),
                                                 char(MUDTelnet::Se)};
    if (m_decodingPlain && m_compressionAccepted &&
        command == QByteArrayView(kCompressionStart, sizeof kCompressionStart))
        m_compressionStartSeen = true;
    return m_compressionStartSeen;
}

qsizetype MUDReceiveStream::receivePlain(QByteArrayView data)
{
    const QByteArrayView slice = data.first(std::min(SliceBytes, data.size()));
    m_decodingPlain = true;
    m_compressionStartSeen = false;
    const qsizetype taken = decode(slice);
    m_decodingPlain = false;
    if (!m_compressionStartSeen)
        return taken;
    m_inflater = std::make_unique<MUDInflater>();
    m_countedWire = 0;
    m_countedInflated = 0;
    m_mode = Mode::Compressed;
    CVLog(QStringLiteral("MCCP2 - compression started"));
    m_sink.receiveStreamEvent(Event::CompressionStarted);
    return taken;
}

qsizetype MUDReceiveStream::receiveCompressed(QByteArrayView data)
{
    const bool discarding = m_mode == Mode::Discarding;
    if (discarding)
        data = data.first(std::min(DiscardStepBytes, data.size()));
    // Inflated pieces are no longer than a slice.
    static_assert(MUDInflater::PieceBytes <= SliceBytes);
    const MUDInflater::Result result = m_inflater->inflate(data, [this, discarding](QByteArrayView piece) {
        // Whatever stops the decoder inside a piece, the piece's rest still follows.
        while (!discarding && !piece.isEmpty())
            piece = piece.sliced(decode(piece));
    });
    countInflater();

    switch (result.status) {
    case MUDInflater::Status::NeedsInput:
        if (discarding && m_countedInflated - m_discardedAtCap > DiscardLimit) {
            CVLog(QStringLiteral("MCCP2 - the dropped stream did not end within %1 inflated bytes; nothing more "
                                 "can be read")
                      .arg(DiscardLimit));
            endStream(Event::CompressionDidNotEnd, Mode::Dead);
        }
        return result.consumed;
    case MUDInflater::Status::StreamEnd:
        CVLog(QStringLiteral("MCCP2 - compression ended: %1").arg(figures().text()));
        endStream(Event::CompressionEnded, Mode::Plain);
        return result.consumed;
    case MUDInflater::Status::TooLarge:
        CVLog(QStringLiteral("MCCP2 - stream expands more than %1 times (%2 bytes from %3); dropping its rest")
                  .arg(MUDInflater::MaxExpansionRatio)
                  .arg(m_countedInflated)
                  .arg(m_countedWire));
        m_inflater->liftExpansionCap();
        m_mode = Mode::Discarding;
        m_discardedAtCap = m_countedInflated;
        m_sink.receiveStreamEvent(Event::CompressionTooLarge);
        return result.consumed;
    case MUDInflater::Status::Corrupt:
        CVLog(QStringLiteral("MCCP2 - corrupt stream (%1) after %2 bytes; nothing more can be read")
                  .arg(QString::fromLatin1(m_inflater->errorText()))
                  .arg(m_countedWire));
        endStream(Event::CompressionCorrupt, Mode::Dead);
        return data.size();
    }
    return data.size();
}

qsizetype MUDReceiveStream::decode(QByteArrayView slice)
{
    // A stop takes at least the command's last byte; anything else would
    // never get further.
    const qsizetype taken = m_sink.decodeSlice(slice);
    return taken > 0 && taken <= slice.size() ? taken : slice.size();
}

void MUDReceiveStream::endStream(Event event, Mode next)
{
    m_inflater.reset();
    m_mode = next;
    m_sink.receiveStreamEvent(event);
}

void MUDReceiveStream::countInflater()
{
    m_wireBytes += m_inflater->wireBytes() - m_countedWire;
    m_inflatedBytes += m_inflater->inflatedBytes() - m_countedInflated;
    m_countedWire = m_inflater->wireBytes();
    m_countedInflated = m_inflater->inflatedBytes();
}
