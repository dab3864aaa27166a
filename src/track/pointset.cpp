#include "track/pointset.h"

#include <string>

namespace zorvane {

char pointLetter(int index) { return static_cast<char>('A' + index); }

int PointSet::add(std::int32_t upperBound)
{
    if (!canAdd())
        throw TrackError(TrackErrorKind::OutOfRange, "no more than " + std::to_string(kMaxFollowedPoints) + " points");
    PointTrack fresh;
    fresh.resize(upperBound);
    m_tracks.push_back(std::move(fresh));
    return count();
}

std::size_t PointSet::checkedIndex(int index) const
{
    if (index < 1 || index > count())
        throw TrackError(TrackErrorKind::OutOfRange, "no point " + std::to_string(index));
    return static_cast<std::size_t>(index - 1);
}

PointTrack &PointSet::track(int index) { return m_tracks[checkedIndex(index)]; }

const PointTrack &PointSet::track(int index) const { return m_tracks[checkedIndex(index)]; }

void PointSet::resizeAll(std::int32_t upperBound)
{
    if (upperBound < 0 || upperBound > PointTrack::kMaxUpperBound)
        throw TrackError(TrackErrorKind::OutOfRange, "upper bound " + std::to_string(upperBound) + " refused");
    for (PointTrack &track : m_tracks)
        track.resize(upperBound);
}

bool PointSet::holdsAnyPoint() const
{
    for (const PointTrack &track : m_tracks) {
        for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
            if (!track.at(frame).isEmpty())
                return true;
        }
    }
    return false;
}

} // namespace zorvane
