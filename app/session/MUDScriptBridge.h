#pragma once

#include <QString>
#include <QTextFormat>
#include <memory>
#include <optional>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"
#include "engine/automation/MUDJavascriptProcessorDelegate.h"
#include "engine/automation/MUDTimerDelegate.h"

#include "engine/automation/MUDJavascriptError.h"

class MUDDocument;

// The link value of an error line's "(details)" run: the MUDJavascriptError.
inline constexpr int MUDScriptErrorLinkProperty = QTextFormat::UserProperty + 0x4d10;

// How scripts and command timers act on their session: the runtime's and
// the timers' delegate. Echoes what scripts ask for, sends their commands
// through the command path, shows their errors, messages and exits, and
// passes badge, status and notifications to the desktop. Main thread (the
// runtime calls in there while the script's thread waits); scripts are
// started on the shared queue for blocking work.
class MUDScriptBridge : public MUDJavascriptProcessorDelegate, public MUDTimerDelegate {
public:
    explicit MUDScriptBridge(MUDDocument& document);

    // Runs `action` on the shared queue for blocking work, so a script that
    // waits for server text never blocks the main thread that delivers it,
    // nor a worker that trigger matching needs.
    void runInBackground(const QString& action, std::shared_ptr<MUDJavascriptActionSource> actionSource,
                         const std::optional<MUDScriptParameters>& parameters);
    void runLoginScript(const QString& script);
    // Stores a keyword alias for the session's connection and reloads its
    // aliases; storage failures are only logged. False when the connection
    // has no folder to keep it in (an unsaved connection).
    bool saveAlias(const QString& keyword, const QString& command);

    void javascriptProcessorHasError(MUDJavascriptProcessor* processor, const MUDJavascriptError& error) override;
    void javascriptProcessorRequestsCommand(MUDJavascriptProcessor* processor, const QString& command,
                                            const std::shared_ptr<MUDJavascriptActionSource>& actionSource) override;
    void javascriptProcessorRequestsLog(MUDJavascriptProcessor* processor, const QString& text) override;
    void javascriptProcessorSetAlias(MUDJavascriptProcessor* processor, const QString& alias,
                                     const QVariant& command) override;
    void javascriptProcessorReceivedMessage(MUDJavascriptProcessor* processor, const MUDMessage& message) override;
    void javascriptProcessorSetExits(MUDJavascriptProcessor* processor, const QList<MUDExit>& exits) override;
    void javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor* processor, const QString& text) override;
    void javascriptProcessorRequestsNotification(MUDJavascriptProcessor* processor, const QString& title,
                                                 const QString& message) override;
    void javascriptProcessorSetBadge(MUDJavascriptProcessor* processor, const QString& text) override;
    void javascriptProcessorSetStatus(MUDJavascriptProcessor* processor, const QString& text) override;
    void javascriptProcessorSpeak(MUDJavascriptProcessor* processor, const QString& text) override;
    void javascriptProcessorStopSpeaking(MUDJavascriptProcessor* processor) override;
    bool javascriptProcessorSendGMCP(MUDJavascriptProcessor* processor, const QString& package,
                                     const QJsonValue& value) override;

    void MUDTimerRequestsCommand(MUDTimer* timer, const QString& command) override;

private:
    MUDDocument& m_document;
};
