#include "journal/trackjournal.h"

#include <utility>

namespace zorvane {

TrackJournal::TrackJournal(Question ask, Warning warn) : m_ask(std::move(ask)), m_warn(std::move(warn)) {}

TrackJournal::~TrackJournal() = default;

void TrackJournal::keepIn(const std::filesystem::path &folder) { m_journal = std::make_unique<Journal>(folder); }

bool TrackJournal::videoOpened(const std::filesystem::path &video, PointTrack &track)
{
    if (!m_journal)
        return false;
    const std::optional<VideoIdentity> identity = VideoIdentity::of(video);
    if (identity && identity == m_video) {
        // Its journal already holds the track in memory; only the length
        // may have changed.
        report(m_journal->recordSequence(track, 0));
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
        report(m_journal->start(*identity, track));
        return false;
    }
    if (!m_ask(found->unsavedPoints)) {
        report(m_journal->decline(*found, track));
        return false;
    }
    report(m_journal->restore(std::move(*found), track));
    return true;
}

void TrackJournal::click(PointTrack &track, std::int32_t frame, float x, float y)
{
    if (!m_journal) {
        recordClick(track, frame, x, y);
        return;
    }
    report(recordJournaledClick(track, *m_journal, frame, x, y));
}

void TrackJournal::storeTracked(PointTrack &track, std::span<const FramePoint> points)
{
    storeBatch(track, points, &Journal::recordTracked);
}

void TrackJournal::storeUndone(PointTrack &track, std::span<const FramePoint> points)
{
    storeBatch(track, points, &Journal::recordUndone);
}

void TrackJournal::storeBatch(PointTrack &track, std::span<const FramePoint> points, BatchRecord record)
{
    if (points.empty())
        return;
    for (const FramePoint &entry : points)
        (void)track.at(entry.frame); // throws for a frame outside the track
    if (m_journal)
        report(((*m_journal).*record)(points));
    for (const FramePoint &entry : points)
        track.set(entry.frame, entry.point);
}

void TrackJournal::sequenceLoaded(const PointTrack &track, std::int32_t framesRead)
{
    if (m_journal)
        report(m_journal->recordSequence(track, framesRead));
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
