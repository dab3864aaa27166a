#include "track/pointtrack.h"

#include "common/rounding.h"

namespace zorvane {

std::int32_t PointTrack::upperBound() const
{
    if (!m_hasStorage)
        throw TrackError(TrackErrorKind::NoStorage, "the point track has no storage yet");
    return static_cast<std::int32_t>(m_points.size()) - 1;
}

void PointTrack::resize(std::int32_t upperBound)
{
    if (upperBound < 0 || upperBound > kMaxUpperBound)
        throw TrackError(TrackErrorKind::OutOfRange, "upper bound " + std::to_string(upperBound) + " is outside 0.."
                                                         + std::to_string(kMaxUpperBound));
    m_points.resize(static_cast<std::size_t>(upperBound) + 1);
    m_hasStorage = true;
}

std::size_t PointTrack::checkedIndex(std::int32_t index) const
{
    if (!m_hasStorage)
        throw TrackError(TrackErrorKind::NoStorage, "the point track has no storage yet");
    if (index < 0 || static_cast<std::size_t>(index) >= m_points.size())
        throw TrackError(TrackErrorKind::OutOfRange, "frame " + std::to_string(index)
                                                         + " is outside the point track (0.."
                                                         + std::to_string(upperBound()) + ")");
    return static_cast<std::size_t>(index);
}

TrackPoint PointTrack::at(std::int32_t index) const { return m_points[checkedIndex(index)]; }

void PointTrack::set(std::int32_t index, TrackPoint point) { m_points[checkedIndex(index)] = point; }

void PointTrack::setX(std::int32_t index, std::int32_t x) { m_points[checkedIndex(index)].X = x; }

void PointTrack::setY(std::int32_t index, std::int32_t y) { m_points[checkedIndex(index)].Y = y; }

std::optional<TrackPoint> PointTrack::find(std::int32_t index) const noexcept
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_points.size())
        return std::nullopt;
    return m_points[static_cast<std::size_t>(index)];
}

TrackPoint clickPoint(float x, float y)
{
    const std::optional<std::int32_t> px = roundHalfEvenToInt32(x);
    const std::optional<std::int32_t> py = roundHalfEvenToInt32(y);
    if (!px || !py)
        throw TrackError(TrackErrorKind::NotRepresentable, "click position does not fit a 32-bit integer");
    return TrackPoint{*px, *py};
}

void recordClick(PointTrack &track, std::int32_t frame, float x, float y) { track.set(frame, clickPoint(x, y)); }

} // namespace zorvane
