#include "engine/automation/MUDJavascriptActionSource.h"

#include <QMutexLocker>

#include "core/CVSemaphore.h"

MUDJavascriptActionSource::MUDJavascriptActionSource(std::shared_ptr<MUDJavascriptActionSource> parent)
    : m_parentActionSource(std::move(parent))
{
}

bool MUDJavascriptActionSource::isDebug() const
{
    std::function<bool()> debug;
    {
        QMutexLocker lock(&m_mutex);
        debug = m_targetIsDebug;
    }
    return debug && debug();
}

void MUDJavascriptActionSource::addProcessedAlias(const std::shared_ptr<MUDAlias>& alias)
{
    QMutexLocker lock(&m_mutex);
    m_processedAliases.append(alias);
}

bool MUDJavascriptActionSource::hasAlreadyProcessedAlias(const std::shared_ptr<MUDAlias>& alias) const
{
    if (processedAliases().contains(alias))
        return true;
    // Walk up without holding two locks at once.
    for (auto ancestor = parentActionSource(); ancestor; ancestor = ancestor->parentActionSource()) {
        if (ancestor->processedAliases().contains(alias))
            return true;
    }
    return false;
}

QList<std::shared_ptr<MUDAlias>> MUDJavascriptActionSource::processedAliases() const
{
    QMutexLocker lock(&m_mutex);
    return m_processedAliases;
}

void MUDJavascriptActionSource::addChildActionSource(const std::shared_ptr<MUDJavascriptActionSource>& child)
{
    QMutexLocker lock(&m_mutex);
    m_childActionSources.append(child);
}

QList<std::shared_ptr<MUDJavascriptActionSource>> MUDJavascriptActionSource::childActionSources() const
{
    QMutexLocker lock(&m_mutex);
    return m_childActionSources;
}

std::shared_ptr<MUDJavascriptActionSource> MUDJavascriptActionSource::parentActionSource() const
{
    QMutexLocker lock(&m_mutex);
    return m_parentActionSource;
}

void MUDJavascriptActionSource::setParentActionSource(std::shared_ptr<MUDJavascriptActionSource> parent)
{
    QMutexLocker lock(&m_mutex);
    m_parentActionSource = std::move(parent);
}

std::shared_ptr<MUDJavascriptActionSource> MUDJavascriptActionSource::rootActionSource()
{
    std::shared_ptr<MUDJavascriptActionSource> root = shared_from_this();
    while (auto parent = root->parentActionSource())
        root = parent;
    return root;
}

QString MUDJavascriptActionSource::actionName() const
{
    QMutexLocker lock(&m_mutex);
    return m_actionName;
}

void MUDJavascriptActionSource::setActionName(const QString& actionName)
{
    QMutexLocker lock(&m_mutex);
    m_actionName = actionName;
}

void MUDJavascriptActionSource::setTarget(std::shared_ptr<void> target, std::function<bool()> debug,
                                          const std::type_info* type)
{
    QMutexLocker lock(&m_mutex);
    m_targetType = target ? type : nullptr;
    m_targetObject = std::move(target);
    m_targetIsDebug = std::move(debug);
}

std::shared_ptr<void> MUDJavascriptActionSource::targetObjectAndType(const std::type_info** type) const
{
    QMutexLocker lock(&m_mutex);
    *type = m_targetType;
    return m_targetObject;
}

std::shared_ptr<void> MUDJavascriptActionSource::targetObject() const
{
    QMutexLocker lock(&m_mutex);
    return m_targetObject;
}

bool MUDJavascriptActionSource::hasTargetObject(const void* object) const
{
    QMutexLocker lock(&m_mutex);
    return object && m_targetObject.get() == object;
}

quint64 MUDJavascriptActionSource::dataStartLocation() const
{
    QMutexLocker lock(&m_mutex);
    return m_dataStartLocation;
}

void MUDJavascriptActionSource::setDataStartLocation(quint64 location)
{
    QMutexLocker lock(&m_mutex);
    m_dataStartLocation = location;
}

bool MUDJavascriptActionSource::waitingForData() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForData;
}

void MUDJavascriptActionSource::setWaitingForData(bool waiting)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForData = waiting;
}

std::shared_ptr<CVSemaphore> MUDJavascriptActionSource::waitingForDataSemaphore() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForDataSemaphore;
}

void MUDJavascriptActionSource::setWaitingForDataSemaphore(std::shared_ptr<CVSemaphore> semaphore)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForDataSemaphore = std::move(semaphore);
}

QString MUDJavascriptActionSource::waitingForDataResult() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForDataResult;
}

void MUDJavascriptActionSource::setWaitingForDataResult(const QString& result)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForDataResult = result;
}

void MUDJavascriptActionSource::appendWaitingForDataResult(const QString& chunk)
{
    QMutexLocker lock(&m_mutex);
    if (m_waitingForDataResult.isNull())
        m_waitingForDataResult = chunk;
    else
        m_waitingForDataResult += chunk;
}

QString MUDJavascriptActionSource::description() const
{
    return QStringLiteral("<MUDJavascriptActionSource: %1>").arg(actionName());
}
