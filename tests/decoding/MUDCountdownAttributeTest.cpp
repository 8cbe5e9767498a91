#include "engine/decoding/MUDCountdownAttribute.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

TEST(MUDCountdownAttribute, FiveCountTicksFourTimesThenFinishesOnce)
{
    int ticks = 0;
    int finished = 0;
    auto countdown = MUDCountdownAttribute::create([&](MUDCountdownAttribute&) { ++finished; },
                                                   [&](MUDCountdownAttribute& attribute) {
                                                       ++ticks;
                                                       attribute.tick();
                                                   },
                                                   5);
    countdown->setTickInterval(std::chrono::milliseconds(5));
    countdown->tick();
    EXPECT_EQ(countdown->countdownRemaining(), 5u) << "a step waits for the interval";
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    spinEventLoop(50);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(countdown->countdownRemaining(), 0u);
}

TEST(MUDCountdownAttribute, NoStepAfterTheTargetIsClearedOrTheAttributeIsGone)
{
    int calls = 0;
    auto counting = [&](MUDCountdownAttribute&) { ++calls; };
    auto cleared = MUDCountdownAttribute::create(counting, counting, 3);
    cleared->setTickInterval(std::chrono::milliseconds(1));
    cleared->clearTarget();
    cleared->tick();
    auto released = MUDCountdownAttribute::create(counting, counting, 3);
    released->setTickInterval(std::chrono::milliseconds(1));
    released->tick();
    released.reset();
    spinEventLoop(50);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(cleared->countdownRemaining(), 2u);
}
