#include "engine/connection/MUDProxyOutgoingFrame.h"

#include "engine/connection/MUDProxyFrame.h"

MUDProxyOutgoingFrame::MUDProxyOutgoingFrame(QString document)
    : m_document(std::move(document))
{
}

MUDProxyOutgoingFrame::MUDProxyOutgoingFrame(std::function<QString()> makeDocument)
    : m_makeDocument(std::move(makeDocument))
{
}

const QByteArray& MUDProxyOutgoingFrame::bytes() const
{
    std::call_once(m_encoded, [this] {
        const QString document = m_makeDocument ? m_makeDocument() : std::exchange(m_document, QString());
        // Whatever the maker holds (a copy of the output) goes with it.
        m_makeDocument = nullptr;
        if (!document.isEmpty())
            m_bytes = MUDProxyFrame::encode(document);
    });
    return m_bytes;
}
