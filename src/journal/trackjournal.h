#pragma once

#include "journal/journal.h"
#include "journal/journalfailure.h"
#include "journal/journalformat.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zorvane {

// The journal of a window's track over a whole session: what to do with a
// video's unsaved points when it is opened, every change journaled before
// it is shown, and a journal that cannot be written turned into one
// warning. Until a folder is given nothing is journaled and the track
// changes as it would without a journal.
class TrackJournal {
public:
    // Asked whether to restore the unsaved points of the video just opened;
    // true for "Oui".
    using Question = std::function<bool(std::int32_t unsavedPoints)>;
    // Told of the session's first journal failure.
    using Warning = std::function<void(const JournalFailure &failure)>;

    TrackJournal(Question ask, Warning warn);
    ~TrackJournal();
    TrackJournal(const TrackJournal &) = delete;
    TrackJournal &operator=(const TrackJournal &) = delete;

    // Journals into this folder from the next video on; an empty path is a
    // folder that cannot be written.
    void keepIn(const std::filesystem::path &folder);

    // Once the track is sized to the video just opened: asks about its
    // unsaved points, if any, and starts its journal. The video open before
    // it, opened again, keeps its journal and asks nothing. True when the
    // track was replaced by the restored one. The points beside A, when
    // given, are journaled and restored with it, and must be as long.
    bool videoOpened(const std::filesystem::path &video, PointTrack &track, PointSet *others = nullptr);

    // `track` is point A when pointIndex is 0, else the point of that index
    // beside it.
    // Throw TrackError, changing and journaling nothing, as the track does.
    void click(PointTrack &track, std::int32_t frame, float x, float y, int pointIndex = 0);
    // Frames are checked first: on a TrackError nothing is journaled or set.
    void storeTracked(PointTrack &track, std::span<const FramePoint> points, int pointIndex = 0);
    void storeUndone(PointTrack &track, std::span<const FramePoint> points, int pointIndex = 0);

    void sequenceLoaded(const PointTrack &track, std::int32_t framesRead, const PointSet *others = nullptr);
    void sequenceSaved();

private:
    void storeBatch(PointTrack &track, std::span<const FramePoint> points, PointsCause cause, int pointIndex);
    void report(const std::optional<JournalFailure> &failure);

    Question m_ask;
    Warning m_warn;
    std::unique_ptr<Journal> m_journal;
    std::optional<VideoIdentity> m_video; // the video last opened
    JournalWarnings m_warnings;
};

} // namespace zorvane
