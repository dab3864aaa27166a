#include "mediaplayer.h"

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

class FakeSource : public FrameSource {
public:
    explicit FakeSource(int frames) : m_frames(frames) {}
    int frameCount() const override { return m_frames; }
    int width() const override { return 320; }
    int height() const override { return 240; }
    double frameTimeMs(int index) const override { return index * 40.0; }
    RgbImage frameRgb(int) override { return {}; }

private:
    int m_frames;
};

MediaPlayer playerOpening(int frames)
{
    return MediaPlayer([frames](const std::string &path) -> std::unique_ptr<FrameSource> {
        if (path == "missing.avi")
            throw ReaderError(ReaderErrorKind::CannotOpen, "missing.avi: cannot open");
        return std::make_unique<FakeSource>(frames);
    });
}

} // namespace

TEST(MediaPlayer, NothingOpenHasLengthZeroAndRefusesMoves)
{
    MediaPlayer player = playerOpening(5);
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.position(), 0);
    EXPECT_TRUE(player.command("Close"));
    EXPECT_FALSE(player.command("step"));
    EXPECT_FALSE(player.command("back"));
    EXPECT_FALSE(player.command("Play"));
    EXPECT_EQ(player.whereDestination(), "");
}

TEST(MediaPlayer, StepAndBackStopWithoutChangeAtBothEnds)
{
    MediaPlayer player = playerOpening(3);
    player.setFileName("clip.avi");
    ASSERT_TRUE(player.command("Open"));
    EXPECT_EQ(player.length(), 3);
    EXPECT_FALSE(player.command("back"));
    EXPECT_EQ(player.position(), 0);
    EXPECT_TRUE(player.command("step"));
    EXPECT_TRUE(player.command("step"));
    EXPECT_EQ(player.position(), 2);
    EXPECT_FALSE(player.command("step"));
    EXPECT_EQ(player.position(), 2);
    EXPECT_TRUE(player.command("back"));
    EXPECT_EQ(player.position(), 1);
    EXPECT_EQ(player.whereDestination(), "0 0 320 240");
}

TEST(MediaPlayer, FailedOpenLeavesThePlayerClosedWithTheReason)
{
    MediaPlayer player = playerOpening(3);
    player.setFileName("clip.avi");
    ASSERT_TRUE(player.command("Open"));
    player.command("step");
    player.setFileName("missing.avi");
    EXPECT_FALSE(player.command("Open"));
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.length(), 0);
    EXPECT_EQ(player.position(), 0);
    EXPECT_NE(player.lastError().find("cannot open"), std::string::npos);
    EXPECT_FALSE(player.command("jump"));
}
