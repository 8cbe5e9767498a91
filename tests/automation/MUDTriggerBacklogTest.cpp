#include "engine/automation/MUDTriggerBacklog.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <thread>

TEST(MUDTriggerBacklog, SharesGiveBackWhatTheyHoldExactlyOnce)
{
    auto backlog = std::make_shared<MUDTriggerBacklog>();
    {
        MUDTriggerBacklog::Share text = backlog->hold(1000, 0);
        MUDTriggerBacklog::Share scripts = backlog->hold(0, 5);
        EXPECT_EQ(backlog->characters(), 1000);
        EXPECT_EQ(backlog->scripts(), 5);
        scripts.releaseScripts(2);
        EXPECT_EQ(backlog->scripts(), 3);
        // Moved: the count goes with it and is not given back twice.
        MUDTriggerBacklog::Share moved = std::move(scripts);
        scripts.release();
        EXPECT_EQ(backlog->scripts(), 3);
        moved.releaseScripts(10);
        EXPECT_EQ(backlog->scripts(), 0) << "never more than was held";
        text.release();
        text.release();
        EXPECT_EQ(backlog->characters(), 0);
        MUDTriggerBacklog::Share dropped = backlog->hold(7, 7);
    }
    // Work dropped unfinished (a discarded queue) gives its count back.
    EXPECT_EQ(backlog->characters(), 0);
    EXPECT_EQ(backlog->scripts(), 0);
}

TEST(MUDTriggerBacklog, WaitingEndsWhenDrainedOrAfterItsBound)
{
    auto backlog = std::make_shared<MUDTriggerBacklog>();
    EXPECT_FALSE(backlog->isFull());
    auto full = std::make_shared<MUDTriggerBacklog::Share>(backlog->hold(0, MUDTriggerBacklog::MaxScripts + 1));
    EXPECT_TRUE(backlog->isFull());

    QElapsedTimer clock;
    clock.start();
    backlog->waitWhileFull(150);
    EXPECT_GE(clock.elapsed(), 140) << "a full backlog holds the reader back";
    EXPECT_LT(clock.elapsed(), 2000) << "but never for longer than asked";

    std::thread drain([full] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        full->releaseScripts(2);
    });
    clock.restart();
    backlog->waitWhileFull(5000);
    EXPECT_LT(clock.elapsed(), 2000) << "draining wakes the reader";
    EXPECT_FALSE(backlog->isFull());
    drain.join();
}
