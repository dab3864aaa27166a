#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvane {

// One recorded point in SI units.
struct MeasureRow {
    std::int32_t frame = 0;
    double t = 0;             // s
    double x = 0;             // m
    double y = 0;             // m
    std::optional<double> vx; // m/s, empty at the first and last recorded frames
    std::optional<double> vy;
};

struct MeasureTable {
    std::vector<MeasureRow> rows; // recorded frames in order; frames without a point have no row
    TimeSource timeSource = TimeSource::VideoFrameTimes;
    // Points on frames the clock has no time for (past the video's end);
    // they are left out of the rows.
    std::int32_t pointsWithoutTime = 0;
};

// Rows for every frame holding a point, converted with the calibration and
// the clock. Velocities are central differences between each row and its
// nearest recorded neighbours, before and after, however many frames lie
// between them: for neighbours at unequal time distances (a missed frame,
// a variable frame rate) the weighted form that is exact for constant
// acceleration. The first and last rows have no velocity, as there is no
// neighbour on one side. A track without storage gives no rows.
MeasureTable measureTrack(const PointTrack &track, const Calibration &calibration, const FrameClock &clock);

} // namespace zorvane
