#include "core/CVOperationQueue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <set>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Spins (bounded) until `condition` holds; true when it did.
template<typename Condition> bool spinUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Tells when the thread that set `ended` ends. At namespace scope: a
// block-scope thread_local is only set up by threads that pass its
// declaration, which a worker running a lambda never does.
struct ThreadEnd {
    std::shared_ptr<std::atomic<bool>> ended;
    ~ThreadEnd()
    {
        if (ended)
            *ended = true;
    }
};
thread_local ThreadEnd threadEnd;
thread_local int burstsSeen = 0;
}

TEST(CVOperationQueue, OneWorkerRunsTasksInQueuedOrderOffTheCallingThread)
{
    std::vector<int> order;
    std::atomic<bool> allOffCaller{true};
    const auto caller = std::this_thread::get_id();
    {
        CVOperationQueue queue(1);
        for (int i = 0; i < 100; ++i)
            queue.addOperation([&, i] {
                allOffCaller = allOffCaller && std::this_thread::get_id() != caller;
                order.push_back(i);
            });
        queue.waitUntilAllOperationsAreFinished();
        ASSERT_EQ(order.size(), 100u);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOffCaller);
}

TEST(CVOperationQueue, RunsUpToItsThreadCountAtOnceAndNoMore)
{
    struct Case {
        int maxThreadCount;
        int tasks;
    };
    for (const Case& row : {Case{2, 8}, Case{3, 9}}) {
        std::atomic<int> running{0};
        std::atomic<int> peak{0};
        std::atomic<int> started{0};
        std::mutex threadsMutex;
        std::set<std::thread::id> threads;
        CVOperationQueue queue(row.maxThreadCount);
        for (int i = 0; i < row.tasks; ++i)
            queue.addOperation([&] {
                const int now = ++running;
                int seen = peak.load();
                while (now > seen && !peak.compare_exchange_weak(seen, now)) { }
                // The first round holds its workers until all of them run.
                if (++started <= row.maxThreadCount)
                    spinUntil([&] { return peak.load() >= row.maxThreadCount; });
                {
                    std::lock_guard lock(threadsMutex);
                    threads.insert(std::this_thread::get_id());
                }
                --running;
            });
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(started.load(), row.tasks);
        EXPECT_EQ(peak.load(), row.maxThreadCount) << row.maxThreadCount;
        EXPECT_LE(std::ssize(threads), row.maxThreadCount);
    }
}

TEST(CVOperationQueue, WaitingIncludesOperationsQueuedByOperations)
{
    CVOperationQueue queue(2);
    std::atomic<int> ran{0};
    for (int i = 0; i < 10; ++i)
        queue.addOperation([&] {
            std::this_thread::sleep_for(1ms);
            queue.addOperation([&] { ++ran; });
            ++ran;
        });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 20);
}

// Ending the queue drops what has not started (and its captures) but
// never waits for the operation that runs. What the operations touch lives
// on the heap: the running one outlives the queue.
TEST(CVOperationQueue, EndingDropsWhatHasNotStartedAndReleasesTheCaptures)
{
    struct Shared {
        std::atomic<int> ran{0};
        std::atomic<bool> started{false};
        std::atomic<bool> release{false};
        std::atomic<bool> finished{false};
    };
    const auto shared = std::make_shared<Shared>();
    auto owned = std::make_shared<int>(7);
    const std::weak_ptr<int> watched = owned;
    {
        CVOperationQueue queue(1);
        queue.addOperation([shared] {
            shared->started = true;
            spinUntil([&] { return shared->release.load(); });
            shared->finished = true;
        });
        for (int i = 0; i < 5; ++i)
            queue.addOperation([shared, owned] { shared->ran += *owned == 7; });
        owned.reset();
        ASSERT_TRUE(spinUntil([&] { return shared->started.load(); }));
    }
    EXPECT_TRUE(watched.expired());
    shared->release = true;
    ASSERT_TRUE(spinUntil([&] { return shared->finished.load(); }));
    EXPECT_EQ(shared->ran.load(), 0);
}

// Output comes in bursts: the worker of one burst takes the next instead of
// a new thread, yet a wait for the queue does not wait for idle workers, and
// a released queue lets them end at once.
TEST(CVOperationQueue, AnIdleWorkerTakesTheNextBurstAndEndsWithTheQueue)
{
    const auto ended = std::make_shared<std::atomic<bool>>(false);
    std::atomic<int> seenBySecondBurst{0};
    {
        CVOperationQueue queue(1);
        queue.addOperation([&] {
            threadEnd.ended = ended;
            ++burstsSeen;
        });
        const auto waitStart = std::chrono::steady_clock::now();
        ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(1s));
        EXPECT_LT(std::chrono::steady_clock::now() - waitStart, CVOperationQueue::IdleWorkerLifetime / 2);
        std::this_thread::sleep_for(50ms);
        queue.addOperation([&] { seenBySecondBurst = ++burstsSeen; });
        ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(1s));
        EXPECT_EQ(seenBySecondBurst.load(), 2) << "the second burst ran on a new thread";
        EXPECT_FALSE(ended->load());
    }
    const auto released = std::chrono::steady_clock::now();
    ASSERT_TRUE(spinUntil([&] { return ended->load(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - released, CVOperationQueue::IdleWorkerLifetime / 2);
}

// Tools (top -H, perf) show which queue's workers are busy; a name longer
// than the system allows is cut, not refused.
TEST(CVOperationQueue, WorkersCarryTheQueuesName)
{
    const auto nameOfWorker = [](const char* name) {
        std::string seen;
        CVOperationQueue queue(1, name);
        queue.addOperation([&] {
            char buffer[32] = {};
            pthread_getname_np(pthread_self(), buffer, sizeof buffer);
            seen = buffer;
        });
        queue.waitUntilAllOperationsAreFinished();
        return seen;
    };
    EXPECT_EQ(nameOfWorker("trigger-match"), "trigger-match");
    EXPECT_EQ(nameOfWorker("a-name-much-longer-than-fifteen"), "a-name-much-lon");
}

TEST(CVOperationQueue, TheSharedQueueRunsTasks)
{
    std::atomic<bool> ran{false};
    CVOperationQueue::shared().addOperation([&] { ran = true; });
    CVOperationQueue::shared().waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ran);
}
