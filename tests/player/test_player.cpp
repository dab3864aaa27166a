#include "player/player.h"
#include "support/fakeframesource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace zorvane;
using zorvane::testing::FakeFiles;
using zorvane::testing::FakeFrameSource;

namespace {

// What the player told its listener.
struct Recorder : PlayerListener {
    void pictureChanged(RgbImage &&picture) override { pictures.push_back(FakeFrameSource::indexOf(picture)); }
    void pictureCleared() override { ++cleared; }
    void stateChanged(PlayerState state) override { states.push_back(state); }

    int shown() const { return pictures.empty() ? -1 : pictures.back(); }

    std::vector<int> pictures;
    int cleared = 0;
    std::vector<PlayerState> states;
};

// A player opening FakeFrameSources that the test can tune before open()
// through `files`, on a clock the test moves by hand.
struct Rig {
    explicit Rig(int frames = 5, double intervalMs = 40.0) : files(frames, intervalMs), player(files.opener())
    {
        player.setListener(&recorder);
        player.setTimeSource([this] { return nowMs; });
    }

    // Moves the clock on and lets the player show what is due then.
    bool tickAt(double ms)
    {
        nowMs = ms;
        return player.playDueFrame();
    }

    FakeFiles files;
    double nowMs = 1000.0;
    Recorder recorder;
    Player player;
};

} // namespace

TEST(Player, NothingOpenHasLengthZeroAndRefusesEveryMove)
{
    Rig rig;
    EXPECT_EQ(rig.player.state(), PlayerState::Closed);
    EXPECT_EQ(rig.player.length(), 0);
    EXPECT_EQ(rig.player.position(), 0);
    rig.player.close();
    EXPECT_FALSE(rig.player.step());
    EXPECT_FALSE(rig.player.back());
    EXPECT_FALSE(rig.player.play());
    EXPECT_FALSE(rig.player.stop());
    EXPECT_FALSE(rig.player.first());
    EXPECT_FALSE(rig.player.last());
    EXPECT_FALSE(rig.player.seek(0));
    EXPECT_FALSE(rig.player.pictureSize().has_value());
    EXPECT_TRUE(rig.recorder.pictures.empty());
    EXPECT_EQ(rig.player.state(), PlayerState::Closed);
}

TEST(Player, OpenShowsFrameZeroAndStepBackStopAtBothEnds)
{
    Rig rig(3);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
    EXPECT_EQ(rig.player.length(), 3);
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(rig.recorder.shown(), 0);
    ASSERT_TRUE(rig.player.pictureSize().has_value());
    EXPECT_EQ(rig.player.pictureSize()->width, 64);
    EXPECT_EQ(rig.player.pictureSize()->height, 48);

    EXPECT_FALSE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_TRUE(rig.player.step());
    EXPECT_TRUE(rig.player.step());
    EXPECT_EQ(rig.player.position(), 2);
    EXPECT_EQ(rig.recorder.shown(), 2);
    EXPECT_FALSE(rig.player.step());
    EXPECT_EQ(rig.player.position(), 2);
    EXPECT_TRUE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 1);
    EXPECT_EQ(rig.recorder.pictures, (std::vector<int>{0, 1, 2, 1}));
}

TEST(Player, SeekFirstLastAndStopGoWhereTheySayWithinTheVideo)
{
    Rig rig(6);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    EXPECT_TRUE(rig.player.last());
    EXPECT_EQ(rig.player.position(), 5);
    EXPECT_TRUE(rig.player.seek(3));
    EXPECT_EQ(rig.player.position(), 3);
    EXPECT_FALSE(rig.player.seek(6));
    EXPECT_FALSE(rig.player.seek(-1));
    EXPECT_EQ(rig.player.position(), 3);
    EXPECT_TRUE(rig.player.first());
    EXPECT_EQ(rig.player.position(), 0);
    rig.player.seek(4);
    EXPECT_TRUE(rig.player.stop());
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(rig.recorder.pictures, (std::vector<int>{0, 5, 3, 0, 4, 0}));
}

TEST(Player, FailedOpenLeavesThePlayerClosedWithTheReason)
{
    Rig rig(3);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.player.step();
    EXPECT_FALSE(rig.player.open("missing.avi"));
    EXPECT_EQ(rig.player.state(), PlayerState::Closed);
    EXPECT_EQ(rig.player.length(), 0);
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_NE(rig.player.lastError().find("cannot open"), std::string::npos);
    EXPECT_GE(rig.recorder.cleared, 1) << "the previous picture stayed";
    EXPECT_EQ(rig.recorder.states.back(), PlayerState::Closed);
}

TEST(Player, AFrameThatFailsToDecodeLeavesPositionAndPicture)
{
    Rig rig(4);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.files.current->failingFrame = 2;
    ASSERT_TRUE(rig.player.step());
    EXPECT_FALSE(rig.player.step());
    EXPECT_FALSE(rig.player.seek(2));
    EXPECT_EQ(rig.player.position(), 1);
    EXPECT_EQ(rig.recorder.shown(), 1);
}

TEST(Player, AFileWhoseFirstFrameFailsOpensWithoutAPicture)
{
    Rig rig(4);
    rig.files.next->failingFrame = 0;
    ASSERT_TRUE(rig.player.open("clip.avi"));
    EXPECT_EQ(rig.player.length(), 4);
    EXPECT_TRUE(rig.recorder.pictures.empty());
    EXPECT_TRUE(rig.player.step());
    EXPECT_EQ(rig.recorder.shown(), 1);
}

TEST(Player, PlayRunsFromTheCurrentFrameToTheLastOnTheClock)
{
    Rig rig(8, 10.0);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.player.seek(2);
    rig.nowMs = 500.0;
    ASSERT_TRUE(rig.player.play());
    EXPECT_EQ(rig.player.state(), PlayerState::Playing);
    EXPECT_DOUBLE_EQ(rig.player.msUntilNextFrame(), 10.0);
    rig.nowMs = 504.0;
    EXPECT_DOUBLE_EQ(rig.player.msUntilNextFrame(), 6.0);
    for (int k = 1; k <= 5; ++k)
        ASSERT_TRUE(rig.tickAt(500.0 + 10.0 * k)) << k;
    EXPECT_EQ(rig.player.state(), PlayerState::Paused) << "playback ends at the last frame";
    EXPECT_EQ(rig.player.position(), 7);
    EXPECT_EQ(rig.recorder.pictures, (std::vector<int>{0, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(rig.player.playbackStats().shown, 5);
    EXPECT_EQ(rig.player.playbackStats().skipped, 0);
    EXPECT_FALSE(rig.tickAt(600.0));

    // At the last frame there is nothing left to play.
    EXPECT_TRUE(rig.player.play());
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
    EXPECT_EQ(rig.player.position(), 7);
}

TEST(Player, PlaybackSkipsLateFramesInsteadOfDrifting)
{
    Rig rig(16, 20.0);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.nowMs = 0.0;
    ASSERT_TRUE(rig.player.play());
    ASSERT_TRUE(rig.tickAt(20.0));
    EXPECT_EQ(rig.player.position(), 1);
    // Frames 2 to 6 came due while the display was busy: 7 is the one to show.
    ASSERT_TRUE(rig.tickAt(150.0));
    EXPECT_EQ(rig.player.position(), 7);
    EXPECT_EQ(rig.player.playbackStats().skipped, 5);
    EXPECT_DOUBLE_EQ(rig.player.playbackStats().worstLatenessMs, 10.0);
    EXPECT_DOUBLE_EQ(rig.player.msUntilNextFrame(), 10.0);
    while (rig.player.isPlaying())
        rig.tickAt(rig.nowMs + 20.0);
    const PlaybackStats &stats = rig.player.playbackStats();
    EXPECT_EQ(stats.shown + stats.skipped, 15);
    EXPECT_EQ(rig.recorder.shown(), 15);
    EXPECT_TRUE(std::is_sorted(rig.recorder.pictures.begin(), rig.recorder.pictures.end()));
    EXPECT_EQ(std::count(rig.recorder.pictures.begin(), rig.recorder.pictures.end(), 4), 0);
}

TEST(Player, AFrameThatFailsDuringPlaybackPausesOnTheFrameBefore)
{
    Rig rig(10, 10.0);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.files.current->failingFrame = 3;
    rig.nowMs = 0.0;
    ASSERT_TRUE(rig.player.play());
    EXPECT_TRUE(rig.tickAt(10.0));
    EXPECT_TRUE(rig.tickAt(20.0));
    EXPECT_FALSE(rig.tickAt(30.0));
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
    EXPECT_EQ(rig.player.position(), 2);
    EXPECT_EQ(rig.recorder.shown(), 2);
}

TEST(Player, EveryMovePausesPlaybackFirst)
{
    Rig rig(400, 20.0);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.nowMs = 0.0;
    ASSERT_TRUE(rig.player.play());
    rig.tickAt(20.0);
    rig.tickAt(40.0);
    ASSERT_TRUE(rig.player.step());
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
    EXPECT_EQ(rig.player.position(), 3);
    EXPECT_FALSE(rig.tickAt(1000.0)) << "playback went on after step";
    EXPECT_EQ(rig.player.position(), 3);

    ASSERT_TRUE(rig.player.play());
    ASSERT_TRUE(rig.player.back());
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
    EXPECT_EQ(rig.player.position(), 2);
    EXPECT_EQ(rig.recorder.shown(), 2);
}

TEST(Player, CloseDuringPlaybackStopsAndClearsThePicture)
{
    Rig rig(400, 20.0);
    ASSERT_TRUE(rig.player.open("clip.avi"));
    ASSERT_TRUE(rig.player.play());
    const int clearedBefore = rig.recorder.cleared;
    rig.player.close();
    EXPECT_EQ(rig.player.state(), PlayerState::Closed);
    EXPECT_EQ(rig.player.length(), 0);
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(rig.recorder.cleared, clearedBefore + 1);
    EXPECT_FALSE(rig.tickAt(5000.0));
    EXPECT_EQ(rig.recorder.states, (std::vector<PlayerState>{PlayerState::Paused, PlayerState::Playing,
                                                             PlayerState::Paused, PlayerState::Closed}));
}

TEST(Player, PictureOfAFrameLeavesPositionAndDisplayAndIsEmptyWhereNoneIs)
{
    Rig rig(6, 20.0);
    EXPECT_TRUE(rig.player.pictureOf(0).pixels.empty()) << "nothing open";
    ASSERT_TRUE(rig.player.open("clip.avi"));
    rig.files.current->failingFrame = 4;
    ASSERT_TRUE(rig.player.seek(1));
    EXPECT_EQ(FakeFrameSource::indexOf(rig.player.pictureOf(3)), 3);
    EXPECT_EQ(rig.player.position(), 1);
    EXPECT_EQ(rig.recorder.pictures, (std::vector<int>{0, 1}));
    EXPECT_TRUE(rig.player.pictureOf(4).pixels.empty());
    EXPECT_TRUE(rig.player.pictureOf(6).pixels.empty());
    EXPECT_TRUE(rig.player.pictureOf(-1).pixels.empty());

    // Playback decodes from the same file: it pauses first.
    rig.nowMs = 0.0;
    ASSERT_TRUE(rig.player.play());
    EXPECT_EQ(FakeFrameSource::indexOf(rig.player.pictureOf(5)), 5);
    EXPECT_EQ(rig.player.state(), PlayerState::Paused);
}
