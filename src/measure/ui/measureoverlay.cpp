#include "measure/ui/measureoverlay.h"

#include <QFont>
#include <QLineF>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace zorvane {
namespace {

constexpr double kTickHalf = 4;
constexpr double kArrowHead = 5;
constexpr int kLabelPixels = 11;

QPointF pointF(PicturePoint point) { return QPointF(point.x, point.y); }

void setCosmeticPen(QPainter &painter, const QColor &colour)
{
    painter.setPen(QPen(colour, 0));
    painter.setBrush(Qt::NoBrush);
}

void setLabelFont(QPainter &painter)
{
    QFont font = painter.font();
    font.setPixelSize(kLabelPixels);
    painter.setFont(font);
}

// A short line across the bar at `end`.
void drawTick(QPainter &painter, QPointF end, QPointF across)
{
    painter.drawLine(end - across * kTickHalf, end + across * kTickHalf);
}

void drawScale(QPainter &painter, const CalibrationSketch &sketch)
{
    setCosmeticPen(painter, kScaleColour);
    const QPointF start = pointF(*sketch.scaleStart);
    if (!sketch.scaleEnd) {
        painter.drawEllipse(start, kTickHalf, kTickHalf);
        return;
    }
    const QPointF end = pointF(*sketch.scaleEnd);
    painter.drawLine(start, end);
    const QLineF bar(start, end);
    if (bar.length() == 0) {
        painter.drawEllipse(start, kTickHalf, kTickHalf);
        return;
    }
    const QLineF normal = bar.normalVector().unitVector();
    const QPointF across(normal.dx(), normal.dy());
    drawTick(painter, start, across);
    drawTick(painter, end, across);
    if (!sketch.distanceLabel.isEmpty()) {
        setLabelFont(painter);
        painter.drawText(bar.center() + across * (kTickHalf + 2) + QPointF(2, 0), sketch.distanceLabel);
    }
}

void drawArrow(QPainter &painter, QPointF from, QPointF to, const QString &name)
{
    painter.drawLine(from, to);
    const QLineF shaft(to, from);
    const QLineF back = shaft.unitVector();
    const QPointF along(back.dx() * kArrowHead, back.dy() * kArrowHead);
    const QPointF side(-along.y() / 2, along.x() / 2);
    painter.drawLine(to, to + along + side);
    painter.drawLine(to, to + along - side);
    painter.drawText(to + QPointF(3, -3), name);
}

void drawAxes(QPainter &painter, const CalibrationSketch &sketch)
{
    setCosmeticPen(painter, kAxesColour);
    setLabelFont(painter);
    const QPointF origin = pointF(*sketch.origin);
    const double yDirection = sketch.yAxis == YAxis::Up ? -1 : 1;
    drawArrow(painter, origin, origin + QPointF(kAxisLength, 0), QStringLiteral("x"));
    drawArrow(painter, origin, origin + QPointF(0, yDirection * kAxisLength), QStringLiteral("y"));
}

} // namespace

CalibrationSketch sketchOf(const Calibration &calibration, const QString &distanceLabel)
{
    return {calibration.scaleStart(), calibration.scaleEnd(), calibration.origin(), calibration.yAxis(), distanceLabel};
}

void drawCalibrationSketch(QPainter &painter, const CalibrationSketch &sketch)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (sketch.scaleStart)
        drawScale(painter, sketch);
    if (sketch.origin)
        drawAxes(painter, sketch);
}

void drawTrajectory(QPainter &painter, const PointTrack &track, std::int32_t currentFrame)
{
    if (!track.hasStorage())
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    setCosmeticPen(painter, kTrajectoryColour);
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
        const TrackPoint point = track.at(frame);
        if (point.isEmpty() || frame == currentFrame)
            continue;
        painter.drawEllipse(QPointF(point.X, point.Y), kTrajectoryMarkRadius, kTrajectoryMarkRadius);
    }
}

} // namespace zorvane
