// A child records 200 clicks into a track and its journal the way the main
// window does and is killed at random moments, runs out of file size, or
// has no folder to write to. Reopening the video must give back exactly
// the clicks whose handling had finished.
#include "childrun.h"
#include "clickplan.h"
#include "journal/journal.h"
#include "journal/journalreader.h"
#include "journaltesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace zorvane;
using zorvane::testing::CameBack;
using zorvane::testing::ChildRun;
using zorvane::testing::ClickPlan;
using zorvane::testing::KillMoment;
using zorvane::testing::pointsIn;
using zorvane::testing::randomKillMoment;
using zorvane::testing::runChild;
using zorvane::testing::sameTrack;
using zorvane::testing::TempFolder;
using zorvane::testing::TwoTracks;

namespace {

constexpr int clicks = 200;

ChildRun runClicker(const std::vector<std::string> &args, std::optional<int> killAfterLines = {},
                    std::chrono::microseconds delay = {})
{
    return runChild(ZORVANE_JOURNAL_CLICKER, args, killAfterLines, delay);
}

// Reopening the video and answering "Oui" when asked: the track it gives.
PointTrack reopen(const std::filesystem::path &state, const VideoIdentity &video)
{
    PointTrack track;
    track.resize(ClickPlan::upperBound);
    Journal journal(state);
    if (std::optional<JournalRecovery> found = journal.findUnsaved(video)) {
        EXPECT_EQ(found->unsavedPoints, pointsIn(found->track));
        EXPECT_FALSE(journal.restore(std::move(*found), track));
    }
    return track;
}

class KilledChild : public ::testing::TestWithParam<int> {};

TEST_P(KilledChild, RestoresTheClicksWhoseHandlingFinished)
{
    std::mt19937 random(1400 + static_cast<unsigned>(GetParam()));
    const KillMoment kill = randomKillMoment(random, 2 * clicks);
    TempFolder folder("journal-kill");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");

    const ChildRun run =
        runClicker({(folder / "state").string(), video.path, std::to_string(clicks)}, kill.afterLines, kill.delay);
    ASSERT_TRUE(WIFSIGNALED(run.status) || run.endedNormally());
    EXPECT_EQ(run.count("failure"), 0);
    SCOPED_TRACE(killTrace(kill, run));

    // One killed before its record began may not come back.
    const CameBack back = cameBack(reopen(folder / "state", video), run, &ClickPlan::trackAfter);
    EXPECT_NE(back, CameBack::Neither);
    if (run.endedNormally()) {
        EXPECT_EQ(run.lines.back(), "intact");
    }
    RecordProperty("last_handled", run.last("handled"));
    RecordProperty("came_back_in_flight", back != CameBack::HandledClicks);
}

INSTANTIATE_TEST_SUITE_P(Seeded, KilledChild, ::testing::Range(0, 24));

// Reopening the video with A and an empty B, answering "Oui".
TwoTracks reopenTwo(const std::filesystem::path &state, const VideoIdentity &video)
{
    TwoTracks tracks;
    tracks.a.resize(ClickPlan::upperBound);
    PointSet others;
    others.add(ClickPlan::upperBound);
    Journal journal(state);
    if (std::optional<JournalRecovery> found = journal.findUnsaved(video)) {
        EXPECT_EQ(found->unsavedPoints, pointsIn(found->track) + pointsIn(found->others.track(1)));
        EXPECT_FALSE(journal.restore(std::move(*found), tracks.a, &others));
    }
    tracks.b = others.count() > 0 ? others.track(1) : PointTrack{};
    return tracks;
}

class KilledTwoPointChild : public ::testing::TestWithParam<int> {};

TEST_P(KilledTwoPointChild, RestoresBothPointsOfTheClicksWhoseHandlingFinished)
{
    std::mt19937 random(4200 + static_cast<unsigned>(GetParam()));
    const KillMoment kill = randomKillMoment(random, 2 * clicks);
    TempFolder folder("journal-kill-two");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");

    const ChildRun run = runClicker({"--two-points", (folder / "state").string(), video.path, std::to_string(clicks)},
                                    kill.afterLines, kill.delay);
    ASSERT_TRUE(WIFSIGNALED(run.status) || run.endedNormally());
    EXPECT_EQ(run.count("failure"), 0);
    SCOPED_TRACE(killTrace(kill, run));
    EXPECT_NE(cameBack(reopenTwo(folder / "state", video), run, &ClickPlan::twoAfter), CameBack::Neither);
    if (run.endedNormally()) {
        EXPECT_EQ(run.lines.back(), "intact");
        EXPECT_TRUE(sameTrack(reopenTwo(folder / "state", video), ClickPlan::twoAfter(clicks - 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeded, KilledTwoPointChild, ::testing::Range(0, 12));

TEST(UnkilledChild, RestoresEveryClick)
{
    TempFolder folder("journal-whole");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");
    const ChildRun run = runClicker({(folder / "state").string(), video.path, std::to_string(clicks)});
    ASSERT_TRUE(run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.lines.back(), "intact");
    EXPECT_EQ(run.last("handled"), clicks - 1);
    EXPECT_TRUE(sameTrack(reopen(folder / "state", video), ClickPlan::trackAfter(clicks - 1)));
}

class FileSizeLimit : public ::testing::TestWithParam<int> {};

TEST_P(FileSizeLimit, OneWarningTheTrackIntactAndTheJournalWholeUpToTheFailure)
{
    std::mt19937 random(2800 + static_cast<unsigned>(GetParam()));
    // The first limit leaves no room for even the journal's start.
    const int limit = GetParam() == 0 ? 40 : std::uniform_int_distribution<int>(120, 120 + 26 * clicks)(random);
    TempFolder folder("journal-fsize");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");

    const ChildRun run =
        runClicker({(folder / "state").string(), video.path, std::to_string(clicks), std::to_string(limit)});
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    ASSERT_TRUE(run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.lines.back(), "intact");
    if (run.count("failure") == 0) {
        // The limit was above what 200 clicks need.
        EXPECT_TRUE(sameTrack(reopen(folder / "state", video), ClickPlan::trackAfter(clicks - 1)));
        return;
    }
    EXPECT_EQ(run.count("failure"), 1) << "the journal stops at its first failure";
    EXPECT_EQ(run.count("warning"), 1);
    const int failed = run.last("failure");
    RecordProperty("failed_click", failed);
    const std::string diskFull =
        "failure " + std::to_string(failed) + " " + std::to_string(static_cast<int>(JournalFailureKind::DiskFull));
    EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), diskFull), run.lines.end()) << "a full disk";
    if (failed >= 0) {
        const Journal journal(folder / "state");
        EXPECT_FALSE(readJournal(journal.journalPath(video)).damaged) << "the torn record was cut off";
    }
    EXPECT_TRUE(sameTrack(reopen(folder / "state", video), ClickPlan::trackAfter(failed - 1)));
}

INSTANTIATE_TEST_SUITE_P(Seeded, FileSizeLimit, ::testing::Range(0, 6));

TEST(UnwritableStateFolder, OneWarningAndTheTrackIntact)
{
    TempFolder folder("journal-unwritable");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");
    zorvane::testing::writeBytes(folder / "state", "a file where the folder should be");
    const ChildRun run = runClicker({(folder / "state" / "zorvane").string(), video.path, std::to_string(clicks)});
    ASSERT_TRUE(run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.count("failure"), 1);
    EXPECT_EQ(run.last("failure"), -1) << "the journal fails at its start";
    EXPECT_EQ(run.count("warning"), 1);
    EXPECT_EQ(run.count("handled"), clicks);
    EXPECT_EQ(run.lines.back(), "intact");
}

} // namespace
