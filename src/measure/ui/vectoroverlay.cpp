#include "measure/ui/vectoroverlay.h"

#include <QFont>
#include <QFontMetrics>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

constexpr double kHeadLength = 7;
constexpr double kLongestShaft = 20000; // screen pixels, beyond any screen
constexpr int kCurrentWidth = 3;
constexpr int kPositionRadius = 3;
constexpr int kLegendMargin = 6;
constexpr int kLegendLine = 18;
constexpr int kLegendTextPixels = 12;

// The screen pixel showing the middle of a frame pixel, as the cross does.
QPointF onScreen(const QTransform &toScreen, double x, double y)
{
    const QPointF middle = toScreen.map(QPointF(x + 0.5, y + 0.5));
    return {std::floor(middle.x()), std::floor(middle.y())};
}

QPen arrowPen(const QColor &colour, ArrowKind kind, bool current)
{
    QPen pen(current ? currentVectorColour(colour) : colour, current ? kCurrentWidth : 0);
    pen.setStyle(kind == ArrowKind::VelocityChange ? Qt::DashLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// Drawn with the painter in screen pixels.
void drawScreenArrow(QPainter &painter, QPointF from, QPointF to)
{
    QLineF shaft(from, to);
    if (!std::isfinite(shaft.length()) || shaft.length() < 1) {
        painter.drawPoint(from);
        return;
    }
    // A wild velocity must not make the dashes of an endless line.
    if (shaft.length() > kLongestShaft)
        shaft.setLength(kLongestShaft);
    to = shaft.p2();
    painter.drawLine(shaft);
    const QLineF back = QLineF(to, from).unitVector();
    const QPointF along(back.dx() * kHeadLength, back.dy() * kHeadLength);
    const QPointF side(-along.y() / 2, along.x() / 2);
    QPen solid = painter.pen();
    solid.setStyle(Qt::SolidLine);
    painter.save();
    painter.setPen(solid);
    painter.drawLine(to, to + along + side);
    painter.drawLine(to, to + along - side);
    painter.restore();
}

// The top left corner of what is seen of the picture, in screen pixels.
QPointF visibleTopLeft(const QPainter &painter)
{
    const QPointF pictureCorner = painter.transform().map(QPointF(0, 0));
    if (!painter.hasClipping())
        return pictureCorner;
    const QPointF clipCorner = painter.transform().map(painter.clipBoundingRect().topLeft());
    return {std::max(pictureCorner.x(), clipCorner.x()), std::max(pictureCorner.y(), clipCorner.y())};
}

} // namespace

QColor pointColour(int index)
{
    static const QColor colours[] = {{0, 90, 255},  {0, 170, 0},   {255, 140, 0}, {200, 0, 200},
                                     {0, 190, 190}, {140, 80, 20}, {240, 210, 0}, {120, 120, 120}};
    return colours[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(std::size(colours)) - 1))];
}

void drawArrows(QPainter &painter, const std::vector<PictureArrow> &arrows, const QColor &colour, ArrowKind kind,
                std::int32_t currentFrame)
{
    const QTransform toScreen = painter.transform();
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The current arrow last, so that none hides it.
    const PictureArrow *current = nullptr;
    for (const PictureArrow &arrow : arrows) {
        if (arrow.frame == currentFrame) {
            current = &arrow;
            continue;
        }
        painter.setPen(arrowPen(colour, kind, false));
        drawScreenArrow(painter, onScreen(toScreen, arrow.fromX, arrow.fromY),
                        onScreen(toScreen, arrow.toX, arrow.toY));
    }
    if (current) {
        painter.setPen(arrowPen(colour, kind, true));
        drawScreenArrow(painter, onScreen(toScreen, current->fromX, current->fromY),
                        onScreen(toScreen, current->toX, current->toY));
    }
    painter.restore();
}

void drawVectorLegend(QPainter &painter, const std::vector<LegendLine> &lines)
{
    if (lines.empty())
        return;
    const double zoom = painter.transform().m11();
    const QPointF corner = visibleTopLeft(painter) + QPointF(kLegendMargin, kLegendMargin);
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QFont font = painter.font();
    font.setPixelSize(kLegendTextPixels);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    double arrowWidth = 0;
    int textWidth = 0;
    for (const LegendLine &line : lines) {
        arrowWidth = std::max(arrowWidth, line.framePixels * zoom);
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line.text));
    }
    const QRectF box(corner, QSizeF(arrowWidth + textWidth + 3 * kLegendMargin,
                                    kLegendLine * static_cast<double>(lines.size()) + kLegendMargin));
    painter.fillRect(box, QColor(0, 0, 0, 170));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LegendLine &line = lines[i];
        const double middle = box.top() + kLegendMargin + kLegendLine * (static_cast<double>(i) + 0.5) - 2;
        const QPointF from(std::floor(box.left() + kLegendMargin), std::floor(middle));
        painter.setPen(arrowPen(line.colour, line.kind, false));
        drawScreenArrow(painter, from, from + QPointF(std::round(line.framePixels * zoom), 0));
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(QPointF(box.left() + 2 * kLegendMargin + arrowWidth, middle + metrics.ascent() / 2.0 - 1),
                         line.text);
    }
    painter.restore();
}

void drawPositions(QPainter &painter, const PointTrack &track, const QColor &colour)
{
    if (!track.hasStorage())
        return;
    const QTransform toScreen = painter.transform();
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 0));
    painter.setBrush(Qt::NoBrush);
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
        const TrackPoint point = track.at(frame);
        if (point.isEmpty())
            continue;
        const QPointF centre = onScreen(toScreen, point.X, point.Y);
        painter.drawPoint(centre);
        painter.drawEllipse(centre, kPositionRadius, kPositionRadius);
    }
    painter.restore();
}

} // namespace zorvane
