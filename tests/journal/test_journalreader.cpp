// The journal's records as they are read back: every kind of change, the
// saved marks, and files that are torn, garbled or lying about counts.
#include "journal/crc32.h"
#include "journal/journalformat.h"
#include "journal/journalreader.h"
#include "journaltesting.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

using namespace zorvane;
using zorvane::testing::TempFolder;
using zorvane::testing::writeBytes;

namespace {

std::string le32(std::uint32_t value)
{
    std::string out;
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
    return out;
}

std::string click(std::int32_t frame, TrackPoint point)
{
    const FramePoint entry{frame, point};
    return encodePoints(PointsCause::Click, std::span(&entry, 1));
}

PointTrack trackOf(std::int32_t upperBound, std::vector<FramePoint> points)
{
    PointTrack track;
    track.resize(upperBound);
    for (const FramePoint &entry : points)
        track.set(entry.frame, entry.point);
    return track;
}

void expectSameTrack(const PointTrack &actual, const PointTrack &expected)
{
    ASSERT_EQ(actual.hasStorage(), expected.hasStorage());
    if (!expected.hasStorage())
        return;
    ASSERT_EQ(actual.upperBound(), expected.upperBound());
    for (std::int32_t frame = 0; frame <= expected.upperBound(); ++frame)
        EXPECT_EQ(actual.at(frame), expected.at(frame)) << "frame " << frame;
}

std::vector<std::int32_t> unsavedFrames(const JournalContents &contents)
{
    std::vector<std::int32_t> frames;
    for (std::size_t frame = 0; frame < contents.unsaved.size(); ++frame) {
        if (contents.unsaved[frame])
            frames.push_back(static_cast<std::int32_t>(frame));
    }
    return frames;
}

class JournalReader : public ::testing::Test {
protected:
    JournalContents read(const std::string &bytes) { return readJournal(writeBytes(m_folder / "j.journal", bytes)); }
    std::string header() const { return encodeHeader(m_video); }
    // A header and a baseline of upper bound 9 with points on frames 2 and 5.
    std::string start() const { return header() + encodeTrack(trackOf(9, {{2, {20, 21}}, {5, {50, 51}}}), 10); }

    TempFolder m_folder{"journal-reader"};
    VideoIdentity m_video{"/videos/essai.avi", 123456, 1'700'000'000'123'456'789};
};

TEST_F(JournalReader, ReplaysClicksOverwritesRemovalsBatchesAndUndo)
{
    const std::vector<FramePoint> tracked{{6, {60, 61}}, {7, {70, 71}}, {8, {80, 81}}};
    const std::vector<FramePoint> undone{{7, {0, 0}}, {8, {0, 0}}};
    const std::string bytes = start() + click(3, {30, 31}) + click(3, {32, 33}) + click(5, {0, 0})
                              + encodePoints(PointsCause::Tracked, tracked) + encodePoints(PointsCause::Undone, undone);
    const JournalContents contents = read(bytes);

    ASSERT_TRUE(contents.video);
    EXPECT_EQ(*contents.video, m_video);
    expectSameTrack(contents.track, trackOf(9, {{2, {20, 21}}, {3, {32, 33}}, {6, {60, 61}}}));
    EXPECT_EQ(unsavedFrames(contents), (std::vector<std::int32_t>{3, 5, 6, 7, 8}));
    EXPECT_EQ(contents.unsavedPoints, 2) << "a removed point is a change but not a point to restore";
    EXPECT_EQ(contents.records, 7u);
    EXPECT_EQ(contents.validBytes, bytes.size());
    EXPECT_FALSE(contents.damaged);
}

TEST_F(JournalReader, SaveCoversWhatCameBeforeItOnly)
{
    const JournalContents contents =
        read(start() + click(1, {1, 1}) + click(2, {2, 2}) + encodeSaved() + click(4, {4, 4}));
    EXPECT_EQ(unsavedFrames(contents), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(contents.unsavedPoints, 1);
    expectSameTrack(contents.track, trackOf(9, {{1, {1, 1}}, {2, {2, 2}}, {4, {4, 4}}, {5, {50, 51}}}));
}

TEST_F(JournalReader, LoadedSequenceIsSavedForTheFramesItCoversOnly)
{
    // Clicks on 1 and 3, then a sequence of three frames loaded, raising the
    // bound to 12: frame 1 now comes from the file, frame 3 is still a click.
    PointTrack loaded = trackOf(12, {{0, {7, 7}}, {1, {8, 8}}, {3, {30, 30}}, {5, {50, 51}}});
    const JournalContents contents = read(start() + click(1, {10, 10}) + click(3, {30, 30}) + encodeTrack(loaded, 3));
    expectSameTrack(contents.track, loaded);
    EXPECT_EQ(unsavedFrames(contents), (std::vector<std::int32_t>{3}));
    EXPECT_EQ(contents.unsavedPoints, 1);
}

TEST_F(JournalReader, LeftOutPointsOfACompactedBaselineAreRestoredAsUnsaved)
{
    const PointTrack track = trackOf(4, {{1, {1, 1}}, {2, {2, 2}}, {4, {4, 4}}});
    const std::vector<bool> unsaved{false, false, true, false, true};
    const std::vector<FramePoint> restored{{2, {2, 2}}, {4, {4, 4}}};
    const JournalContents contents =
        read(header() + encodeTrack(track, 5, &unsaved) + encodePoints(PointsCause::Restored, restored));
    expectSameTrack(contents.track, track);
    EXPECT_EQ(contents.unsaved, unsaved);
}

TEST_F(JournalReader, TornAtAnyByteKeepsTheWholeRecordsBeforeIt)
{
    std::string bytes = start();
    std::vector<std::size_t> ends{header().size(), bytes.size()};
    for (std::int32_t i = 0; i < 6; ++i) {
        bytes += click(i, {100 + i, 200 + i});
        ends.push_back(bytes.size());
    }
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const JournalContents contents = read(bytes.substr(0, cut));
        const auto whole = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin());
        EXPECT_EQ(contents.records, whole);
        EXPECT_EQ(contents.validBytes, whole == 0 ? 0 : ends[whole - 1]);
        EXPECT_EQ(contents.damaged, contents.validBytes != cut);
        EXPECT_EQ(contents.video.has_value(), whole >= 1);
        const auto clicks = static_cast<std::int32_t>(whole > 2 ? whole - 2 : 0);
        EXPECT_EQ(contents.unsavedPoints, clicks);
        if (whole >= 2) {
            const TrackPoint last = clicks > 0 ? TrackPoint{99 + clicks, 199 + clicks} : TrackPoint{};
            EXPECT_EQ(contents.track.at(std::max(clicks - 1, 0)), last);
        } else {
            EXPECT_FALSE(contents.track.hasStorage());
        }
    }
}

TEST_F(JournalReader, FlippedBitEndsTheJournalAtItsRecord)
{
    const std::string prefix = start() + click(1, {1, 1});
    std::string bytes = prefix + click(2, {2, 2}) + click(3, {3, 3});
    for (std::size_t at = prefix.size(); at < prefix.size() + click(2, {2, 2}).size(); ++at) {
        std::string broken = bytes;
        broken[at] = static_cast<char>(broken[at] ^ 0x10);
        const JournalContents contents = read(broken);
        EXPECT_EQ(contents.validBytes, prefix.size()) << "byte " << at;
        EXPECT_EQ(contents.unsavedPoints, 1) << "byte " << at;
        EXPECT_TRUE(contents.damaged);
    }
}

// Records whose checksum holds but whose content cannot be true: each one
// ends the journal, keeping the click before it and dropping the one after.
TEST_F(JournalReader, AbsurdContentWithAValidChecksumEndsTheJournal)
{
    const auto trackPayload = [](std::int32_t upperBound, std::int32_t covered, std::uint32_t count,
                                 const std::string &points) {
        return le32(static_cast<std::uint32_t>(upperBound)) + le32(static_cast<std::uint32_t>(covered)) + le32(count)
               + points;
    };
    const auto point = [](std::int32_t frame) { return le32(static_cast<std::uint32_t>(frame)) + le32(1) + le32(1); };
    const auto pointsPayload = [](std::uint8_t cause, std::uint32_t count, const std::string &points) {
        return std::string(1, static_cast<char>(cause)) + le32(count) + points;
    };
    VideoIdentity longPath = m_video;
    longPath.path.assign(journalformat::kMaxPathBytes + 1, 'a');
    std::string wrongVersion = encodeHeader(m_video);
    wrongVersion[5 + 8] = 2;
    wrongVersion.replace(wrongVersion.size() - 4, 4, le32(crc32(wrongVersion.data(), wrongVersion.size() - 4)));

    const std::vector<std::pair<const char *, std::string>> cases{
        {"bound above the largest track",
         encodeRecord(RecordType::Track, trackPayload(PointTrack::kMaxUpperBound + 1, 0, 0, {}))},
        {"negative bound", encodeRecord(RecordType::Track, trackPayload(-1, 0, 0, {}))},
        {"more covered frames than the track has", encodeRecord(RecordType::Track, trackPayload(3, 5, 0, {}))},
        {"more points than frames",
         encodeRecord(RecordType::Track, trackPayload(1, 0, 3, point(0) + point(1) + point(1)))},
        {"frames not increasing", encodeRecord(RecordType::Track, trackPayload(9, 0, 2, point(4) + point(4)))},
        {"frame beyond the bound", encodeRecord(RecordType::Track, trackPayload(9, 0, 1, point(10)))},
        {"count beyond the bytes", encodeRecord(RecordType::Points, pointsPayload(1, 0xFFFFFFFFu, point(1)))},
        {"count short of the bytes", encodeRecord(RecordType::Points, pointsPayload(1, 1, point(1) + point(2)))},
        {"point beyond the track", encodeRecord(RecordType::Points, pointsPayload(1, 1, point(10)))},
        {"negative frame", encodeRecord(RecordType::Points, pointsPayload(1, 1, point(-1)))},
        {"unknown cause", encodeRecord(RecordType::Points, pointsPayload(9, 1, point(1)))},
        {"unknown record type", encodeRecord(static_cast<RecordType>(77), "")},
        {"saved mark with content", encodeRecord(RecordType::Saved, "x")},
        {"second header", header()},
        {"length beyond any record",
         le32(journalformat::kMaxPayloadBytes + 1) + std::string(1, '\3') + std::string(64, '\0')},
    };
    for (const auto &[what, record] : cases) {
        const JournalContents contents = read(start() + click(1, {1, 1}) + record + click(2, {2, 2}));
        EXPECT_EQ(contents.records, 3u) << what;
        EXPECT_EQ(contents.unsavedPoints, 1) << what;
        EXPECT_TRUE(contents.damaged) << what;
        ASSERT_TRUE(contents.track.hasStorage()) << what;
        EXPECT_EQ(contents.track.upperBound(), 9) << what;
    }

    for (const std::string &badStart : {wrongVersion, encodeRecord(RecordType::Header, "ZVJOURNL"), click(1, {1, 1}),
                                        encodeTrack(trackOf(2, {}), 3)}) {
        const JournalContents contents = read(badStart + encodeTrack(trackOf(2, {}), 3) + click(1, {1, 1}));
        EXPECT_FALSE(contents.video);
        EXPECT_FALSE(contents.track.hasStorage());
        EXPECT_EQ(contents.records, 0u);
    }
    EXPECT_THROW(encodeHeader(longPath), std::length_error);
}

TEST_F(JournalReader, GarbageEmptyAndMissingFilesGiveNothing)
{
    std::mt19937 random(14);
    std::string garbage(1 << 16, '\0');
    for (char &byte : garbage)
        byte = static_cast<char>(random());
    for (const std::string &bytes : {std::string{}, garbage, std::string("ZVJOURNL"), std::string(4, '\xFF')}) {
        const JournalContents contents = read(bytes);
        EXPECT_FALSE(contents.video);
        EXPECT_FALSE(contents.track.hasStorage());
        EXPECT_EQ(contents.validBytes, 0u);
        EXPECT_EQ(contents.damaged, !bytes.empty());
    }
    EXPECT_FALSE(readJournal(m_folder / "missing.journal").video);
    EXPECT_FALSE(readJournal(m_folder.path()).video);
    const std::filesystem::path pipe = m_folder / "pipe.journal";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(readJournal(pipe).video) << "a pipe nobody writes to must not block the reader";
}

TEST_F(JournalReader, HugeSparseFileStopsAtTheFirstRecordThatIsNotOne)
{
    const std::filesystem::path file = writeBytes(m_folder / "huge.journal", start() + click(1, {1, 1}));
    std::filesystem::resize_file(file, std::uintmax_t{4} << 30); // a hole of zeros, no disk used
    const JournalContents contents = readJournal(file);
    EXPECT_EQ(contents.records, 3u);
    EXPECT_EQ(contents.unsavedPoints, 1);
    EXPECT_TRUE(contents.damaged);
}

TEST(VideoIdentity, TellsCopiesAndChangedFilesApart)
{
    TempFolder folder("journal-identity");
    const VideoIdentity first = zorvane::testing::standInVideo(folder / "a.avi", "abc");
    const VideoIdentity copy = zorvane::testing::standInVideo(folder / "b.avi", "abc");
    EXPECT_TRUE(std::filesystem::path(first.path).is_absolute());
    EXPECT_EQ(first.size, 3u);
    EXPECT_NE(first.journalStem(), copy.journalStem());
    EXPECT_EQ(first.journalStem(), VideoIdentity::of(folder / "a.avi")->journalStem());

    std::filesystem::last_write_time(folder / "a.avi",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    const VideoIdentity touched = *VideoIdentity::of(folder / "a.avi");
    EXPECT_NE(touched.modifiedNs, first.modifiedNs);
    EXPECT_NE(touched.journalStem(), first.journalStem());
    EXPECT_FALSE(VideoIdentity::of(folder / "missing.avi"));
    EXPECT_FALSE(VideoIdentity::of(folder.path())) << "a folder is not a video";
}

TEST(Crc32, MatchesTheStandardCheckValue)
{
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32Update(crc32("12345", 5), "6789", 4), 0xCBF43926u);
}

} // namespace
