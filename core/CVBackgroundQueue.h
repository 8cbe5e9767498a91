#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs work off the main thread (trigger matching, scripts): tasks start in
// the order queued on up to a fixed number of worker threads at once, as on
// Qt's global thread pool. Tasks are handed to the workers under a standard
// mutex rather than through the pool, because Qt is not built with
// ThreadSanitizer and it could not see a task's captures change threads.
// Workers start on demand and stay until the queue ends; ending runs what is
// still queued and waits for the workers.
//
// Threads: any thread queues; tasks run on the workers. waitForDone() must
// not be called from a task of the same queue (it would wait on itself).
class CVBackgroundQueue {
public:
    // The process-wide queue, one worker per core. Like Qt's global pool, it
    // is drained when the application ends, so no task outlives it.
    static CVBackgroundQueue& shared();

    explicit CVBackgroundQueue(int maxThreadCount);
    ~CVBackgroundQueue();
    CVBackgroundQueue(const CVBackgroundQueue&) = delete;
    CVBackgroundQueue& operator=(const CVBackgroundQueue&) = delete;

    void execute(std::function<void()> task);
    // Returns once every task queued so far, and any they queued, has run.
    void waitForDone();

private:
    void work();

    const int m_maxThreadCount;
    std::mutex m_mutex;
    std::condition_variable m_taskQueued;
    std::condition_variable m_allDone;
    std::deque<std::function<void()>> m_pending;
    std::vector<std::thread> m_workers;
    int m_idleWorkers = 0;
    int m_runningTasks = 0;
    bool m_ending = false;
};
