#include "app/autotrackruns.h"
#include "corpussource.h"
#include "trackcorpus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <set>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

constexpr int kFrames = 20;

// The runs over a track of a video made of the corpus's frames, then of
// grey ones up to `frames`, fed by the tracking engine one frame per call,
// with the writes they make.
struct Bench {
    explicit Bench(const CorpusCase &corpus, int frames = 0) : corpus(corpus), source(corpus, frames)
    {
        track.resize(source.frameCount());
    }

    void write(const FramePoints &points, int &calls)
    {
        ++calls;
        for (const auto &[frame, point] : points)
            track.set(frame, point);
    }

    void clickStart() { track.set(0, TrackPoint{int(corpus.clickX()), int(corpus.clickY())}); }

    // Tracks what the runs planned, applying each frame as it comes, until
    // the run ends; returns its last step and keeps the frames tracked.
    RunStep runFrom(std::int32_t frame)
    {
        EXPECT_EQ(runs.start(track, frame, source.frameCount()), std::nullopt);
        const RunPlan plan = runs.plan();
        tracked.clear();
        std::atomic<bool> stop = false;
        RunStep step;
        TrackingEngine engine(source, {plan.from, plan.last, double(plan.point.X), double(plan.point.Y)});
        const TrackingEnd end = engine.run(
            [&](TrackedFrame &&found) {
                tracked.insert(found.frame);
                step = runs.apply(track, std::span(&found, 1));
                stop = !runs.isRunning();
            },
            stop);
        return runs.isRunning() ? runs.end(track, end) : step;
    }

    const CorpusCase &corpus;
    CorpusSource source;
    PointTrack track;
    int stores = 0;
    int restores = 0;
    std::set<int> tracked;
    AutoTrackRuns runs{[this](const FramePoints &points) { write(points, stores); },
                       [this](const FramePoints &points) { write(points, restores); }};
};

// Rounding moves a point up to half a pixel on each axis; the tracker
// may add as much.
bool isNearTruth(const CorpusCase &corpus, int frame, TrackPoint point)
{
    const TruthPoint truth = corpus.truth(frame);
    return std::abs(point.X - truth.x) <= 1.0 && std::abs(point.Y - truth.y) <= 1.0;
}

} // namespace

TEST(TrackedPoint, RoundsToTheNearestPixelHalvesToEven)
{
    EXPECT_EQ(trackedPoint(112.5, 77.5), (TrackPoint{112, 78}));
    EXPECT_EQ(trackedPoint(2.49, 3.51), (TrackPoint{2, 4}));
    EXPECT_EQ(trackedPoint(-0.5, -1.5), (TrackPoint{0, -2}));
    EXPECT_EQ(trackedPoint(1e12, 5), std::nullopt);
    EXPECT_EQ(trackedPoint(NAN, 5), std::nullopt);
}

TEST(AutoTrackRuns, StoresEveryFrameAfterTheClickNearTheObjectOneWritePerBatch)
{
    Bench bench(throwCase(kFrames));
    bench.clickStart();
    const TrackPoint click = bench.track.at(0);
    ASSERT_EQ(bench.runs.start(bench.track, 0, kFrames), std::nullopt);
    EXPECT_EQ(bench.runs.plan().last, kFrames - 1);
    TrackingEngine engine(bench.source, {0, kFrames - 1, double(click.X), double(click.Y)});
    std::vector<TrackedFrame> found;
    const std::atomic<bool> never = false;
    EXPECT_EQ(engine.run([&](TrackedFrame &&frame) { found.push_back(std::move(frame)); }, never).kind,
              TrackingEnd::Kind::LastFrame);
    ASSERT_EQ(found.size(), std::size_t(kFrames - 1));
    // Three frames, then the rest: one write each.
    const RunStep first = bench.runs.apply(bench.track, std::span(found).first(3));
    EXPECT_EQ(first.kind, RunStep::Kind::Stored);
    EXPECT_EQ(first.frame, 3);
    EXPECT_EQ(bench.stores, 1);
    EXPECT_TRUE(bench.track.at(4).isEmpty());
    const RunStep rest = bench.runs.apply(bench.track, std::span(found).subspan(3));
    EXPECT_EQ(rest.frame, kFrames - 1);
    EXPECT_EQ(bench.stores, 2);
    for (int frame = 1; frame < kFrames; ++frame)
        EXPECT_TRUE(isNearTruth(bench.corpus, frame, bench.track.at(frame))) << frame;
    EXPECT_EQ(bench.runs.end(bench.track, {TrackingEnd::Kind::LastFrame, kFrames - 1}).kind, RunStep::Kind::End);
    EXPECT_FALSE(bench.runs.isRunning());
    EXPECT_EQ(bench.track.at(0), click);
}

TEST(AutoTrackRuns, StartNeedsAVideoAndAPoint)
{
    Bench bench(throwCase(kFrames));
    EXPECT_EQ(bench.runs.start(bench.track, 0, 0), RunStartError::NoVideo);
    EXPECT_EQ(bench.runs.start(bench.track, 0, kFrames), RunStartError::NoPoint);
    EXPECT_EQ(bench.runs.start(bench.track, kFrames + 5, kFrames), RunStartError::NoPoint);
    EXPECT_FALSE(bench.runs.isRunning());
    EXPECT_EQ(bench.stores, 0);
}

TEST(AutoTrackRuns, StopsAtAPointItDidNotPlaceAndLeavesIt)
{
    Bench bench(throwCase(kFrames));
    bench.clickStart();
    const TrackPoint users{600, 100};
    bench.track.set(8, users);
    const RunStep last = bench.runFrom(0);
    EXPECT_EQ(last.kind, RunStep::Kind::UserPoint);
    EXPECT_EQ(last.frame, 8);
    EXPECT_EQ(bench.track.at(8), users);
    EXPECT_EQ(bench.stores, 7);
    EXPECT_TRUE(bench.track.at(9).isEmpty());
    // The run was planned to stop before it: that frame was never tracked.
    EXPECT_EQ(bench.tracked.count(8), 0U);
}

TEST(AutoTrackRuns, ALaterRunReplacesThePointsOfEarlierRunsOnly)
{
    Bench bench(throwCase(kFrames));
    bench.clickStart();
    bench.runFrom(0);
    ASSERT_EQ(bench.stores, kFrames - 1);
    // The user clicks frame 12 over its tracked point and runs again from
    // frame 5.
    const TrackPoint users{700, 100};
    bench.track.set(12, users);
    const RunStep last = bench.runFrom(5);
    EXPECT_EQ(last.kind, RunStep::Kind::UserPoint);
    EXPECT_EQ(last.frame, 12);
    EXPECT_EQ(bench.stores, kFrames - 1 + 6);
}

TEST(AutoTrackRuns, HiddenFramesStoreNothingAndLostEndsTheRunWhereItGaveUp)
{
    // The object is gone from frame 6 on, in the middle of the picture.
    constexpr int kLonger = 200;
    Bench bench(throwCase(kFrames), kLonger);
    bench.clickStart();
    bench.source.blankFrom = 6;
    const RunStep last = bench.runFrom(0);
    EXPECT_EQ(last.kind, RunStep::Kind::Lost);
    EXPECT_GT(last.frame, 7);
    EXPECT_LT(last.frame, kLonger - 1);
    EXPECT_EQ(bench.stores, 5);
    for (int frame = 6; frame < kLonger; ++frame)
        EXPECT_TRUE(bench.track.at(frame).isEmpty()) << frame;
    EXPECT_EQ(*bench.tracked.rbegin(), last.frame);
}

TEST(AutoTrackRuns, UndoPutsBackWhatTheLastRunReplacedExceptNewerClicks)
{
    Bench bench(throwCase(kFrames));
    bench.clickStart();
    EXPECT_FALSE(bench.runs.canUndo());
    bench.source.blankFrom = 10;
    bench.runFrom(0);
    const PointTrack afterFirst = bench.track;
    ASSERT_TRUE(bench.track.at(9).X != 0);

    // The second run replaces frames 4 to 9 of the first and adds more;
    // the user then clicks frame 15.
    bench.source.blankFrom = 1 << 30;
    const RunStep second = bench.runFrom(3);
    ASSERT_EQ(second.kind, RunStep::Kind::End);
    const TrackPoint users{640, 20};
    bench.track.set(15, users);
    ASSERT_TRUE(bench.runs.canUndo());
    bench.runs.undo(bench.track);
    EXPECT_EQ(bench.restores, 1);
    EXPECT_FALSE(bench.runs.canUndo());
    for (int frame = 0; frame < kFrames; ++frame) {
        if (frame != 15) {
            EXPECT_EQ(bench.track.at(frame), afterFirst.at(frame)) << frame;
        }
    }
    EXPECT_EQ(bench.track.at(15), users);

    // Frames 4 to 9 hold the first run's points again, which a run may replace.
    const RunStep third = bench.runFrom(3);
    EXPECT_EQ(third.kind, RunStep::Kind::UserPoint);
    EXPECT_EQ(third.frame, 15);
}

TEST(AutoTrackRuns, ARunThatPlacedNothingKeepsTheUndoOfTheOneBefore)
{
    Bench bench(throwCase(kFrames));
    bench.clickStart();
    bench.runFrom(0);
    // Started on the last frame: nothing after it.
    bench.track.set(kFrames - 1, TrackPoint{10, 10});
    EXPECT_EQ(bench.runFrom(kFrames - 1).kind, RunStep::Kind::End);
    ASSERT_TRUE(bench.runs.canUndo());
    bench.runs.undo(bench.track);
    for (int frame = 1; frame < kFrames - 1; ++frame)
        EXPECT_TRUE(bench.track.at(frame).isEmpty()) << frame;
}
