#pragma once

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <ostream>

#include "core/CVMainThread.h"
#include "engine/automation/MUDExit.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDJavascriptProcessorDelegate.h"
#include "engine/automation/MUDMessage.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Records every delegate call as a line ("command: look") and counts calls
// that arrived off the main thread. Lives on the test's main thread.
class MUDJavascriptRecordingDelegate : public MUDJavascriptProcessorDelegate {
public:
    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    QList<MUDJavascriptError> errors() const
    {
        QMutexLocker lock(&m_mutex);
        return m_errors;
    }
    int offMainThreadCalls() const { return m_offMainThread.load(); }

    // Called (on the main thread) after a command was recorded.
    std::function<void(const QString&, const std::shared_ptr<MUDJavascriptActionSource>&)> onCommand;
    std::shared_ptr<MUDJavascriptActionSource> lastCommandSource;

    void javascriptProcessorHasError(MUDJavascriptProcessor*, const MUDJavascriptError& error) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_errors.append(error);
        }
        record(QStringLiteral("error: ") + error.errorMessage);
    }
    void javascriptProcessorRequestsCommand(MUDJavascriptProcessor*, const QString& command,
                                            const std::shared_ptr<MUDJavascriptActionSource>& source) override
    {
        lastCommandSource = source;
        record(QStringLiteral("command: ") + command);
        if (onCommand)
            onCommand(command, source);
    }
    void javascriptProcessorRequestsLog(MUDJavascriptProcessor*, const QString& text) override
    {
        record(QStringLiteral("log: ") + text);
    }
    void javascriptProcessorSetAlias(MUDJavascriptProcessor*, const QString& name, const QVariant& command) override
    {
        record(QStringLiteral("alias: %1=%2").arg(name, command.toString()));
    }
    void javascriptProcessorReceivedMessage(MUDJavascriptProcessor*, const MUDMessage& message) override
    {
        record(QStringLiteral("message: ") + message.message());
    }
    void javascriptProcessorSetExits(MUDJavascriptProcessor*, const QList<MUDExit>& exits) override
    {
        QStringList names;
        for (const MUDExit& exit : exits)
            names.append(exit.name());
        record(QStringLiteral("exits: ") + names.join(QLatin1Char('|')));
    }
    void javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor*, const QString& text) override
    {
        record(QStringLiteral("autocomplete: ") + text);
    }
    void javascriptProcessorRequestsNotification(MUDJavascriptProcessor*, const QString& title,
                                                 const QString& message) override
    {
        record(QStringLiteral("notify: %1/%2").arg(title, message));
    }
    void javascriptProcessorSetBadge(MUDJavascriptProcessor*, const QString& text) override
    {
        record(QStringLiteral("badge: ") + text);
    }
    void javascriptProcessorSetStatus(MUDJavascriptProcessor*, const QString& text) override
    {
        record(QStringLiteral("status: ") + text);
    }
    // Recorded as the payload the session would send; answers sendGMCPResult.
    bool javascriptProcessorSendGMCP(MUDJavascriptProcessor*, const QString& package, const QJsonValue& value) override
    {
        record(QStringLiteral("gmcp: ") + QString::fromUtf8(MUDGMCPMessage::payload(package, value)));
        return sendGMCPResult;
    }
    std::atomic<bool> sendGMCPResult{true};

private:
    void record(const QString& line)
    {
        if (!fc_isMainThread())
            ++m_offMainThread;
        QMutexLocker lock(&m_mutex);
        m_calls.append(line);
    }

    mutable QMutex m_mutex;
    QStringList m_calls;
    QList<MUDJavascriptError> m_errors;
    std::atomic<int> m_offMainThread{0};
};

// Runs a script on a worker thread while the caller spins the main thread's
// event loop, so the main-thread hops are real. Returns false on time-out.
struct MUDJavascriptBackgroundRun {
    static bool run(const std::shared_ptr<MUDJavascriptProcessor>& processor, const QString& action,
                    std::shared_ptr<MUDJavascriptActionSource> source,
                    const std::optional<MUDScriptParameters>& parameters, quint64 commandIndex, int timeoutMs = 10000,
                    const std::function<void()>& whileRunning = {});
};
