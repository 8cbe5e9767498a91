#include "engine/automation/MUDSerialQueue.h"

#include <QThread>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct MUDSerialQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopped = false;
};

MUDSerialQueue::MUDSerialQueue(const QString& name)
    : m_state(std::make_shared<State>())
{
    std::thread([state = m_state, name] {
        QThread::currentThread()->setObjectName(name);
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(state->mutex);
                state->wake.wait(lock, [&] { return state->stopped || !state->tasks.empty(); });
                if (state->stopped)
                    return;
                task = std::move(state->tasks.front());
                state->tasks.pop_front();
            }
            task();
        }
    }).detach();
}

MUDSerialQueue::~MUDSerialQueue()
{
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(m_state->mutex);
    m_state->stopped = true;
    dropped.swap(m_state->tasks);
    m_state->wake.notify_all();
}

void MUDSerialQueue::dispatch(std::function<void()> task)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->stopped)
        return;
    m_state->tasks.push_back(std::move(task));
    m_state->wake.notify_one();
}
