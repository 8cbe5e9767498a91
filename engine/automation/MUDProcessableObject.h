#pragma once

#include <QMutex>
#include <QString>
#include <memory>

class CVSemaphore;

// Base of objects whose script may wait for server data (timers): the
// waiting flag, the semaphore signalled when the data arrived and the text
// collected. Any thread: the script's thread waits while the main thread
// fills in the result, so the fields are guarded by a mutex.
class MUDProcessableObject {
public:
    virtual ~MUDProcessableObject() = default;

    bool waitingForData() const;
    void setWaitingForData(bool waitingForData);
    std::shared_ptr<CVSemaphore> waitingForDataSemaphore() const;
    void setWaitingForDataSemaphore(std::shared_ptr<CVSemaphore> semaphore);
    QString waitingForDataResult() const;
    void setWaitingForDataResult(const QString& result);

private:
    mutable QMutex m_mutex;
    bool m_waitingForData = false;
    std::shared_ptr<CVSemaphore> m_waitingForDataSemaphore;
    QString m_waitingForDataResult;
};
