#include "app/ui/autotrackcommands.h"
#include "app/ui/form1.h"
#include "player/ui/videodisplay.h"
#include "progress/progresspasses.h"
#include "support/media.h"
#include "trackcorpus.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <thread>

// Readable failures.
void PrintTo(const QString &text, std::ostream *out) { *out << text.toStdString(); }

using namespace zorvane;
using namespace zorvane::testing;

namespace {

constexpr int kThrowFrames = 30;

QString throwVideo()
{
    const std::filesystem::path video = mediaDir() / "autotrack-throw720-30.mp4";
    encodeVideo(throwCase(kThrowFrames), video.string());
    return QString::fromStdString(video.string());
}

// A light disc of radius 7 on grey, its centre at (40.5 + 6 n, 57.5) in
// frame n, leaving the picture on the right after frame 19.
QString leavingDiscVideo()
{
    static const std::filesystem::path video =
        generateMedia("autotrack-leaving-disc-4s.avi",
                      {"-f", "lavfi", "-i",
                       "color=c=gray:size=160x120:rate=25:d=4,format=yuv444p,"
                       "geq=lum='if(lt(hypot(X-(40.5+6*N)\\,Y-57.5)\\,7)\\,230\\,80)':cb=128:cr=128,format=yuv420p",
                       "-c:v", "mpeg4", "-q:v", "2"});
    return QString::fromStdString(video.string());
}

// The run's own reader, slowed down so that a test can act while it goes.
class SlowSource : public FrameSource {
public:
    explicit SlowSource(std::unique_ptr<FrameSource> source) : m_source(std::move(source)) {}
    int frameCount() const override { return m_source->frameCount(); }
    int width() const override { return m_source->width(); }
    int height() const override { return m_source->height(); }
    double frameTimeMs(int index) const override { return m_source->frameTimeMs(index); }
    RgbImage frameRgb(int index) override { return m_source->frameRgb(index); }
    GrayImage frameGray(int index) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        return m_source->frameGray(index);
    }

private:
    std::unique_ptr<FrameSource> m_source;
};

class Form1AutoTrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_form.setMessageDisplay([this](const QString &text) { m_messages << text; });
        m_form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
        m_commands = m_form.findChild<AutoTrackCommands *>();
        m_picture = m_form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        m_start = m_form.findChild<QAction *>(QStringLiteral("suiviAuto"));
        m_undo = m_form.findChild<QAction *>(QStringLiteral("annulerSuivi"));
        ASSERT_TRUE(m_commands && m_picture && m_start && m_undo);
    }

    void open(const QString &video)
    {
        m_form.openVideo(video);
        ASSERT_TRUE(m_form.player().seek(0));
    }

    void clickAt(int frame, float x, float y)
    {
        ASSERT_TRUE(m_form.player().seek(frame));
        m_form.Picture2_MouseUp(MouseButton::Left, 0, x, y);
    }

    TrackPoint pointOf(int frame) const { return m_form.pointTrack().at(frame); }

    void slowRuns()
    {
        m_commands->setOpener(
            [](const std::string &path) { return std::make_unique<SlowSource>(openSinglePassFrameSource(path)); });
    }

    // Starts a run and lets the event loop turn until it ends; returns the
    // titles shown on the way, which tell the frame the run reached.
    std::set<QString> runToItsEnd()
    {
        m_start->trigger();
        std::set<QString> titles;
        QElapsedTimer clock;
        clock.start();
        while (m_commands->isRunning() && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            titles.insert(m_form.windowTitle());
        }
        EXPECT_FALSE(m_commands->isRunning());
        return titles;
    }

    void turnUntilTracked(int frame)
    {
        QElapsedTimer clock;
        clock.start();
        while (pointOf(frame).isEmpty() && m_commands->isRunning() && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ASSERT_TRUE(m_commands->isRunning());
    }

    // The title once the window's timer has ticked.
    QString titleAfterTick()
    {
        QTest::qWait(250);
        return m_form.windowTitle();
    }

    QString frameCountTitle()
    {
        return QString::fromStdString(progressTitle(m_form.player().position(), m_form.player().length()));
    }

    Form1 m_form{&openFrameSource};
    AutoTrackCommands *m_commands = nullptr;
    VideoDisplay *m_picture = nullptr;
    QAction *m_start = nullptr;
    QAction *m_undo = nullptr;
    QStringList m_messages;
};

} // namespace

TEST_F(Form1AutoTrack, FollowsTheBallFromTheClickFrameByFrameAndUndoPutsBackTheEmptyFrames)
{
    open(throwVideo());
    const CorpusCase &corpus = throwCase(kThrowFrames);
    clickAt(0, float(corpus.truth(0).x), float(corpus.truth(0).y));
    const TrackPoint click = pointOf(0);
    ASSERT_FALSE(click.isEmpty());
    EXPECT_FALSE(m_undo->isEnabled());

    slowRuns();
    m_start->trigger();
    // Nothing happens before the event loop turns.
    EXPECT_TRUE(m_commands->isRunning());
    EXPECT_EQ(m_form.player().position(), 0);
    EXPECT_TRUE(pointOf(1).isEmpty());
    const std::set<QString> titles = runToItsEnd();
    // The frames the run reached showed on the way, the player staying put.
    int reached = 0;
    for (int frame = 1; frame < kThrowFrames - 1; ++frame)
        reached += titles.count(QString::fromStdString(progressTitle(frame, kThrowFrames)));
    EXPECT_GE(reached, 2);
    EXPECT_EQ(m_form.player().position(), kThrowFrames - 1);
    EXPECT_EQ(titleAfterTick(), frameCountTitle());
    // The 720p picture is larger than the video area: the view followed the ball.
    const ViewTransform &view = m_picture->view();
    const TrackPoint end = pointOf(kThrowFrames - 1);
    EXPECT_GT(view.scrollX() + view.scrollY(), 0);
    EXPECT_TRUE(end.X - view.scrollX() >= 0 && end.X - view.scrollX() < view.viewWidth() && end.Y - view.scrollY() >= 0
                && end.Y - view.scrollY() < view.viewHeight())
        << end.X << "," << end.Y << " scrolled " << view.scrollX() << "," << view.scrollY();
    EXPECT_TRUE(m_messages.isEmpty());

    EXPECT_EQ(pointOf(0), click);
    for (int frame = 1; frame < kThrowFrames; ++frame) {
        const TruthPoint truth = corpus.truth(frame);
        const TrackPoint point = pointOf(frame);
        // Half a pixel of rounding and as much of tracking on each axis.
        EXPECT_TRUE(std::abs(point.X - truth.x) <= 1.0 && std::abs(point.Y - truth.y) <= 1.0)
            << "frame " << frame << " at " << point.X << "," << point.Y << " truth " << truth.x << "," << truth.y;
    }

    // A click since the run stays through its undoing.
    clickAt(20, 900, 100);
    ASSERT_TRUE(m_undo->isEnabled());
    m_undo->trigger();
    EXPECT_FALSE(m_undo->isEnabled());
    EXPECT_EQ(pointOf(0), click);
    EXPECT_EQ(pointOf(20), (TrackPoint{900, 100}));
    for (int frame = 1; frame < kThrowFrames; ++frame) {
        if (frame != 20) {
            EXPECT_TRUE(pointOf(frame).isEmpty()) << frame;
        }
    }
}

TEST_F(Form1AutoTrack, UndoAfterChoosingAnotherPointUndoesThePointTheRunFollowed)
{
    open(throwVideo());
    const CorpusCase &corpus = throwCase(kThrowFrames);
    clickAt(0, float(corpus.truth(0).x), float(corpus.truth(0).y));
    runToItsEnd();
    ASSERT_FALSE(pointOf(5).isEmpty());
    ASSERT_TRUE(m_form.addPoint());
    clickAt(5, 40, 50);
    ASSERT_EQ(m_form.activePoint(), 1);
    m_undo->trigger();
    for (int frame = 1; frame < kThrowFrames; ++frame)
        EXPECT_TRUE(pointOf(frame).isEmpty()) << frame;
    EXPECT_FALSE(pointOf(0).isEmpty());
    EXPECT_EQ(m_form.otherPoints().track(1).at(5), (TrackPoint{40, 50})) << "B's click stays";
}

TEST_F(Form1AutoTrack, LostIsInTheTitleUntilTheNextClickHiddenFramesStayEmpty)
{
    open(leavingDiscVideo());
    clickAt(0, 40, 57);
    runToItsEnd();
    // Gone through the edge at frame 20, it is looked for in case it comes
    // back, until it has been unseen for longer than the tracker waits.
    const int lostAt = m_form.player().position();
    EXPECT_GT(lostAt, 70);
    EXPECT_LT(lostAt, 95);
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("Suivi perdu à l'image %1").arg(lostAt));
    for (int frame = 1; frame < 19; ++frame) {
        EXPECT_NEAR(pointOf(frame).X, 40.5 + 6 * frame, 0.6) << frame;
        EXPECT_NEAR(pointOf(frame).Y, 57.5, 0.6) << frame;
    }
    for (int frame = 20; frame < m_form.player().length(); ++frame)
        EXPECT_TRUE(pointOf(frame).isEmpty()) << frame;

    // The window's timer rewrites the title every 200 ms.
    QTest::qWait(450);
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("Suivi perdu à l'image %1").arg(lostAt));
    QTest::mouseClick(m_picture, Qt::MiddleButton, {}, QPoint(20, 20));
    EXPECT_EQ(m_form.player().position(), lostAt - 1);
    EXPECT_EQ(titleAfterTick(), frameCountTitle());
}

TEST_F(Form1AutoTrack, AClickedFrameStopsTheRunAndKeepsItsPoint)
{
    open(leavingDiscVideo());
    clickAt(0, 40, 57);
    clickAt(8, 120, 20);
    ASSERT_TRUE(m_form.player().seek(0));
    runToItsEnd();
    EXPECT_EQ(m_form.player().position(), 8);
    EXPECT_EQ(pointOf(8), (TrackPoint{120, 20}));
    for (int frame = 1; frame < 8; ++frame)
        EXPECT_FALSE(pointOf(frame).isEmpty()) << frame;
    EXPECT_TRUE(pointOf(9).isEmpty());
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("Suivi arrêté à l'image 8 : point déjà placé"));
}

TEST_F(Form1AutoTrack, EscapeOrAClickOnTheVideoOnlyStopsTheRun)
{
    open(leavingDiscVideo());
    slowRuns();
    clickAt(0, 40, 57);
    m_start->trigger();
    turnUntilTracked(3);
    QTest::keyClick(m_picture, Qt::Key_Escape);
    EXPECT_FALSE(m_commands->isRunning());
    // The player shows the last frame written.
    const int stoppedAt = m_form.player().position();
    EXPECT_GE(stoppedAt, 3);
    EXPECT_FALSE(pointOf(stoppedAt).isEmpty());
    QTest::qWait(100);
    EXPECT_EQ(m_form.player().position(), stoppedAt);
    EXPECT_TRUE(pointOf(stoppedAt + 1).isEmpty());
    EXPECT_EQ(titleAfterTick(), frameCountTitle());

    // Again from there: the left click that stops it records nothing.
    m_start->trigger();
    turnUntilTracked(stoppedAt + 3);
    QTest::mouseClick(m_picture, Qt::LeftButton, {}, m_picture->contentsRect().topLeft() + QPoint(150, 110));
    EXPECT_FALSE(m_commands->isRunning());
    const int clickedAt = m_form.player().position();
    const TrackPoint tracked = pointOf(clickedAt);
    EXPECT_GE(clickedAt, stoppedAt + 3);
    EXPECT_FALSE(tracked.isEmpty());
    EXPECT_NE(tracked, (TrackPoint{150, 110}));
    EXPECT_TRUE(pointOf(clickedAt + 1).isEmpty());
    // The next click is an ordinary one.
    QTest::mouseClick(m_picture, Qt::LeftButton, {}, m_picture->contentsRect().topLeft() + QPoint(150, 110));
    EXPECT_EQ(pointOf(clickedAt), (TrackPoint{150, 110}));
}

TEST_F(Form1AutoTrack, AfterAStopAClickOnTheObjectAndASecondRunGoOnKeepingWhatCameBefore)
{
    open(leavingDiscVideo());
    slowRuns();
    clickAt(0, 40, 57);
    m_start->trigger();
    turnUntilTracked(4);
    // A menu opens and closes without stopping the run.
    QMenu *measures = m_form.findChild<QMenu *>(QStringLiteral("mesures"));
    QMenuBar *bar = m_form.menuBar();
    ASSERT_TRUE(measures);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(measures->menuAction()).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return measures->isVisible(); }, 2000));
    EXPECT_TRUE(m_commands->isRunning());
    measures->hide();
    EXPECT_TRUE(m_commands->isRunning());
    QTest::keyClick(m_picture, Qt::Key_Escape);
    const int stoppedAt = m_form.player().position();
    std::vector<TrackPoint> before;
    for (int frame = 0; frame <= stoppedAt; ++frame)
        before.push_back(pointOf(frame));

    // The user puts the point on the ball's centre and goes on.
    const int centre = int(std::lround(40.5 + 6 * stoppedAt));
    clickAt(stoppedAt, float(centre), 57);
    runToItsEnd();
    EXPECT_EQ(m_form.windowTitle(), QStringLiteral("Suivi perdu à l'image %1").arg(m_form.player().position()));
    for (int frame = 0; frame < stoppedAt; ++frame)
        EXPECT_EQ(pointOf(frame), before[frame]) << frame;
    EXPECT_EQ(pointOf(stoppedAt), (TrackPoint{centre, 57}));
    for (int frame = stoppedAt + 1; frame < 19; ++frame) {
        EXPECT_NEAR(pointOf(frame).X, 40.5 + 6 * frame, 0.6) << frame;
        EXPECT_NEAR(pointOf(frame).Y, 57.5, 0.6) << frame;
    }

    // "Annuler le suivi" takes back the second run only.
    m_undo->trigger();
    for (int frame = 0; frame < stoppedAt; ++frame)
        EXPECT_EQ(pointOf(frame), before[frame]) << frame;
    EXPECT_EQ(pointOf(stoppedAt), (TrackPoint{centre, 57}));
    for (int frame = stoppedAt + 1; frame < m_form.player().length(); ++frame)
        EXPECT_TRUE(pointOf(frame).isEmpty()) << frame;
}

TEST_F(Form1AutoTrack, AnotherVideoOpenedDuringARunGetsNoneOfItsPoints)
{
    open(leavingDiscVideo());
    slowRuns();
    clickAt(0, 40, 57);
    m_start->trigger();
    turnUntilTracked(2);
    m_form.openVideo(throwVideo());
    const PointTrack atOpening = m_form.pointTrack();
    QTest::qWait(300);
    EXPECT_FALSE(m_commands->isRunning());
    for (int frame = 0; frame < kThrowFrames; ++frame)
        EXPECT_EQ(pointOf(frame), atOpening.at(frame)) << frame;
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(Form1AutoTrack, WithoutAPointOnTheFrameItAsksForAClick)
{
    m_start->trigger();
    open(leavingDiscVideo());
    m_start->trigger();
    EXPECT_FALSE(m_commands->isRunning());
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[0], QStringLiteral("Ouvrez d'abord une vidéo."));
    EXPECT_EQ(m_messages[1], QStringLiteral("Cliquez d'abord sur l'objet à suivre dans cette image."));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
