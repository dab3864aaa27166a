#pragma once

#include "measure/measuretable.h"
#include "track/numbertext.h"

#include <QWidget>

#include <array>

class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTableWidget;
class QValueAxis;

namespace zorvane {

// The measures in a window of their own: the table (frame, t, x, y, vx,
// vy) above the plots of x, y, vx and vy against t. Choosing a row or a
// plotted point asks for that frame.
class MeasureWindow : public QWidget {
    Q_OBJECT

public:
    explicit MeasureWindow(NumberFormat format, QWidget *parent = nullptr);

    // header says which time is used, or why there is nothing to show.
    void showTable(const MeasureTable &table, const QString &header);

signals:
    void frameChosen(int frame);

private:
    struct Plot {
        QChart *chart = nullptr;
        QLineSeries *line = nullptr;
        QScatterSeries *points = nullptr;
        QValueAxis *timeAxis = nullptr;
        QValueAxis *valueAxis = nullptr;
    };
    enum Quantity { X, Y, Vx, Vy };

    QWidget *createPlot(Quantity quantity, const QString &title, const QString &unit);
    void fillTable(const MeasureTable &table);
    void fillPlot(Plot &plot, Quantity quantity, const MeasureTable &table);
    void chooseRow(int row);
    void choosePlottedTime(double t);

    NumberFormat m_format;
    MeasureTable m_shown;
    QLabel *m_header = nullptr;
    QTableWidget *m_table = nullptr;
    std::array<Plot, 4> m_plots;
};

} // namespace zorvane
