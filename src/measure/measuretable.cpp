#include "measure/measuretable.h"

#include <cmath>

namespace zorvane {

namespace {

// Derivative at the middle of three samples at times before < at < after,
// exact for a parabola; the plain central difference when the two gaps are
// equal. Written as weighted differences so that a still coordinate gives
// exactly zero.
std::optional<double> centralDifference(double before, double at, double after, double hBefore, double hAfter)
{
    if (!(hBefore > 0) || !(hAfter > 0))
        return std::nullopt;
    const double slope =
        (hBefore * hBefore * (after - at) + hAfter * hAfter * (at - before)) / (hBefore * hAfter * (hBefore + hAfter));
    return std::isfinite(slope) ? std::optional<double>(slope) : std::nullopt;
}

void addVelocities(std::vector<MeasureRow> &rows)
{
    for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
        const MeasureRow &before = rows[i - 1];
        const MeasureRow &after = rows[i + 1];
        MeasureRow &row = rows[i];
        const double hBefore = row.t - before.t;
        const double hAfter = after.t - row.t;
        row.vx = centralDifference(before.x, row.x, after.x, hBefore, hAfter);
        row.vy = centralDifference(before.y, row.y, after.y, hBefore, hAfter);
    }
}

} // namespace

MeasureTable measureTrack(const PointTrack &track, const Calibration &calibration, const FrameClock &clock)
{
    MeasureTable table;
    table.timeSource = clock.source();
    if (!track.hasStorage())
        return table;
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
        const TrackPoint point = track.at(frame);
        if (point.isEmpty())
            continue;
        const std::optional<double> t = clock.seconds(frame);
        if (!t) {
            ++table.pointsWithoutTime;
            continue;
        }
        const RealPoint metres = calibration.toMetres({point.X, point.Y});
        table.rows.push_back({frame, *t, metres.x, metres.y, std::nullopt, std::nullopt});
    }
    addVelocities(table.rows);
    return table;
}

} // namespace zorvane
