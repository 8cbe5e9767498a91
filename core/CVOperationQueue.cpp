#include "core/CVOperationQueue.h"

#include <QMutex>
#include <QMutexLocker>
#include <deque>
#include <thread>

struct CVOperationQueue::State {
    QMutex mutex;
    std::deque<std::function<void()>> pending;
    int maxWorkers = 1;
    int workers = 0;
    int running = 0;
};

CVOperationQueue::CVOperationQueue(int maxConcurrentOperationCount)
    : m_state(std::make_shared<State>())
{
    m_state->maxWorkers = qMax(1, maxConcurrentOperationCount);
}

CVOperationQueue::~CVOperationQueue()
{
    cancelAllOperations();
}

void CVOperationQueue::addOperation(std::function<void()> operation)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->pending.push_back(std::move(operation));
    if (m_state->workers >= m_state->maxWorkers)
        return;
    ++m_state->workers;
    std::thread([state = m_state] { work(state); }).detach();
}

void CVOperationQueue::cancelAllOperations()
{
    std::deque<std::function<void()>> dropped;
    {
        QMutexLocker lock(&m_state->mutex);
        dropped.swap(m_state->pending);
    }
    // Released outside the lock: an operation's captures may own anything.
}

int CVOperationQueue::operationCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return static_cast<int>(m_state->pending.size()) + m_state->running;
}

void CVOperationQueue::work(const std::shared_ptr<State>& state)
{
    for (;;) {
        std::function<void()> operation;
        {
            QMutexLocker lock(&state->mutex);
            if (state->pending.empty()) {
                --state->workers;
                return;
            }
            operation = std::move(state->pending.front());
            state->pending.pop_front();
            ++state->running;
        }
        operation();
        operation = nullptr;
        QMutexLocker lock(&state->mutex);
        --state->running;
    }
}
