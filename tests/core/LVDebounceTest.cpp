#include "core/LVDebounce.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {
const int kTarget = 0;
const int kOther = 0;
}

TEST(LVDebounce, RepeatedRequestsForOneKeyFireOnceAfterTheLast)
{
    int calls = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 firedAt = 0;
    for (int i = 0; i < 5; ++i) {
        LVDebounce::fireAfter(0.05, &kTarget, "op", nullptr, [&] {
            ++calls;
            firedAt = clock.elapsed();
        });
        spinEventLoop(20);
    }
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }, 2000));
    spinEventLoop(100);
    EXPECT_EQ(calls, 1);
    EXPECT_GE(firedAt, 80 + 45) << "the last request restarts the delay";
}

TEST(LVDebounce, DifferentArgumentsAreSeparateKeys)
{
    int first = 0, second = 0;
    LVDebounce::fireAfter(0.01, &kTarget, "op", &kTarget, [&] { ++first; });
    LVDebounce::fireAfter(0.01, &kTarget, "op", &kOther, [&] { ++second; });
    ASSERT_TRUE(waitUntil([&] { return first == 1 && second == 1; }, 2000));
}

TEST(LVDebounce, CancelDropsThePendingCall)
{
    int calls = 0;
    LVDebounce::fireAfter(0.03, &kTarget, "op", nullptr, [&] { ++calls; });
    LVDebounce::fireAfter(0.03, &kOther, "op", nullptr, [&] { ++calls; });
    LVDebounce::cancelTarget(&kTarget, "op", nullptr);
    LVDebounce::cancelTarget(&kOther);
    spinEventLoop(150);
    EXPECT_EQ(calls, 0);
}

TEST(LVDebounce, RequestsFromAnotherThreadRunOnTheMainThread)
{
    bool onMain = false;
    int calls = 0;
    QThread* worker = QThread::create([&] {
        LVDebounce::fireAfter(0.01, &kTarget, "worker", nullptr, [&] {
            onMain = QThread::currentThread() == qApp->thread();
            ++calls;
        });
    });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }, 2000));
    EXPECT_TRUE(onMain);
}
