#include "app/session/MUDDocument.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>

#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDFontHelper.h"
#include "app/session/MUDHTMLExporter.h"
#include "app/session/MUDScriptBridge.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "app/session/MUDSessionReceiver.h"
#include "app/session/MUDSpellOutFormatter.h"
#include "app/shell/MUDAppearance.h"
#include "core/CVLogHelper.h"
#include "core/CVStringHelpers.h"
#include "core/LVDebounce.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDAliasesModifiedObject.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTimer.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerProcessor.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDCountdownAttribute.h"
#include "engine/decoding/MUDKeywordProcessor.h"
#include "engine/decoding/MUDTextAttributes.h"
#include "engine/storage/MUDPreservation.h"

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
    , m_clock(secondsSince1970)
{
    m_notificationConnection = QObject::connect(&MUDNotificationCenter::defaultCenter(),
                                                &MUDNotificationCenter::notificationPosted, this,
                                                &MUDDocument::onNotification);
}

MUDDocument::~MUDDocument()
{
    QObject::disconnect(m_notificationConnection);
    LVDebounce::cancelTarget(this);
    for (const std::shared_ptr<MUDTimer>& timer : std::as_const(m_timers))
        timer->cancel();
    m_timers.clear();
    removeAnyConnectionCountdown();
    m_mudJavascriptProcessor->stopAllScripts();
    m_mudJavascriptProcessor->setDelegate(nullptr);
    if (m_mudSocket)
        m_mudSocket->setDelegate({});
}

QString MUDDocument::mudDocumentClosedNotificationName()
{
    return QStringLiteral("com.corvane.mudDocumentClosedNotification");
}

// The desktop's system colours as the dark appearance draws them.
QColor MUDDocument::localCommandColor() { return QColor(255, 159, 10); }
QColor MUDDocument::errorMessageColor() { return QColor(255, 69, 58); }
QColor MUDDocument::debugMessageColor() { return QColor(191, 90, 242); }
QColor MUDDocument::disconnectColor() { return QColor(Qt::red); }

QColor MUDDocument::triggerDebugColor()
{
    // Status lines are drawn on the output's background: readable in the dark appearance too.
    return MUDAppearance::statusLineColor(QGuiApplication::palette().color(QPalette::Base));
}

QFont MUDDocument::localFont()
{
    return MUDFontHelper::monospacedFontOfSize(MUDFontHelper::systemFontSize() + 5);
}

CVAttributedString MUDDocument::coloredString(const QString& text, const QColor& color)
{
    QTextCharFormat format;
    format.setForeground(color);
    return CVAttributedString(text, format);
}

void MUDDocument::setConnection(std::shared_ptr<MUDConnection> connection)
{
    removeAnyConnectionCountdown();
    m_connection = std::move(connection);
    if (!m_connection)
        return;
    m_displayName = m_connection->title().isEmpty()
                        ? QStringLiteral("%1 - %2").arg(m_connection->host()).arg(m_connection->port())
                        : m_connection->title();
    restoreWindowState();
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

void MUDDocument::connect()
{
    if (!m_connection || m_closed)
        return;
    m_stringColorer.clearCache();
    removeAnyConnectionCountdown();
    if (!m_inputEditable) {
        m_inputEditable = true;
        emit inputEditableChanged(true);
    }
    appendText(coloredString(QStringLiteral("Attempting connection to `%1`.\r\n").arg(m_connection->title()),
                             triggerDebugColor()),
               true);
    m_connection->forceLoadTriggers();
    m_mudTriggerProcessor = std::make_shared<MUDTriggerProcessor>(m_mudJavascriptProcessor, currentTriggers());
    m_mudKeywordProcessor = std::make_unique<MUDKeywordProcessor>();

    replaceSocket(std::make_shared<MUDSocket>(m_connection));
    m_receiver->attach(m_mudSocket);
    m_mudSocket->connect();
}

MUDTriggerList MUDDocument::currentTriggers() const
{
    return m_connection ? m_connection->triggers().value_or(MUDTriggerList()) : MUDTriggerList();
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

void MUDDocument::MUDSocketHasConnected(MUDSocket* socket)
{
    appendText(coloredString(QStringLiteral("Connected to `%1`.\r\n").arg(m_connection->title()), triggerDebugColor()),
               true);
    m_startOfTriggerProcessingOffset = m_output.length();
    m_reconnectCount = 0;
    hideConnectButton(true);
    setHistoryButtonEnabled(!m_historyCommands.isEmpty());
    const std::weak_ptr<MUDSocket> weakSocket = socket->weak_from_this();
    QTimer::singleShot(std::chrono::milliseconds(qint64(LoginStepDelay * 1000)), this,
                       [this, weakSocket] { runLoginStep(0, weakSocket); });
}

// Step 0 sends the user name, 1 the password, 2 runs the login script; each
// needs the one before it, so the script runs only with both credentials.
void MUDDocument::runLoginStep(int step, std::weak_ptr<MUDSocket> weakSocket)
{
    const std::shared_ptr<MUDSocket> socket = weakSocket.lock();
    if (!socket || m_closed)
        return;
    const std::shared_ptr<MUDConnection> connection = socket->connection();
    auto next = [this, step, weakSocket] {
        QTimer::singleShot(std::chrono::milliseconds(qint64(LoginStepDelay * 1000)), this,
                           [this, step, weakSocket] { runLoginStep(step + 1, weakSocket); });
    };
    switch (step) {
    case 0: {
        if (connection->user().isEmpty())
            return;
        const QString sent = QStringLiteral("%1\n").arg(connection->user());
        socket->sendText(sent);
        appendLocalText(coloredString(QStringLiteral("Auto-login user: %1").arg(sent), localCommandColor()), false);
        next();
        return;
    }
    case 1:
        if (connection->password().isEmpty())
            return;
        socket->sendText(QStringLiteral("%1\n").arg(connection->password()));
        appendLocalText(coloredString(QStringLiteral("Auto-login password: *********"), localCommandColor()), false);
        next();
        return;
    case 2:
        if (connection->loginScript().isEmpty())
            return;
        m_scriptBridge->runLoginScript(connection->loginScript());
        return;
    default:
        return;
    }
}

void MUDDocument::MUDSocketHasDisconnected(MUDSocket*)
{
    hideConnectButton(false);
    setHistoryButtonEnabled(false);
    appendText(coloredString(QStringLiteral("You have been disconnected from the host server."), disconnectColor()),
               true);
    attemptReconnectIfNeeded();
}

void MUDDocument::MUDSocketConnectionFailed(MUDSocket*, const QString& errorMessage)
{
    const QString text = errorMessage.isEmpty()
                             ? QStringLiteral("Failed to connect to host server.")
                             : QStringLiteral("Failed to connect to host server: %1").arg(errorMessage);
    appendText(coloredString(text, disconnectColor()), true);
    attemptReconnectIfNeeded();
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
        CVLog(QStringLiteral("MUDDocument:ANSIDataProcessorReceivedData - Invalid UTF-8 replaced (%1 bytes in %2 chunks).")
                  .arg(invalid.bytes)
                  .arg(invalid.chunks));
    if (text.isEmpty()) {
        CVLog(QStringLiteral("MUDDocument:ANSIDataProcessorReceivedData - No receivedData length. Not going to post anything."));
        return;
    }
    receivedText(text);
}

void MUDDocument::receivedText(const MUDStyledText& text)
{
    appendServerText(text);
    m_mudJavascriptProcessor->processWaitingString(text.string());
    m_lastReceivedText = qint64(m_clock());
    m_unprocessedTriggerLength += text.length();
    LVDebounce::fireAfter(TriggerProcessDelay, this, "handleTriggerProcess", nullptr,
                          [self = QPointer<MUDDocument>(this)] {
                              if (self)
                                  self->handleTriggerProcess();
                          });
}

CVRange MUDDocument::triggerProcessingRange() const
{
    const qsizetype length = m_output.length();
    // After clearOutput the offset may lie past the end: start at the end then.
    const qsizetype floor = std::min(m_startOfTriggerProcessingOffset, length);
    const qsizetype window = std::max(m_unprocessedTriggerLength, MinimumTriggerWindow);
    if (length < window)
        return {floor, length - floor};
    qsizetype start = 0;
    const qsizetype searchEnd = length - window;
    for (qsizetype i = searchEnd - 1; i >= 0; --i) {
        if (m_output.characterAt(i) == u'\n') {
            start = i;
            break;
        }
    }
    start = std::max(start, floor);
    return {start, length - start};
}

void MUDDocument::handleTriggerProcess()
{
    if (m_mudTriggerProcessor && !m_closed) {
        const CVRange range = triggerProcessingRange();
        // The processor never reads further back than its match window from
        // the end, so only that tail is copied, however long the output.
        const qsizetype windowStart = std::max(range.location, range.end() - MUDTriggerProcessor::MatchWindow);
        m_mudTriggerProcessor->processTriggersInWindow(
            m_output.attributedSubstring({windowStart, m_output.length() - windowStart}), windowStart, range, 0,
            m_commandIndex);
    }
    m_unprocessedTriggerLength = 0;
}

void MUDDocument::appendAttributedString(const CVAttributedString& text)
{
    appendServerText(text);
}

template <typename Text>
void MUDDocument::appendServerText(const Text& text)
{
    m_output.append(text);
    m_proxyBridge->forwardServerText(text);
    emit scrollToEndRequested(false);
}

void MUDDocument::appendText(const CVAttributedString& text, bool requiresNewline)
{
    CVAttributedString run;
    if (requiresNewline && !m_output.isEmpty() && m_output.characterAt(m_output.length() - 1) != u'\n')
        run.append(u"\r\n", text.attributesAtIndex(0));
    run.append(text);
    QTextCharFormat font;
    font.setFont(localFont(), QTextCharFormat::FontPropertiesSpecifiedOnly);
    run.addAttributes(font, {0, run.length()});
    m_output.append(run);
    m_proxyBridge->forwardAppendedText(run);
    emit scrollToEndRequested(false);
}

void MUDDocument::appendLocalText(const CVAttributedString& text, bool requiresNewline)
{
    CVAttributedString marked = text;
    marked.addAttribute(MUDUserCommandProperty, 1, {0, marked.length()});
    // An echo that follows server text closely waits, so it does not land
    // inside a burst of output.
    if (m_clock() - double(m_lastReceivedText) < LocalEchoDelay) {
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
    if (m_mudTriggerProcessor)
        m_mudTriggerProcessor->setTriggers(currentTriggers());
}

void MUDDocument::attemptReconnectIfNeeded()
{
    if (!m_connection || !m_connection->automaticallyReconnect() || isConnected() || m_closed)
        return;
    ++m_reconnectCount;
    const QPointer<MUDDocument> self(this);
    std::shared_ptr<MUDCountdownAttribute> countdown = MUDCountdownAttribute::create(
        [self](MUDCountdownAttribute& attribute) {
            if (self)
                self->onCountdownFinished(attribute);
        },
        [self](MUDCountdownAttribute& attribute) {
            if (self)
                self->onCountdownTickAction(attribute);
        },
        ReconnectCountdown);
    countdown->setTickInterval(m_countdownTickInterval);
    CVAttributedString text = coloredString(reconnectingString(*countdown, m_reconnectCount), triggerDebugColor());
    text.addAttribute(MUDCountdownProperty, QVariant::fromValue(countdown), {0, text.length()});
    appendText(text, true);
    countdown->tick();
}

QString MUDDocument::reconnectingString(const MUDCountdownAttribute& countdown, qint64 connectionAttempt) const
{
    const quint64 remaining = countdown.countdownRemaining();
    return QStringLiteral("\r\nAttempting to reconnect (attempt #%1) in %2 second%3.")
        .arg(connectionAttempt)
        .arg(MUDSpellOutFormatter::spellOut(qint64(remaining)))
        .arg(remaining == 1 ? QString() : QStringLiteral("s"));
}

void MUDDocument::onCountdownTickAction(MUDCountdownAttribute& countdown)
{
    if (isConnected() || !m_windowVisible || m_closed)
        return;
    CVRange found{CVRange::NotFound, 0};
    m_output.enumerateAttributes(
        {0, m_output.length()},
        [&found](const QTextCharFormat& attributes, CVRange range, bool& stop) {
            if (attributes.hasProperty(MUDCountdownProperty)) {
                found = range;
                stop = true;
            }
        },
        MUDOutputModel::Direction::Reverse);
    if (!found.isNotFound())
        m_output.replaceCharacters(found, reconnectingString(countdown, m_reconnectCount));
    countdown.tick();
}

void MUDDocument::onCountdownFinished(MUDCountdownAttribute&)
{
    if (!isConnected() && m_windowVisible && !m_closed)
        connect();
}

void MUDDocument::removeAnyConnectionCountdown()
{
    const qsizetype length = m_output.length();
    const qsizetype searched = std::min(length, CountdownSearchLength);
    CVRange found{CVRange::NotFound, 0};
    std::shared_ptr<MUDCountdownAttribute> countdown;
    m_output.enumerateAttributes(
        {length - searched, searched},
        [&](const QTextCharFormat& attributes, CVRange range, bool& stop) {
            if (!attributes.hasProperty(MUDCountdownProperty))
                return;
            countdown = attributes.property(MUDCountdownProperty).value<std::shared_ptr<MUDCountdownAttribute>>();
            found = range;
            stop = true;
        },
        MUDOutputModel::Direction::Reverse);
    if (found.isNotFound())
        return;
    if (countdown)
        countdown->clearTarget();
    m_output.replaceCharacters(found, QString());
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
    if (!m_connection || !object.canConvert<MUDTriggersModifiedObject>()
        || object.value<MUDTriggersModifiedObject>().connectionId() != m_connection->connectionId())
        return;
    logMessageToContents(QStringLiteral("Triggers reloaded\r\n"));
    m_connection->forceLoadTriggers();
    if (m_mudTriggerProcessor)
        m_mudTriggerProcessor->setTriggers(currentTriggers());
    m_startOfTriggerProcessingOffset = m_output.length();
}

void MUDDocument::aliasesHaveBeenModified(const QVariant& object)
{
    if (!m_connection || !object.canConvert<MUDAliasesModifiedObject>()
        || object.value<MUDAliasesModifiedObject>().connectionId() != m_connection->connectionId())
        return;
    logMessageToContents(QStringLiteral("Aliases reloaded\r\n"));
    m_connection->forceLoadAliases();
}

void MUDDocument::processCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource)
{
    m_commandPipeline->processCommand(command, actionSource);
}

void MUDDocument::sendRawCommand(const QString& command, const std::shared_ptr<MUDJavascriptActionSource>& actionSource)
{
    m_commandPipeline->sendRawCommand(command, actionSource);
}

void MUDDocument::MUDCommandTextViewReturnKey() { m_commandPipeline->returnKey(); }
void MUDDocument::MUDCommandTextViewUpArrow() { m_commandPipeline->upArrow(); }
void MUDDocument::MUDCommandTextViewDownArrow() { m_commandPipeline->downArrow(); }
void MUDDocument::onHistoryItem(qsizetype index) { m_commandPipeline->historyItem(index); }
QStringList MUDDocument::MUDCommandTextWantsKeywords() const { return m_commandPipeline->keywords(); }

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
        lines.append(exit.details().isEmpty() ? exit.name() : QStringLiteral("%1 : %2").arg(exit.name(), exit.details()));
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
    if (!m_connection)
        return {};
    const QString folder = MUDPreservation::urlForConnection(*m_connection);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/state.json");
}

void MUDDocument::saveWindowState()
{
    const QString path = windowStatePath();
    if (path.isEmpty())
        return;
    MUDWindowState::Frames frames = m_windowFrames;
    if (!frames.contains(QStringLiteral("windowFrame")))
        frames.insert(QStringLiteral("windowFrame"), QRectF());
    QDir().mkpath(QFileInfo(path).path());
    MUDWindowState::write(path, frames);
}

void MUDDocument::restoreWindowState()
{
    const QString path = windowStatePath();
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        m_restoredWindowFrames.clear();
        emit windowStateRestored(false);
        return;
    }
    m_restoredWindowFrames = MUDWindowState::read(path);
    emit windowStateRestored(true);
}

QString MUDDocument::capturePath(qint64 secondsSince1970) const
{
    // The title names a folder: keep it to one safe path component.
    QString folder = escapeForFileName(m_connection ? m_connection->title() : QString());
    if (folder.isEmpty() || folder == u"." || folder == u"..")
        folder = QStringLiteral("untitled");
    return QStringLiteral("%1/capture/%2/%3.log.html")
        .arg(MUDPreservation::rootDirectoryPreservation(), folder)
        .arg(secondsSince1970);
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
    if (m_captureOutput && m_connection) {
        const QString path = capturePath(QDateTime::currentSecsSinceEpoch());
        QDir().mkpath(QFileInfo(path).path());
        MUDPreservation::saveData(xmlStringRepresentation().toUtf8(), path);
    }
    m_closed = true;
    for (const std::shared_ptr<MUDTimer>& timer : std::as_const(m_timers))
        timer->cancel();
    // As #stop does, and for good: no script of a closed session waits on.
    m_mudJavascriptProcessor->stopAllScripts();
    MUDNotificationCenter::defaultCenter().postNotification(mudDocumentClosedNotificationName());
}
