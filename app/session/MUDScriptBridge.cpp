#include "app/session/MUDScriptBridge.h"

#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionGMCP.h"
#include "app/session/MUDSpeaker.h"
#include "core/CVLogHelper.h"
#include "core/CVOperationQueue.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDExit.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDMessage.h"
#include "engine/automation/MUDTimer.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDKeywordProcessor.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"

MUDScriptBridge::MUDScriptBridge(MUDDocument& document)
    : m_document(document)
{
}

void MUDScriptBridge::runInBackground(const QString& action, std::shared_ptr<MUDJavascriptActionSource> actionSource,
                                      const std::optional<MUDScriptParameters>& parameters)
{
    CVOperationQueue::sharedBlocking().addOperation([processor = m_document.javascriptProcessor(), action,
                                                     source = std::move(actionSource), parameters,
                                                     commandIndex = m_document.commandPipeline().commandIndex()] {
        processor->processActionAsJavascript(action, source, parameters, commandIndex);
    });
}

void MUDScriptBridge::runLoginScript(const QString& script)
{
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("Login script"));
    CVOperationQueue::sharedBlocking().addOperation([processor = m_document.javascriptProcessor(), script, source] {
        processor->processActionAsJavascript(script, source, std::nullopt, 0);
    });
}

void MUDScriptBridge::javascriptProcessorRequestsCommand(MUDJavascriptProcessor*, const QString& command,
                                                         const std::shared_ptr<MUDJavascriptActionSource>& actionSource)
{
    QString echo;
    if (actionSource && actionSource->targetObjectAs<MUDTrigger>())
        echo = QStringLiteral("Trigger command: %1\r\n").arg(command);
    else if (actionSource && actionSource->targetObjectAs<MUDAlias>())
        echo = QStringLiteral("Alias command: %1\r\n").arg(command);
    else
        echo = QStringLiteral("Script (%1) command: %2\r\n")
                   .arg(actionSource ? actionSource->actionName() : QString(), command);
    m_document.appendLocalText(MUDDocument::coloredString(echo, MUDDocument::localCommandColor()), true);
    m_document.processCommand(command, actionSource);
}

void MUDScriptBridge::javascriptProcessorRequestsLog(MUDJavascriptProcessor*, const QString& text)
{
    m_document.appendLocalText(
        MUDDocument::coloredString(QStringLiteral("Log: %1\r\n").arg(text), MUDDocument::localCommandColor()), true);
}

void MUDScriptBridge::javascriptProcessorHasError(MUDJavascriptProcessor*, const MUDJavascriptError& error)
{
    const bool debug = error.errorMessage == u"Debug";
    QString text = debug ? QStringLiteral("Debug: `%1`. ").arg(error.scriptName)
                         : QStringLiteral("Error in `%1`. %2. ").arg(error.scriptName, error.errorMessage);
    text.replace(QStringLiteral(".."), QStringLiteral("."));
    CVAttributedString line =
        MUDDocument::coloredString(text, debug ? MUDDocument::debugMessageColor() : MUDDocument::errorMessageColor());
    if (!error.rawScript.isEmpty()) {
        // The run links to the error itself; the window opens its details on a click.
        QTextCharFormat link;
        link.setAnchor(true);
        link.setProperty(MUDScriptErrorLinkProperty, QVariant::fromValue(error));
        line.append(u"(details)\r\n", link);
    } else {
        line.append(u"\r\n", line.attributesAtIndex(0));
    }
    m_document.appendLocalText(line, true);
}

void MUDScriptBridge::javascriptProcessorReceivedMessage(MUDJavascriptProcessor*, const MUDMessage& message)
{
    if (message.message().trimmed().isEmpty()) {
        m_document.appendLocalText(
            MUDDocument::coloredString(QStringLiteral("Log: Failed to append a blank message.\r\n"),
                                       MUDDocument::localCommandColor()),
            true);
        return;
    }
    m_document.addMessage(message);
}

void MUDScriptBridge::javascriptProcessorSetExits(MUDJavascriptProcessor*, const QList<MUDExit>& exits)
{
    m_document.setExits(exits);
}

void MUDScriptBridge::javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor*, const QString& text)
{
    if (MUDKeywordProcessor* keywords = m_document.keywordProcessor())
        keywords->processHostString(text);
}

void MUDScriptBridge::javascriptProcessorRequestsNotification(MUDJavascriptProcessor*, const QString& title,
                                                              const QString& message)
{
    CVLog(QStringLiteral("Want to post notification: %1 - %2").arg(title, message));
    if (MUDDesktopIntegration* desktop = m_document.desktop())
        desktop->postNotification(title, message);
}

void MUDScriptBridge::javascriptProcessorSetBadge(MUDJavascriptProcessor*, const QString& text)
{
    if (MUDDesktopIntegration* desktop = m_document.desktop())
        desktop->setBadge(text);
}

void MUDScriptBridge::javascriptProcessorSpeak(MUDJavascriptProcessor*, const QString& text)
{
    MUDSpeaker::sharedInstance().speak(text);
}

void MUDScriptBridge::javascriptProcessorStopSpeaking(MUDJavascriptProcessor*)
{
    MUDSpeaker::sharedInstance().stop();
}

bool MUDScriptBridge::javascriptProcessorSendGMCP(MUDJavascriptProcessor*, const QString& package,
                                                  const QJsonValue& value)
{
    return m_document.gmcp().send(package, value);
}

void MUDScriptBridge::javascriptProcessorSetStatus(MUDJavascriptProcessor*, const QString& text)
{
    if (MUDDesktopIntegration* desktop = m_document.desktop())
        desktop->setStatus(text);
}

void MUDScriptBridge::javascriptProcessorSetAlias(MUDJavascriptProcessor*, const QString& alias,
                                                  const QVariant& command)
{
    saveAlias(alias, command.toString());
}

bool MUDScriptBridge::saveAlias(const QString& keyword, const QString& command)
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    if (!connection)
        return false;
    // Stored records are named by their title, so the keyword names the file.
    auto record = std::make_shared<MUDAlias>();
    record->setTitle(keyword);
    record->setMatchString(keyword);
    record->setCommand(command);
    record->setIsNew(true);
    record->setParentURL(MUDPreservation::urlForAliasesInConnection(*connection));
    if (CVError error; !MUDPreservation::saveAliases({record}, *connection, &error)) {
        CVLog(QStringLiteral("MUDScriptBridge - alias not stored: %1").arg(error.description));
        return false;
    }
    if (CVError error; !MUDConnectionLists::forceLoadAliases(*connection, &error))
        CVLog(QStringLiteral("MUDScriptBridge - no aliases loaded: %1").arg(error.description));
    return true;
}

void MUDScriptBridge::MUDTimerRequestsCommand(MUDTimer* timer, const QString& command)
{
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("MUDTimer"));
    source->setTargetObject(timer->shared_from_this());
    runInBackground(command, source, std::nullopt);
}
