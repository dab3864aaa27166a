#include "measure/vectorgeometry.h"

#include <cmath>

namespace zorvane {
namespace {

struct PixelOffset {
    double right = 0;
    double down = 0;
};

PixelOffset onPicture(double vx, double vy, const PictureAxes &axes, double pixelsPerUnit)
{
    return {(vx * axes.xRight + vy * axes.yRight) * pixelsPerUnit, (vx * axes.xDown + vy * axes.yDown) * pixelsPerUnit};
}

PictureArrow arrowFrom(std::int32_t frame, double x, double y, PixelOffset offset)
{
    return {frame, x, y, x + offset.right, y + offset.down};
}

bool hasVelocity(const MeasureRow &row) { return row.vx && row.vy; }

} // namespace

PictureAxes pictureAxesOf(YAxis yAxis) { return {1, 0, 0, yAxis == YAxis::Up ? -1.0 : 1.0}; }

PictureAxes pictureAxesOf(const Calibration &calibration)
{
    if (!calibration.xAxis())
        return pictureAxesOf(calibration.yAxis());
    const PictureDirection x = calibration.xDirection();
    const PictureDirection y = calibration.yDirection();
    return {x.right, x.down, y.right, y.down};
}

std::vector<PictureArrow> velocityArrows(const PointTrack &track, const MeasureTable &table, const PictureAxes &axes,
                                         double pixelsPerUnit)
{
    std::vector<PictureArrow> arrows;
    for (const MeasureRow &row : table.rows) {
        const std::optional<TrackPoint> point = track.find(row.frame);
        if (!hasVelocity(row) || !point)
            continue;
        arrows.push_back(arrowFrom(row.frame, point->X, point->Y, onPicture(*row.vx, *row.vy, axes, pixelsPerUnit)));
    }
    return arrows;
}

std::vector<PictureArrow> velocityChangeArrows(const PointTrack &track, const MeasureTable &table,
                                               const PictureAxes &axes, double pixelsPerUnit)
{
    std::vector<PictureArrow> arrows;
    for (std::size_t i = 0; i + 1 < table.rows.size(); ++i) {
        const MeasureRow &before = table.rows[i];
        const MeasureRow &after = table.rows[i + 1];
        const std::optional<TrackPoint> from = track.find(before.frame);
        const std::optional<TrackPoint> to = track.find(after.frame);
        if (!hasVelocity(before) || !hasVelocity(after) || !from || !to)
            continue;
        const double middleX = (static_cast<double>(from->X) + to->X) / 2;
        const double middleY = (static_cast<double>(from->Y) + to->Y) / 2;
        arrows.push_back(arrowFrom(before.frame, middleX, middleY,
                                   onPicture(*after.vx - *before.vx, *after.vy - *before.vy, axes, pixelsPerUnit)));
    }
    return arrows;
}

double legendSpeed(double pixelsPerUnit, double minimumPixels)
{
    if (!(pixelsPerUnit > 0) || !(minimumPixels > 0))
        return 1;
    double decade = std::pow(10.0, std::floor(std::log10(minimumPixels / pixelsPerUnit)));
    for (;;) {
        for (const double step : {1.0, 2.0, 5.0})
            if (step * decade * pixelsPerUnit >= minimumPixels)
                return step * decade;
        decade *= 10;
    }
}

std::optional<double> parseVectorScale(std::string_view text, const NumberFormat &format)
{
    const std::optional<double> scale = parseStep(text, format);
    if (!scale || !(*scale >= kMinVectorScale) || *scale > kMaxVectorScale)
        return std::nullopt;
    return scale;
}

} // namespace zorvane
