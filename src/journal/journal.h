#pragma once

#include "journal/journalfailure.h"
#include "journal/journalformat.h"
#include "journal/videoidentity.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace zorvane {

// Unsaved work found in a video's journal when the video is opened.
struct JournalRecovery {
    VideoIdentity video;
    PointTrack track;               // the whole track as it was last journaled
    PointSet others;                // the points beside it
    std::vector<bool> unsaved;      // per frame: changed since the last save
    std::int32_t unsavedPoints = 0; // what the question counts; always above 0
    bool fromSetAside = false;      // declined at the previous opening
};

// The journal of the open video: every change of the track is appended
// and flushed to the disk before the call returns, so that a crash, a
// power cut or a kill loses nothing that was handled. One journal file per
// video in one folder.
//
// On opening a video, once the track is sized to it:
//   if (auto found = journal.findUnsaved(video))
//       ask whether to restore found->unsavedPoints points, then
//       "Oui": journal.restore(std::move(*found), track)
//       "Non": journal.decline(*found, track)
//   else journal.start(video, track)
// then record every change: recordJournaledClick() for a click,
// recordSequence(track, load.framesRead) after "Ouvrir sequence",
// recordSaved() after a successful "Enregistrer Sequence". Calls that
// write return a JournalFailure when the journal cannot be written (show
// it through JournalWarnings); the journal then stops until the next video,
// and the track in memory is never affected by it.
class Journal {
public:
    explicit Journal(std::filesystem::path folder);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const std::filesystem::path &folder() const { return m_folder; }
    bool isRecording() const { return m_fd >= 0; }
    std::filesystem::path journalPath(const VideoIdentity &video) const;
    std::filesystem::path asidePath(const VideoIdentity &video) const;

    // The video's journal if it holds points no save covered, else the one
    // set aside at its previous opening if that does; nothing otherwise.
    // Reads only; a damaged journal gives what its sound records hold.
    std::optional<JournalRecovery> findUnsaved(const VideoIdentity &video) const;

    // Starts a fresh journal from the track as it is (nothing unsaved),
    // replacing the video's journal and dropping a set-aside one, whose
    // one more opening this is. Old journals of other videos are pruned.
    [[nodiscard]] std::optional<JournalFailure> start(const VideoIdentity &video, const PointTrack &track,
                                                      const PointSet &others = {});
    // "Oui": the track becomes the recovered one, also when the journal
    // cannot be written, and journaling goes on with its points still
    // counted as unsaved.
    // The points beside it go to `others` when given.
    [[nodiscard]] std::optional<JournalFailure> restore(JournalRecovery recovery, PointTrack &track,
                                                        PointSet *others = nullptr);
    // "Non": keeps the journal aside (renamed) for one more opening, then
    // starts a fresh journal from the track. A set-aside journal declined
    // again is removed.
    [[nodiscard]] std::optional<JournalFailure> decline(const JournalRecovery &recovery, const PointTrack &track,
                                                        const PointSet &others = {});
    // Closes the journal; later records are ignored until the next start.
    void stop();

    // A click's point, also one that overwrites or removes (0, 0) a point.
    [[nodiscard]] std::optional<JournalFailure> recordPoint(std::int32_t frame, TrackPoint point);
    // The track after a sequence was loaded into it; frames below
    // framesRead came from the file and count as saved.
    [[nodiscard]] std::optional<JournalFailure> recordSequence(const PointTrack &track, std::int32_t framesRead);
    // A batch of automatically tracked points, in the order they were set.
    [[nodiscard]] std::optional<JournalFailure> recordTracked(std::span<const FramePoint> points);
    // The undoing of a batch: the points put back, in the order they were set.
    [[nodiscard]] std::optional<JournalFailure> recordUndone(std::span<const FramePoint> points);
    // The same for the point `index` (1 for B) beside A.
    [[nodiscard]] std::optional<JournalFailure> recordOtherPoint(int index, std::int32_t frame, TrackPoint point);
    [[nodiscard]] std::optional<JournalFailure> recordOthers(const PointSet &others, std::int32_t framesRead);
    [[nodiscard]] std::optional<JournalFailure> recordOtherBatch(int index, PointsCause cause,
                                                                 std::span<const FramePoint> points);
    // A sequence save covered the whole track.
    [[nodiscard]] std::optional<JournalFailure> recordSaved();

private:
    std::optional<JournalFailure> begin(const VideoIdentity &video, const std::string &content, bool dropAside);
    std::optional<JournalFailure> append(const std::string &record);
    std::optional<JournalFailure> stopWith(JournalFailureKind kind, int error);

    std::filesystem::path m_folder;
    std::filesystem::path m_file;
    int m_fd = -1;
    std::uint64_t m_length = 0;
};

// The click of the video area with its journal: the point is on disk
// before it is in the track. Throws TrackError, changing and journaling
// nothing, when the frame is outside the track or a coordinate does not
// fit; a journal failure is returned and the track still gets the point.
// The point is A when pointIndex is 0, else the one beside it whose track
// is given.
[[nodiscard]] std::optional<JournalFailure>
recordJournaledClick(PointTrack &track, Journal &journal, std::int32_t frame, float x, float y, int pointIndex = 0);

} // namespace zorvane
