// The main window records 200 clicks on a video in a child process, which
// is killed at random moments, runs out of file size, or has no folder to
// write its journal to. Reopening the video in a window and answering "Oui"
// must give back exactly the clicks whose handling had finished, also when
// they went to two points.
#include "app/ui/form1.h"
#include "journal/childrun.h"
#include "journal/clickplan.h"
#include "journal/ui/journaltexts.h"
#include "support/media.h"
#include "support/privatefolder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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

// One frame more than the clicks' frames, as the track has one more entry
// than the video has frames; large enough for every click to be on the
// picture.
std::string clickedVideo()
{
    static const std::filesystem::path path = zorvane::testing::generateMedia(
        "form1kill-160-256x416.avi", {"-f", "lavfi", "-i", "color=c=black:size=256x416:rate=25", "-frames:v",
                                      std::to_string(ClickPlan::upperBound + 1), "-c:v", "mpeg4", "-q:v", "2"});
    return path.string();
}

ChildRun runClicker(const std::vector<std::string> &args, std::optional<int> killAfterLines = {},
                    std::chrono::microseconds delay = {})
{
    return runChild(ZORVANE_FORM1_CLICKER, args, killAfterLines, delay);
}

// The track a window sized to the video holds after clicks 0..last.
PointTrack windowTrackAfter(int last)
{
    PointTrack track = ClickPlan::trackAfter(last);
    track.resize(ClickPlan::upperBound + 1);
    return track;
}

// The click whose handling brought the window's first message; -1 for the
// opening, which starts the journal.
int clickOfFirstWarning(const ChildRun &run)
{
    int begun = -1;
    for (const std::string &line : run.lines) {
        if (line.starts_with("begin "))
            begun = std::stoi(line.substr(6));
        if (line.starts_with("warning "))
            return begun;
    }
    return clicks;
}

// Reopens the video in a fresh window, answering "Oui" when asked, and
// checks the question against what came back.
PointTrack reopen(const std::filesystem::path &state)
{
    Form1 form(&openFrameSource);
    form.setJournalFolder(state);
    QStringList asked;
    QStringList messages;
    form.setRestoreQuestion([&](const QString &text) {
        asked << text;
        return true;
    });
    form.setMessageDisplay([&](const QString &text) { messages << text; });
    form.openVideo(QString::fromStdString(clickedVideo()));
    const PointTrack &track = form.pointTrack();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    if (pointsIn(track) == 0) {
        EXPECT_TRUE(asked.isEmpty());
    } else {
        EXPECT_EQ(asked, QStringList{restoreQuestionText(pointsIn(track))});
    }
    return track;
}

class KilledWindow : public ::testing::TestWithParam<int> {};

TEST_P(KilledWindow, RestoresTheClicksWhoseHandlingFinished)
{
    std::mt19937 random(1400 + static_cast<unsigned>(GetParam()));
    const KillMoment kill = randomKillMoment(random, 2 * clicks + 1);
    const TempFolder folder("form1kill-state");
    const std::filesystem::path state = folder / "zorvane";

    const ChildRun run =
        runClicker({state.string(), clickedVideo(), std::to_string(clicks)}, kill.afterLines, kill.delay);
    ASSERT_TRUE(WIFSIGNALED(run.status) || run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.count("warning"), 0);
    EXPECT_EQ(run.count("question"), 0);
    SCOPED_TRACE(killTrace(kill, run));

    EXPECT_NE(cameBack(reopen(state), run, &windowTrackAfter), CameBack::Neither);
    if (run.endedNormally()) {
        EXPECT_EQ(run.lines.back(), "intact");
    }
    RecordProperty("last_handled", run.last("handled"));
}

INSTANTIATE_TEST_SUITE_P(Seeded, KilledWindow, ::testing::Range(0, 24));

TwoTracks windowTracksAfter(int last)
{
    TwoTracks tracks = ClickPlan::twoAfter(last);
    tracks.a.resize(ClickPlan::upperBound + 1);
    tracks.b.resize(ClickPlan::upperBound + 1);
    return tracks;
}

// A and B as a window restores them; B empty when none of its clicks was journaled.
TwoTracks reopenTwo(const std::filesystem::path &state)
{
    Form1 form(&openFrameSource);
    form.setJournalFolder(state);
    form.setRestoreQuestion([](const QString &) { return true; });
    QStringList messages;
    form.setMessageDisplay([&](const QString &text) { messages << text; });
    form.openVideo(QString::fromStdString(clickedVideo()));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    TwoTracks tracks{form.pointTrack(), {}};
    if (form.otherPoints().count() > 0)
        tracks.b = form.otherPoints().track(1);
    else
        tracks.b.resize(form.pointTrack().upperBound());
    return tracks;
}

class KilledWindowTwoPoints : public ::testing::TestWithParam<int> {};

TEST_P(KilledWindowTwoPoints, RestoresBothPointsClicksWhoseHandlingFinished)
{
    std::mt19937 random(4200 + static_cast<unsigned>(GetParam()));
    const KillMoment kill = randomKillMoment(random, 2 * clicks + 1);
    const TempFolder folder("form1kill-two");
    const std::filesystem::path state = folder / "zorvane";

    const ChildRun run = runClicker({state.string(), clickedVideo(), std::to_string(clicks), "--two-points"},
                                    kill.afterLines, kill.delay);
    ASSERT_TRUE(WIFSIGNALED(run.status) || run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.count("warning"), 0);
    SCOPED_TRACE(killTrace(kill, run));
    EXPECT_NE(cameBack(reopenTwo(state), run, &windowTracksAfter), CameBack::Neither);
    if (run.endedNormally()) {
        EXPECT_EQ(run.lines.back(), "intact");
    }
}

INSTANTIATE_TEST_SUITE_P(Seeded, KilledWindowTwoPoints, ::testing::Range(0, 8));

// The size of the journal 200 clicks make, from one run without a limit.
std::uintmax_t wholeJournalBytes()
{
    static const std::uintmax_t bytes = [] {
        const TempFolder folder("form1kill-whole");
        const std::filesystem::path state = folder / "zorvane";
        const ChildRun run = runClicker({state.string(), clickedVideo(), std::to_string(clicks)});
        EXPECT_TRUE(run.endedNormally()) << "status " << run.status;
        EXPECT_EQ(run.lines.back(), "intact");
        EXPECT_TRUE(sameTrack(reopen(state), windowTrackAfter(clicks - 1))) << "every click comes back";
        std::uintmax_t total = 0;
        for (const auto &entry : std::filesystem::directory_iterator(state))
            total += entry.file_size();
        return total;
    }();
    return bytes;
}

class WindowFileSizeLimit : public ::testing::TestWithParam<int> {};

TEST_P(WindowFileSizeLimit, OneWarningTheTrackIntactAndTheClicksBeforeTheFailureKept)
{
    std::mt19937 random(2800 + static_cast<unsigned>(GetParam()));
    // The first limit leaves no room for even the journal's start.
    const std::uintmax_t whole = wholeJournalBytes();
    const std::uintmax_t limit =
        GetParam() == 0 ? 40 : std::uniform_int_distribution<std::uintmax_t>(whole / 8, whole - 1)(random);
    const TempFolder folder("form1kill-fsize");
    const std::filesystem::path state = folder / "zorvane";

    const ChildRun run = runClicker({state.string(), clickedVideo(), std::to_string(clicks), std::to_string(limit)});
    SCOPED_TRACE("file size limit " + std::to_string(limit) + " of " + std::to_string(whole));
    ASSERT_TRUE(run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.lines.back(), "intact");
    EXPECT_EQ(run.last("handled"), clicks - 1);
    ASSERT_EQ(run.count("warning"), 1) << "one warning per session";
    const int failed = clickOfFirstWarning(run);
    RecordProperty("failed_click", failed);
    const auto warning = std::find_if(run.lines.begin(), run.lines.end(),
                                      [](const std::string &line) { return line.starts_with("warning "); });
    EXPECT_NE(warning->find("le disque est plein"), std::string::npos) << *warning;
    EXPECT_TRUE(sameTrack(reopen(state), windowTrackAfter(failed - 1)));
}

INSTANTIATE_TEST_SUITE_P(Seeded, WindowFileSizeLimit, ::testing::Range(0, 6));

TEST(WindowWithoutStateFolder, OneWarningAndTheTrackIntact)
{
    const TempFolder folder("form1kill-unwritable");
    const std::filesystem::path &parent = folder.path();
    std::ofstream(parent / "state") << "a file where the folder should be";
    const ChildRun run = runClicker({(parent / "state" / "zorvane").string(), clickedVideo(), std::to_string(clicks)});
    ASSERT_TRUE(run.endedNormally()) << "status " << run.status;
    EXPECT_EQ(run.count("warning"), 1);
    EXPECT_EQ(clickOfFirstWarning(run), -1) << "the journal fails as the video opens";
    EXPECT_EQ(run.count("handled"), clicks);
    EXPECT_EQ(run.lines.back(), "intact");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
