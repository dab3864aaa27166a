// The journal of a video across openings: what is offered, restored, set
// aside and pruned, and what a journal that cannot be written does.
#include "journal/journal.h"
#include "journal/journalfolder.h"
#include "journal/journalreader.h"
#include "journaltesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace zorvane;
using zorvane::testing::TempFolder;
using zorvane::testing::writeBytes;
namespace fs = std::filesystem;

namespace {

PointTrack emptyTrack(std::int32_t upperBound)
{
    PointTrack track;
    track.resize(upperBound);
    return track;
}

void expectSameTrack(const PointTrack &actual, const PointTrack &expected)
{
    ASSERT_EQ(actual.upperBound(), expected.upperBound());
    for (std::int32_t frame = 0; frame <= expected.upperBound(); ++frame)
        EXPECT_EQ(actual.at(frame), expected.at(frame)) << "frame " << frame;
}

class JournalSessions : public ::testing::Test {
protected:
    // One run of the program on the video: clicks `frames` at (frame, 2 x frame).
    PointTrack sessionWithClicks(const std::vector<std::int32_t> &frames, PointTrack track = emptyTrack(20))
    {
        Journal journal(m_folder / "state");
        EXPECT_FALSE(journal.start(m_video, track));
        for (const std::int32_t frame : frames)
            EXPECT_FALSE(recordJournaledClick(track, journal, frame, static_cast<float>(frame), 2.0f * frame));
        return track;
    }

    TempFolder m_folder{"journal-sessions"};
    VideoIdentity m_video = zorvane::testing::standInVideo(m_folder / "video.avi");
};

TEST_F(JournalSessions, OffersOnlyPointsNoSaveCovered)
{
    Journal journal(m_folder / "state");
    EXPECT_FALSE(journal.findUnsaved(m_video)) << "no journal yet";
    PointTrack track = emptyTrack(20);
    ASSERT_FALSE(journal.start(m_video, track));
    EXPECT_TRUE(journal.isRecording());
    EXPECT_TRUE(fs::exists(journal.journalPath(m_video)));
    EXPECT_FALSE(journal.findUnsaved(m_video)) << "a fresh journal holds nothing unsaved";

    EXPECT_FALSE(recordJournaledClick(track, journal, 3, 12.5f, 13.5f));
    EXPECT_EQ(track.at(3), (TrackPoint{12, 14}));
    EXPECT_FALSE(recordJournaledClick(track, journal, 4, 1.0f, 1.0f));
    std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->unsavedPoints, 2);
    EXPECT_FALSE(found->fromSetAside);
    expectSameTrack(found->track, track);

    EXPECT_FALSE(journal.recordSaved());
    EXPECT_FALSE(journal.findUnsaved(m_video));
    EXPECT_FALSE(recordJournaledClick(track, journal, 4, 0.0f, 0.0f));
    EXPECT_FALSE(journal.findUnsaved(m_video)) << "a removal alone brings no point back";
}

TEST_F(JournalSessions, RefusedClickIsNeitherJournaledNorStored)
{
    Journal journal(m_folder / "state");
    PointTrack track = emptyTrack(5);
    ASSERT_FALSE(journal.start(m_video, track));
    const auto size = fs::file_size(journal.journalPath(m_video));
    EXPECT_THROW((void)recordJournaledClick(track, journal, 6, 1.0f, 1.0f), TrackError);
    EXPECT_THROW((void)recordJournaledClick(track, journal, -1, 1.0f, 1.0f), TrackError);
    EXPECT_THROW((void)recordJournaledClick(track, journal, 1, NAN, 1.0f), TrackError);
    EXPECT_THROW((void)recordJournaledClick(track, journal, 1, 3e9f, 1.0f), TrackError);
    EXPECT_EQ(fs::file_size(journal.journalPath(m_video)), size);
    expectSameTrack(track, emptyTrack(5));
}

TEST_F(JournalSessions, RestoreGivesTheTrackBackAndKeepsItUnsavedUntilASave)
{
    const PointTrack before = sessionWithClicks({1, 2, 7});
    // A torn record left by the crash.
    std::ofstream(Journal(m_folder / "state").journalPath(m_video), std::ios::app | std::ios::binary) << "\x15\0\0";

    PointTrack track = emptyTrack(20);
    {
        Journal journal(m_folder / "state");
        std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->unsavedPoints, 3);
        EXPECT_FALSE(journal.restore(std::move(*found), track));
        expectSameTrack(track, before);
        EXPECT_FALSE(recordJournaledClick(track, journal, 9, 9.0f, 18.0f));
    }
    const JournalContents contents = readJournal(Journal(m_folder / "state").journalPath(m_video));
    EXPECT_FALSE(contents.damaged) << "the torn tail is gone";
    EXPECT_EQ(contents.unsavedPoints, 4);
    expectSameTrack(contents.track, track);

    Journal journal(m_folder / "state");
    std::optional<JournalRecovery> again = journal.findUnsaved(m_video);
    ASSERT_TRUE(again);
    EXPECT_FALSE(journal.restore(std::move(*again), track));
    EXPECT_FALSE(journal.recordSaved());
    EXPECT_FALSE(journal.findUnsaved(m_video));
}

TEST_F(JournalSessions, DeclinedJournalComesBackForOneMoreOpeningOnly)
{
    const PointTrack first = sessionWithClicks({1, 2});
    {
        Journal journal(m_folder / "state");
        std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
        ASSERT_TRUE(found);
        EXPECT_FALSE(journal.decline(*found, emptyTrack(20)));
        EXPECT_TRUE(fs::exists(journal.asidePath(m_video)));
        EXPECT_TRUE(journal.isRecording());
    }
    {
        Journal journal(m_folder / "state");
        std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
        ASSERT_TRUE(found) << "the set-aside journal is offered again";
        EXPECT_TRUE(found->fromSetAside);
        expectSameTrack(found->track, first);
        EXPECT_FALSE(journal.decline(*found, emptyTrack(20)));
        EXPECT_FALSE(fs::exists(journal.asidePath(m_video)));
    }
    EXPECT_FALSE(Journal(m_folder / "state").findUnsaved(m_video));
}

TEST_F(JournalSessions, NewerUnsavedWorkGoesFirstAndASetAsideJournalCanStillBeRestored)
{
    sessionWithClicks({1, 2});
    {
        Journal journal(m_folder / "state");
        EXPECT_FALSE(journal.decline(*journal.findUnsaved(m_video), emptyTrack(20)));
    }
    const PointTrack second = sessionWithClicks({5});
    Journal journal(m_folder / "state");
    std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
    ASSERT_TRUE(found);
    EXPECT_FALSE(found->fromSetAside);
    EXPECT_EQ(found->unsavedPoints, 1);
    PointTrack track = emptyTrack(20);
    EXPECT_FALSE(journal.restore(std::move(*found), track));
    expectSameTrack(track, second);
    EXPECT_FALSE(fs::exists(journal.asidePath(m_video))) << "this opening was its one more";

    // Declined, then nothing clicked: the set-aside one is restored next time.
    const PointTrack third = sessionWithClicks({8});
    {
        Journal declining(m_folder / "state");
        EXPECT_FALSE(declining.decline(*declining.findUnsaved(m_video), emptyTrack(20)));
    }
    Journal last(m_folder / "state");
    std::optional<JournalRecovery> aside = last.findUnsaved(m_video);
    ASSERT_TRUE(aside);
    EXPECT_TRUE(aside->fromSetAside);
    EXPECT_FALSE(last.restore(std::move(*aside), track));
    expectSameTrack(track, third);
    EXPECT_FALSE(fs::exists(last.asidePath(m_video)));
}

TEST_F(JournalSessions, OtherVideosAndChangedFilesAreNotOffered)
{
    sessionWithClicks({1});
    const VideoIdentity other = zorvane::testing::standInVideo(m_folder / "other.avi");
    Journal journal(m_folder / "state");
    EXPECT_FALSE(journal.findUnsaved(other));
    // A journal under another video's name, as a clash of names would give.
    fs::copy_file(journal.journalPath(m_video), journal.journalPath(other));
    EXPECT_FALSE(journal.findUnsaved(other));

    writeBytes(m_video.path, "edited video");
    EXPECT_FALSE(journal.findUnsaved(*VideoIdentity::of(m_video.path)));
}

TEST_F(JournalSessions, SequencesBatchesAndUndoAreJournaled)
{
    Journal journal(m_folder / "state");
    PointTrack track = emptyTrack(10);
    ASSERT_FALSE(journal.start(m_video, track));
    ASSERT_FALSE(recordJournaledClick(track, journal, 8, 8.0f, 8.0f));
    // A sequence of 3 frames loaded over it, raising the bound to 15.
    track.resize(15);
    track.set(0, {1, 1});
    track.set(2, {3, 3});
    ASSERT_FALSE(journal.recordSequence(track, 3));
    const std::vector<FramePoint> batch{{10, {10, 10}}, {11, {11, 11}}, {12, {12, 12}}};
    for (const FramePoint &entry : batch)
        track.set(entry.frame, entry.point);
    ASSERT_FALSE(journal.recordTracked(batch));
    const std::vector<FramePoint> undo{{11, {}}, {12, {}}};
    for (const FramePoint &entry : undo)
        track.set(entry.frame, entry.point);
    ASSERT_FALSE(journal.recordUndone(undo));

    std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
    ASSERT_TRUE(found);
    expectSameTrack(found->track, track);
    EXPECT_EQ(found->unsavedPoints, 2) << "the click on 8 and the tracked point on 10";
}

TEST_F(JournalSessions, PointsBesideAAreJournaledAndRestoredAndBadOnesEndTheJournal)
{
    PointTrack track = emptyTrack(10);
    PointSet others;
    others.add(10);
    others.add(10);
    {
        Journal journal(m_folder / "state");
        ASSERT_FALSE(journal.start(m_video, track, others));
        ASSERT_FALSE(recordJournaledClick(track, journal, 1, 1.0f, 1.0f));
        ASSERT_FALSE(recordJournaledClick(others.track(2), journal, 2, 2.0f, 2.0f, 2));
        // A loaded sequence with B on frames 0..3, longer than the video.
        track.resize(12);
        others.resizeAll(12);
        others.track(1).set(3, {3, 3});
        ASSERT_FALSE(journal.recordSequence(track, 4));
        ASSERT_FALSE(journal.recordOthers(others, 4));
        const std::vector<FramePoint> batch{{5, {5, 5}}, {6, {6, 6}}};
        for (const FramePoint &entry : batch)
            others.track(1).set(entry.frame, entry.point);
        ASSERT_FALSE(journal.recordOtherBatch(1, PointsCause::Tracked, batch));
    }
    const fs::path file = Journal(m_folder / "state").journalPath(m_video);
    // Then records naming no point beside A, or one longer than A: the
    // journal ends before them.
    std::ofstream(file, std::ios::app | std::ios::binary)
        << encodeRecord(RecordType::OtherPoints, std::string("\x08\x01\0\0\0\0", 6))
        << encodeOtherTrack(1, emptyTrack(13), 0);
    const JournalContents contents = readJournal(file);
    EXPECT_TRUE(contents.damaged);

    PointTrack restored = emptyTrack(10);
    PointSet restoredOthers;
    Journal journal(m_folder / "state");
    std::optional<JournalRecovery> found = journal.findUnsaved(m_video);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->unsavedPoints, 2) << "the tracked points: frames 0..3 came from the file";
    ASSERT_FALSE(journal.restore(std::move(*found), restored, &restoredOthers));
    expectSameTrack(restored, track);
    ASSERT_EQ(restoredOthers.count(), 2);
    expectSameTrack(restoredOthers.track(1), others.track(1));
    expectSameTrack(restoredOthers.track(2), others.track(2));

    journal.stop();
    const JournalContents compacted = readJournal(file);
    EXPECT_FALSE(compacted.damaged);
    EXPECT_EQ(compacted.unsavedPoints, 2) << "still unsaved after the restore";
}

TEST(JournalFailures, UnwritableFolderIsReportedAndTheTrackGoesOn)
{
    TempFolder folder("journal-unwritable");
    const VideoIdentity video = zorvane::testing::standInVideo(folder / "video.avi");
    writeBytes(folder / "blocker", "a file where the folder should be");
    Journal journal(folder / "blocker" / "zorvane");
    PointTrack track = emptyTrack(5);
    const std::optional<JournalFailure> failure = journal.start(video, track);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, JournalFailureKind::FolderUnavailable);
    EXPECT_FALSE(journal.isRecording());
    EXPECT_FALSE(recordJournaledClick(track, journal, 2, 4.0f, 5.0f)) << "reported once, at the start";
    EXPECT_EQ(track.at(2), (TrackPoint{4, 5}));
    EXPECT_FALSE(journal.findUnsaved(video));

    Journal noHome({});
    const std::optional<JournalFailure> noFolder = noHome.start(video, track);
    ASSERT_TRUE(noFolder);
    EXPECT_EQ(noFolder->kind, JournalFailureKind::FolderUnavailable);
}

TEST(JournalFailures, OneWarningPerSession)
{
    JournalWarnings warnings;
    EXPECT_TRUE(warnings.take({JournalFailureKind::DiskFull, 28, "/x/j.journal"}));
    EXPECT_FALSE(warnings.take({JournalFailureKind::WriteFailed, 5, "/x/j.journal"}));
    EXPECT_TRUE(warnings.warned());
}

TEST(JournalFolder, StateHomeElseHomeElseNothing)
{
    EXPECT_EQ(journalFolderFrom("/state", "/home/u"), fs::path("/state/zorvane"));
    EXPECT_EQ(journalFolderFrom("relative/state", "/home/u"), fs::path("/home/u/.local/state/zorvane"));
    EXPECT_EQ(journalFolderFrom("", "/home/u"), fs::path("/home/u/.local/state/zorvane"));
    EXPECT_EQ(journalFolderFrom(nullptr, "/home/u"), fs::path("/home/u/.local/state/zorvane"));
    EXPECT_FALSE(journalFolderFrom(nullptr, nullptr));
    EXPECT_FALSE(journalFolderFrom("", "relative"));

    ::setenv("XDG_STATE_HOME", "/somewhere/state", 1);
    EXPECT_EQ(defaultJournalFolder(), fs::path("/somewhere/state/zorvane"));
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", "/somewhere/home", 1);
    EXPECT_EQ(defaultJournalFolder(), fs::path("/somewhere/home/.local/state/zorvane"));
}

class JournalPruning : public ::testing::Test {
protected:
    // A journal aged by `days`, with or without an unsaved point.
    fs::path journalFile(const std::string &name, int days, bool unsaved, const std::string &extension = ".journal")
    {
        const VideoIdentity video = zorvane::testing::standInVideo(m_folder / (name + ".avi"));
        // Made elsewhere, since starting a journal prunes its folder.
        Journal journal(m_folder / "making");
        PointTrack track = emptyTrack(3);
        EXPECT_FALSE(journal.start(video, track));
        if (unsaved) {
            EXPECT_FALSE(recordJournaledClick(track, journal, 1, 1.0f, 1.0f));
        }
        journal.stop();
        fs::create_directories(m_folder / "state");
        const fs::path file =
            m_folder / "state" / fs::path(journal.journalPath(video).filename()).replace_extension(extension);
        fs::rename(journal.journalPath(video), file);
        age(file, days);
        return file;
    }
    fs::path plainFile(const std::string &name, int days)
    {
        const fs::path file = writeBytes(m_folder / "state" / name, "x");
        age(file, days);
        return file;
    }
    void age(const fs::path &file, int days) { fs::last_write_time(file, m_now - std::chrono::hours(24 * days)); }

    TempFolder m_folder{"journal-pruning"};
    fs::file_time_type m_now = fs::file_time_type::clock::now();
};

TEST_F(JournalPruning, RemovesByAgeAndKind)
{
    const fs::path savedOld = journalFile("a", 31, false);
    const fs::path savedRecent = journalFile("b", 29, false);
    const fs::path unsavedOld = journalFile("c", 31, true);
    const fs::path unsavedAncient = journalFile("d", 181, true);
    const fs::path asideOld = journalFile("e", 31, true, ".aside");
    const fs::path asideRecent = journalFile("f", 10, true, ".aside");
    const fs::path scratchOld = plainFile(".0123456789abcdef.journal.Ab12Cd", 2);
    const fs::path scratchRecent = plainFile(".0123456789abcdef.journal.Xy34Zw", 0);
    const fs::path foreign = plainFile("notes.txt", 400);
    const fs::path kept = journalFile("g", 400, false);

    EXPECT_EQ(pruneJournals(m_folder / "state", m_now, PruningPolicy{}, kept), 4u);
    for (const fs::path &gone : {savedOld, unsavedAncient, asideOld, scratchOld})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    for (const fs::path &stays : {savedRecent, unsavedOld, asideRecent, scratchRecent, foreign, kept})
        EXPECT_TRUE(fs::exists(stays)) << stays;
}

TEST_F(JournalPruning, CapsCountAndSizeOldestFirst)
{
    std::vector<fs::path> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(journalFile("v" + std::to_string(i), 6 - i, true));
    PruningPolicy policy;
    policy.maxFiles = 4;
    EXPECT_EQ(pruneJournals(m_folder / "state", m_now, policy, files[0]), 2u);
    EXPECT_TRUE(fs::exists(files[0])) << "the journal in use stays";
    EXPECT_FALSE(fs::exists(files[1]));
    EXPECT_FALSE(fs::exists(files[2]));
    EXPECT_TRUE(fs::exists(files[3]));

    policy.maxTotalBytes = fs::file_size(files[5]) + fs::file_size(files[4]);
    EXPECT_EQ(pruneJournals(m_folder / "state", m_now, policy), 2u);
    EXPECT_TRUE(fs::exists(files[4]));
    EXPECT_TRUE(fs::exists(files[5]));
}

TEST_F(JournalPruning, StartingAJournalPrunesTheFolder)
{
    const fs::path savedOld = journalFile("a", 31, false);
    const VideoIdentity video = zorvane::testing::standInVideo(m_folder / "b.avi");
    Journal journal(m_folder / "state");
    EXPECT_FALSE(journal.start(video, emptyTrack(3)));
    EXPECT_FALSE(fs::exists(savedOld));
    EXPECT_TRUE(fs::exists(journal.journalPath(video)));
}

} // namespace
