#include "engine/automation/MUDProcessableObject.h"

#include <QMutexLocker>

#include "core/CVSemaphore.h"

bool MUDProcessableObject::waitingForData() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForData;
}

void MUDProcessableObject::setWaitingForData(bool waitingForData)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForData = waitingForData;
}

std::shared_ptr<CVSemaphore> MUDProcessableObject::waitingForDataSemaphore() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForDataSemaphore;
}

void MUDProcessableObject::setWaitingForDataSemaphore(std::shared_ptr<CVSemaphore> semaphore)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForDataSemaphore = std::move(semaphore);
}

QString MUDProcessableObject::waitingForDataResult() const
{
    QMutexLocker lock(&m_mutex);
    return m_waitingForDataResult;
}

void MUDProcessableObject::setWaitingForDataResult(const QString& result)
{
    QMutexLocker lock(&m_mutex);
    m_waitingForDataResult = result;
}
