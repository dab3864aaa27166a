#include "player/framesource.h"
#include "player/ui/transportbar.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

using namespace zorvane;

namespace {

// 30 frames of 25 frames/s, each with its own picture.
QString clip()
{
    static const std::filesystem::path path = zorvane::testing::generateMedia(
        "player-clip-30.avi",
        {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=1.2", "-c:v", "mpeg4", "-q:v", "2"});
    return QString::fromStdString(path.string());
}

QImage decoded(const QString &path, int index)
{
    const RgbImage rgb = openFrameSource(path.toStdString())->frameRgb(index);
    QImage image(rgb.width, rgb.height, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height; ++y)
        std::memcpy(image.scanLine(y), rgb.pixels.data() + static_cast<size_t>(y) * rgb.width * 3,
                    static_cast<size_t>(rgb.width) * 3);
    return image;
}

struct Rig {
    Rig()
    {
        display.resize(200, 160);
        control.setDisplayWindow(&display);
    }

    bool open(const QString &path) { return player.open(path.toStdString()); }

    VideoDisplay display;
    Player player{&openFrameSource};
    TransportBar control{player};
};

} // namespace

TEST(PlayerOnVideo, OpenGivesTheLengthAndFrameZero)
{
    Rig rig;
    ASSERT_TRUE(rig.open(clip()));
    EXPECT_EQ(rig.player.length(), 30);
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(rig.display.frame().convertToFormat(QImage::Format_RGB888), decoded(clip(), 0));
}

TEST(PlayerOnVideo, StepAndBackShowEachFrameAndStopAtBothEnds)
{
    Rig rig;
    ASSERT_TRUE(rig.open(clip()));
    EXPECT_FALSE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 0);
    for (int i = 1; i < 30; ++i)
        ASSERT_TRUE(rig.player.step()) << i;
    EXPECT_EQ(rig.player.position(), 29);
    EXPECT_FALSE(rig.player.step());
    EXPECT_EQ(rig.player.position(), 29);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 29));
    ASSERT_TRUE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 28);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 28));
    EXPECT_NE(decoded(clip(), 28), decoded(clip(), 29)) << "the clip must tell its frames apart";
}

TEST(PlayerOnVideo, CloseWithNothingOpenAndOpenOfAMissingFile)
{
    Rig rig;
    rig.player.close();
    EXPECT_FALSE(rig.open(QStringLiteral("/nonexistent/clip.avi")));
    EXPECT_EQ(rig.player.length(), 0);
    EXPECT_FALSE(rig.player.lastError().empty());
    ASSERT_TRUE(rig.open(clip()));
    rig.player.close();
    EXPECT_EQ(rig.player.length(), 0);
    rig.player.close();
}

TEST(PlayerOnVideo, PlaybackReachesTheLastFrame)
{
    Rig rig;
    rig.display.show();
    ASSERT_TRUE(rig.open(clip()));
    ASSERT_TRUE(rig.player.play());
    QElapsedTimer clock;
    clock.start();
    while (rig.player.isPlaying() && clock.elapsed() < 20000)
        QTest::qWait(10);
    EXPECT_FALSE(rig.player.isPlaying());
    EXPECT_EQ(rig.player.position(), 29);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 29));
    const PlaybackStats &stats = rig.player.playbackStats();
    EXPECT_EQ(stats.shown + stats.skipped, 29);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
