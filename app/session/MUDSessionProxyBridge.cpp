#include "app/session/MUDSessionProxyBridge.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
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

// An entry without its text: the run's "fg", "bg" and "flags" details.
QJsonObject proxyEntryDetails(const QTextCharFormat& format)
{
    static const QString keys[] = {QStringLiteral("fg"), QStringLiteral("bg"), QStringLiteral("flags")};
    const QVariantMap details = format.property(MUDSectionDetailsProperty).toMap();
    QJsonObject entry;
    for (const QString& key : keys) {
        if (details.contains(key))
            entry.insert(key, QJsonValue::fromVariant(details.value(key)));
    }
    return entry;
}

// The entries of `string` given as runs by `forEachRun(block)`, which calls
// `block(range, attributes, id)` for each run in order.
template <typename ForEachRun>
QJsonArray proxyEntriesFromRuns(const QString& string, const ForEachRun& forEachRun)
{
    // A flood appends thousands of runs in a handful of formats: each
    // interned format is reduced once, and runs compare by the index of
    // their reduced format instead of property by property. Entries are
    // built as JSON directly, from the details of each reduced format.
    QList<QTextCharFormat> reducedFormats{QTextCharFormat()};
    QList<QJsonObject> reducedDetails{QJsonObject()};
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
            reducedDetails.append(proxyEntryDetails(reduced));
        }
        if (id.isValid())
            reducedIndexOfId.insert(id.key(), index);
        return index;
    };
    QJsonArray entries;
    qsizetype current = 0;
    qsizetype start = 0;
    const auto addEntry = [&](qsizetype end) {
        QJsonObject entry = reducedDetails[current];
        entry.insert(QStringLiteral("text"), string.mid(start, end - start));
        entries.append(entry);
    };
    forEachRun([&](CVRange range, const QTextCharFormat& attributes, CVFormatId id) {
        const qsizetype reduced = reducedIndex(attributes, id);
        if (range.location > start && reduced != current) {
            addEntry(range.location);
            start = range.location;
        }
        current = reduced;
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
        m_proxyServer->sendString(proxyDocument(QStringLiteral("replaceTextInRange"), proxyEntriesFromStyledText(text)));
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
    return proxyEntriesFromRuns(text.string(), [&](const auto& block) { text.forEachRun(block); });
}

QJsonArray MUDSessionProxyBridge::proxyEntriesFromStyledText(const MUDStyledText& text)
{
    // Entries leave out the foreground, the one thing white space changes
    // in the styles of the style state: each piece is then one run, unless
    // a style's white space differs in more.
    QSet<const MUDTextStyle*> checked;
    for (const MUDStyledText::Piece& piece : text.pieces()) {
        if (checked.contains(piece.style.get()))
            continue;
        if (!(withoutForegroundAndFont(piece.style->text) == withoutForegroundAndFont(piece.style->whitespace)))
            return proxyEntriesFromAttributedString(text.attributedString());
        checked.insert(piece.style.get());
    }
    return proxyEntriesFromRuns(text.string(), [&](const auto& block) {
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

QString MUDSessionProxyBridge::MUDProxyServerInitialBuffer(MUDProxyServer*, QList<MUDMessage>* messages)
{
    if (!m_document)
        return proxyDocument(QStringLiteral("initialBuffer"), QJsonArray());
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
