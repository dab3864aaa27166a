#include "journal/trackjournal.h"

#include <utility>

namespace zorvane {

TrackJournal::TrackJournal(Question ask, Warning warn) : m_ask(std::move(ask)), m_warn(std::move(warn)) {}

TrackJournal::~TrackJournal() = default;

void TrackJournal::keepIn(const std::filesystem::path &folder) { m_journal = std::make_unique<Journal>(folder); }

bool TrackJournal::videoOpened(const std::filesystem::path &video, PointTrack &track, PointSet *others)
{
    const PointSet none;
    const PointSet &beside = others ? *others : none;
    if (!m_journal)
        return false;
    const std::optional<VideoIdentity> identity = VideoIdentity::of(video);
    if (identity && identity == m_video) {
        // Its journal already holds the track in memory; only the length
        // may have changed.
        report(m_journal->recordSequence(track, 0));
        report(m_journal->recordOthers(beside, 0));
        return false;
    }
    m_video = identity;
    if (!identity) {
        // Nothing on the disk to tie a journal to.
        m_journal->stop();
        return false;
    }
    std::optional<JournalRecovery> found = m_journal->findUnsaved(*identity);
    if (!found) {
        report(m_journal->start(*identity, track, beside));
        return false;
    }
    if (!m_ask(found->unsavedPoints)) {
        report(m_journal->decline(*found, track, beside));
        return false;
    }
    report(m_journal->restore(std::move(*found), track, others));
    return true;
}

void TrackJournal::click(PointTrack &track, std::int32_t frame, float x, float y, int pointIndex)
{
    if (!m_journal) {
        recordClick(track, frame, x, y);
        return;
    }
    report(recordJournaledClick(track, *m_journal, frame, x, y, pointIndex));
}

void TrackJournal::storeTracked(PointTrack &track, std::span<const FramePoint> points, int pointIndex)
{
    storeBatch(track, points, PointsCause::Tracked, pointIndex);
}

void TrackJournal::storeUndone(PointTrack &track, std::span<const FramePoint> points, int pointIndex)
{
    storeBatch(track, points, PointsCause::Undone, pointIndex);
}

void TrackJournal::storeBatch(PointTrack &track, std::span<const FramePoint> points, PointsCause cause, int pointIndex)
{
    if (points.empty())
        return;
    for (const FramePoint &entry : points)
        (void)track.at(entry.frame); // throws for a frame outside the track
    if (m_journal && pointIndex > 0)
        report(m_journal->recordOtherBatch(pointIndex, cause, points));
    else if (m_journal)
        report(cause == PointsCause::Tracked ? m_journal->recordTracked(points) : m_journal->recordUndone(points));
    for (const FramePoint &entry : points)
        track.set(entry.frame, entry.point);
}

void TrackJournal::sequenceLoaded(const PointTrack &track, std::int32_t framesRead, const PointSet *others)
{
    if (!m_journal)
        return;
    report(m_journal->recordSequence(track, framesRead));
    if (others)
        report(m_journal->recordOthers(*others, framesRead));
}

void TrackJournal::sequenceSaved()
{
    if (m_journal)
        report(m_journal->recordSaved());
}

void TrackJournal::report(const std::optional<JournalFailure> &failure)
{
    if (!failure)
        return;
    if (m_warnings.take(*failure))
        m_warn(*failure);
}

} // namespace zorvane
