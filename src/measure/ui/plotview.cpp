#include "measure/ui/plotview.h"

#include "measure/quantity.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#ifndef ZORVANE_PLOTS_WITHOUT_SVG
#include <QSvgGenerator>
#endif
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

const QColor kMarker(0x0b, 0x3d, 0x91);   // dark blue, filled
const QColor kCurve(0xd6, 0x27, 0x28);    // red
const QColor kSelection(255, 196, 0, 70); // amber, see-through
const QColor kGrid(0xe3, 0xe3, 0xe3);
const QColor kFrame(0x70, 0x70, 0x70);
constexpr double kMarkerRadius = 4;
constexpr double kPickReach = 9; // pixels around a point that hover or click it
constexpr double kDragStart = 4; // pixels before a press becomes a drag
constexpr int kCurveSamples = 400;

AxisScale zoomed(const AxisScale &scale, double around, double factor)
{
    return ticksWithin(around - (around - scale.low) * factor, around + (scale.high - around) * factor);
}

AxisScale shifted(const AxisScale &scale, double by) { return ticksWithin(scale.low + by, scale.high + by); }

} // namespace

PlotView::PlotView(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(180, 130);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::ClickFocus);
    setToolTip(tr("Molette : zoom · glisser : déplacer · Maj+glisser : plage de l'ajustement · double clic : vue "
                  "entière · clic droit : copier, exporter"));
    m_menu = new QMenu(this);
    m_menu->addAction(tr("Vue entière"), this, &PlotView::resetView);
    QAction *joined = m_menu->addAction(tr("Relier les points"));
    joined->setObjectName(QStringLiteral("relier"));
    joined->setCheckable(true);
    connect(joined, &QAction::toggled, this, &PlotView::setJoined);
    m_menu->addAction(tr("Ajuster sur tous les points"), this, &PlotView::clearSelection);
    m_menu->addSeparator();
}

void PlotView::setData(std::vector<Point> points, Axis x, Axis y, const QString &decimalSeparator)
{
    const bool sameAxes = x.title == m_x.title && y.title == m_y.title;
    m_points = std::move(points);
    m_x = std::move(x);
    m_y = std::move(y);
    m_separator = decimalSeparator;
    if (!sameAxes) {
        m_zoom.reset();
        m_selection.reset();
    }
    update();
}

void PlotView::setCurve(std::function<double(double)> curve, const QString &equation)
{
    m_curve = std::move(curve);
    m_equation = equation;
    update();
}

void PlotView::setJoined(bool joined)
{
    m_joined = joined;
    update();
}

void PlotView::clearSelection()
{
    if (!m_selection)
        return;
    m_selection.reset();
    update();
    emit selectionChanged();
}

void PlotView::resetView()
{
    m_zoom.reset();
    update();
}

PlotView::View PlotView::shownView() const { return m_zoom ? *m_zoom : View{m_x.scale, m_y.scale}; }

QImage PlotView::image(const QSize &size) const
{
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(font());
    paint(painter, QRect(QPoint(0, 0), size));
    return picture;
}

#ifndef ZORVANE_PLOTS_WITHOUT_SVG
QByteArray PlotView::svg(const QSize &size) const
{
    QByteArray document;
    QBuffer buffer(&document);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(m_y.title + QStringLiteral(" / ") + m_x.title);
    QPainter painter(&generator);
    painter.setFont(font());
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    paint(painter, QRect(QPoint(0, 0), size));
    painter.end();
    return document;
}
#endif

void PlotView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    paint(painter, rect());
}

// Room for the widest tick label and the titles, so no label is cut.
QRect PlotView::plotArea(const QRect &bounds, const QFontMetrics &metrics) const
{
    const View view = shownView();
    int widest = 0;
    for (double tick : view.y.ticks())
        widest = std::max(widest, metrics.horizontalAdvance(valueText(tick, view.y.decimals)));
    const int line = metrics.height();
    const int left = widest + line + 12;
    const int lastLabel = metrics.horizontalAdvance(valueText(view.x.high, view.x.decimals)) / 2 + 6;
    const int top = m_equation.isEmpty() ? line / 2 + 6 : line + 8;
    return bounds.adjusted(left, top, -std::max(lastLabel, 10), -(2 * line + 10));
}

QPointF PlotView::toPixels(const QRectF &area, const View &view, double x, double y) const
{
    const double fx = (x - view.x.low) / (view.x.high - view.x.low);
    const double fy = (y - view.y.low) / (view.y.high - view.y.low);
    return {area.left() + fx * area.width(), area.bottom() - fy * area.height()};
}

QPointF PlotView::positionOf(double x, double y) const
{
    return toPixels(plotArea(rect(), fontMetrics()), shownView(), x, y);
}

QPointF PlotView::toValues(const QPointF &pixel) const
{
    const QRectF area = plotArea(rect(), fontMetrics());
    const View view = shownView();
    const double fx = (pixel.x() - area.left()) / area.width();
    const double fy = (area.bottom() - pixel.y()) / area.height();
    return {view.x.low + fx * (view.x.high - view.x.low), view.y.low + fy * (view.y.high - view.y.low)};
}

QString PlotView::valueText(double value, int decimals) const
{
    return QString::fromStdString(fixedText(value, decimals, m_separator.toStdString()));
}

void PlotView::paint(QPainter &painter, const QRect &bounds) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = plotArea(bounds, painter.fontMetrics());
    if (area.width() < 20 || area.height() < 20)
        return;
    const View view = shownView();
    if (m_selection) {
        const double from = toPixels(area, view, m_selection->first, 0).x();
        const double to = toPixels(area, view, m_selection->second, 0).x();
        const QRectF band = QRectF(QPointF(std::min(from, to), area.top()), QPointF(std::max(from, to), area.bottom()))
                                .intersected(area);
        painter.fillRect(band, kSelection);
    }
    drawAxes(painter, area, view);

    painter.save();
    painter.setClipRect(area.adjusted(-5, -5, 5, 5));
    if (m_joined && m_points.size() > 1) {
        QPainterPath path;
        path.moveTo(toPixels(area, view, m_points.front().x, m_points.front().y));
        for (std::size_t i = 1; i < m_points.size(); ++i)
            path.lineTo(toPixels(area, view, m_points[i].x, m_points[i].y));
        painter.setPen(QPen(kMarker, 1.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    drawCurve(painter, area, view);
    painter.setPen(QPen(Qt::white, 0.8));
    painter.setBrush(kMarker);
    for (const Point &point : m_points)
        painter.drawEllipse(toPixels(area, view, point.x, point.y), kMarkerRadius, kMarkerRadius);
    painter.restore();

    // Above the plot, where it hides no point.
    if (!m_equation.isEmpty()) {
        const QFontMetrics metrics = painter.fontMetrics();
        const QRect line(area.left(), bounds.top() + 2, area.width(), metrics.height());
        painter.setPen(kCurve);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(m_equation, Qt::ElideRight, line.width()));
    }
}

void PlotView::drawAxes(QPainter &painter, const QRect &area, const View &view) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    for (double tick : view.x.ticks()) {
        const double px = toPixels(area, view, tick, 0).x();
        painter.setPen(kGrid);
        painter.drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(px, area.bottom()), QPointF(px, area.bottom() + 4));
        const QString label = valueText(tick, view.x.decimals);
        const int width = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(px - width / 2.0, area.bottom() + 5 + metrics.ascent()), label);
    }
    for (double tick : view.y.ticks()) {
        const double py = toPixels(area, view, 0, tick).y();
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(area.left() - 4, py), QPointF(area.left(), py));
        const QString label = valueText(tick, view.y.decimals);
        painter.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(label), py + metrics.ascent() / 2.0 - 1),
                         label);
    }
    if (view.y.low < 0 && view.y.high > 0) {
        const double py = toPixels(area, view, 0, 0).y();
        painter.setPen(QPen(kFrame, 1));
        painter.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
    }
    painter.setPen(QPen(kFrame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);

    painter.setPen(Qt::black);
    painter.drawText(QRect(area.left(), area.bottom() + line + 6, area.width(), line), Qt::AlignCenter, m_x.title);
    painter.save();
    painter.translate(2, area.center().y()); // the left edge, which every plot starts from
    painter.rotate(-90);
    painter.drawText(QRect(-area.height() / 2, 0, area.height(), line), Qt::AlignCenter, m_y.title);
    painter.restore();
}

void PlotView::drawCurve(QPainter &painter, const QRect &area, const View &view) const
{
    if (!m_curve)
        return;
    QPainterPath path;
    bool drawing = false;
    for (int i = 0; i <= kCurveSamples; ++i) {
        const double x = view.x.low + (view.x.high - view.x.low) * i / kCurveSamples;
        const double y = m_curve(x);
        if (!std::isfinite(y) || std::abs(y - view.y.low) > 1e6 * (view.y.high - view.y.low)) {
            drawing = false;
            continue;
        }
        const QPointF at = toPixels(area, view, x, y);
        if (drawing)
            path.lineTo(at);
        else
            path.moveTo(at);
        drawing = true;
    }
    painter.setPen(QPen(kCurve, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

int PlotView::pointNear(const QPointF &pixel) const
{
    int nearest = -1;
    double best = kPickReach;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const QPointF at = positionOf(m_points[i].x, m_points[i].y);
        const double distance = std::hypot(at.x() - pixel.x(), at.y() - pixel.y());
        if (distance <= best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

QString PlotView::hoverText(const Point &point) const
{
    return tr("%1 = %2 %3\n%4 = %5 %6\nimage %7")
        .arg(m_x.name, valueText(point.x, m_x.decimals), m_x.unit, m_y.name, valueText(point.y, m_y.decimals), m_y.unit,
             QString::number(point.frame));
}

// Over a point its values, elsewhere how to use the plot.
bool PlotView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int near = pointNear(help->pos());
        if (near >= 0) {
            QToolTip::showText(help->globalPos(), hoverText(m_points[static_cast<std::size_t>(near)]), this);
            return true;
        }
    }
    return QWidget::event(event);
}

void PlotView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressAt = m_lastAt = event->position();
    m_moved = false;
    m_drag = event->modifiers() & Qt::ShiftModifier ? Drag::Select : Drag::Pan;
}

void PlotView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (m_drag == Drag::None) {
        const int near = pointNear(at);
        if (near >= 0)
            QToolTip::showText(event->globalPosition().toPoint(), hoverText(m_points[static_cast<std::size_t>(near)]),
                               this);
        return;
    }
    if (!m_moved && std::hypot(at.x() - m_pressAt.x(), at.y() - m_pressAt.y()) < kDragStart)
        return;
    m_moved = true;
    if (m_drag == Drag::Select) {
        m_selection = std::pair(toValues(m_pressAt).x(), toValues(at).x());
    } else {
        const QPointF from = toValues(m_lastAt);
        const QPointF to = toValues(at);
        const View view = shownView();
        m_zoom = View{shifted(view.x, from.x() - to.x()), shifted(view.y, from.y() - to.y())};
    }
    m_lastAt = at;
    update();
}

void PlotView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return;
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::Select && m_moved) {
        emit selectionChanged();
        return;
    }
    if (!m_moved) {
        const int near = pointNear(event->position());
        if (near >= 0)
            emit frameChosen(m_points[static_cast<std::size_t>(near)].frame);
    }
}

void PlotView::mouseDoubleClickEvent(QMouseEvent *) { resetView(); }

void PlotView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    const double factor = std::pow(0.8, steps);
    const QPointF around = toValues(event->position());
    const View view = shownView();
    m_zoom = View{zoomed(view.x, around.x(), factor), zoomed(view.y, around.y(), factor)};
    update();
    event->accept();
}

void PlotView::contextMenuEvent(QContextMenuEvent *event) { m_menu->popup(event->globalPos()); }

} // namespace zorvane
