#include "core/CVBackgroundQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace {

std::mutex g_watchMutex;
QObject* g_watchedApplication = nullptr;

// Drains the shared queue when `app` is destroyed (once per application).
// By then the application instance is gone, so a task that hops onto the
// main thread returns at once instead of waiting for it.
void drainWhenApplicationEnds(CVBackgroundQueue& queue)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    {
        std::lock_guard lock(g_watchMutex);
        if (g_watchedApplication == app)
            return;
        g_watchedApplication = app;
    }
    QObject::connect(app, &QObject::destroyed, [&queue] { queue.waitForDone(); });
}

}

CVBackgroundQueue& CVBackgroundQueue::shared()
{
    static CVBackgroundQueue queue(QThread::idealThreadCount());
    drainWhenApplicationEnds(queue);
    return queue;
}

CVBackgroundQueue::CVBackgroundQueue(int maxThreadCount)
    : m_maxThreadCount(std::max(1, maxThreadCount))
{
}

CVBackgroundQueue::~CVBackgroundQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_taskQueued.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CVBackgroundQueue::execute(std::function<void()> task)
{
    if (!task)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(task));
        // A worker that was woken but has not taken its task yet still counts
        // as idle, so comparing with the queue length starts no extra one.
        // While ending, the workers already running take the rest.
        const bool needsWorker = !m_ending && std::ssize(m_pending) > m_idleWorkers
                                 && std::ssize(m_workers) < m_maxThreadCount;
        if (needsWorker)
            m_workers.emplace_back([this] { work(); });
    }
    m_taskQueued.notify_one();
}

void CVBackgroundQueue::waitForDone()
{
    std::unique_lock lock(m_mutex);
    m_allDone.wait(lock, [this] { return m_pending.empty() && m_runningTasks == 0; });
}

void CVBackgroundQueue::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idleWorkers;
        m_taskQueued.wait(lock, [this] { return m_ending || !m_pending.empty(); });
        --m_idleWorkers;
        if (m_pending.empty())
            return;
        std::function<void()> task = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_runningTasks;
        lock.unlock();
        task();
        // The captures go before the task counts as done: they may own
        // objects whose end a waiter expects.
        task = nullptr;
        lock.lock();
        --m_runningTasks;
        if (m_pending.empty() && m_runningTasks == 0)
            m_allDone.notify_all();
    }
}
