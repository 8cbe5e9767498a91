#include "core/CVMainThread.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <vector>

#include "TestSupport.h"

TEST(CVMainThread, AsyncBlocksRunLaterOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::atomic<bool> allOnMain{true};
    QThread* worker = QThread::create([&] {
        for (int i = 0; i < 50; ++i)
            fc_executeOnMainThread([&, i] {
                allOnMain = allOnMain && fc_isMainThread();
                order.push_back(i);
            });
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_TRUE(order.empty()) << "blocks must wait for the event loop";
    ASSERT_TRUE(waitUntil([&] { return order.size() == 50; }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOnMain);
}

TEST(CVMainThread, SyncBlockHasRunWhenTheCallReturns)
{
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> seenAfterReturn{false};
    QThread* worker = QThread::create([&] {
        fc_executeOnMainThreadSync([&] { ranOnMain = fc_isMainThread(); });
        seenAfterReturn = ranOnMain.load();
    });
    worker->start();
    ASSERT_TRUE(waitUntil([&] { return worker->isFinished(); }));
    worker->wait();
    delete worker;
    EXPECT_TRUE(seenAfterReturn);
}

TEST(CVMainThread, SyncFromTheMainThreadRunsAtOnce)
{
    bool ran = false;
    fc_executeOnMainThreadSync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(CVLogHelper, TimedErrorIsRecordedOnlyAboveItsThreshold)
{
    LogRecorder log;
    CVLogHelper::sharedInstance().logErrorMessage("fast", "d", {}, 0.2, 0.3);
    CVLogHelper::sharedInstance().logErrorMessage("slow", "d", {}, 0.4, 0.3);
    EXPECT_EQ(log.lines(), QStringList{"Error: slow"});
}
