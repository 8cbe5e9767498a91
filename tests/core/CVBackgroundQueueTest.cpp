#include "core/CVBackgroundQueue.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Spins (bounded) until `condition` holds; true when it did.
template <typename Condition>
bool spinUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}

TEST(CVBackgroundQueue, OneWorkerRunsTasksInQueuedOrderOffTheCallingThread)
{
    std::vector<int> order;
    std::atomic<bool> allOffCaller{true};
    const auto caller = std::this_thread::get_id();
    {
        CVBackgroundQueue queue(1);
        for (int i = 0; i < 100; ++i)
            queue.execute([&, i] {
                allOffCaller = allOffCaller && std::this_thread::get_id() != caller;
                order.push_back(i);
            });
        queue.waitForDone();
        ASSERT_EQ(order.size(), 100u);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOffCaller);
}

TEST(CVBackgroundQueue, RunsUpToItsThreadCountAtOnceAndNoMore)
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
        CVBackgroundQueue queue(row.maxThreadCount);
        for (int i = 0; i < row.tasks; ++i)
            queue.execute([&] {
                const int now = ++running;
                int seen = peak.load();
                while (now > seen && !peak.compare_exchange_weak(seen, now)) {
                }
                // The first round holds its workers until all of them run.
                if (++started <= row.maxThreadCount)
                    spinUntil([&] { return peak.load() >= row.maxThreadCount; });
                {
                    std::lock_guard lock(threadsMutex);
                    threads.insert(std::this_thread::get_id());
                }
                --running;
            });
        queue.waitForDone();
        EXPECT_EQ(started.load(), row.tasks);
        EXPECT_EQ(peak.load(), row.maxThreadCount) << row.maxThreadCount;
        EXPECT_LE(std::ssize(threads), row.maxThreadCount);
    }
}

TEST(CVBackgroundQueue, WaitForDoneIncludesTasksQueuedByTasks)
{
    CVBackgroundQueue queue(2);
    std::atomic<int> ran{0};
    for (int i = 0; i < 10; ++i)
        queue.execute([&] {
            std::this_thread::sleep_for(1ms);
            queue.execute([&] { ++ran; });
            ++ran;
        });
    queue.waitForDone();
    EXPECT_EQ(ran.load(), 20);
}

TEST(CVBackgroundQueue, EndingRunsWhatIsQueuedAndReleasesTheCaptures)
{
    std::atomic<int> ran{0};
    auto owned = std::make_shared<int>(7);
    const std::weak_ptr<int> watched = owned;
    {
        CVBackgroundQueue queue(1);
        queue.execute([&] { std::this_thread::sleep_for(20ms); });
        for (int i = 0; i < 5; ++i)
            queue.execute([&, owned] { ran += *owned == 7; });
        owned.reset();
    }
    EXPECT_EQ(ran.load(), 5);
    EXPECT_TRUE(watched.expired());
}

TEST(CVBackgroundQueue, TheSharedQueueRunsTasks)
{
    std::atomic<bool> ran{false};
    CVBackgroundQueue::shared().execute([&] { ran = true; });
    CVBackgroundQueue::shared().waitForDone();
    EXPECT_TRUE(ran);
}
