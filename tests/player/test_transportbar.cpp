#include "player/player.h"
#include "player/ui/transportbar.h"
#include "player/ui/videodisplay.h"
#include "support/fakeframesource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace zorvane;
using zorvane::testing::FakeFiles;
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

QColor colourOf(int index)
{
    const FakeFrameSource::Rgb rgb = FakeFrameSource::colourOf(index);
    return QColor(rgb[0], rgb[1], rgb[2]);
}

// The bar over a player on a display, opening FakeFrameSources that the
// test can tune before open() through `files`.
struct Rig {
    explicit Rig(int frames = 5, double intervalMs = 40.0) : files(frames, intervalMs), player(files.opener())
    {
        display.resize(100, 80);
        bar.setDisplayWindow(&display);
    }

    bool open(const std::string &name = "clip.avi") { return player.open(name); }

    QColor shown() const { return display.frame().isNull() ? QColor() : display.frame().pixelColor(5, 5); }
    bool enabled(TransportBar::Button which) const { return bar.button(which)->isEnabled(); }

    FakeFiles files;
    VideoDisplay display;
    Player player;
    TransportBar bar{player};
};

} // namespace

TEST(TransportBar, HasSevenButtonsWithFrenchTooltipsInOneRow)
{
    Rig rig;
    rig.bar.setGeometry(8, 8, 184, 22);
    rig.bar.show();
    const QStringList expected{"Lecture",        "Pause",          "Arrêt",         "Image précédente",
                               "Image suivante", "Première image", "Dernière image"};
    int previousRight = -1;
    for (int i = 0; i < TransportBar::ButtonCount; ++i) {
        QToolButton *button = rig.bar.button(static_cast<TransportBar::Button>(i));
        EXPECT_EQ(button->toolTip(), expected[i]);
        EXPECT_FALSE(button->isEnabled()) << "nothing is open yet";
        EXPECT_GT(button->geometry().left(), previousRight - 1);
        EXPECT_LE(button->geometry().right(), 183);
        EXPECT_FALSE(button->icon().isNull());
        previousRight = button->geometry().right();
    }
    EXPECT_EQ(rig.bar.size(), QSize(184, 22));
    ASSERT_TRUE(rig.open());
    EXPECT_TRUE(rig.enabled(TransportBar::PlayButton));
    EXPECT_FALSE(rig.enabled(TransportBar::PauseButton));
    EXPECT_TRUE(rig.enabled(TransportBar::StepButton));
}

TEST(TransportBar, ThePlayersPicturesGoToTheDisplayWindow)
{
    Rig rig(3);
    ASSERT_TRUE(rig.open());
    EXPECT_EQ(rig.shown(), colourOf(0));
    rig.player.step();
    EXPECT_EQ(rig.shown(), colourOf(1));
    EXPECT_FALSE(rig.open("missing.avi"));
    EXPECT_TRUE(rig.display.frame().isNull());
    EXPECT_FALSE(rig.enabled(TransportBar::StepButton));
}

TEST(TransportBar, OnlyItsOwnButtonsRaiseTheMoveNotification)
{
    Rig rig(4);
    QSignalSpy moved(&rig.bar, &TransportBar::transportMoved);
    QSignalSpy played(&rig.bar, &TransportBar::framePlayed);
    ASSERT_TRUE(rig.open());
    rig.player.step();
    rig.player.back();
    EXPECT_EQ(moved.count(), 0);

    rig.bar.button(TransportBar::StepButton)->click();
    EXPECT_EQ(rig.player.position(), 1);
    EXPECT_EQ(moved.count(), 1);
    rig.bar.button(TransportBar::LastButton)->click();
    EXPECT_EQ(rig.player.position(), 3);
    EXPECT_EQ(rig.shown(), colourOf(3));
    EXPECT_EQ(moved.count(), 2);
    rig.bar.button(TransportBar::StepButton)->click();
    EXPECT_EQ(moved.count(), 2) << "no move at the last frame, no notification";
    rig.bar.button(TransportBar::BackButton)->click();
    EXPECT_EQ(rig.player.position(), 2);
    rig.bar.button(TransportBar::FirstButton)->click();
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(moved.count(), 4);
    rig.bar.button(TransportBar::LastButton)->click();
    rig.bar.button(TransportBar::StopButton)->click();
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_EQ(rig.shown(), colourOf(0));
    EXPECT_EQ(moved.count(), 6);
    EXPECT_EQ(played.count(), 0);
}

TEST(TransportBar, PlayRunsOnItsTimerToTheLastFrameAndStopsThere)
{
    Rig rig(8, 10.0);
    QSignalSpy played(&rig.bar, &TransportBar::framePlayed);
    ASSERT_TRUE(rig.open());
    rig.player.seek(2);
    rig.bar.button(TransportBar::PlayButton)->click();
    EXPECT_TRUE(rig.player.isPlaying());
    EXPECT_FALSE(rig.enabled(TransportBar::PlayButton));
    EXPECT_TRUE(rig.enabled(TransportBar::PauseButton));
    ASSERT_TRUE(waitUntil([&] { return !rig.player.isPlaying(); }));
    EXPECT_EQ(rig.player.position(), 7);
    EXPECT_EQ(rig.shown(), colourOf(7));
    const PlaybackStats &stats = rig.player.playbackStats();
    EXPECT_EQ(stats.shown + stats.skipped, 5) << "frames 3 to 7, each shown or skipped";
    EXPECT_EQ(played.count(), stats.shown);
    EXPECT_TRUE(rig.enabled(TransportBar::PlayButton));
    EXPECT_FALSE(rig.enabled(TransportBar::PauseButton));
}

TEST(TransportBar, PauseButtonStopsPlaybackWhereItIs)
{
    Rig rig(400, 20.0);
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.player.play());
    ASSERT_TRUE(waitUntil([&] { return rig.player.position() >= 2; }));
    rig.bar.button(TransportBar::PauseButton)->click();
    EXPECT_FALSE(rig.player.isPlaying());
    const int after = rig.player.position();
    QTest::qWait(80);
    EXPECT_EQ(rig.player.position(), after) << "playback went on after pause";
    EXPECT_EQ(rig.shown(), colourOf(after));
}

TEST(TransportBar, ASlowFrameMakesPlaybackSkipInsteadOfDrift)
{
    Rig rig(16, 20.0);
    ASSERT_TRUE(rig.open());
    rig.files.current->slowFrame = 3;
    rig.files.current->slowFrameDelayMs = 150;
    std::vector<int> positions;
    QObject::connect(&rig.bar, &TransportBar::framePlayed, [&] { positions.push_back(rig.player.position()); });
    ASSERT_TRUE(rig.player.play());
    ASSERT_TRUE(waitUntil([&] { return !rig.player.isPlaying(); }));
    const PlaybackStats &stats = rig.player.playbackStats();
    // Frame 3 takes until 150 ms at least; frames 4 to 6 are due by then.
    EXPECT_GE(stats.skipped, 3);
    EXPECT_EQ(stats.shown + stats.skipped, 15);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 5), 0) << "a frame due while frame 3 decoded was shown";
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 15);
    EXPECT_EQ(rig.shown(), colourOf(15));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end());
}

TEST(TransportBar, CloseDuringPlaybackEmptiesTheDisplayAndStopsTheTimer)
{
    Rig rig(400, 20.0);
    QSignalSpy played(&rig.bar, &TransportBar::framePlayed);
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.player.play());
    rig.player.close();
    EXPECT_TRUE(rig.display.frame().isNull());
    QTest::qWait(50);
    EXPECT_EQ(played.count(), 0);
    EXPECT_EQ(rig.player.position(), 0);
    EXPECT_FALSE(rig.enabled(TransportBar::PlayButton));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
