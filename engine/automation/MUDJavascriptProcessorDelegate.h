#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

class MUDExit;
class MUDJavascriptActionSource;
class MUDJavascriptProcessor;
class MUDMessage;
struct MUDJavascriptError;

// What a script does to its session. Implemented by the session; every
// method is called on the main thread while the script's thread waits.
class MUDJavascriptProcessorDelegate {
public:
    virtual ~MUDJavascriptProcessorDelegate() = default;

    // A script exception, a terminated script, or the report before a debug script runs.
    virtual void javascriptProcessorHasError(MUDJavascriptProcessor* processor, const MUDJavascriptError& error) = 0;
    virtual void javascriptProcessorRequestsCommand(MUDJavascriptProcessor* processor, const QString& command,
                                                    const std::shared_ptr<MUDJavascriptActionSource>& actionSource) = 0;
    virtual void javascriptProcessorRequestsLog(MUDJavascriptProcessor* processor, const QString& text) = 0;
    // Optional: sessions that keep no script aliases leave it alone.
    virtual void javascriptProcessorSetAlias(MUDJavascriptProcessor*, const QString&, const QVariant&) { }
    virtual void javascriptProcessorReceivedMessage(MUDJavascriptProcessor* processor, const MUDMessage& message) = 0;
    virtual void javascriptProcessorSetExits(MUDJavascriptProcessor* processor, const QList<MUDExit>& exits) = 0;
    virtual void javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor* processor, const QString& text) = 0;
    virtual void javascriptProcessorRequestsNotification(MUDJavascriptProcessor* processor, const QString& title,
                                                         const QString& message) = 0;
    virtual void javascriptProcessorSetBadge(MUDJavascriptProcessor* processor, const QString& text) = 0;
    virtual void javascriptProcessorSetStatus(MUDJavascriptProcessor* processor, const QString& text) = 0;
    // speak(text) and stopSpeaking(); a delegate without speech ignores them.
    virtual void javascriptProcessorSpeak(MUDJavascriptProcessor*, const QString&) { }
    virtual void javascriptProcessorStopSpeaking(MUDJavascriptProcessor*) { }
    // sendGMCP(package, value): true when the message went out or was kept
    // for the connection; a delegate without GMCP sends nothing.
    virtual bool javascriptProcessorSendGMCP(MUDJavascriptProcessor*, const QString&, const QJsonValue&)
    {
        return false;
    }
};
