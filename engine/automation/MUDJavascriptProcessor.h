#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"

class MUDJavascriptActionSource;
class MUDJavascriptContext;
class MUDJavascriptContextGroup;
class MUDJavascriptContextPool;
class MUDGMCPState;
class MUDJavascriptProcessorDelegate;

// A session's JavaScript runtime: runs each action as a script in a context
// of the runtime's one context group, where no earlier script left a trace
// (see MUDJavascriptContextPool), keeps the session's script
// variables, the scripts waiting for server data and the stop mark.
// Create with std::make_shared. Scripts run on their caller's thread; the
// delegate is used on the main thread only; the variables (which every
// trigger script may read and write, so they must not cost a trip to the
// main thread) and the waiting list are guarded by locks of their own; the stop mark is atomic; waiting scripts
// sleep on a condition variable under their own mutex.
class MUDJavascriptProcessor : public std::enable_shared_from_this<MUDJavascriptProcessor> {
public:
    // Seconds of JavaScript a script may run before it is terminated; time
    // spent in wait and commandAndReadFromServer does not count.
    static constexpr double DefaultExecutionTimeLimit = 10.0;
    // Milliseconds commandAndReadFromServer waits for the first answer.
    static constexpr int ReadFromServerTimeoutMs = 5000;
    // Seconds of server silence after which a waiting script wakes.
    static constexpr double ReadFromServerSilence = 0.25;

    explicit MUDJavascriptProcessor(MUDJavascriptProcessorDelegate* delegate);
    ~MUDJavascriptProcessor();
    MUDJavascriptProcessor(const MUDJavascriptProcessor&) = delete;
    MUDJavascriptProcessor& operator=(const MUDJavascriptProcessor&) = delete;

    // Main thread. The session clears it when it goes away.
    MUDJavascriptProcessorDelegate* delegate() const { return m_delegate; }
    void setDelegate(MUDJavascriptProcessorDelegate* delegate) { m_delegate = delegate; }

    // Any thread.
    QVariantMap variables() const;
    void setVariable(const QString& name, const QVariant& value);
    void removeVariable(const QString& name);
    // The variable's value; one that does not exist yet is created holding
    // `missing`, in the same step.
    QVariant variableOrInsert(const QString& name, const QVariant& missing);

    quint64 stopIndex() const { return m_stopIndex.load(); }
    // Both raise the stop mark and wake waiting scripts so they see it.
    void setStopIndex(quint64 commandIndex);
    void continueAnyWaits(quint64 commandIndex);
    // Stops every script, running or started later, for good: the session
    // is closing. Any thread.
    void stopAllScripts();
    // Whether a script started at `commandIndex` is to stop. Any thread.
    bool isStopping(quint64 commandIndex) const;

    // Blocks a script's thread until `deadline`, until `done` holds (asked
    // again at each wake-up) or until the script is stopping, whichever
    // comes first; true when `done` held. A stop and arriving server text
    // wake it at once, so a stopped script never sleeps on.
    bool waitForScript(quint64 commandIndex, std::chrono::steady_clock::time_point deadline,
                       const std::function<bool()>& done = {});

    // A snapshot taken under the list's lock.
    QList<std::shared_ptr<MUDJavascriptActionSource>> waitingActions() const;
    void addWaitingAction(const std::shared_ptr<MUDJavascriptActionSource>& source);
    void removeWaitingAction(const std::shared_ptr<MUDJavascriptActionSource>& source);

    // Runs `action` as a script on the calling thread and returns when it has
    // finished. A null action logs "Break" and runs nothing.
    void processActionAsJavascript(const QString& action, std::shared_ptr<MUDJavascriptActionSource> actionSource,
                                   const std::optional<MUDScriptParameters>& parameters, quint64 commandIndex);

    // Main thread: server text for every script waiting in commandAndReadFromServer.
    void processWaitingString(const QString& text);
    // Main thread: wakes one waiting script.
    void actionSourceHasReceivedData(const std::shared_ptr<MUDJavascriptActionSource>& source);

    // Substitutes `parameters` into `script` and evaluates it in `context`.
    // An exception's text goes to `exception` when given.
    QVariant evaluateScript(const QString& script, MUDJavascriptContext& context,
                            const std::optional<MUDScriptParameters>& parameters,
                            std::optional<QString>* exception = nullptr);

    static QString replaceParametersInString(const QString& text, const std::optional<MUDScriptParameters>& parameters);

    // The context group every script of this runtime runs in.
    MUDJavascriptContextGroup& group() const { return *m_group; }
    // The contexts scripts of this runtime share; any thread.
    MUDJavascriptContextPool& contextPool() const { return *m_contextPool; }

    // What the server last sent per GMCP package, for getGMCP; any thread.
    MUDGMCPState& gmcpState() const { return *m_gmcpState; }

    // Injectable for tests; any thread.
    double executionTimeLimit() const { return m_executionTimeLimit.load(); }
    void setExecutionTimeLimit(double seconds) { m_executionTimeLimit.store(seconds); }
    int readFromServerTimeoutMs() const { return m_readFromServerTimeoutMs.load(); }
    void setReadFromServerTimeoutMs(int ms) { m_readFromServerTimeoutMs.store(ms); }

private:
    void wakeWaitingScripts();

    MUDJavascriptProcessorDelegate* m_delegate = nullptr;
    mutable QMutex m_variablesLock;
    QVariantMap m_currentValues;
    std::atomic<quint64> m_stopIndex{0};
    std::atomic<bool> m_allStopped{false};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    mutable QMutex m_waitingLock;
    QList<std::shared_ptr<MUDJavascriptActionSource>> m_waitingActions;
    std::unique_ptr<MUDJavascriptContextGroup> m_group;
    // After the group: its contexts go before the group does.
    std::unique_ptr<MUDJavascriptContextPool> m_contextPool;
    std::unique_ptr<MUDGMCPState> m_gmcpState;
    std::atomic<double> m_executionTimeLimit{DefaultExecutionTimeLimit};
    std::atomic<int> m_readFromServerTimeoutMs{ReadFromServerTimeoutMs};
};
