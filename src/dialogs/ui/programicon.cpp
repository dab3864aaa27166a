#include "dialogs/ui/programicon.h"

#include <QPainter>
#include <QPainterPath>

namespace zorvane {

namespace {

void drawFrame(QPainter &painter, double unit)
{
    painter.fillRect(QRectF(0, 0, 64 * unit, 64 * unit), QColor(236, 236, 236));
    painter.setPen(QPen(QColor(30, 30, 30), 2 * unit));
    painter.setBrush(QColor(64, 64, 64));
    painter.drawRoundedRect(QRectF(3 * unit, 5 * unit, 58 * unit, 44 * unit), 4 * unit, 4 * unit);
}

void drawGradientBar(QPainter &painter, double unit)
{
    QLinearGradient gradient(QPointF(4 * unit, 0), QPointF(60 * unit, 0));
    gradient.setColorAt(0, QColor(0, 128, 0));
    gradient.setColorAt(1, QColor(255, 255, 128));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(QRectF(4 * unit, 53 * unit, 56 * unit, 7 * unit));
}

void drawTrack(QPainter &painter, double unit)
{
    const QPointF points[] = {{10, 40}, {18, 30}, {26, 23}, {34, 19}, {42, 19}, {50, 23}};
    QPainterPath path(points[0] * unit);
    for (const QPointF &point : points)
        path.lineTo(point * unit);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(120, 200, 255), 1.5 * unit, Qt::DotLine));
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255));
    for (const QPointF &point : points)
        painter.drawEllipse(point * unit, 2.2 * unit, 2.2 * unit);
    const QPointF last = points[std::size(points) - 1] * unit;
    painter.setPen(QPen(QColor(255, 0, 0), 2.5 * unit));
    painter.drawLine(last - QPointF(6 * unit, 0), last + QPointF(6 * unit, 0));
    painter.drawLine(last - QPointF(0, 6 * unit), last + QPointF(0, 6 * unit));
}

} // namespace

QImage programPicture(int size)
{
    QImage image(size, size, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 64.0;
    drawFrame(painter, unit);
    drawTrack(painter, unit);
    drawGradientBar(painter, unit);
    return image;
}

QIcon programIcon() { return QIcon(QPixmap::fromImage(programPicture(32))); }

} // namespace zorvane
