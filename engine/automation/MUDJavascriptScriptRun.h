#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"

class MUDJavascriptActionSource;
class MUDJavascriptContext;
class MUDJavascriptProcessor;

// One run of one script: its context, the functions it offers the script,
// the stop check and the account of how long its JavaScript has run. Lives
// on the thread that runs the script, for the duration of the run; the
// functions hop to the main thread for everything that touches the session.
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

    QVariant log(const QVariantList& arguments);
    QVariant command(const QVariantList& arguments);
    QVariant wait(const QVariantList& arguments);
    QVariant beep(const QVariantList& arguments);
    QVariant notify(const QVariantList& arguments);
    QVariant badge(const QVariantList& arguments);
    QVariant status(const QVariantList& arguments);
    QVariant getVar(const QVariantList& arguments);
    QVariant setVar(const QVariantList& arguments);
    QVariant setAlias(const QVariantList& arguments);
    QVariant addComm(const QVariantList& arguments);
    QVariant setExits(const QVariantList& arguments);
    QVariant processForAutocomplete(const QVariantList& arguments);
    QVariant isEmpty(const QVariantList& arguments);
    QVariant unset(const QVariantList& arguments);
    QVariant commandAndReadFromServer(const QVariantList& arguments);

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
