#pragma once

#include "measure/measuretable.h"
#include "track/numbertext.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zorvane {

// Where the measures' unit x and y vectors point on the picture, in
// picture pixels (right, down) per unit.
struct PictureAxes {
    double xRight = 1;
    double xDown = 0;
    double yRight = 0;
    double yDown = -1;
};

// The axes of a calibration: x to the right, y up or down.
PictureAxes pictureAxesOf(YAxis yAxis);
// The same with x along two points when the calibration says so.
PictureAxes pictureAxesOf(const Calibration &calibration);

// An arrow over the picture, in frame pixels: whole numbers are the
// clicked pixels, halves lie between two of them.
struct PictureArrow {
    std::int32_t frame = 0; // the frame it belongs to
    double fromX = 0;
    double fromY = 0;
    double toX = 0;
    double toY = 0;
};

// The velocity of every row that has one, from its point's pixel, at
// `pixelsPerUnit` picture pixels per unit of velocity of the table.
std::vector<PictureArrow> velocityArrows(const PointTrack &track, const MeasureTable &table, const PictureAxes &axes,
                                         double pixelsPerUnit);

// The change between the velocities of two neighbouring rows, from the
// middle of their points; it belongs to the earlier row's frame.
std::vector<PictureArrow> velocityChangeArrows(const PointTrack &track, const MeasureTable &table,
                                               const PictureAxes &axes, double pixelsPerUnit);

// A round velocity (1, 2 or 5 times a power of ten) whose arrow is at
// least `minimumPixels` long at this scale, for the legend.
double legendSpeed(double pixelsPerUnit, double minimumPixels);

// Scales accepted: beyond them any motion leaves the picture or shrinks
// to nothing.
inline constexpr double kMinVectorScale = 1e-6;
inline constexpr double kMaxVectorScale = 1e6;

// A typed scale in pixels per unit of velocity, read like the step;
// nothing unless a number from kMinVectorScale to kMaxVectorScale.
std::optional<double> parseVectorScale(std::string_view text, const NumberFormat &format);

} // namespace zorvane
