#pragma once

#include "measure/calibration.h"
#include "track/pointtrack.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

namespace zorvane {

// What the calibration dialog has so far: each point once clicked.
struct CalibrationSketch {
    std::optional<PicturePoint> scaleStart;
    std::optional<PicturePoint> scaleEnd;
    std::optional<PicturePoint> origin; // where the axes are drawn: none when the origin's point has no position
    YAxis yAxis = YAxis::Up;
    QString distanceLabel; // e.g. "0,5 m"; empty while the distance is not a number
    // The points x runs along, each once clicked; x to the right without them.
    std::optional<PicturePoint> xAxisFrom;
    std::optional<PicturePoint> xAxisTo;
};

CalibrationSketch sketchOf(const Calibration &calibration, const QString &distanceLabel);

// Colours no video frame is likely to hide and none pure red, which
// belongs to the current frame's cross.
inline const QColor kScaleColour{0, 200, 255};
inline const QColor kAxesColour{60, 230, 60};
inline const QColor kTrajectoryColour{255, 170, 0};

// Sizes are in frame pixels and pens are cosmetic, so a zoomed picture
// keeps the drawing on the same pixels of the frame.
inline constexpr int kAxisLength = 50;
inline constexpr int kTrajectoryMarkRadius = 2;

// The scale bar with its end ticks and length, the line x runs along, then
// the axes from the origin.
void drawCalibrationSketch(QPainter &painter, const CalibrationSketch &sketch);

// A small ring on every recorded point except the current frame's, which
// has its cross.
void drawTrajectory(QPainter &painter, const PointTrack &track, std::int32_t currentFrame);

} // namespace zorvane
