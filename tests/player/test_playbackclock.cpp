#include "player/playbackclock.h"

#include <gtest/gtest.h>

using namespace zorvane;

TEST(PlaybackClock, TimesCountFromTheFirstFrameOfTheRun)
{
    const PlaybackClock clock(10, {400.0, 440.0, 480.0, 530.0});
    EXPECT_EQ(clock.firstFrame(), 10);
    EXPECT_EQ(clock.lastFrame(), 13);
    EXPECT_DOUBLE_EQ(clock.dueAtMs(10), 0.0);
    EXPECT_DOUBLE_EQ(clock.dueAtMs(11), 40.0);
    EXPECT_DOUBLE_EQ(clock.dueAtMs(13), 130.0);
}

TEST(PlaybackClock, TheNextFrameComesEvenWhenEarlyAndTheLatestDueOneWhenLate)
{
    const PlaybackClock clock(0, {0.0, 40.0, 80.0, 120.0, 160.0, 200.0});
    EXPECT_EQ(clock.dueFrame(0, 0.0), 1) << "never the frame on screen again";
    EXPECT_EQ(clock.dueFrame(0, 79.9), 1);
    EXPECT_EQ(clock.dueFrame(0, 80.0), 2) << "frame 1 is late once frame 2 is due";
    EXPECT_EQ(clock.dueFrame(1, 170.0), 4);
    EXPECT_EQ(clock.dueFrame(1, 10000.0), 5) << "never past the last frame";
    EXPECT_EQ(PlaybackClock::skippedBetween(1, 4), 2);
    EXPECT_EQ(PlaybackClock::skippedBetween(3, 4), 0);
}

TEST(PlaybackClock, UnevenFrameTimesAreFollowed)
{
    // A variable-rate video: a long gap after frame 1.
    const PlaybackClock clock(0, {0.0, 10.0, 300.0, 310.0});
    EXPECT_EQ(clock.dueFrame(1, 299.0), 2);
    EXPECT_EQ(clock.dueFrame(1, 305.0), 2);
    EXPECT_EQ(clock.dueFrame(1, 310.0), 3);
}
