#include "app/session/MUDSessionTelnet.h"

#include <QFontMetricsF>
#include <algorithm>

#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "core/CVLogHelper.h"
#include "core/LVDebounce.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/connection/MUDSocket.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetCharset.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/connection/MUDTelnetWindowSize.h"
#include "engine/decoding/ANSIDataProcessorResults.h"
#include "engine/decoding/MUDTextEncoding.h"
#include "engine/storage/MUDUserSettings.h"

MUDSessionTelnet::MUDSessionTelnet(MUDDocument& document)
    : m_document(document)
{
    QObject::connect(&MUDUserSettings::sharedInstance(), &MUDUserSettings::accessibilityChanged, &m_signals,
                     [this] { refreshCapabilities(); });
    QObject::connect(&m_document, &MUDDocument::sharingChanged, &m_signals, [this] { refreshCapabilities(); });
}

MUDSessionTelnet::~MUDSessionTelnet()
{
    LVDebounce::cancelTarget(this);
}

std::shared_ptr<MUDTelnetNegotiator> MUDSessionTelnet::startConnection(const std::shared_ptr<MUDSocket>& socket)
{
    m_negotiator.reset();
    m_utf8Agreed = false;
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (!connection || !connection->negotiatesTelnetOptions())
        return nullptr;
    std::weak_ptr<MUDSocket> weakSocket = socket;
    m_negotiator = std::make_shared<MUDTelnetNegotiator>([weakSocket](const QByteArray& bytes) {
        if (std::shared_ptr<MUDSocket> target = weakSocket.lock())
            target->sendBytes(bytes);
    });
    m_negotiator->addHandler(std::make_unique<MUDTelnetWindowSize>(m_columns, m_rows));
    m_negotiator->addHandler(std::make_unique<MUDTelnetTerminalType>(capabilities()));
    // The session goes on after the negotiator is gone, which never happens
    // while it delivers: events arrive only while the connection is current.
    m_negotiator->addHandler(
        std::make_unique<MUDTelnetCharset>([this](const QString& charset) { charsetAgreed(charset); }));
    // The client never sends GA, so it may as well promise so; the server's
    // GA stays on, since it marks the end of a prompt.
    m_negotiator->addHandler(std::make_unique<MUDTelnetOptionHandler>(MUDTelnet::Option::SuppressGoAhead, true, false));
    m_negotiator->addHandler(std::make_unique<MUDTelnetOptionHandler>(MUDTelnet::Option::EndOfRecord, false, true));
    return m_negotiator;
}

void MUDSessionTelnet::setWindowSize(int columns, int rows)
{
    if (columns == m_columns && rows == m_rows)
        return;
    m_columns = columns;
    m_rows = rows;
    LVDebounce::fireAfter(WindowSizeDelay, this, "sendWindowSize", nullptr, [this] { sendWindowSize(); });
}

QSize MUDSessionTelnet::charactersThatFit(QSizeF pixels, const QFont& font)
{
    // The widest common letter, so that a server's lines fit even in a
    // proportional font.
    const QFontMetricsF metrics(font);
    const int columns = int(pixels.width() / std::max(metrics.horizontalAdvance(u'M'), qreal(1)));
    const int rows = int(pixels.height() / std::max(metrics.lineSpacing(), qreal(1)));
    return {std::max(columns, 1), std::max(rows, 1)};
}

void MUDSessionTelnet::sendWindowSize()
{
    if (auto* windowSize = handler<MUDTelnetWindowSize>(MUDTelnet::Option::WindowSize))
        windowSize->setWindowSize(m_columns, m_rows);
}

MUDTelnetTerminalType::Capabilities MUDSessionTelnet::capabilities() const
{
    MUDTelnetTerminalType::Capabilities capabilities;
    capabilities.screenReader =
        MUDUserSettings::sharedInstance().accessibilityOption(MUDUserSettings::Accessibility::SpeakIncomingText);
    const MUDProxyServer* proxy = m_document.proxyBridge().proxyServer();
    capabilities.proxy = proxy && proxy->viewerCount() > 0;
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    capabilities.secure = connection && connection->isSecure();
    // A connection reading another encoding must not tell the server to send UTF-8.
    capabilities.utf8 = m_utf8Agreed || !connection ||
                        connection->textEncoding().compare(MUDTextEncoding::UTF8, Qt::CaseInsensitive) == 0;
    return capabilities;
}

void MUDSessionTelnet::refreshCapabilities()
{
    if (auto* terminalType = handler<MUDTelnetTerminalType>(MUDTelnet::Option::TerminalType))
        terminalType->setCapabilities(capabilities());
}

bool MUDSessionTelnet::endsPrompt(const ANSIDataProcessorResults& results) const
{
    if (!m_negotiator)
        return false;
    for (const ANSIDataProcessorResult chunk : results) {
        const QByteArrayView bytes = chunk.data();
        if (chunk.type() == ANSIResultType::Telnet && bytes.size() == 2 &&
            (quint8(bytes[1]) == MUDTelnet::Ga || quint8(bytes[1]) == MUDTelnet::Eor))
            return true;
    }
    return false;
}

void MUDSessionTelnet::charsetAgreed(const QString& charset)
{
    CVLog(QStringLiteral("MUDSessionTelnet - the server sends %1").arg(charset));
    m_utf8Agreed = true;
    refreshCapabilities();
}

QStringList MUDSessionTelnet::stateLines() const
{
    if (!m_negotiator)
        return {QStringLiteral("Telnet options are off for this connection.")};
    return m_negotiator->stateLines();
}

template<typename Handler> Handler* MUDSessionTelnet::handler(quint8 option) const
{
    return m_negotiator ? static_cast<Handler*>(m_negotiator->handler(option)) : nullptr;
}
