#include "media.h"
#include "mediaplayercontrol.h"
#include "videodisplay.h"

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

    bool open(const QString &path)
    {
        control.setFileName(path);
        return control.setCommand(QStringLiteral("Open"));
    }

    VideoDisplay display;
    MediaPlayerControl control{&openFrameSource};
};

} // namespace

TEST(PlayerOnVideo, OpenGivesTheLengthAndFrameZero)
{
    Rig rig;
    ASSERT_TRUE(rig.open(clip()));
    EXPECT_EQ(rig.control.length(), 30);
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_EQ(rig.display.frame().convertToFormat(QImage::Format_RGB888), decoded(clip(), 0));
}

TEST(PlayerOnVideo, StepAndBackShowEachFrameAndStopAtBothEnds)
{
    Rig rig;
    ASSERT_TRUE(rig.open(clip()));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_EQ(rig.control.position(), 0);
    for (int i = 1; i < 30; ++i)
        ASSERT_TRUE(rig.control.setCommand(QStringLiteral("step"))) << i;
    EXPECT_EQ(rig.control.position(), 29);
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_EQ(rig.control.position(), 29);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 29));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_EQ(rig.control.position(), 28);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 28));
    EXPECT_NE(decoded(clip(), 28), decoded(clip(), 29)) << "the clip must tell its frames apart";
}

TEST(PlayerOnVideo, CloseWithNothingOpenAndOpenOfAMissingFile)
{
    Rig rig;
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("Close")));
    EXPECT_FALSE(rig.open(QStringLiteral("/nonexistent/clip.avi")));
    EXPECT_EQ(rig.control.length(), 0);
    EXPECT_FALSE(rig.control.lastError().isEmpty());
    ASSERT_TRUE(rig.open(clip()));
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("Close")));
    EXPECT_EQ(rig.control.length(), 0);
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("Close")));
}

TEST(PlayerOnVideo, PlaybackReachesTheLastFrame)
{
    Rig rig;
    rig.display.show();
    ASSERT_TRUE(rig.open(clip()));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    QElapsedTimer clock;
    clock.start();
    while (rig.control.isPlaying() && clock.elapsed() < 20000)
        QTest::qWait(10);
    EXPECT_FALSE(rig.control.isPlaying());
    EXPECT_EQ(rig.control.position(), 29);
    EXPECT_EQ(rig.display.frame(), decoded(clip(), 29));
    const PlaybackStats &stats = rig.control.playbackStats();
    EXPECT_EQ(stats.shown + stats.skipped, 29);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
