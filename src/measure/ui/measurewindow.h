#pragma once

#include "measure/measuretable.h"
#include "measure/quantity.h"
#include "track/numbertext.h"

#include <QWidget>

#include <array>
#include <vector>

class QComboBox;
class QLabel;
class QTableWidget;

namespace zorvane {

class PlotPanel;

// The measures in a window of their own: the table (frame, t, x, y, vx,
// vy, v, ax, ay and the energies with a mass) beside one, two or four
// plots of any quantity against any, each with its fitted model. Choosing
// a row or a plotted point asks for that frame.
class MeasureWindow : public QWidget {
    Q_OBJECT

public:
    explicit MeasureWindow(NumberFormat format, QWidget *parent = nullptr);

    // header says which time is used, or why there is nothing to show.
    void showTable(const MeasureTable &table, const QString &header);
    PlotPanel *plot(int index) const { return m_plots[static_cast<std::size_t>(index)]; }
    void setPlotCount(int count);

signals:
    void frameChosen(int frame);
    void problem(const QString &message);

private:
    std::vector<Quantity> columns() const;
    void fillTable();
    void chooseRow(int row);
    void selectFrame(int frame);

    NumberFormat m_format;
    MeasureTable m_shown;
    QLabel *m_header = nullptr;
    QTableWidget *m_table = nullptr;
    QComboBox *m_plotCount = nullptr;
    std::array<PlotPanel *, 4> m_plots{};
};

} // namespace zorvane
