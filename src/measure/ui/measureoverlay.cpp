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

// The unit x on the picture: to the right, or along the two points once
// both are there and apart.
QPointF xUnit(const CalibrationSketch &sketch)
{
    if (!sketch.xAxisFrom || !sketch.xAxisTo)
        return {1, 0};
    const QLineF along(pointF(*sketch.xAxisFrom), pointF(*sketch.xAxisTo));
    if (along.length() == 0)
        return {1, 0};
    const QLineF unit = along.unitVector();
    return {unit.dx(), unit.dy()};
}

void drawSlope(QPainter &painter, const CalibrationSketch &sketch)
{
    setCosmeticPen(painter, kAxesColour);
    const QPointF from = pointF(*sketch.xAxisFrom);
    painter.drawEllipse(from, kTickHalf, kTickHalf);
    if (!sketch.xAxisTo)
        return;
    QPen dotted(kAxesColour, 0, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawLine(from, pointF(*sketch.xAxisTo));
    setCosmeticPen(painter, kAxesColour);
    painter.drawEllipse(pointF(*sketch.xAxisTo), kTickHalf, kTickHalf);
}

// y is a quarter turn from x: anticlockwise on the screen for up.
void drawAxes(QPainter &painter, const CalibrationSketch &sketch)
{
    setCosmeticPen(painter, kAxesColour);
    setLabelFont(painter);
    const QPointF origin = pointF(*sketch.origin);
    const QPointF x = xUnit(sketch);
    const QPointF y = sketch.yAxis == YAxis::Up ? QPointF(x.y(), -x.x()) : QPointF(-x.y(), x.x());
    drawArrow(painter, origin, origin + x * kAxisLength, QStringLiteral("x"));
    drawArrow(painter, origin, origin + y * kAxisLength, QStringLiteral("y"));
}

} // namespace

CalibrationSketch sketchOf(const Calibration &calibration, const QString &distanceLabel)
{
    CalibrationSketch sketch;
    sketch.scaleStart = calibration.scaleStart();
    sketch.scaleEnd = calibration.scaleEnd();
    sketch.origin = calibration.origin();
    sketch.yAxis = calibration.yAxis();
    sketch.distanceLabel = distanceLabel;
    if (calibration.xAxis()) {
        sketch.xAxisFrom = calibration.xAxis()->from;
        sketch.xAxisTo = calibration.xAxis()->to;
    }
    return sketch;
}

void drawCalibrationSketch(QPainter &painter, const CalibrationSketch &sketch)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (sketch.scaleStart)
        drawScale(painter, sketch);
    if (sketch.xAxisFrom)
        drawSlope(painter, sketch);
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
