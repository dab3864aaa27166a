#pragma once

#include "track/pointtrack.h"

#include <cstdint>
#include <vector>

namespace zorvane {

// Point A is the track of the sequence file; B and the others follow it.
inline constexpr int kMaxFollowedPoints = 8;

// 'A' for 0, 'B' for 1, ...
char pointLetter(int index);

// The followed points beside A, indexed 1 (B) to count(); each has the
// same frames as A.
class PointSet {
public:
    int count() const { return static_cast<int>(m_tracks.size()); }
    bool canAdd() const { return count() + 1 < kMaxFollowedPoints; }
    // The index of the new, empty point, with frames 0..upperBound. Throws
    // TrackError (OutOfRange) when all are taken or the bound is refused.
    int add(std::int32_t upperBound);

    // Throw TrackError (OutOfRange) for an index outside 1..count().
    PointTrack &track(int index);
    const PointTrack &track(int index) const;

    // Every point to frames 0..upperBound, keeping what fits. Throws
    // TrackError (OutOfRange) for a refused bound, changing nothing.
    void resizeAll(std::int32_t upperBound);
    void clear() { m_tracks.clear(); }
    bool holdsAnyPoint() const;

private:
    std::size_t checkedIndex(int index) const;

    std::vector<PointTrack> m_tracks; // B first
};

} // namespace zorvane
