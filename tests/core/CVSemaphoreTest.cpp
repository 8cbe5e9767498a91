#include "core/CVSemaphore.h"
#include "core/MachTimer.h"

#include <QThread>
#include <gtest/gtest.h>

TEST(CVSemaphore, WaitTimesOutWithNonZeroAfterTheDeadline)
{
    CVSemaphore semaphore(QStringLiteral("test"), 0);
    MachTimer timer;
    timer.startTimer();
    EXPECT_NE(semaphore.wait(QDeadlineTimer(100)), 0);
    EXPECT_GE(timer.elapsedSeconds(), 0.095);
    EXPECT_LT(timer.elapsedSeconds(), 2.0);
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
    QThread* signaller = QThread::create([&] {
        QThread::msleep(50);
        semaphore.signal();
    });
    MachTimer timer;
    signaller->start();
    EXPECT_EQ(semaphore.wait(QDeadlineTimer(QDeadlineTimer::Forever)), 0);
    EXPECT_GE(timer.elapsedSeconds(), 0.04);
    signaller->wait();
    delete signaller;
}

TEST(MachTimer, MeasuresSecondsAndRestarts)
{
    MachTimer timer;
    QThread::msleep(30);
    EXPECT_GE(timer.elapsedSeconds(), 0.029);
    timer.startTimer();
    EXPECT_LT(timer.elapsedSeconds(), 0.029);
}
