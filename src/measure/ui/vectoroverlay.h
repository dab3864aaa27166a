#pragma once

#include "measure/vectorgeometry.h"
#include "track/pointtrack.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;

namespace zorvane {

// The colour of each followed point, A first, for the points that are not
// the active one, whose cross is red, and on the chronophotograph.
QColor pointColour(int index);

// The active point's vectors: a colour no other drawing over the video uses.
inline const QColor kVelocityColour{255, 0, 255};
// Every recorded position on the chronophotograph when A is the only
// point, like the trajectory.
inline const QColor kPositionColour{255, 170, 0};

// The current frame's arrow in a point's colour, lighter.
inline QColor currentVectorColour(const QColor &colour) { return QColor(colour.lighter(150).rgb()); }

// Velocities are solid, their changes dashed, so one colour per point serves both.
enum class ArrowKind { Velocity, VelocityChange };

// Arrows drawn on the screen pixels showing the middle of their frame
// pixels, so that at every zoom they start on the clicked pixel; the
// current frame's is thicker and lighter.
void drawArrows(QPainter &painter, const std::vector<PictureArrow> &arrows, const QColor &colour, ArrowKind kind,
                std::int32_t currentFrame);

struct LegendLine {
    ArrowKind kind = ArrowKind::Velocity;
    QColor colour;
    double framePixels = 0; // arrow length in frame pixels
    QString text;           // e.g. "v : 1 m/s"
};

// A box in the picture's top left corner, inside the visible part when
// the painter clips to it, with a sample arrow per line.
void drawVectorLegend(QPainter &painter, const std::vector<LegendLine> &lines);

// Every recorded point as its pixel in a ring, for the chronophotograph.
void drawPositions(QPainter &painter, const PointTrack &track, const QColor &colour);

} // namespace zorvane
