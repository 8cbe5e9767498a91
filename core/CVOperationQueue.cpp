#include "core/CVOperationQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "core/CVThreadName.h"

struct CVOperationQueue::State {
    std::mutex mutex;
    std::condition_variable finished;
    std::condition_variable available;
    std::deque<std::function<void()>> pending;
    std::string threadName;
    int maxWorkers = 1;
    int workers = 0;
    // Workers waiting for an operation; they end after IdleWorkerLifetime
    // without one, or when the queue is released.
    int idleWorkers = 0;
    bool released = false;

    bool isIdle() const { return pending.empty() && workers == idleWorkers; }
};

namespace {
std::mutex g_watchMutex;

// Drains `queue` when the current application is destroyed (once per
// application; `watchedApplication` remembers which one the queue watches).
// By then the application instance is gone, so an operation that hops onto
// the main thread returns at once instead of waiting for it.
void drainWhenApplicationEnds(CVOperationQueue& queue, QObject*& watchedApplication)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    {
        std::lock_guard lock(g_watchMutex);
        if (watchedApplication == app)
            return;
        watchedApplication = app;
    }
    QObject::connect(app, &QObject::destroyed, [&queue] { queue.waitUntilAllOperationsAreFinished(); });
}
}

CVOperationQueue& CVOperationQueue::shared()
{
    static CVOperationQueue queue(QThread::idealThreadCount(), "cv-shared");
    static QObject* watchedApplication = nullptr;
    drainWhenApplicationEnds(queue, watchedApplication);
    return queue;
}

CVOperationQueue& CVOperationQueue::sharedBlocking()
{
    static CVOperationQueue queue(BlockingWorkerCount, "cv-blocking");
    static QObject* watchedApplication = nullptr;
    drainWhenApplicationEnds(queue, watchedApplication);
    return queue;
}

CVOperationQueue::CVOperationQueue(int maxConcurrentOperationCount, const char* threadName)
    : m_state(std::make_shared<State>())
{
    m_state->maxWorkers = qMax(1, maxConcurrentOperationCount);
    m_state->threadName = threadName;
}

CVOperationQueue::~CVOperationQueue()
{
    cancelAllOperations();
    std::lock_guard lock(m_state->mutex);
    m_state->released = true;
    m_state->available.notify_all();
}

void CVOperationQueue::addOperation(std::function<void()> operation)
{
    if (!operation)
        return;
    std::lock_guard lock(m_state->mutex);
    m_state->pending.push_back(std::move(operation));
    if (m_state->idleWorkers > 0)
        m_state->available.notify_one();
    if (m_state->pending.size() <= size_t(m_state->idleWorkers) || m_state->workers >= m_state->maxWorkers)
        return;
    ++m_state->workers;
    std::thread([state = m_state] { work(state); }).detach();
}

void CVOperationQueue::cancelAllOperations()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        dropped.swap(m_state->pending);
    }
    // Released outside the lock: an operation's captures may own anything.
}

void CVOperationQueue::waitUntilAllOperationsAreFinished()
{
    std::unique_lock lock(m_state->mutex);
    m_state->finished.wait(lock, [this] { return m_state->isIdle(); });
}

bool CVOperationQueue::waitUntilAllOperationsAreFinished(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_state->mutex);
    return m_state->finished.wait_for(lock, timeout, [this] { return m_state->isIdle(); });
}

void CVOperationQueue::work(const std::shared_ptr<State>& state)
{
    CVSetCurrentThreadName(state->threadName.c_str());
    for (;;) {
        std::function<void()> operation;
        {
            std::unique_lock lock(state->mutex);
            if (state->pending.empty()) {
                ++state->idleWorkers;
                if (state->isIdle())
                    state->finished.notify_all();
                state->available.wait_for(lock, IdleWorkerLifetime,
                                          [&] { return !state->pending.empty() || state->released; });
                --state->idleWorkers;
                if (state->pending.empty()) {
                    --state->workers;
                    return;
                }
            }
            operation = std::move(state->pending.front());
            state->pending.pop_front();
        }
        // The captures go with the operation, before the worker looks for
        // the next one: a waiter may expect the objects they own to be gone.
        operation();
    }
}
