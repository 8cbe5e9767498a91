#include "engine/connection/MUDTelnetCompress2Handler.h"

#include "engine/connection/MUDReceiveStream.h"
#include "engine/connection/MUDTelnet.h"

MUDTelnetCompress2Handler::MUDTelnetCompress2Handler(std::weak_ptr<MUDReceiveStream> stream)
    : MUDTelnetOptionHandler(MUDTelnet::Option::Compress2, false, true)
    , m_stream(std::move(stream))
{
}

void MUDTelnetCompress2Handler::enabled(MUDTelnetSide)
{
    if (std::shared_ptr<MUDReceiveStream> stream = m_stream.lock())
        stream->setCompressionAccepted(true);
}

void MUDTelnetCompress2Handler::disabled(MUDTelnetSide)
{
    // A stream already running goes on to its end; no new one starts.
    if (std::shared_ptr<MUDReceiveStream> stream = m_stream.lock())
        stream->setCompressionAccepted(false);
}

QString MUDTelnetCompress2Handler::detail() const
{
    const std::shared_ptr<MUDReceiveStream> stream = m_stream.lock();
    if (!stream || stream->figures().wireBytes == 0)
        return {};
    return stream->figures().text();
}
