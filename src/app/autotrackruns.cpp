#include "app/autotrackruns.h"

#include "autotrack/autotracker.h"
#include "common/rounding.h"

namespace zorvane {

std::optional<TrackPoint> trackedPoint(double x, double y)
{
    const std::optional<std::int32_t> px = roundHalfEvenToInt32(x);
    const std::optional<std::int32_t> py = roundHalfEvenToInt32(y);
    if (!px || !py)
        return std::nullopt;
    return TrackPoint{*px, *py};
}

AutoTrackRuns::AutoTrackRuns(PictureOf pictureOf, WritePoints store, WritePoints restore)
        : m_pictureOf(std::move(pictureOf)), m_store(std::move(store)), m_restore(std::move(restore))
{}

AutoTrackRuns::~AutoTrackRuns() = default;

std::optional<RunStartError> AutoTrackRuns::start(const PointTrack &track, std::int32_t frame, std::int32_t frameCount)
{
    stop();
    if (frameCount <= 0)
        return RunStartError::NoVideo;
    const std::optional<TrackPoint> from = track.find(frame);
    if (!from || from->isEmpty())
        return RunStartError::NoPoint;
    const RgbImage picture = m_pictureOf(frame);
    if (picture.pixels.empty())
        return RunStartError::Unreadable;
    try {
        m_tracker = std::make_unique<AutoTracker>(picture, from->X, from->Y);
    } catch (const AutoTrackError &error) {
        return error.kind() == AutoTrackErrorKind::PointOutside ? RunStartError::PointOutside
                                                                : RunStartError::Unreadable;
    }
    m_frame = frame;
    m_frameCount = frameCount;
    return std::nullopt;
}

bool AutoTrackRuns::isPlaced(std::int32_t frame, TrackPoint point) const
{
    const auto placed = m_placed.find(frame);
    return placed != m_placed.end() && placed->second == point;
}

RunStep AutoTrackRuns::advance(const PointTrack &track)
{
    if (!isRunning())
        return {RunStep::Kind::End, m_frame, {}};
    const std::int32_t frame = m_frame + 1;
    const std::optional<TrackPoint> current = track.find(frame);
    if (frame >= m_frameCount || !current)
        return finish({RunStep::Kind::End, m_frame, {}});
    m_frame = frame;
    if (!current->isEmpty() && !isPlaced(frame, *current))
        return finish({RunStep::Kind::UserPoint, frame, {}});
    const RgbImage picture = m_pictureOf(frame);
    if (picture.pixels.empty())
        return finish({RunStep::Kind::Unreadable, frame, {}});
    TrackStep step;
    try {
        step = m_tracker->next(picture);
    } catch (const AutoTrackError &) {
        // Another video under the same frame numbers.
        return finish({RunStep::Kind::Unreadable, frame, {}});
    }
    if (step.state == TrackStep::State::Lost)
        return finish({RunStep::Kind::Lost, frame, {}});
    const std::optional<TrackPoint> point =
        step.state == TrackStep::State::Found ? trackedPoint(step.x, step.y) : std::nullopt;
    // A point at (0, 0) would read as none.
    if (!point || point->isEmpty())
        return {RunStep::Kind::Hidden, frame, {}};
    return store(track, frame, *point);
}

RunStep AutoTrackRuns::store(const PointTrack &track, std::int32_t frame, TrackPoint point)
{
    const TrackPoint before = track.find(frame).value_or(TrackPoint{});
    m_run.push_back({frame, before, isPlaced(frame, before), point});
    m_placed[frame] = point;
    m_store({{frame, point}});
    return {RunStep::Kind::Stored, frame, point};
}

RunStep AutoTrackRuns::finish(RunStep step)
{
    stop();
    return step;
}

void AutoTrackRuns::stop()
{
    m_tracker.reset();
    if (!m_run.empty())
        m_lastRun = std::move(m_run);
    m_run.clear();
}

void AutoTrackRuns::undo(const PointTrack &track)
{
    stop();
    FramePoints previous;
    for (const Change &change : m_lastRun) {
        if (track.find(change.frame) != change.placed)
            continue;
        previous.push_back({change.frame, change.before});
        if (change.beforeWasPlaced)
            m_placed[change.frame] = change.before;
        else
            m_placed.erase(change.frame);
    }
    m_lastRun.clear();
    if (!previous.empty())
        m_restore(previous);
}

} // namespace zorvane
