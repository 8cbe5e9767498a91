#include "engine/automation/MUDJavascriptScriptRun.h"

#include <chrono>
#include <vector>

#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"
#include "core/CVSemaphore.h"
#include "engine/automation/MUDBeepSound.h"
#include "engine/automation/MUDExit.h"
#include "engine/automation/MUDGMCPState.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptContextPool.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDJavascriptProcessorDelegate.h"
#include "engine/automation/MUDMessage.h"
#include "engine/automation/MUDScriptSeconds.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"

namespace {

const QString kNil = QStringLiteral("<nil>");

const QString kWrapperStart = QStringLiteral("function QuarrowTempFunction() {\r\n");
const QString kWrapperEnd = QStringLiteral("\r\n}\r\n\r\nQuarrowTempFunction();");

std::chrono::steady_clock::duration secondsDuration(double seconds)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

// Calls the delegate on the main thread and waits; does nothing without one.
template<class Call> void onDelegate(MUDJavascriptProcessor& processor, Call call)
{
    fc_executeOnMainThreadSync([&processor, &call] {
        if (auto* delegate = processor.delegate())
            call(delegate);
    });
}

}

MUDJavascriptScriptRun::MUDJavascriptScriptRun(MUDJavascriptProcessor& processor,
                                               std::shared_ptr<MUDJavascriptActionSource> source,
                                               const std::optional<MUDScriptParameters>& parameters,
                                               quint64 commandIndex)
    : m_processor(processor)
    , m_source(std::move(source))
    , m_parameters(parameters)
    , m_commandIndex(commandIndex)
    , m_actionName(m_source->actionName())
{
}

MUDJavascriptScriptRun::~MUDJavascriptScriptRun() = default;

namespace {

using Method = QVariant (MUDJavascriptScriptRun::*)(const MUDJavascriptArguments&);

// The global functions every script context offers; the position in this
// table is the function's index in the context group.
struct ScriptFunction {
    const char* name;
    Method method;
};

}

// Declared here, not in the anonymous namespace, so it can name the private
// methods through the friend declaration.
struct MUDJavascriptScriptRunTable {
    static const std::vector<ScriptFunction>& functions()
    {
        using R = MUDJavascriptScriptRun;
        static const std::vector<ScriptFunction> table = {
            {"log", &R::log},
            {"command", &R::command},
            {"wait", &R::wait},
            {"beep", &R::beep},
            {"notify", &R::notify},
            {"badge", &R::badge},
            {"status", &R::status},
            {"getVar", &R::getVar},
            {"getvar", &R::getVar},
            {"getValue", &R::getVar},
            {"setValue", &R::setVar},
            {"setvalue", &R::setVar},
            {"setVar", &R::setVar},
            {"setAlias", &R::setAlias},
            {"addComm", &R::addComm},
            {"setExits", &R::setExits},
            {"processForAutocomplete", &R::processForAutocomplete},
            {"isEmpty", &R::isEmpty},
            {"unset", &R::unset},
            {"commandAndReadFromServer", &R::commandAndReadFromServer},
            {"speak", &R::speak},
            {"stopSpeaking", &R::stopSpeaking},
            {"getGMCP", &R::getGMCP},
            {"sendGMCP", &R::sendGMCP},
        };
        return table;
    }
};

QStringList MUDJavascriptScriptRun::functionNames()
{
    QStringList names;
    for (const ScriptFunction& function : MUDJavascriptScriptRunTable::functions())
        names.append(QString::fromLatin1(function.name));
    return names;
}

QString MUDJavascriptScriptRun::wrapScript(const QString& action)
{
    return kWrapperStart + action + kWrapperEnd;
}

std::optional<QString> MUDJavascriptScriptRun::functionBody(const QString& wrapped)
{
    if (!wrapped.startsWith(kWrapperStart) || !wrapped.endsWith(kWrapperEnd) ||
        wrapped.size() < kWrapperStart.size() + kWrapperEnd.size())
        return std::nullopt;
    return wrapped.mid(kWrapperStart.size(), wrapped.size() - kWrapperStart.size() - kWrapperEnd.size());
}

void MUDJavascriptScriptRun::prepareContext(MUDJavascriptContext& context)
{
    // Scripts reach the global object as `global`; console and app carry
    // aliases of two functions. Defined directly rather than by evaluating
    // "var global = this; var console = {}; var app = {};": same effect,
    // no parse.
    context.defineGlobalSelfReference(QStringLiteral("global"));
    context.defineGlobalObject(QStringLiteral("console"));
    context.defineGlobalObject(QStringLiteral("app"));
    context.aliasFunction(QStringLiteral("console"), QStringLiteral("log"), QStringLiteral("log"));
    context.aliasFunction(QStringLiteral("app"), QStringLiteral("command"), QStringLiteral("command"));
}

void MUDJavascriptScriptRun::run(const QString& action)
{
    m_clock.start();
    m_rawScript = wrapScript(action);
    m_processedScript = m_processor.replaceParametersInString(m_rawScript, m_parameters);

    if (m_source->isDebug()) {
        const MUDJavascriptError report{m_actionName, m_rawScript, m_processedScript, m_parameters,
                                        QStringLiteral("Debug")};
        onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
            delegate->javascriptProcessorHasError(&m_processor, report);
        });
    }

    if (action.isNull()) {
        CVLog(QStringLiteral("Break"));
        return;
    }
    MUDJavascriptContextPool& pool = m_processor.contextPool();
    const std::optional<QString> body =
        functionBody(MUDJavascriptParameterSubstitution::replaceParametersInCode(m_rawScript, m_parameters));
    if (body)
        m_context = pool.borrowContext(*body);
    const bool borrowed = m_context != nullptr;
    if (!borrowed)
        m_context = pool.createContext();
    installFunctions();

    std::optional<QString> exception;
    // A shared context runs the body as a kept function: the check that let
    // the script share it also keeps it from reaching that function.
    const std::optional<QString> processedBody = borrowed ? functionBody(m_processedScript) : std::nullopt;
    if (processedBody) {
        QString thrown;
        if (!m_context->callFunctionBody(*processedBody, nullptr, &thrown))
            exception = thrown;
    } else {
        m_processor.evaluateScript(m_processedScript, *m_context, {}, &exception);
    }
    m_context->setUserData(nullptr);
    m_context->setHandler({});
    // A terminated script may have stopped anywhere, even inside the engine's
    // own work: its context is not trusted again.
    if (borrowed && m_termination == Termination::None)
        pool.giveBack(std::move(m_context));
    if (!exception)
        return;
    switch (m_termination) {
    case Termination::TimeLimit:
        reportError(QStringLiteral("Script terminated: its JavaScript ran for more than %1 seconds.")
                        .arg(m_processor.executionTimeLimit()));
        break;
    case Termination::Stopped: reportError(QStringLiteral("Script terminated: scripts were stopped.")); break;
    case Termination::None: reportError(*exception); break;
    }
}

void MUDJavascriptScriptRun::reportError(const QString& message)
{
    CVLog(
        QStringLiteral("%1 (%2) has error: %3")
            .arg(QStringLiteral("MUDJavascriptProcessor:processActionAsJavascript"), m_source->description(), message));
    const MUDJavascriptError error{m_actionName, m_rawScript, m_processedScript, m_parameters, message};
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorHasError(&m_processor, error);
    });
}

bool MUDJavascriptScriptRun::shouldTerminate()
{
    if (m_processor.isStopping(m_commandIndex))
        m_termination = Termination::Stopped;
    else if (javascriptSeconds() > m_processor.executionTimeLimit())
        m_termination = Termination::TimeLimit;
    return m_termination != Termination::None;
}

double MUDJavascriptScriptRun::javascriptSeconds() const
{
    return double(m_clock.nsecsElapsed() - m_excludedNs) / 1e9;
}

bool MUDJavascriptScriptRun::isStopping()
{
    if (!m_processor.isStopping(m_commandIndex))
        return false;
    if (!m_reportedStopping) {
        m_reportedStopping = true;
        const QString text = QStringLiteral("%1 is stopping.").arg(m_actionName);
        onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
            delegate->javascriptProcessorRequestsLog(&m_processor, text);
        });
    }
    return true;
}

void MUDJavascriptScriptRun::installFunctions()
{
    m_context->setUserData(this);
    m_context->setHandler([this](int index, const MUDJavascriptArguments& arguments) {
        const auto& functions = MUDJavascriptScriptRunTable::functions();
        if (index < 0 || index >= int(functions.size()))
            return QVariant();
        return (this->*functions[size_t(index)].method)(arguments);
    });
}

QVariant MUDJavascriptScriptRun::log(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    CVLog(QStringLiteral("Source (%1) log: %2").arg(m_actionName, text));
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorRequestsLog(&m_processor, text);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::command(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorRequestsCommand(&m_processor, text, m_source);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::wait(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const double seconds = MUDScriptSeconds::fromText(arguments.text());
    if (!(seconds > 0))
        return {};
    QElapsedTimer waited;
    waited.start();
    m_processor.waitForScript(m_commandIndex, std::chrono::steady_clock::now() + secondsDuration(seconds));
    m_excludedNs += waited.nsecsElapsed();
    // When a stop ended the wait, the script says so once, as every function would.
    isStopping();
    return {};
}

QVariant MUDJavascriptScriptRun::beep(const MUDJavascriptArguments&)
{
    if (isStopping())
        return {};
    fc_executeOnMainThreadSync([] { MUDBeepSound::play(); });
    return {};
}

QVariant MUDJavascriptScriptRun::speak(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorSpeak(&m_processor, text);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::stopSpeaking(const MUDJavascriptArguments&)
{
    if (isStopping())
        return {};
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorStopSpeaking(&m_processor);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::notify(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString message = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorRequestsNotification(&m_processor, m_actionName, message);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::badge(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorSetBadge(&m_processor, text);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::status(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorSetStatus(&m_processor, text);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::getVar(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    return m_processor.variableOrInsert(arguments.text(), kNil);
}

QVariant MUDJavascriptScriptRun::setVar(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString name = arguments.text();
    m_processor.setVariable(name, arguments.value(1));
    return {};
}

QVariant MUDJavascriptScriptRun::setAlias(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString name = arguments.text();
    const QVariant commandValue = arguments.text(1);
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorSetAlias(&m_processor, name, commandValue);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::addComm(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    if (text.trimmed().isEmpty())
        return {};
    const MUDMessage message(text);
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorReceivedMessage(&m_processor, message);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::setExits(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QVariant list = arguments.value(0);
    QVariantList names;
    if (list.typeId() == QMetaType::QVariantList)
        names = list.toList();
    else if (list.isValid())
        names.append(list);
    QList<MUDExit> exits;
    for (const QVariant& name : std::as_const(names))
        exits.append(MUDExit(name.toString().trimmed(), QString()));
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorSetExits(&m_processor, exits);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::processForAutocomplete(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QString text = arguments.text();
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        delegate->javascriptProcessorProcessForAutocomplete(&m_processor, text);
    });
    return {};
}

QVariant MUDJavascriptScriptRun::isEmpty(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return false;
    const QString name = arguments.text();
    if (name == kNil)
        return true;
    const QVariantMap variables = m_processor.variables();
    auto it = variables.constFind(name);
    if (it == variables.cend())
        return true;
    if (it->typeId() != QMetaType::QString)
        return false;
    const QString text = it->toString();
    return text == kNil || text.trimmed().isEmpty();
}

QVariant MUDJavascriptScriptRun::unset(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const QVariant name = arguments.value(0);
    if (name.typeId() != QMetaType::QString || name.toString().isEmpty())
        return {};
    m_processor.removeVariable(name.toString());
    return {};
}

QVariant MUDJavascriptScriptRun::commandAndReadFromServer(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return QString(QLatin1String(""));
    QElapsedTimer waited;
    waited.start();
    const QString text = arguments.text();
    auto semaphore = std::make_shared<CVSemaphore>(QString(), 0);
    fc_executeOnMainThreadSync([&] {
        m_source->setWaitingForData(true);
        m_source->setWaitingForDataSemaphore(semaphore);
        m_processor.addWaitingAction(m_source);
        if (auto* delegate = m_processor.delegate())
            delegate->javascriptProcessorRequestsCommand(&m_processor, text, m_source);
    });
    CVLog(QStringLiteral("Going to start waiting for action source (%1) data").arg(m_source->description()));
    const bool received = m_processor.waitForScript(
        m_commandIndex,
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_processor.readFromServerTimeoutMs()),
        [&semaphore] { return semaphore->wait(QDeadlineTimer(0)) == 0; });
    if (!received && !isStopping())
        CVLog(QStringLiteral("Timeout. Received no data."));
    const QString result = m_source->waitingForDataResult();
    m_source->setWaitingForDataResult(QString());
    m_source->setWaitingForData(false);
    m_source->setWaitingForDataSemaphore(nullptr);
    m_processor.removeWaitingAction(m_source);
    m_excludedNs += waited.nsecsElapsed();
    return result.isNull() ? QVariant() : QVariant(result);
}

QVariant MUDJavascriptScriptRun::getGMCP(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return {};
    const std::optional<QJsonValue> value = m_processor.gmcpState().value(arguments.text());
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant MUDJavascriptScriptRun::sendGMCP(const MUDJavascriptArguments& arguments)
{
    if (isStopping())
        return false;
    const QString package = arguments.text();
    // Without a value (or with null) the package goes alone.
    const QVariant argument = arguments.value(1);
    const QJsonValue value = argument.isValid() ? QJsonValue::fromVariant(argument) : QJsonValue(QJsonValue::Undefined);
    bool sent = false;
    onDelegate(m_processor, [&](MUDJavascriptProcessorDelegate* delegate) {
        sent = delegate->javascriptProcessorSendGMCP(&m_processor, package, value);
    });
    return sent;
}
