#include "engine/automation/MUDTimer.h"
#include "engine/automation/MUDScriptSeconds.h"
#include "engine/automation/MUDTimerDelegate.h"

#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

#include "TestSupport.h"
#include "core/CVMainThread.h"

namespace {
class RecordingDelegate : public MUDTimerDelegate {
public:
    struct Firing {
        QString command;
        qint64 atMs;
        bool onMain;
    };

    RecordingDelegate() { m_clock.start(); }

    void MUDTimerRequestsCommand(MUDTimer*, const QString& command) override
    {
        firings.push_back({command, m_clock.elapsed(), fc_isMainThread()});
    }

    std::vector<Firing> firings;

private:
    QElapsedTimer m_clock;
};
}

TEST(MUDTimer, OneShotFiresOnceAfterItsInterval)
{
    RecordingDelegate delegate;
    auto timer = MUDTimer::create(0.1, &delegate, "say hi", false);
    ASSERT_TRUE(waitUntil([&] { return !delegate.firings.empty(); }, 2000));
    spinEventLoop(250);
    ASSERT_EQ(delegate.firings.size(), 1u);
    EXPECT_EQ(delegate.firings[0].command, "say hi");
    EXPECT_GE(delegate.firings[0].atMs, 85);
    EXPECT_LT(delegate.firings[0].atMs, 1000);
    EXPECT_TRUE(delegate.firings[0].onMain);
}

TEST(MUDTimer, RepeatingFiresUntilCancelled)
{
    RecordingDelegate delegate;
    auto timer = MUDTimer::create(0.05, &delegate, "look", true);
    ASSERT_TRUE(waitUntil([&] { return delegate.firings.size() >= 4; }, 3000));
    timer->cancel();
    const size_t atCancel = delegate.firings.size();
    spinEventLoop(200);
    EXPECT_EQ(delegate.firings.size(), atCancel) << "nothing after cancel";
    EXPECT_TRUE(timer->cancelled());
    for (size_t i = 1; i < delegate.firings.size(); ++i)
        EXPECT_GE(delegate.firings[i].atMs - delegate.firings[i - 1].atMs, 40) << "period is at least the interval";
}

TEST(MUDTimer, ResettingAPendingTimerGivesOneFiringWithTheNewValues)
{
    RecordingDelegate delegate;
    auto timer = MUDTimer::create(0.05, &delegate, "old", false);
    timer->setTimeInterval(0.2, "new", false);
    ASSERT_TRUE(waitUntil([&] { return !delegate.firings.empty(); }, 2000));
    spinEventLoop(300);
    ASSERT_EQ(delegate.firings.size(), 1u);
    EXPECT_EQ(delegate.firings[0].command, "new");
    EXPECT_GE(delegate.firings[0].atMs, 150) << "the new interval (Qt timers may fire 5 % early)";
}

TEST(MUDTimer, CancelledTimerSetAgainFiresAgain)
{
    RecordingDelegate delegate;
    auto timer = MUDTimer::create(0.05, &delegate, "first", false);
    timer->cancel();
    spinEventLoop(150);
    EXPECT_TRUE(delegate.firings.empty());
    timer->setTimeInterval(0.05, "second", false);
    EXPECT_FALSE(timer->cancelled());
    ASSERT_TRUE(waitUntil([&] { return delegate.firings.size() == 1; }, 2000));
    EXPECT_EQ(delegate.firings[0].command, "second");
}

TEST(MUDTimer, TimersFireInIntervalOrderAndADroppedTimerNeverFires)
{
    RecordingDelegate delegate;
    auto slow = MUDTimer::create(0.15, &delegate, "slow", false);
    auto fast = MUDTimer::create(0.05, &delegate, "fast", false);
    auto dropped = MUDTimer::create(0.1, &delegate, "dropped", false);
    dropped.reset();
    ASSERT_TRUE(waitUntil([&] { return delegate.firings.size() == 2; }, 2000));
    spinEventLoop(150);
    ASSERT_EQ(delegate.firings.size(), 2u);
    EXPECT_EQ(delegate.firings[0].command, "fast");
    EXPECT_EQ(delegate.firings[1].command, "slow");
}

// A zero period would fire on every turn of the event loop and flood the
// server; a huge delay must not overflow the clock and fire at once.
TEST(MUDTimer, PeriodsAreKeptBetweenTheMinimumRepeatAndADay)
{
    RecordingDelegate delegate;
    auto flood = MUDTimer::create(0, &delegate, "flood", true);
    EXPECT_DOUBLE_EQ(flood->timeInterval(), MUDTimer::MinimumRepeatInterval);
    auto later = MUDTimer::create(1e10, &delegate, "later", false);
    EXPECT_DOUBLE_EQ(later->timeInterval(), MUDScriptSeconds::Maximum);
    auto never = MUDTimer::create(std::numeric_limits<double>::infinity(), &delegate, "never", true);
    EXPECT_DOUBLE_EQ(never->timeInterval(), MUDScriptSeconds::Maximum);
    spinEventLoop(350);
    flood->cancel();
    std::vector<QString> commands;
    for (const auto& firing : delegate.firings)
        commands.push_back(firing.command);
    EXPECT_GE(commands.size(), 2u);
    EXPECT_LE(commands.size(), 4u);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), QStringLiteral("flood")), qsizetype(commands.size()));
}
