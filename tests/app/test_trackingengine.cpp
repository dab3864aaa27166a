#include "app/backgroundtracking.h"
#include "app/trackingengine.h"
#include "corpussource.h"
#include "trackcorpus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

constexpr int kFrames = 20;

TrackingStart startOf(const CorpusCase &corpus, int last = kFrames - 1)
{
    return {0, last, corpus.clickX(), corpus.clickY()};
}

// Runs on a corpus source as the window does, taking what comes at each
// wake, until the run's end comes.
struct WindowSide {
    std::mutex mutex;
    std::condition_variable woken;
    int wakes = 0;

    BackgroundTracking::Wake wake()
    {
        return [this] {
            std::lock_guard lock(mutex);
            ++wakes;
            woken.notify_all();
        };
    }

    bool waitForWake(int count)
    {
        std::unique_lock lock(mutex);
        return woken.wait_for(lock, std::chrono::seconds(30), [&] { return wakes >= count; });
    }
};

} // namespace

TEST(TrackingEngine, ReportsEveryFrameInOrderWithThePictureAskedForAndStopsWhenAsked)
{
    const CorpusCase &corpus = throwCase(kFrames);
    CorpusSource source(corpus);
    TrackingEngine engine(source, startOf(corpus));
    ASSERT_TRUE(engine.hasTarget());
    std::vector<int> reported;
    std::vector<int> pictured;
    std::atomic<bool> stop = false;
    const TrackingEnd end = engine.run(
        [&](TrackedFrame &&frame) {
            reported.push_back(frame.frame);
            EXPECT_EQ(frame.step.state, TrackStep::State::Found) << frame.frame;
            if (frame.picture) {
                pictured.push_back(frame.frame);
                EXPECT_EQ(frame.picture->pixels, corpus.frame(frame.frame).pixels);
            }
            if (frame.frame == 3)
                engine.requestPicture();
            stop = frame.frame == 12;
        },
        stop);
    EXPECT_EQ(end.kind, TrackingEnd::Kind::Stopped);
    EXPECT_EQ(end.frame, 12);
    ASSERT_EQ(reported.size(), 12U);
    for (int index = 0; index < 12; ++index)
        EXPECT_EQ(reported[index], index + 1);
    // The next frame read after the request, a few ahead of the tracker.
    ASSERT_EQ(pictured.size(), 1U);
    EXPECT_GT(pictured[0], 3);
    EXPECT_LE(pictured[0], 12);
    // Reading stopped with the run: the start, the frames tracked, a few
    // ahead and the picture; each twice when colour is followed too.
    const int perFrame = engine.followsColour() ? 2 : 1;
    EXPECT_LE(source.reads, 2 + perFrame * (12 + 5) + 1);
}

TEST(TrackingEngine, FollowsInColourAnObjectAsBrightAsItsBackground)
{
    // A red bob over leaves of its brightness, filmed by hand: in grey
    // levels alone, most of its frames are missed.
    const auto corpus = makeCorpusCase("pendulum-shake", 40);
    CorpusSource source(*corpus);
    TrackingEngine engine(source, {0, 39, corpus->clickX(), corpus->clickY()});
    EXPECT_TRUE(engine.followsColour());
    TrackRun run(1);
    const std::atomic<bool> never = false;
    engine.run([&](TrackedFrame &&frame) { run.push_back(frame.step); }, never);
    const CaseScore score = scoreRun(*corpus, run);
    EXPECT_EQ(score.wrongClaims, 0);
    EXPECT_GE(score.withinShare(), 0.9);
}

TEST(TrackingEngine, EndsAtAFrameThatCannotBeDecodedOrAtTheLastAsked)
{
    const CorpusCase &corpus = throwCase(kFrames);
    CorpusSource source(corpus);
    source.failingFrame = 6;
    std::vector<int> reported;
    const std::atomic<bool> never = false;
    TrackingEngine broken(source, startOf(corpus));
    const TrackingEnd unreadable = broken.run([&](TrackedFrame &&frame) { reported.push_back(frame.frame); }, never);
    EXPECT_EQ(unreadable.kind, TrackingEnd::Kind::Unreadable);
    EXPECT_EQ(unreadable.frame, 6);
    EXPECT_EQ(reported, (std::vector<int>{1, 2, 3, 4, 5}));

    reported.clear();
    TrackingEngine shorter(source, startOf(corpus, 4));
    const TrackingEnd last = shorter.run([&](TrackedFrame &&frame) { reported.push_back(frame.frame); }, never);
    EXPECT_EQ(last.kind, TrackingEnd::Kind::LastFrame);
    EXPECT_EQ(last.frame, 4);
    EXPECT_EQ(reported, (std::vector<int>{1, 2, 3, 4}));
}

TEST(BackgroundTracking, PostsEveryFrameThenTheEndFromItsOwnReader)
{
    const CorpusCase &corpus = throwCase(kFrames);
    WindowSide window;
    std::string opened;
    BackgroundTracking run(
        [&](const std::string &path) -> std::unique_ptr<FrameSource> {
            opened = path;
            return std::make_unique<CorpusSource>(corpus);
        },
        "video.mp4", startOf(corpus), window.wake());
    std::vector<int> taken;
    std::optional<BackgroundEnd> end;
    for (int wake = 1; !end && window.waitForWake(wake); ++wake) {
        BackgroundTracking::Mail mail = run.take();
        for (const TrackedFrame &frame : mail.frames)
            taken.push_back(frame.frame);
        end = mail.end;
    }
    EXPECT_EQ(opened, "video.mp4");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, BackgroundEnd::Kind::Ended);
    EXPECT_EQ(end->tracking.kind, TrackingEnd::Kind::LastFrame);
    ASSERT_EQ(taken.size(), std::size_t(kFrames - 1));
    for (int index = 0; index < kFrames - 1; ++index)
        EXPECT_EQ(taken[index], index + 1);
}

TEST(BackgroundTracking, StopEndsTheRunAtOnceAndDropsWhatWasNotTaken)
{
    // The ball comes to rest and stays for good: the run cannot end by itself.
    const CorpusCase &corpus = throwCase(kFrames);
    WindowSide window;
    CorpusSource *source = nullptr;
    BackgroundTracking run(
        [&](const std::string &) -> std::unique_ptr<FrameSource> {
            auto made = std::make_unique<CorpusSource>(corpus, 1000000);
            made->holdLast = true;
            source = made.get();
            return made;
        },
        "video.mp4", {0, 999999, corpus.clickX(), corpus.clickY()}, window.wake());
    ASSERT_TRUE(window.waitForWake(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run.stop();
    const int readsAtStop = source->reads;
    const BackgroundTracking::Mail mail = run.take();
    EXPECT_TRUE(mail.frames.empty());
    ASSERT_TRUE(mail.end);
    EXPECT_EQ(mail.end->tracking.kind, TrackingEnd::Kind::Stopped);
    EXPECT_GT(mail.end->tracking.frame, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(source->reads, readsAtStop);
}

TEST(BackgroundTracking, SaysWhyARunCouldNotStart)
{
    const CorpusCase &corpus = throwCase(kFrames);
    const auto endOf = [&](BackgroundTracking::Opener opener, TrackingStart start) {
        WindowSide window;
        BackgroundTracking run(std::move(opener), "video.mp4", start, window.wake());
        EXPECT_TRUE(window.waitForWake(1));
        return run.take().end.value_or(BackgroundEnd{}).kind;
    };
    const auto corpusVideo = [&](const std::string &) -> std::unique_ptr<FrameSource> {
        return std::make_unique<CorpusSource>(corpus);
    };
    const auto missing = [](const std::string &) -> std::unique_ptr<FrameSource> {
        throw ReaderError(ReaderErrorKind::CannotOpen, "gone");
    };
    EXPECT_EQ(endOf(missing, startOf(corpus)), BackgroundEnd::Kind::CannotStart);
    // Another video under the same name, shorter than the player's.
    EXPECT_EQ(endOf(corpusVideo, startOf(corpus, kFrames + 10)), BackgroundEnd::Kind::CannotStart);
    EXPECT_EQ(endOf(corpusVideo, {0, kFrames - 1, 5000, 10}), BackgroundEnd::Kind::PointOutside);
}
