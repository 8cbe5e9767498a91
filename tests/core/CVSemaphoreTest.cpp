#include "core/CVSemaphore.h"
#include "core/MachTimer.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

TEST(CVSemaphore, WaitTimesOutWithNonZeroOnlyOnceTheDeadlineHasPassed)
{
    CVSemaphore semaphore(QStringLiteral("test"), 0);
    const QDeadlineTimer deadline(100);
    EXPECT_NE(semaphore.wait(deadline), 0);
    EXPECT_TRUE(deadline.hasExpired());
}

TEST(CVSemaphore, InitialValueAndSignalsAreConsumedOneByOne)
{
    CVSemaphore semaphore(QStringLiteral("test"), 1);
    EXPECT_EQ(semaphore.wait(QDeadlineTimer(0)), 0);
    EXPECT_NE(semaphore.wait(QDeadlineTimer(0)), 0);
    semaphore.signal();
    semaphore.signal();
    EXPECT_EQ(semaphore.wait(QDeadlineTimer(0)), 0);
    EXPECT_EQ(semaphore.wait(QDeadlineTimer(0)), 0);
    EXPECT_NE(semaphore.wait(QDeadlineTimer(0)), 0);
}

TEST(CVSemaphore, SignalFromAnotherThreadWakesAForeverWait)
{
    CVSemaphore semaphore(QStringLiteral("test"), 0);
    std::atomic<bool> signalled = false;
    // The pause lets the wait begin first, so it is a wait that the signal ends.
    QThread* signaller = QThread::create([&] {
        QThread::msleep(50);
        signalled = true;
        semaphore.signal();
    });
    signaller->start();
    EXPECT_EQ(semaphore.wait(QDeadlineTimer(QDeadlineTimer::Forever)), 0);
    EXPECT_TRUE(signalled) << "the wait ended before the signal";
    signaller->wait();
    delete signaller;
}

// The stopwatch is read between two readings of another monotonic clock,
// so what it shows is bounded by what that clock saw, whatever the load.
TEST(MachTimer, MeasuresSecondsAndRestarts)
{
    QElapsedTimer outer;
    outer.start();
    MachTimer timer;
    QElapsedTimer inner;
    inner.start();
    QThread::msleep(30);
    const double innerBefore = double(inner.nsecsElapsed()) / 1e9;
    const double measured = timer.elapsedSeconds();
    const double outerAfter = double(outer.nsecsElapsed()) / 1e9;
    EXPECT_GE(measured, innerBefore);
    EXPECT_LE(measured, outerAfter);

    QElapsedTimer sinceRestart;
    sinceRestart.start();
    timer.startTimer();
    const double restarted = timer.elapsedSeconds();
    EXPECT_LE(restarted, double(sinceRestart.nsecsElapsed()) / 1e9) << "the restart began a new count";
}
