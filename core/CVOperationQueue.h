#pragma once

#include <functional>
#include <memory>

// Runs queued operations, in the order queued, on up to a fixed number of
// worker threads at once (one makes a serial queue). Workers are started on
// demand and end when the queue is empty. Releasing the queue or calling
// cancelAllOperations() drops what has not started; running operations
// finish on their own and are never waited for, so an operation may safely
// hold the last reference to the queue's owner.
//
// Threads: any thread queues and cancels; operations run on the workers.
class CVOperationQueue {
public:
    explicit CVOperationQueue(int maxConcurrentOperationCount);
    ~CVOperationQueue();
    CVOperationQueue(const CVOperationQueue&) = delete;
    CVOperationQueue& operator=(const CVOperationQueue&) = delete;

    void addOperation(std::function<void()> operation);
    void cancelAllOperations();
    // Operations queued or running.
    int operationCount() const;

private:
    struct State;
    static void work(const std::shared_ptr<State>& state);

    const std::shared_ptr<State> m_state;
};
