#pragma once

#include <chrono>
#include <functional>
#include <memory>

// Runs queued operations, in the order queued, on up to a fixed number of
// worker threads at once (one makes a serial queue). Workers are started on
// demand and end once the queue has been empty for IdleWorkerLifetime, or
// when the queue is released: trigger output comes in bursts, and a worker
// ending with each one made the next burst pay for a new thread and the
// script engine's set-up for it (about 0.1 ms, bench_script_run).
// Releasing the queue or calling cancelAllOperations() drops what has not
// started; running operations finish on their own and are never waited for,
// so an operation may safely hold the last reference to the queue's owner.
//
// Operations are handed to the workers under a standard mutex, which
// ThreadSanitizer sees (Qt's thread pool is not instrumented, so a task's
// captures changing threads there look like a race).
//
// Threads: any thread queues, cancels and waits; operations run on the
// workers. An operation must not wait for its own queue.
class CVOperationQueue {
public:
    // The process-wide queue for short background work (trigger matching),
    // one worker per core.
    static CVOperationQueue& shared();
    // The process-wide queue for work that may block for long (scripts that
    // wait for time or for server text), kept apart so that it never holds
    // a worker the short work needs. BlockingWorkerCount workers.
    static CVOperationQueue& sharedBlocking();
    static constexpr int BlockingWorkerCount = 64;
    static constexpr std::chrono::seconds IdleWorkerLifetime{2};
    // Like Qt's global pool, both shared queues are drained when the
    // application ends, so no operation outlives the application: work that
    // may block must be told to stop before (sessions stop their scripts
    // when they close).

    // `threadName` names the workers for tools (top -H, perf).
    explicit CVOperationQueue(int maxConcurrentOperationCount, const char* threadName = "cv-operations");
    ~CVOperationQueue();
    CVOperationQueue(const CVOperationQueue&) = delete;
    CVOperationQueue& operator=(const CVOperationQueue&) = delete;

    void addOperation(std::function<void()> operation);
    void cancelAllOperations();
    // Returns once every operation queued so far, and any they queued, has
    // run and released its captures.
    void waitUntilAllOperationsAreFinished();
    // The same, giving up after `timeout`; false when work was still running.
    bool waitUntilAllOperationsAreFinished(std::chrono::milliseconds timeout);

private:
    struct State;
    static void work(const std::shared_ptr<State>& state);

    const std::shared_ptr<State> m_state;
};
