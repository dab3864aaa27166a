#pragma once

#include "measure/plotaxis.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QMenu;

namespace zorvane {

// Measured points of one quantity against another, painted by hand so
// that the markers, the ticks and the fitted curve stay readable at any
// size and export the same. Wheel: zoom; drag: pan; Shift+drag: the range
// of the fit; double click: the whole data; click on a point: its frame.
class PlotView : public QWidget {
    Q_OBJECT

public:
    struct Point {
        double x = 0;
        double y = 0;
        int frame = 0;
    };
    struct Axis {
        QString title;    // "t (s)"
        QString name;     // "t", for the hover text
        QString unit;     // "s"
        AxisScale scale;  // of the whole data
        int decimals = 3; // of a value, for the hover text
    };

    explicit PlotView(QWidget *parent = nullptr);

    void setData(std::vector<Point> points, Axis x, Axis y, const QString &decimalSeparator);
    // The fitted curve over the whole axis, with its equation; an empty
    // function removes it.
    void setCurve(std::function<double(double)> curve, const QString &equation);
    void setJoined(bool joined);
    bool isJoined() const { return m_joined; }
    std::optional<std::pair<double, double>> selection() const { return m_selection; }
    void clearSelection();
    void resetView();

    // The plot as an image of that size, for the clipboard and files, or
    // as an SVG document.
    QImage image(const QSize &size) const;
#ifndef ZORVANE_PLOTS_WITHOUT_SVG
    QByteArray svg(const QSize &size) const;
#endif
    // Where a data point is drawn, in widget pixels.
    QPointF positionOf(double x, double y) const;
    QMenu *menu() const { return m_menu; }

signals:
    void frameChosen(int frame);
    void selectionChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct View {
        AxisScale x;
        AxisScale y;
    };

    void paint(QPainter &painter, const QRect &bounds) const;
    QRect plotArea(const QRect &bounds, const QFontMetrics &metrics) const;
    View shownView() const;
    QPointF toPixels(const QRectF &area, const View &view, double x, double y) const;
    QPointF toValues(const QPointF &pixel) const;
    int pointNear(const QPointF &pixel) const;
    QString valueText(double value, int decimals) const;
    QString hoverText(const Point &point) const;
    void drawAxes(QPainter &painter, const QRect &area, const View &view) const;
    void drawCurve(QPainter &painter, const QRect &area, const View &view) const;

    std::vector<Point> m_points;
    Axis m_x;
    Axis m_y;
    QString m_separator = QStringLiteral(".");
    std::function<double(double)> m_curve;
    QString m_equation;
    bool m_joined = false;
    std::optional<View> m_zoom;
    std::optional<std::pair<double, double>> m_selection;

    enum class Drag { None, Pan, Select };
    Drag m_drag = Drag::None;
    QPointF m_pressAt;
    QPointF m_lastAt;
    bool m_moved = false;
    QMenu *m_menu = nullptr;
};

} // namespace zorvane
