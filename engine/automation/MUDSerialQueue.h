#pragma once

#include <QString>
#include <functional>
#include <memory>

// A one-thread executor: tasks run one after another, in the order they were
// queued, on the queue's own thread. Any thread may queue. Destroying the
// queue drops the tasks not yet started and does not wait for the running
// one (which may be waiting for the main thread), so tasks keep alive what
// they use.
class MUDSerialQueue {
public:
    explicit MUDSerialQueue(const QString& name);
    ~MUDSerialQueue();
    MUDSerialQueue(const MUDSerialQueue&) = delete;
    MUDSerialQueue& operator=(const MUDSerialQueue&) = delete;

    void dispatch(std::function<void()> task);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
