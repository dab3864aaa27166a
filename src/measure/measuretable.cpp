#include "measure/measuretable.h"

#include "measure/measureerror.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace zorvane {

namespace {

constexpr double kLargestMassOrField = 1e9;

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

// Second derivative of the same parabola.
std::optional<double> secondDifference(double before, double at, double after, double hBefore, double hAfter)
{
    if (!(hBefore > 0) || !(hAfter > 0))
        return std::nullopt;
    const double curvature =
        2 * (hBefore * (after - at) - hAfter * (at - before)) / (hBefore * hAfter * (hBefore + hAfter));
    return std::isfinite(curvature) ? std::optional<double>(curvature) : std::nullopt;
}

void addDerivatives(std::vector<MeasureRow> &rows)
{
    for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
        const MeasureRow &before = rows[i - 1];
        const MeasureRow &after = rows[i + 1];
        MeasureRow &row = rows[i];
        const double hBefore = row.t - before.t;
        const double hAfter = after.t - row.t;
        row.vx = centralDifference(before.x, row.x, after.x, hBefore, hAfter);
        row.vy = centralDifference(before.y, row.y, after.y, hBefore, hAfter);
        if (row.vx && row.vy)
            row.v = std::hypot(*row.vx, *row.vy);
        row.ax = secondDifference(before.x, row.x, after.x, hBefore, hAfter);
        row.ay = secondDifference(before.y, row.y, after.y, hBefore, hAfter);
    }
}

void addEnergies(std::vector<MeasureRow> &rows, const std::vector<double> &heights, double mass, double gravity)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        MeasureRow &row = rows[i];
        row.epp = mass * gravity * heights[i];
        if (row.v) {
            row.ec = 0.5 * mass * *row.v * *row.v;
            row.em = *row.ec + *row.epp;
        }
    }
}

std::optional<double> parseBounded(std::string_view text, const NumberFormat &format)
{
    const std::optional<double> value = parseStep(text, format);
    if (!value || !isPlausibleMassOrField(*value))
        return std::nullopt;
    return value;
}

// Rows of every point that has a time, from `toLengths` of its pixel; with
// a moving origin, only where it has a point too, from it. The heights of
// the rows, from `toHeight`, go in `heights` when asked for.
template <typename Convert>
MeasureTable rowsOf(const PointTrack &track, const FrameClock &clock, Convert toLengths,
                    const PointTrack *movingOrigin = nullptr, const std::function<double(PicturePoint)> &toHeight = {},
                    std::vector<double> *heights = nullptr)
{
    MeasureTable table;
    table.timeSource = clock.source();
    if (!track.hasStorage())
        return table;
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
        const TrackPoint point = track.at(frame);
        if (point.isEmpty())
            continue;
        const std::optional<TrackPoint> origin =
            movingOrigin ? movingOrigin->find(frame) : std::optional<TrackPoint>(TrackPoint{});
        if (!origin || (movingOrigin && origin->isEmpty()))
            continue;
        const std::optional<double> t = clock.seconds(frame);
        if (!t) {
            ++table.pointsWithoutTime;
            continue;
        }
        const PicturePoint pixel{point.X, point.Y};
        const PicturePoint originPixel{origin->X, origin->Y};
        RealPoint lengths = toLengths(pixel);
        if (movingOrigin) {
            const RealPoint originLengths = toLengths(originPixel);
            lengths = {lengths.x - originLengths.x, lengths.y - originLengths.y};
        }
        if (heights)
            heights->push_back(movingOrigin ? toHeight(pixel) - toHeight(originPixel) : toHeight(pixel));
        MeasureRow row;
        row.frame = frame;
        row.t = *t;
        row.x = lengths.x;
        row.y = lengths.y;
        table.rows.push_back(row);
    }
    addDerivatives(table.rows);
    return table;
}

} // namespace

bool isPlausibleMassOrField(double value) { return value > 0 && value <= kLargestMassOrField; }

std::optional<double> parseMass(std::string_view text, const NumberFormat &format)
{
    return parseBounded(text, format);
}

std::optional<double> parseGravity(std::string_view text, const NumberFormat &format)
{
    return parseBounded(text, format);
}

MeasureTable measureTrack(const PointTrack &track, const Calibration &calibration, const FrameClock &clock,
                          const MassAndGravity &dynamics, const PointTrack *movingOrigin)
{
    std::vector<double> heights;
    MeasureTable table = rowsOf(
        track, clock, [&](PicturePoint point) { return calibration.toMetres(point); }, movingOrigin,
        [&](PicturePoint point) { return calibration.heightMetres(point); }, &heights);
    table.pixelSize = calibration.metresPerPixel();
    if (dynamics.massKg) {
        table.hasEnergies = true;
        table.massKg = *dynamics.massKg;
        table.gravity = dynamics.gravity;
        addEnergies(table.rows, heights, *dynamics.massKg, dynamics.gravity);
    }
    return table;
}

MeasureTable measurePoint(const PointTrack &a, const PointSet &others, int index, const Calibration &calibration,
                          int movingOrigin, const FrameClock &clock, const MassAndGravity &dynamics)
{
    if (movingOrigin > others.count())
        throw MeasureError(MeasureErrorKind::NoOriginPoint,
                           std::string("L'origine des axes suit le point ") + pointLetter(movingOrigin)
                               + ", qui n'existe pas : ajoutez-le ou choisissez une autre origine dans "
                                 "« Étalonnage... ».");
    const PointTrack &track = index == 0 ? a : others.track(index);
    const PointTrack *origin = movingOrigin > 0 ? &others.track(movingOrigin) : nullptr;
    return measureTrack(track, calibration, clock, dynamics, origin);
}

MeasureTable measureTrackInPixels(const PointTrack &track, std::int32_t frameHeight, const FrameClock &clock)
{
    const double bottom = std::max(frameHeight - 1, 0);
    MeasureTable table = rowsOf(track, clock, [&](PicturePoint point) {
        return RealPoint{static_cast<double>(point.x), bottom - point.y};
    });
    table.inPixels = true;
    return table;
}

} // namespace zorvane
