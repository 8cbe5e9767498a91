#include "engine/automation/MUDJavascriptProcessor.h"

#include <QMutexLocker>

#include "core/CVLogHelper.h"
#include "core/CVSemaphore.h"
#include "core/LVDebounce.h"
#include "engine/automation/MUDGMCPState.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptContextPool.h"
#include "engine/automation/MUDJavascriptScriptRun.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"
#include "engine/automation/javascript/MUDJavascriptContextGroup.h"

namespace {
// How often a long-running script is asked whether it must end.
constexpr double kTerminationCheckInterval = 0.05;
const QByteArray kReceivedDataOperation = "actionSourceHasReceivedData:";
}

MUDJavascriptProcessor::MUDJavascriptProcessor(MUDJavascriptProcessorDelegate* delegate)
    : m_delegate(delegate)
    , m_group(std::make_unique<MUDJavascriptContextGroup>(MUDJavascriptScriptRun::functionNames()))
    , m_contextPool(std::make_unique<MUDJavascriptContextPool>(*m_group, &MUDJavascriptScriptRun::prepareContext))
    , m_gmcpState(std::make_unique<MUDGMCPState>())
{
    m_group->setTerminationCheck(kTerminationCheckInterval, [](MUDJavascriptContext* context) {
        auto* run = static_cast<MUDJavascriptScriptRun*>(context->userData());
        return run && run->shouldTerminate();
    });
}

MUDJavascriptProcessor::~MUDJavascriptProcessor()
{
    LVDebounce::cancelTarget(this);
}

QVariantMap MUDJavascriptProcessor::variables() const
{
    QMutexLocker lock(&m_variablesLock);
    return m_currentValues;
}

void MUDJavascriptProcessor::setVariable(const QString& name, const QVariant& value)
{
    QMutexLocker lock(&m_variablesLock);
    m_currentValues.insert(name, value);
}

void MUDJavascriptProcessor::removeVariable(const QString& name)
{
    QMutexLocker lock(&m_variablesLock);
    m_currentValues.remove(name);
}

QVariant MUDJavascriptProcessor::variableOrInsert(const QString& name, const QVariant& missing)
{
    QMutexLocker lock(&m_variablesLock);
    auto it = m_currentValues.find(name);
    if (it == m_currentValues.end())
        it = m_currentValues.insert(name, missing);
    return *it;
}

void MUDJavascriptProcessor::setStopIndex(quint64 commandIndex)
{
    m_stopIndex.store(commandIndex);
    wakeWaitingScripts();
}

void MUDJavascriptProcessor::continueAnyWaits(quint64 commandIndex)
{
    setStopIndex(commandIndex);
}

void MUDJavascriptProcessor::stopAllScripts()
{
    m_allStopped.store(true);
    wakeWaitingScripts();
}

bool MUDJavascriptProcessor::isStopping(quint64 commandIndex) const
{
    return m_allStopped.load() || commandIndex < m_stopIndex.load();
}

bool MUDJavascriptProcessor::waitForScript(quint64 commandIndex, std::chrono::steady_clock::time_point deadline,
                                           const std::function<bool()>& done)
{
    std::unique_lock lock(m_wakeMutex);
    for (;;) {
        if (done && done())
            return true;
        if (isStopping(commandIndex) || std::chrono::steady_clock::now() >= deadline)
            return false;
        m_wake.wait_until(lock, deadline);
    }
}

// Notifying under the mutex orders the change before any waiter's next look
// at it, so no wake-up is lost between a waiter's check and its sleep.
void MUDJavascriptProcessor::wakeWaitingScripts()
{
    std::lock_guard lock(m_wakeMutex);
    m_wake.notify_all();
}

QList<std::shared_ptr<MUDJavascriptActionSource>> MUDJavascriptProcessor::waitingActions() const
{
    QMutexLocker lock(&m_waitingLock);
    return m_waitingActions;
}

void MUDJavascriptProcessor::addWaitingAction(const std::shared_ptr<MUDJavascriptActionSource>& source)
{
    QMutexLocker lock(&m_waitingLock);
    m_waitingActions.append(source);
}

void MUDJavascriptProcessor::removeWaitingAction(const std::shared_ptr<MUDJavascriptActionSource>& source)
{
    QMutexLocker lock(&m_waitingLock);
    m_waitingActions.removeAll(source);
}

void MUDJavascriptProcessor::processActionAsJavascript(const QString& action,
                                                       std::shared_ptr<MUDJavascriptActionSource> actionSource,
                                                       const std::optional<MUDScriptParameters>& parameters,
                                                       quint64 commandIndex)
{
    if (!actionSource)
        actionSource = std::make_shared<MUDJavascriptActionSource>();
    MUDJavascriptScriptRun run(*this, std::move(actionSource), parameters, commandIndex);
    run.run(action);
}

void MUDJavascriptProcessor::processWaitingString(const QString& text)
{
    const std::weak_ptr<MUDJavascriptProcessor> weakSelf = weak_from_this();
    for (const auto& source : waitingActions()) {
        source->appendWaitingForDataResult(text);
        LVDebounce::fireAfter(ReadFromServerSilence, this, kReceivedDataOperation, source.get(),
                              [weakSelf, weakSource = std::weak_ptr<MUDJavascriptActionSource>(source)] {
                                  auto self = weakSelf.lock();
                                  auto waitingSource = weakSource.lock();
                                  if (self && waitingSource)
                                      self->actionSourceHasReceivedData(waitingSource);
                              });
    }
}

void MUDJavascriptProcessor::actionSourceHasReceivedData(const std::shared_ptr<MUDJavascriptActionSource>& source)
{
    CVLog(QStringLiteral("actionSourceHasReceivedData (%1)").arg(source->actionName()));
    if (auto semaphore = source->waitingForDataSemaphore())
        semaphore->signal();
    wakeWaitingScripts();
}

QVariant MUDJavascriptProcessor::evaluateScript(const QString& script, MUDJavascriptContext& context,
                                                const std::optional<MUDScriptParameters>& parameters,
                                                std::optional<QString>* exception)
{
    QVariant result;
    QString thrown;
    if (!context.evaluate(replaceParametersInString(script, parameters), &result, &thrown) && exception)
        *exception = thrown;
    return result;
}

QString MUDJavascriptProcessor::replaceParametersInString(const QString& text,
                                                          const std::optional<MUDScriptParameters>& parameters)
{
    return MUDJavascriptParameterSubstitution::replaceParametersInString(text, parameters);
}
