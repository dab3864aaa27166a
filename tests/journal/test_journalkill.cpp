// A child records 200 clicks into a track and its journal the way the main
// window does and is killed at random moments, runs out of file size, or
// has no folder to write to. Reopening the video must give back exactly
// the clicks whose handling had finished.
#include "clickplan.h"
#include "journal/journal.h"
#include "journal/journalreader.h"
#include "journaltesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zorvane;
using zorvane::testing::ClickPlan;
using zorvane::testing::sameTrack;
using zorvane::testing::TempFolder;

namespace {

constexpr int clicks = 200;

struct ChildRun {
    std::vector<std::string> lines;
    int status = 0;

    // The index in the last line starting with `word`, or -1.
    int last(const std::string &word) const
    {
        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            if (line->starts_with(word + " "))
                return std::stoi(line->substr(word.size() + 1));
        }
        return -1;
    }
    int count(const std::string &word) const
    {
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [&](const std::string &line) { return line.starts_with(word); }));
    }
    bool endedNormally() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs the child; with killAfterLines set, sends SIGKILL `delay` after it
// printed that many lines.
ChildRun runClicker(const std::vector<std::string> &args, std::optional<int> killAfterLines = {},
                    std::chrono::microseconds delay = {})
{
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char *> argv{const_cast<char *>(ZORVANE_JOURNAL_CLICKER)};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ChildRun run;
    std::string pending;
    bool killed = false;
    const auto maybeKill = [&] {
        if (killed || !killAfterLines || static_cast<int>(run.lines.size()) < *killAfterLines)
            return;
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        killed = true;
    };
    maybeKill();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            run.lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
            maybeKill();
        }
    }
    ::close(out[0]);
    ::waitpid(child, &run.status, 0);
    return run;
}

std::int32_t pointsIn(const PointTrack &track)
{
    std::int32_t points = 0;
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame)
        points += track.at(frame).isEmpty() ? 0 : 1;
    return points;
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
    const int killAfterLines = std::uniform_int_distribution<int>(0, 2 * clicks)(random);
    const std::chrono::microseconds delay(std::uniform_int_distribution<int>(0, 3000)(random));
    TempFolder folder("journal-kill");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");

    const ChildRun run = runClicker({(folder / "state").string(), video.path, std::to_string(clicks)},
                                    killAfterLines, delay);
    ASSERT_TRUE(WIFSIGNALED(run.status) || run.endedNormally());
    EXPECT_EQ(run.count("failure"), 0);
    const int handled = run.last("handled");
    const bool inFlight = run.last("begin") == handled + 1;
    SCOPED_TRACE("killed after " + std::to_string(killAfterLines) + " lines + " + std::to_string(delay.count())
                 + " us, last handled click " + std::to_string(handled) + (inFlight ? ", next one begun" : ""));

    const PointTrack restored = reopen(folder / "state", video);
    // A click killed between its record reaching the disk and the end of
    // its handling may come back too; one killed before its record began
    // may not.
    const bool exact = sameTrack(restored, ClickPlan::trackAfter(handled));
    const bool withInFlight = inFlight && sameTrack(restored, ClickPlan::trackAfter(handled + 1));
    EXPECT_TRUE(exact || withInFlight);
    if (run.endedNormally()) {
        EXPECT_EQ(run.lines.back(), "intact");
    }
    RecordProperty("last_handled", handled);
    RecordProperty("came_back_in_flight", !exact);
}

INSTANTIATE_TEST_SUITE_P(Seeded, KilledChild, ::testing::Range(0, 24));

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

    const ChildRun run = runClicker(
        {(folder / "state").string(), video.path, std::to_string(clicks), std::to_string(limit)});
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
    const std::string diskFull
        = "failure " + std::to_string(failed) + " " + std::to_string(static_cast<int>(JournalFailureKind::DiskFull));
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
