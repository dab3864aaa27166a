#include "fakeframesource.h"
#include "mediaplayercontrol.h"
#include "videodisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace zorvane;
using zorvane::testing::FakeFrameSource;

namespace {

bool waitUntil(const std::function<bool()> &done, int ceilingMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ceilingMs)
        QTest::qWait(5);
    return done();
}

// A control on a display, opening FakeFrameSources that the test can tune
// before "Open" through `next`.
struct Rig {
    explicit Rig(int frames = 5, double intervalMs = 40.0)
        : control([this](const std::string &path) -> std::unique_ptr<FrameSource> {
              if (path == "missing.avi")
                  throw ReaderError(ReaderErrorKind::CannotOpen, "missing.avi: cannot open");
              auto source = std::move(next);
              current = source.get();
              return source;
          })
    {
        next = std::make_unique<FakeFrameSource>(frames, intervalMs);
        display.resize(100, 80);
        control.setDisplayWindow(&display);
    }

    bool open(const QString &name = QStringLiteral("clip.avi"))
    {
        control.setFileName(name);
        return control.setCommand(QStringLiteral("Open"));
    }

    QColor shown() const { return display.frame().isNull() ? QColor() : display.frame().pixelColor(5, 5); }

    std::unique_ptr<FakeFrameSource> next;
    FakeFrameSource *current = nullptr;
    VideoDisplay display;
    MediaPlayerControl control;
};

} // namespace

TEST(MediaPlayerControl, HasSevenTransportButtonsWithFrenchTooltipsInOneRow)
{
    Rig rig;
    rig.control.setGeometry(8, 8, 184, 22);
    rig.control.show();
    const QStringList expected{"Lecture", "Pause", "Arrêt", "Image précédente", "Image suivante",
                               "Première image", "Dernière image"};
    int previousRight = -1;
    for (int i = 0; i < MediaPlayerControl::ButtonCount; ++i) {
        QToolButton *button = rig.control.button(static_cast<MediaPlayerControl::Button>(i));
        EXPECT_EQ(button->toolTip(), expected[i]);
        EXPECT_FALSE(button->isEnabled()) << "nothing is open yet";
        EXPECT_GT(button->geometry().left(), previousRight - 1);
        EXPECT_LE(button->geometry().right(), 183);
        EXPECT_FALSE(button->icon().isNull());
        previousRight = button->geometry().right();
    }
    EXPECT_EQ(rig.control.size(), QSize(184, 22));
    ASSERT_TRUE(rig.open());
    EXPECT_TRUE(rig.control.button(MediaPlayerControl::PlayButton)->isEnabled());
    EXPECT_FALSE(rig.control.button(MediaPlayerControl::PauseButton)->isEnabled());
    EXPECT_TRUE(rig.control.button(MediaPlayerControl::StepButton)->isEnabled());
}

TEST(MediaPlayerControl, CommandsWithNothingOpenFailExceptClose)
{
    Rig rig;
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("Close")));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("Play")));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("Rewind")));
    EXPECT_EQ(rig.control.length(), 0);
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_FALSE(rig.control.isPlaying());
    EXPECT_TRUE(rig.display.frame().isNull());
}

TEST(MediaPlayerControl, OpenShowsFrameZeroAndStepBackStopAtBothEnds)
{
    Rig rig(3);
    ASSERT_TRUE(rig.open());
    EXPECT_EQ(rig.control.length(), 3);
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(0));

    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(0));

    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("STEP")));
    EXPECT_EQ(rig.control.position(), 2);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(2));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_EQ(rig.control.position(), 2);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(2));

    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_EQ(rig.control.position(), 1);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(1));
    EXPECT_EQ(rig.control.command(), QStringLiteral("back"));
}

TEST(MediaPlayerControl, FailedOpenLeavesThePlayerClosedAndTheDisplayEmpty)
{
    Rig rig;
    ASSERT_TRUE(rig.open());
    EXPECT_FALSE(rig.open(QStringLiteral("missing.avi")));
    EXPECT_EQ(rig.control.length(), 0);
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_TRUE(rig.display.frame().isNull());
    EXPECT_TRUE(rig.control.lastError().contains(QStringLiteral("cannot open")));
    EXPECT_FALSE(rig.control.button(MediaPlayerControl::StepButton)->isEnabled());
}

TEST(MediaPlayerControl, AFrameThatFailsToDecodeLeavesPositionAndPicture)
{
    Rig rig(4);
    ASSERT_TRUE(rig.open());
    rig.current->failingFrame = 2;
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_FALSE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_EQ(rig.control.position(), 1);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(1));
}

TEST(MediaPlayerControl, AcceptsTheThreeBooleanOptionsOnly)
{
    Rig rig;
    for (int id : {24, 25, 26}) {
        EXPECT_TRUE(rig.control.setOption(id, true));
        EXPECT_TRUE(rig.control.option(id));
        EXPECT_TRUE(rig.control.setOption(id, false));
        EXPECT_FALSE(rig.control.option(id));
    }
    EXPECT_FALSE(rig.control.setOption(23, true));
    EXPECT_FALSE(rig.control.setOption(27, true));
    EXPECT_FALSE(rig.control.option(27));
    rig.control.setDeviceType(QStringLiteral("AVIVideo"));
    EXPECT_EQ(rig.control.deviceType(), QStringLiteral("AVIVideo"));
}

TEST(MediaPlayerControl, OnlyItsOwnButtonsRaiseTheMoveNotification)
{
    Rig rig(4);
    QSignalSpy moved(&rig.control, &MediaPlayerControl::transportMoved);
    QSignalSpy played(&rig.control, &MediaPlayerControl::framePlayed);
    ASSERT_TRUE(rig.open());
    rig.control.setCommand(QStringLiteral("step"));
    rig.control.setCommand(QStringLiteral("back"));
    EXPECT_EQ(moved.count(), 0);

    rig.control.button(MediaPlayerControl::StepButton)->click();
    EXPECT_EQ(rig.control.position(), 1);
    EXPECT_EQ(moved.count(), 1);
    rig.control.button(MediaPlayerControl::LastButton)->click();
    EXPECT_EQ(rig.control.position(), 3);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(3));
    EXPECT_EQ(moved.count(), 2);
    rig.control.button(MediaPlayerControl::StepButton)->click();
    EXPECT_EQ(moved.count(), 2) << "no move at the last frame, no notification";
    rig.control.button(MediaPlayerControl::BackButton)->click();
    EXPECT_EQ(rig.control.position(), 2);
    rig.control.button(MediaPlayerControl::FirstButton)->click();
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_EQ(moved.count(), 4);
    rig.control.button(MediaPlayerControl::LastButton)->click();
    rig.control.button(MediaPlayerControl::StopButton)->click();
    EXPECT_EQ(rig.control.position(), 0);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(0));
    EXPECT_EQ(moved.count(), 6);
    EXPECT_EQ(played.count(), 0);
}

TEST(MediaPlayerControl, PlayRunsFromTheCurrentFrameToTheLastAndStopsThere)
{
    Rig rig(8, 10.0);
    QSignalSpy played(&rig.control, &MediaPlayerControl::framePlayed);
    ASSERT_TRUE(rig.open());
    rig.control.setCommand(QStringLiteral("step"));
    rig.control.setCommand(QStringLiteral("step"));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    EXPECT_TRUE(rig.control.isPlaying());
    EXPECT_FALSE(rig.control.button(MediaPlayerControl::PlayButton)->isEnabled());
    EXPECT_TRUE(rig.control.button(MediaPlayerControl::PauseButton)->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !rig.control.isPlaying(); }));
    EXPECT_EQ(rig.control.position(), 7);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(7));
    const PlaybackStats &stats = rig.control.playbackStats();
    EXPECT_EQ(stats.shown + stats.skipped, 5) << "frames 3 to 7, each shown or skipped";
    EXPECT_EQ(played.count(), stats.shown);
    EXPECT_GE(stats.worstLatenessMs, 0.0);
    EXPECT_TRUE(rig.control.button(MediaPlayerControl::PlayButton)->isEnabled());

    // At the last frame there is nothing left to play.
    EXPECT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    EXPECT_FALSE(rig.control.isPlaying());
    EXPECT_EQ(rig.control.position(), 7);
}

TEST(MediaPlayerControl, StepDuringPlaybackPausesFirst)
{
    Rig rig(400, 20.0);
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    ASSERT_TRUE(waitUntil([&] { return rig.control.position() >= 2; }));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("step")));
    EXPECT_FALSE(rig.control.isPlaying());
    const int after = rig.control.position();
    QTest::qWait(80);
    EXPECT_EQ(rig.control.position(), after) << "playback went on after step";
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(after));

    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("back")));
    EXPECT_FALSE(rig.control.isPlaying());
    EXPECT_EQ(rig.control.position(), after - 1);
}

TEST(MediaPlayerControl, PlaybackSkipsLateFramesInsteadOfDrifting)
{
    Rig rig(16, 20.0);
    ASSERT_TRUE(rig.open());
    rig.current->slowFrame = 3;
    rig.current->slowFrameDelayMs = 150;
    std::vector<int> positions;
    QObject::connect(&rig.control, &MediaPlayerControl::framePlayed,
                     [&] { positions.push_back(rig.control.position()); });
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    ASSERT_TRUE(waitUntil([&] { return !rig.control.isPlaying(); }));
    const PlaybackStats &stats = rig.control.playbackStats();
    // Frame 3 takes until 150 ms at least; frames 4 to 6 are due by then.
    EXPECT_GE(stats.skipped, 3);
    EXPECT_EQ(stats.shown + stats.skipped, 15);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 5), 0) << "a frame due while frame 3 decoded was shown";
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 15);
    EXPECT_EQ(rig.shown(), FakeFrameSource::colourOf(15));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end());
}

TEST(MediaPlayerControl, CloseDuringPlaybackStopsAndEmptiesTheDisplay)
{
    Rig rig(400, 20.0);
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Play")));
    ASSERT_TRUE(rig.control.setCommand(QStringLiteral("Close")));
    EXPECT_FALSE(rig.control.isPlaying());
    EXPECT_EQ(rig.control.length(), 0);
    EXPECT_TRUE(rig.display.frame().isNull());
    QTest::qWait(50);
    EXPECT_EQ(rig.control.position(), 0);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
