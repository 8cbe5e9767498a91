#include "app/session/MUDDocument.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>

#include "app/session/MUDAutoLogin.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDCommandTimers.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDHTMLExporter.h"
#include "app/session/MUDReconnectCountdown.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "app/session/MUDSessionReceiver.h"
#include "app/session/MUDSessionGMCP.h"
#include "app/session/MUDSessionSecurity.h"
#include "app/session/MUDSessionTelnet.h"
#include "app/session/MUDSessionTriggers.h"
#include "app/session/MUDSpeaker.h"
#include "app/views/MUDAppearance.h"
#include "app/views/MUDFontHelper.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDAliasesModifiedObject.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDColors.h"
#include "engine/decoding/MUDKeywordProcessor.h"
#include "engine/decoding/MUDTextAttributes.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDUserSettings.h"

namespace {

double secondsSince1970()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

}

MUDDocument::MUDDocument(MUDDesktopIntegration* desktop, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_receiver(std::make_shared<MUDSessionReceiver>(this))
    , m_proxyBridge(std::make_shared<MUDSessionProxyBridge>(this))
    , m_scriptBridge(std::make_unique<MUDScriptBridge>(*this))
    , m_mudJavascriptProcessor(std::make_shared<MUDJavascriptProcessor>(m_scriptBridge.get()))
    , m_commandPipeline(std::make_unique<MUDCommandPipeline>(*this))
    , m_autoLogin(std::make_unique<MUDAutoLogin>(*this))
    , m_reconnectCountdown(std::make_unique<MUDReconnectCountdown>(*this))
    , m_triggers(std::make_unique<MUDSessionTriggers>(*this))
    , m_timers(std::make_unique<MUDCommandTimers>(m_scriptBridge.get()))
    , m_security(std::make_unique<MUDSessionSecurity>(*this))
    , m_telnet(std::make_unique<MUDSessionTelnet>(*this))
    , m_gmcp(std::make_unique<MUDSessionGMCP>(*this))
    , m_clock(secondsSince1970)
{
    m_notificationConnection =
        QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted, this,
                         &MUDDocument::onNotification);
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    m_triggers->setMatchEveryLine(settings.matchEveryLine());
    QObject::connect(&settings, &MUDUserSettings::matchEveryLineChanged, this,
                     [this](bool matchEveryLine) { m_triggers->setMatchEveryLine(matchEveryLine); });
    m_receiver->setTriggerBacklog(m_triggers->backlog());
}

MUDDocument::~MUDDocument()
{
    QObject::disconnect(m_notificationConnection);
    m_reconnectCountdown->removeAnyConnectionCountdown();
    m_mudJavascriptProcessor->stopAllScripts();
    m_mudJavascriptProcessor->setDelegate(nullptr);
    if (m_mudSocket)
        m_mudSocket->setDelegate({});
}

QString MUDDocument::mudDocumentClosedNotificationName()
{
    return QStringLiteral("com.corvane.mudDocumentClosedNotification");
}

namespace {
// The session's own lines are drawn on the output's background: readable in either appearance.
QColor readableOnOutput(const QColor& color)
{
    return MUDAppearance::readableColor(color, QGuiApplication::palette().color(QPalette::Base));
}
}

QColor MUDDocument::localCommandColor()
{
    return readableOnOutput(MUDColors::SystemOrange);
}
QColor MUDDocument::errorMessageColor()
{
    return readableOnOutput(MUDColors::SystemRed);
}
QColor MUDDocument::debugMessageColor()
{
    return readableOnOutput(MUDColors::SystemPurple);
}
QColor MUDDocument::disconnectColor()
{
    return readableOnOutput(QColor(Qt::red));
}

QColor MUDDocument::triggerDebugColor()
{
    // Status lines are drawn on the output's background: readable in the dark appearance too.
    return MUDAppearance::statusLineColor(QGuiApplication::palette().color(QPalette::Base));
}

QFont MUDDocument::localFont()
{
    return MUDFontHelper::outputFont();
}

CVAttributedString MUDDocument::coloredString(const QString& text, const QColor& color)
{
    QTextCharFormat format;
    format.setForeground(color);
    return CVAttributedString(text, format);
}

void MUDDocument::setConnection(std::shared_ptr<MUDConnection> connection)
{
    m_reconnectCountdown->removeAnyConnectionCountdown();
    m_connection = std::move(connection);
    if (!m_connection)
        return;
    m_displayName = displayNameFor(*m_connection);
    restoreWindowState();
}

QString MUDDocument::displayNameFor(const MUDConnection& connection)
{
    if (!connection.title().isEmpty())
        return connection.title();
    // An unsaved connection shows its address, an IPv6 one in brackets.
    const QString host = connection.host();
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(connection.port())
                                           : QStringLiteral("%1:%2").arg(host).arg(connection.port());
}

void MUDDocument::adoptStoredConnection(std::shared_ptr<MUDConnection> stored)
{
    if (!stored)
        return;
    m_connection = std::move(stored);
    m_displayName = displayNameFor(*m_connection);
}

bool MUDDocument::isConnected() const
{
    return m_mudSocket && m_mudSocket->isConnected();
}

void MUDDocument::replaceSocket(std::shared_ptr<MUDSocket> socket)
{
    // A socket of an earlier attempt reports nothing more: its lines would
    // otherwise start a second reconnect chain.
    if (m_mudSocket) {
        m_mudSocket->setDelegate({});
        m_mudSocket->disconnect();
    }
    m_mudSocket = std::move(socket);
}

void MUDDocument::connectToServer()
{
    if (!m_connection || m_closed)
        return;
    m_stringColorer.clearCache();
    m_reconnectCountdown->removeAnyConnectionCountdown();
    if (!m_inputEditable) {
        m_inputEditable = true;
        emit inputEditableChanged(true);
    }
    appendText(coloredString(QStringLiteral("Attempting connection to `%1`.\r\n").arg(m_displayName),
                             triggerDebugColor()),
               true);
    m_triggers->createProcessor();
    m_mudKeywordProcessor = std::make_unique<MUDKeywordProcessor>();

    setPasswordMode(false);
    replaceSocket(std::make_shared<MUDSocket>(m_connection));
    std::shared_ptr<MUDTelnetNegotiator> negotiator = m_telnet->startConnection(m_mudSocket);
    m_gmcp->startConnection(negotiator);
    m_receiver->attach(m_mudSocket, std::move(negotiator));
    m_mudSocket->connect();
}

void MUDDocument::hideConnectButton(bool hide)
{
    if (m_reconnectButtonHidden == hide)
        return;
    m_reconnectButtonHidden = hide;
    emit reconnectButtonHiddenChanged(hide);
}

void MUDDocument::setHistoryButtonEnabled(bool enabled)
{
    if (m_historyButtonEnabled == enabled)
        return;
    m_historyButtonEnabled = enabled;
    emit historyButtonEnabledChanged(enabled);
}

void MUDDocument::setPasswordMode(bool passwordMode)
{
    if (m_passwordMode == passwordMode)
        return;
    m_passwordMode = passwordMode;
    emit passwordModeChanged(passwordMode);
}

void MUDDocument::MUDSocketHasConnected(MUDSocket* socket)
{
    appendText(coloredString(QStringLiteral("Connected to `%1`.\r\n").arg(m_displayName), triggerDebugColor()),
               true);
    m_security->connected(*socket);
    m_triggers->startAtEndOfOutput();
    m_reconnectCountdown->resetReconnectCount();
    hideConnectButton(true);
    setHistoryButtonEnabled(!m_commandPipeline->historyCommands().isEmpty());
    m_autoLogin->start(*socket);
}

void MUDDocument::MUDSocketHasDisconnected(MUDSocket*)
{
    m_security->disconnected();
    setPasswordMode(false);
    hideConnectButton(false);
    setHistoryButtonEnabled(false);
    appendText(coloredString(QStringLiteral("You have been disconnected from the host server."), disconnectColor()),
               true);
    m_reconnectCountdown->attemptReconnectIfNeeded();
}

void MUDDocument::MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage)
{
    const QString text = errorMessage.isEmpty()
                             ? QStringLiteral("Failed to connect to host server.")
                             : QStringLiteral("Failed to connect to host server: %1").arg(errorMessage);
    appendText(coloredString(text, disconnectColor()), true);
    // A refused certificate waits for the player: reconnecting would only refuse it again.
    if (!socket || !m_security->connectionFailed(*socket))
        m_reconnectCountdown->attemptReconnectIfNeeded();
}

void MUDDocument::processDataLocally(QByteArrayView data)
{
    m_receiver->processData(data);
}

void MUDDocument::ANSIDataProcessorReceived(const ANSIDataProcessorResults& results)
{
    if (m_closed)
        return;
    // One styled string per batch, so the batch lands in the output as one change.
    MUDStringColoring::InvalidText invalid;
    const MUDStyledText text = m_stringColorer.styleBatch(results, localFont(), &invalid);
    // One line per batch: a hostile stream must not write more log than it sends.
    if (invalid.chunks > 0)
        CVLog(QStringLiteral(
                  "MUDDocument:ANSIDataProcessorReceivedData - Invalid UTF-8 replaced (%1 bytes in %2 chunks).")
                  .arg(invalid.bytes)
                  .arg(invalid.chunks));
    if (text.isEmpty())
        CVLog(QStringLiteral(
            "MUDDocument:ANSIDataProcessorReceivedData - No receivedData length. Not going to post anything."));
    else
        receivedText(text);
    // The prompt's text may have come in an earlier batch than its mark.
    if (m_telnet->endsPrompt(results))
        m_triggers->promptEnded();
}

void MUDDocument::receivedText(const MUDStyledText& text)
{
    appendServerText(text);
    MUDSpeaker::sharedInstance().incomingText(text.string());
    m_mudJavascriptProcessor->processWaitingString(text.string());
    m_lastReceivedTime = qint64(m_clock());
    m_triggers->textReceived(text.length());
}

void MUDDocument::appendAttributedString(const CVAttributedString& text)
{
    appendServerText(text);
}

template<typename Text> void MUDDocument::appendServerText(const Text& text)
{
    m_output.append(text);
    m_proxyBridge->forwardServerText(text);
    scrollToEnd(false);
}

void MUDDocument::appendText(const CVAttributedString& text, bool requiresNewline)
{
    CVAttributedString run;
    if (requiresNewline && !m_output.isEmpty() && m_output.characterAt(m_output.length() - 1) != u'\n')
        run.append(u"\r\n", text.attributesAtIndex(0));
    run.append(text);
    QTextCharFormat fontFormat;
    fontFormat.setFont(localFont(), QTextCharFormat::FontPropertiesSpecifiedOnly);
    run.addAttributes(fontFormat, {0, run.length()});
    m_output.append(run);
    m_proxyBridge->forwardAppendedText(run);
    scrollToEnd(false);
}

void MUDDocument::appendLocalText(const CVAttributedString& text, bool requiresNewline)
{
    CVAttributedString marked = text;
    marked.addAttribute(MUDUserCommandProperty, 1, {0, marked.length()});
    // An echo that follows server text closely waits, so it does not land
    // inside a burst of output.
    if (m_clock() - double(m_lastReceivedTime) < LocalEchoDelay) {
        QTimer::singleShot(std::chrono::milliseconds(qint64(LocalEchoDelay * 1000)), this,
                           [this, marked, requiresNewline] { appendText(marked, requiresNewline); });
        return;
    }
    appendText(marked, requiresNewline);
}

void MUDDocument::logMessageToContents(const QString& message)
{
    appendLocalText(coloredString(message, localCommandColor()), true);
}

void MUDDocument::clearOutput()
{
    m_output.clear();
    m_triggers->resetTriggers();
}

void MUDDocument::onNotification(const QString& name, const QVariant& object)
{
    if (m_closed)
        return;
    if (name == MUDTrigger::triggerModifiedNotification())
        triggersHaveBeenModified(object);
    else if (name == MUDAlias::aliasModifiedNotification())
        aliasesHaveBeenModified(object);
    else if (name == MUDMatchTest::mudMatchHasTestNotificationName()) {
        m_mudMatchTest = object;
        emit mudMatchTestChanged();
    }
}

void MUDDocument::triggersHaveBeenModified(const QVariant& object)
{
    if (!m_connection || !object.canConvert<MUDTriggersModifiedObject>() ||
        object.value<MUDTriggersModifiedObject>().connectionId() != m_connection->connectionId())
        return;
    logMessageToContents(QStringLiteral("Triggers reloaded\r\n"));
    m_triggers->reload();
}

void MUDDocument::aliasesHaveBeenModified(const QVariant& object)
{
    if (!m_connection || !object.canConvert<MUDAliasesModifiedObject>() ||
        object.value<MUDAliasesModifiedObject>().connectionId() != m_connection->connectionId())
        return;
    logMessageToContents(QStringLiteral("Aliases reloaded\r\n"));
    if (CVError error; !MUDConnectionLists::forceLoadAliases(*m_connection, &error))
        CVLog(QStringLiteral("MUDDocument - no aliases loaded: %1").arg(error.description));
}

void MUDDocument::processCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource)
{
    m_commandPipeline->processCommand(command, actionSource);
}

void MUDDocument::sendRawCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource)
{
    m_commandPipeline->sendRawCommand(command, actionSource);
}

void MUDDocument::processViewerCommand(const QString& command)
{
    m_commandPipeline->processViewerCommand(command);
}

void MUDDocument::MUDCommandTextViewReturnKey()
{
    m_commandPipeline->returnKey();
}
void MUDDocument::MUDCommandTextViewUpArrow()
{
    m_commandPipeline->upArrow();
}
void MUDDocument::MUDCommandTextViewDownArrow()
{
    m_commandPipeline->downArrow();
}
void MUDDocument::onHistoryItem(qsizetype index)
{
    m_commandPipeline->historyItem(index);
}
QStringList MUDDocument::MUDCommandTextWantsKeywords() const
{
    return m_commandPipeline->keywords();
}

void MUDDocument::addMessage(const MUDMessage& message)
{
    // Control characters (line breaks among them) would break the one-line layout.
    QString text = message.message();
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start).category() == QChar::Other_Control)
        ++start;
    while (end > start && text.at(end - 1).category() == QChar::Other_Control)
        --end;
    text = text.mid(start, end - start);
    if (text.isEmpty())
        return;
    m_messages.append(MUDMessage(text));
    emit messagesChanged();
    m_proxyBridge->forwardMessage(text);
}

void MUDDocument::clearMessages()
{
    m_messages.clear();
    emit messagesChanged();
}

void MUDDocument::setExits(const QList<MUDExit>& exits)
{
    QStringList lines;
    for (const MUDExit& exit : exits) {
        if (exit.name().isEmpty())
            continue;
        lines.append(exit.details().isEmpty() ? exit.name()
                                              : QStringLiteral("%1 : %2").arg(exit.name(), exit.details()));
    }
    m_exitsText = lines.join(QStringLiteral("\r\n"));
    emit exitsChanged();
}

QString MUDDocument::xmlStringRepresentation() const
{
    return MUDHTMLExporter::xmlStringRepresentation(m_output);
}

QString MUDDocument::windowStatePath() const
{
    return m_connection ? MUDWindowState::pathForConnection(*m_connection) : QString();
}

void MUDDocument::saveWindowState()
{
    if (m_connection)
        MUDWindowState::saveForConnection(*m_connection, m_windowFrames);
}

void MUDDocument::restoreWindowState()
{
    const std::optional<MUDWindowState::Frames> frames =
        m_connection ? MUDWindowState::readForConnection(*m_connection) : std::nullopt;
    m_restoredWindowFrames = frames.value_or(MUDWindowState::Frames());
    emit windowStateRestored(frames.has_value());
}

void MUDDocument::startSharing()
{
    if (!m_closed)
        m_proxyBridge->startSharing();
}

void MUDDocument::stopSharing()
{
    m_proxyBridge->stopSharing();
}

bool MUDDocument::isSharing() const
{
    return m_proxyBridge->isSharing();
}

void MUDDocument::close()
{
    if (m_closed)
        return;
    m_proxyBridge->close();
    if (m_desktop) {
        m_desktop->setBadge(QString());
        m_desktop->setStatus(QString());
    }
    QObject::disconnect(m_notificationConnection);
    if (m_mudSocket)
        m_mudSocket->disconnect();
    if (m_captureOutput && m_connection)
        MUDHTMLExporter::writeCapture(m_output, m_displayName, QDateTime::currentSecsSinceEpoch());
    m_closed = true;
    m_timers->cancelAll();
    // As #stop does, and for good: no script of a closed session waits on.
    m_mudJavascriptProcessor->stopAllScripts();
    MUDNotificationCenter::defaultCenter().postNotification(mudDocumentClosedNotificationName());
}
