#include "engine/connection/MUDProxyOutgoingFrame.h"

#include "engine/connection/MUDProxyFrame.h"

MUDProxyOutgoingFrame::MUDProxyOutgoingFrame(QString document)
    : m_document(std::move(document))
{
}

const QByteArray& MUDProxyOutgoingFrame::bytes() const
{
    std::call_once(m_encoded, [this] { m_bytes = MUDProxyFrame::encode(m_document); });
    return m_bytes;
}
