#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"

class MUDJavascriptActionSource;
class MUDJavascriptArguments;
class MUDJavascriptContext;
class MUDJavascriptProcessor;

// One run of one script: the functions it offers the script, the stop check
// and the account of how long its JavaScript has run. The context is its own
// or borrowed from the runtime's pool for the run. Lives on the thread that
// runs the script, for the duration of the run; the functions hop to the
// main thread for everything that touches the session.
class MUDJavascriptScriptRun {
public:
    enum class Termination { None, TimeLimit, Stopped };

    MUDJavascriptScriptRun(MUDJavascriptProcessor& processor, std::shared_ptr<MUDJavascriptActionSource> source,
                           const std::optional<MUDScriptParameters>& parameters, quint64 commandIndex);
    ~MUDJavascriptScriptRun();
    MUDJavascriptScriptRun(const MUDJavascriptScriptRun&) = delete;
    MUDJavascriptScriptRun& operator=(const MUDJavascriptScriptRun&) = delete;

    // The global functions every script context offers.
    static QStringList functionNames();
    // Gives a new context of the runtime's group what every script expects
    // besides the functions: `global`, `console.log` and `app.command`.
    static void prepareContext(MUDJavascriptContext& context);
    // The action as the function it runs in, called at once: the raw script.
    static QString wrapScript(const QString& action);
    // The function body inside a wrapped script, when the wrapper came
    // through parameter substitution untouched.
    static std::optional<QString> functionBody(const QString& wrapped);

    // Runs the action (a null action logs "Break").
    void run(const QString& action);

    // Asked by the engine on the script's thread during long JavaScript.
    bool shouldTerminate();

private:
    friend struct MUDJavascriptScriptRunTable;
    bool isStopping();
    void reportError(const QString& message);
    void installFunctions();
    double javascriptSeconds() const;

    QVariant log(const MUDJavascriptArguments& arguments);
    QVariant command(const MUDJavascriptArguments& arguments);
    QVariant wait(const MUDJavascriptArguments& arguments);
    QVariant beep(const MUDJavascriptArguments& arguments);
    QVariant notify(const MUDJavascriptArguments& arguments);
    QVariant speak(const MUDJavascriptArguments& arguments);
    QVariant stopSpeaking(const MUDJavascriptArguments& arguments);
    QVariant badge(const MUDJavascriptArguments& arguments);
    QVariant status(const MUDJavascriptArguments& arguments);
    QVariant getVar(const MUDJavascriptArguments& arguments);
    QVariant setVar(const MUDJavascriptArguments& arguments);
    QVariant setAlias(const MUDJavascriptArguments& arguments);
    QVariant addComm(const MUDJavascriptArguments& arguments);
    QVariant setExits(const MUDJavascriptArguments& arguments);
    QVariant processForAutocomplete(const MUDJavascriptArguments& arguments);
    QVariant isEmpty(const MUDJavascriptArguments& arguments);
    QVariant unset(const MUDJavascriptArguments& arguments);
    QVariant commandAndReadFromServer(const MUDJavascriptArguments& arguments);
    QVariant getGMCP(const MUDJavascriptArguments& arguments);
    QVariant sendGMCP(const MUDJavascriptArguments& arguments);

    MUDJavascriptProcessor& m_processor;
    std::shared_ptr<MUDJavascriptActionSource> m_source;
    std::optional<MUDScriptParameters> m_parameters;
    quint64 m_commandIndex;
    QString m_actionName;
    QString m_rawScript;
    QString m_processedScript;
    std::unique_ptr<MUDJavascriptContext> m_context;
    bool m_reportedStopping = false;
    Termination m_termination = Termination::None;
    QElapsedTimer m_clock;
    // Time spent blocked in wait and commandAndReadFromServer.
    qint64 m_excludedNs = 0;
};
