#include "app/session/MUDSessionProxyBridge.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QTextCharFormat>

#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionTelnet.h"
#include "app/session/MUDProxyEntryStyles.h"
#include "app/session/MUDProxyInitialBuffer.h"
#include "core/CVAttributedString.h"
#include "core/CVJSONHelpers.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"
#include "engine/connection/MUDProxyServer.h"

namespace {

// The entries of `string` given as runs by `forEachRun(block)`, which calls
// `block(range, attributes, id)` for each run in order.
template<typename ForEachRun>
QJsonArray proxyEntriesFromRuns(const QString& string, MUDProxyEntryStyles& styles, const ForEachRun& forEachRun)
{
    QJsonArray entries;
    qsizetype current = 0;
    qsizetype start = 0;
    const auto addEntry = [&](qsizetype end) {
        QJsonObject entry = styles.details(current);
        entry.insert(QStringLiteral("text"), string.mid(start, end - start));
        entries.append(entry);
    };
    forEachRun([&](CVRange range, const QTextCharFormat& attributes, CVFormatId id) {
        const qsizetype style = styles.styleOf(attributes, id);
        if (range.location > start && style != current) {
            addEntry(range.location);
            start = range.location;
        }
        current = style;
    });
    if (start < string.size())
        addEntry(string.size());
    return entries;
}

}

MUDSessionProxyBridge::MUDSessionProxyBridge(MUDDocument* document)
    : m_document(document)
    , m_firstPort(MUDProxyServer::FirstPort)
    , m_lastPort(MUDProxyServer::LastPort)
{
}

MUDSessionProxyBridge::~MUDSessionProxyBridge()
{
    if (m_proxyServer)
        m_proxyServer->close();
}

void MUDSessionProxyBridge::startSharing()
{
    if (m_proxyServer)
        return;
    m_proxyServer = std::make_shared<MUDProxyServer>(std::weak_ptr<MUDProxyServerDelegate>(shared_from_this()));
    if (m_document)
        m_initialBuffer = std::make_unique<MUDProxyInitialBuffer>(m_document->output());
    m_proxyServer->setPortRange(m_firstPort, m_lastPort);
    m_proxyServer->startListening();
    if (m_document)
        m_document->reportSharing(true);
}

void MUDSessionProxyBridge::stopSharing()
{
    if (!m_proxyServer)
        return;
    detach();
    if (m_document)
        m_document->appendLocalText(MUDDocument::coloredString(QStringLiteral("Stopped sharing this session.\r\n"),
                                                               MUDDocument::triggerDebugColor()),
                                    true);
}

void MUDSessionProxyBridge::close()
{
    if (m_proxyServer)
        detach();
}

void MUDSessionProxyBridge::detach()
{
    m_proxyServer->close();
    m_proxyServer.reset();
    // Viewers still waiting for their initial buffer go with the server.
    m_initialBuffer.reset();
    if (m_document)
        m_document->reportSharing(false);
}

quint16 MUDSessionProxyBridge::port() const
{
    return m_proxyServer ? m_proxyServer->port() : 0;
}

void MUDSessionProxyBridge::setPortRange(quint16 firstPort, quint16 lastPort)
{
    m_firstPort = firstPort;
    m_lastPort = lastPort;
}

void MUDSessionProxyBridge::forwardAppendedText(const CVAttributedString& text)
{
    forward(QStringLiteral("appendText"), text);
}

void MUDSessionProxyBridge::forwardServerText(const CVAttributedString& text)
{
    forward(QStringLiteral("replaceTextInRange"), text);
}

void MUDSessionProxyBridge::forwardServerText(const MUDStyledText& text)
{
    if (m_proxyServer && m_proxyServer->hasConnections())
        m_proxyServer->sendString(
            proxyDocument(QStringLiteral("replaceTextInRange"), proxyEntriesFromStyledText(text)));
}

void MUDSessionProxyBridge::forward(const QString& action, const CVAttributedString& text)
{
    if (m_proxyServer && m_proxyServer->hasConnections())
        m_proxyServer->sendString(proxyDocument(action, text));
}

void MUDSessionProxyBridge::forwardMessage(const QString& message)
{
    if (m_proxyServer)
        m_proxyServer->sendMessages({MUDMessage(message)});
}

QJsonArray MUDSessionProxyBridge::proxyEntriesFromAttributedString(const CVAttributedString& text)
{
    MUDProxyEntryStyles styles;
    return proxyEntriesFromRuns(text.string(), styles, [&](const auto& block) { text.forEachRun(block); });
}

QJsonArray MUDSessionProxyBridge::proxyEntriesFromStyledText(const MUDStyledText& text)
{
    // Entries leave out the foreground, the one thing white space changes
    // in the styles of the style state: each piece is then one run, unless
    // a style's white space differs in more.
    MUDProxyEntryStyles styles;
    QSet<const MUDTextStyle*> checked;
    for (const MUDStyledText::Piece& piece : text.pieces()) {
        if (checked.contains(piece.style.get()))
            continue;
        const MUDTextStyle& style = *piece.style;
        if (styles.styleOf(style.text, style.textId) != styles.styleOf(style.whitespace, style.whitespaceId))
            return proxyEntriesFromAttributedString(text.attributedString());
        checked.insert(piece.style.get());
    }
    return proxyEntriesFromRuns(text.string(), styles, [&](const auto& block) {
        qsizetype start = 0;
        for (const MUDStyledText::Piece& piece : text.pieces()) {
            block(CVRange{start, piece.length}, piece.style->text, piece.style->textId);
            start += piece.length;
        }
    });
}

QString MUDSessionProxyBridge::proxyDocument(const QString& action, const CVAttributedString& text)
{
    return proxyDocument(action, proxyEntriesFromAttributedString(text));
}

QString MUDSessionProxyBridge::proxyDocument(const QString& action, const QJsonArray& entries)
{
    return jsonString(QJsonObject{{QStringLiteral("action"), action}, {QStringLiteral("entries"), entries}});
}

void MUDSessionProxyBridge::MUDProxyServerInitialBuffer(MUDProxyServer* server, InitialBufferReady ready)
{
    if (!m_document || !m_initialBuffer || server != m_proxyServer.get()) {
        ready(
            std::make_shared<const MUDProxyOutgoingFrame>(proxyDocument(QStringLiteral("initialBuffer"), QJsonArray())),
            {});
        return;
    }
    // The messages are those of the moment the buffer is handed over: later
    // ones reach the viewer as updates.
    m_initialBuffer->request(
        [document = m_document, ready = std::move(ready)](std::shared_ptr<const MUDProxyOutgoingFrame> initialBuffer) {
            ready(std::move(initialBuffer), document ? document->messages() : QList<MUDMessage>());
            // The viewer has joined: the server may hear of it.
            if (document)
                document->telnet().refreshCapabilities();
        });
}

void MUDSessionProxyBridge::MUDProxyServerViewerLeft(MUDProxyServer* server)
{
    // The server may hear that no viewer watches any more.
    if (m_document && server == m_proxyServer.get())
        m_document->telnet().refreshCapabilities();
}

void MUDSessionProxyBridge::MUDProxyServerRequestsCommand(MUDProxyServer*, const QString& command)
{
    if (!m_document || m_document->isClosed())
        return;
    // A viewer's line may end in "\r": the command is the line without it.
    m_document->processViewerCommand(command.trimmed());
}

void MUDSessionProxyBridge::MUDProxyServerIsListening(MUDProxyServer* server, quint16 port)
{
    if (!m_document || server != m_proxyServer.get())
        return;
    m_document->appendLocalText(
        MUDDocument::coloredString(QStringLiteral("Sharing this session on local port %1.\r\n").arg(port),
                                   MUDDocument::triggerDebugColor()),
        true);
}

void MUDSessionProxyBridge::MUDProxyServerFailedToListen(MUDProxyServer* server, const QString& message)
{
    if (server != m_proxyServer.get())
        return;
    detach();
    if (m_document)
        m_document->appendLocalText(
            MUDDocument::coloredString(QStringLiteral("Could not share this session: %1\r\n").arg(message),
                                       MUDDocument::errorMessageColor()),
            true);
}
