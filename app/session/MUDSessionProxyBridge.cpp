#include "app/session/MUDSessionProxyBridge.h"

#include <QHash>
#include <QTextCharFormat>
#include <QVariantMap>

#include "app/session/MUDDocument.h"
#include "core/CVAttributedString.h"
#include "core/CVJSONHelpers.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

// A run's attributes without its foreground colour and font, so runs differ
// only where the rest of their style does.
QTextCharFormat withoutForegroundAndFont(const QTextCharFormat& format)
{
    QTextCharFormat reduced = format;
    reduced.clearForeground();
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (it.key() >= QTextFormat::FirstFontProperty && it.key() <= QTextFormat::LastFontProperty)
            reduced.clearProperty(it.key());
    }
    return reduced;
}

QVariantMap proxyEntry(const QTextCharFormat& format, const QString& text)
{
    static const QString keys[] = {QStringLiteral("fg"), QStringLiteral("bg"), QStringLiteral("flags")};
    const QVariantMap details = format.property(MUDSectionDetailsProperty).toMap();
    QVariantMap entry;
    for (const QString& key : keys) {
        if (details.contains(key))
            entry.insert(key, details.value(key));
    }
    entry.insert(QStringLiteral("text"), text);
    return entry;
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
    m_proxyServer->setPortRange(m_firstPort, m_lastPort);
    m_proxyServer->startListening();
    if (m_document)
        emit m_document->sharingChanged(true);
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
    if (m_document)
        emit m_document->sharingChanged(false);
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
        forwardServerText(text.attributedString());
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

QVariantList MUDSessionProxyBridge::proxyEntriesFromAttributedString(const CVAttributedString& text)
{
    // A flood appends thousands of runs in a handful of formats: each
    // interned format is reduced once, and runs compare by the index of
    // their reduced format instead of property by property.
    QList<QTextCharFormat> reducedFormats{QTextCharFormat()};
    QHash<quint64, qsizetype> reducedIndexOfId;
    const auto reducedIndex = [&](const QTextCharFormat& attributes, CVFormatId id) {
        if (id.isValid()) {
            const auto known = reducedIndexOfId.constFind(id.key());
            if (known != reducedIndexOfId.cend())
                return known.value();
        }
        const QTextCharFormat reduced = withoutForegroundAndFont(attributes);
        qsizetype index = reducedFormats.indexOf(reduced);
        if (index < 0) {
            index = reducedFormats.size();
            reducedFormats.append(reduced);
        }
        if (id.isValid())
            reducedIndexOfId.insert(id.key(), index);
        return index;
    };
    QVariantList entries;
    qsizetype current = 0;
    qsizetype start = 0;
    text.forEachRun([&](CVRange range, const QTextCharFormat& attributes, CVFormatId id) {
        const qsizetype reduced = reducedIndex(attributes, id);
        if (range.location > start && reduced != current) {
            entries.append(proxyEntry(reducedFormats[current], text.string().mid(start, range.location - start)));
            start = range.location;
        }
        current = reduced;
    });
    if (start < text.length())
        entries.append(proxyEntry(reducedFormats[current], text.string().mid(start)));
    return entries;
}

QString MUDSessionProxyBridge::proxyDocument(const QString& action, const CVAttributedString& text)
{
    return jsonString(QVariantMap{{QStringLiteral("action"), action},
                                  {QStringLiteral("entries"), proxyEntriesFromAttributedString(text)}});
}

QString MUDSessionProxyBridge::MUDProxyServerInitialBuffer(MUDProxyServer*, QList<MUDMessage>* messages)
{
    if (!m_document)
        return proxyDocument(QStringLiteral("initialBuffer"), {});
    if (messages)
        *messages = m_document->messages();
    const MUDOutputModel& output = m_document->output();
    return proxyDocument(QStringLiteral("initialBuffer"), output.attributedSubstring({0, output.length()}));
}

void MUDSessionProxyBridge::MUDProxyServerRequestsCommand(MUDProxyServer*, const QString& command)
{
    if (!m_document || m_document->isClosed())
        return;
    // A viewer's line may end in "\r": the command is the line without it.
    m_document->processCommand(command.trimmed(), nullptr);
    m_document->setHistoryIndex(0);
    if (!m_document->historyCommands().isEmpty())
        m_document->setHistoryButtonEnabled(true);
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
