#include "app/autotrackruns.h"

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

AutoTrackRuns::AutoTrackRuns(WritePoints store, WritePoints restore)
        : m_store(std::move(store)), m_restore(std::move(restore))
{}

std::optional<RunStartError> AutoTrackRuns::start(const PointTrack &track, std::int32_t frame, std::int32_t frameCount)
{
    stop();
    if (frameCount <= 0)
        return RunStartError::NoVideo;
    const std::optional<TrackPoint> from = track.find(frame);
    if (!from || from->isEmpty() || frame >= frameCount)
        return RunStartError::NoPoint;
    std::int32_t last = frame;
    while (last + 1 < frameCount && track.find(last + 1) && !holdsOtherPoint(track, last + 1))
        ++last;
    m_plan = {frame, last, *from};
    m_frame = frame;
    m_frameCount = frameCount;
    m_running = true;
    return std::nullopt;
}

bool AutoTrackRuns::isPlaced(std::int32_t frame, TrackPoint point) const
{
    const auto placed = m_placed.find(frame);
    return placed != m_placed.end() && placed->second == point;
}

bool AutoTrackRuns::holdsOtherPoint(const PointTrack &track, std::int32_t frame) const
{
    const std::optional<TrackPoint> point = track.find(frame);
    return point && !point->isEmpty() && !isPlaced(frame, *point);
}

RunStep AutoTrackRuns::apply(const PointTrack &track, std::span<const TrackedFrame> frames)
{
    RunStep last{RunStep::Kind::Hidden, m_frame, {}};
    FramePoints batch;
    for (const TrackedFrame &tracked : frames) {
        if (!m_running || tracked.frame != m_frame + 1)
            break;
        m_frame = tracked.frame;
        // A sequence loaded during the run may have put one there.
        if (!track.find(m_frame) || holdsOtherPoint(track, m_frame)) {
            last = finish({RunStep::Kind::UserPoint, m_frame, {}});
            break;
        }
        const TrackStep &step = tracked.step;
        if (step.state == TrackStep::State::Lost) {
            last = finish({RunStep::Kind::Lost, m_frame, {}});
            break;
        }
        const std::optional<TrackPoint> point =
            step.state == TrackStep::State::Found ? trackedPoint(step.x, step.y) : std::nullopt;
        // A point at (0, 0) would read as none.
        if (!point || point->isEmpty()) {
            last = {RunStep::Kind::Hidden, m_frame, {}};
            continue;
        }
        keep(track, m_frame, *point, batch);
        last = {RunStep::Kind::Stored, m_frame, *point};
    }
    if (!batch.empty())
        m_store(batch);
    return last;
}

void AutoTrackRuns::keep(const PointTrack &track, std::int32_t frame, TrackPoint point, FramePoints &batch)
{
    const TrackPoint before = track.find(frame).value_or(TrackPoint{});
    m_run.push_back({frame, before, isPlaced(frame, before), point});
    m_placed[frame] = point;
    batch.push_back({frame, point});
}

RunStep AutoTrackRuns::end(const PointTrack &track, const TrackingEnd &end)
{
    if (!m_running)
        return {RunStep::Kind::End, m_frame, {}};
    switch (end.kind) {
    case TrackingEnd::Kind::LastFrame:
        if (m_frame + 1 < m_frameCount && holdsOtherPoint(track, m_frame + 1))
            return finish({RunStep::Kind::UserPoint, m_frame + 1, {}});
        return finish({RunStep::Kind::End, m_frame, {}});
    case TrackingEnd::Kind::Lost: return finish({RunStep::Kind::Lost, end.frame, {}});
    case TrackingEnd::Kind::Unreadable: return finish({RunStep::Kind::Unreadable, end.frame, {}});
    case TrackingEnd::Kind::Stopped: break;
    }
    return finish({RunStep::Kind::Stopped, m_frame, {}});
}

RunStep AutoTrackRuns::finish(RunStep step)
{
    stop();
    return step;
}

void AutoTrackRuns::stop()
{
    m_running = false;
    if (!m_run.empty())
        m_lastRun = std::move(m_run);
    m_run.clear();
}

void AutoTrackRuns::forget()
{
    stop();
    m_placed.clear();
    m_run.clear();
    m_lastRun.clear();
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
